#include "viewer/view_host.h"

namespace viewer {

void RedrawView(ViewHost& host, bool cursorMode) {
  host.for_curs();
  host.DrawChannels(0);
  if (cursorMode) host.DrawTimeAxis(0, 0, 3);
}

}  // namespace viewer
