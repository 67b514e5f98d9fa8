#include "viewer/view_navigation.h"

#include <algorithm>

#include "viewer/view_envelope.h"
#include "viewer/view_keys.h"

namespace viewer {
namespace {

// Puts both ends inside 0 ... samples - 1 with the first below the last (a range of no samples becomes
// one sample step, growing backwards at the end of the record).
ViewRange Clamp(int64_t nn, int64_t nk, int64_t samples) {
  const int64_t last = samples - 1;
  nk = std::clamp<int64_t>(nk, 0, last);
  nn = std::clamp<int64_t>(nn, 0, last);
  if (nn >= nk) {
    if (nn < last) {
      nk = nn + 1;
    } else {
      nn = last - 1;
    }
  }
  return {static_cast<int32_t>(nn), static_cast<int32_t>(nk)};
}

// Span of a zoom into a short range: a fraction of the plot width.
int64_t FractionOfWidth(int64_t span, int width) {
  if (span <= width / 4) return width / 8;
  if (span <= width / 2) return width / 4;
  return width / 2;
}

}  // namespace

ViewRange ZoomOut(ViewRange r, int64_t samples, int width) {
  const int64_t span = static_cast<int64_t>(r.Nk) - r.Nn;
  if (span == samples - 1) return Clamp(r.Nn, r.Nk, samples);
  int64_t a = static_cast<int64_t>(static_cast<double>(span) * 0.2 / width * width);
  if (a < width) a = width;
  const int64_t wider = (static_cast<int64_t>(r.Nk) + a - r.Nn) / width * width;
  int64_t nk = std::min<int64_t>(r.Nn + wider, samples - 1);
  int64_t nn = std::max<int64_t>(nk - wider, 0);
  return Clamp(nn, nk, samples);
}

ViewRange ZoomIn(ViewRange r, int64_t samples, int width) {
  const int64_t span = static_cast<int64_t>(r.Nk) - r.Nn;
  const int64_t wide = static_cast<int64_t>(width * 1.2);
  int64_t narrower;
  if (span <= width) {
    narrower = FractionOfWidth(span, width);
  } else {
    narrower = span / wide * width;
    if (narrower == 0) narrower = width / 2;  // a span between 1 and 1.2 plot widths
  }
  // The range starts where it started; at the end of the record it ends at the last sample.
  return Clamp(r.Nn, std::min<int64_t>(r.Nn + narrower, samples - 1), samples);
}

ViewRange PageRight(ViewRange r, int64_t samples) {
  const int64_t span = static_cast<int64_t>(r.Nk) - r.Nn;
  int64_t nk = std::min<int64_t>(r.Nk + span / 2, samples - 1);
  int64_t nn = std::max<int64_t>(nk - span, 0);
  return Clamp(nn, nk, samples);
}

ViewRange PageLeft(ViewRange r, int64_t samples) {
  const int64_t span = static_cast<int64_t>(r.Nk) - r.Nn;
  int64_t nn = std::max<int64_t>(r.Nn - span / 2, 0);
  int64_t nk = std::min<int64_t>(nn + span, samples - 1);
  return Clamp(nn, nk, samples);
}

ViewRange ZoomToCursors(int32_t first, int32_t second, int64_t samples, int width) {
  // The cursors as they stand: the second may lie beyond the last sample (it starts at the plot's
  // last column); the end is brought into the record only once the range is laid out.
  int64_t nn = first;
  int64_t nk = second;
  const float r = static_cast<float>(nk - nn) / width + 0.01f;
  int64_t k, w;
  if (r > 0.501f) {
    k = static_cast<int64_t>(r + 1);
    w = width;
  } else {
    k = 1;
    w = FractionOfWidth(nk - nn, width);
    nk = nn + w;
  }
  if (nk - nn < k * w) {
    if (nn + k * w < samples - 1) nk = nn + k * w;
    if (nk - k * w > 0) nn = nk - k * w;
  }
  return Clamp(nn, std::min(nk, samples - 1), samples);
}

namespace {

int ShownCount(const toolkit::SetupRecord& s) {
  return s.ShownEnd > s.FirstChannel ? s.ShownEnd - s.FirstChannel : 0;
}

bool IsShown(const toolkit::SetupRecord& s, int ch) { return ch >= s.FirstChannel && ch < s.ShownEnd; }

void ToggleCursorMode(toolkit::SetupRecord& setup, ViewHost& host) {
  setup.MarkerChannel = setup.FirstChannel;
  setup.CursorIndex = 0;
  setup.CursorSet = 0;
  setup.CursorMode = setup.CursorMode == 1 ? 0 : 1;
  host.DrawTimeAxis(0, 0, 3);
  host.EnableDataMenus(1 - setup.CursorMode);
}

void CursorModeKey(toolkit::SetupRecord& setup, ViewHost& host, uint8_t& lastViewKey, int key, int ctrl) {
  int dx = 0, dy = 0;
  switch (key) {
    case kKeySpace: {
      const int64_t perColumn = SamplesPerColumnOf(setup, host.PlotWidth());
      if (!(static_cast<int64_t>(setup.CursorSamples[0]) + perColumn < setup.CursorSamples[1]) ||
          setup.Samples < 2) {
        host.ShowMessage("!!!!!!!");
        return;
      }
      const ViewRange r =
          ZoomToCursors(setup.CursorSamples[0], setup.CursorSamples[1], setup.Samples, host.PlotWidth());
      setup.Nn = r.Nn;
      setup.Nk = r.Nk;
      host.for_curs();
      host.DrawChannels(0);
      host.DrawTimeAxis(0, 0, 3);
      if (host.OverviewShown()) host.RedrawOverviewFrame();
      break;
    }
    case kKeyLeft:
      dx = -1;
      break;
    case kKeyRight:
      dx = 1;
      break;
    case kKeyUp:
      dy = -1;
      break;
    case kKeyDown:
      dy = 1;
      break;
    case kKeyInsert: {
      int blinks;
      if (lastViewKey == kKeyInsert) {
        ++setup.MarkerChannel;
        if (setup.MarkerChannel > setup.FirstChannel + 2 || setup.MarkerChannel >= setup.ShownEnd) {
          setup.MarkerChannel = 0;
          setup.CursorSet ^= 1;
        }
        blinks = 8;
      } else {
        setup.CursorSet ^= 1;
        blinks = 4;
      }
      if (!IsShown(setup, setup.MarkerChannel)) setup.MarkerChannel = setup.FirstChannel;
      if (setup.CursorSet > 1) setup.CursorSet = 0;
      host.BlinkMarker(setup.MarkerChannel, setup.CursorSet, blinks);
      break;
    }
    default:
      break;
  }
  if (ctrl == 1) {
    dx *= 10;
    dy *= 10;
  }
  if (!IsShown(setup, setup.MarkerChannel)) setup.MarkerChannel = setup.FirstChannel;
  if (setup.CursorSet > 1) setup.CursorSet = 0;
  host.DrawTimeAxis(dx, dy, 0);
  lastViewKey = static_cast<uint8_t>(key);
}

void ViewModeKey(toolkit::SetupRecord& setup, ViewHost& host, int key) {
  switch (key) {
    case kKeyMinus:
    case kKeyPlus:
    case kKeyRight:
    case kKeyLeft:
    case kKeyV:
    case kKeyInsert:
    case kKeySpace:
      break;
    default:
      return;
  }
  host.SetStatusText(kViewKeyHelp);
  const int64_t samples = setup.Samples;
  const int width = host.PlotWidth();
  // A record of fewer than two samples has no range to move.
  const bool movable = samples >= 2 && width >= 16;
  const ViewRange now{setup.Nn, setup.Nk};
  const int64_t span = static_cast<int64_t>(setup.Nk) - setup.Nn;
  const bool wholeShown = span >= samples - 2;
  bool changed = false;
  auto apply = [&](ViewRange r) {
    setup.Nn = r.Nn;
    setup.Nk = r.Nk;
    changed = true;
  };
  switch (key) {
    case kKeyMinus:
      if (movable && span != samples - 1) apply(ZoomOut(now, samples, width));
      break;
    case kKeyPlus:
      if (movable) apply(ZoomIn(now, samples, width));
      break;
    case kKeyRight:
    case kKeyLeft:
      if (setup.StationMode == 1 && wholeShown) {
        const uint32_t step = 2700u * setup.StationHours;
        if (key == kKeyRight) {
          setup.StationStart += step;
        } else {
          setup.StationStart = setup.StationStart > step ? setup.StationStart - step : 0;
        }
        host.ReadStationAgain();
        changed = true;
      } else if (movable) {
        apply(key == kKeyRight ? PageRight(now, samples) : PageLeft(now, samples));
      }
      break;
    case kKeyV:
      if (ShownCount(setup) == 1) return;
      setup.NormaliseChannels = setup.NormaliseChannels == 1 ? 0 : 1;
      break;
    case kKeyInsert:
      setup.PlotLayout = static_cast<uint8_t>((setup.PlotLayout + 1) % 3);
      break;
    case kKeySpace:
      if (movable) apply({0, static_cast<int32_t>(samples - 1)});
      break;
  }
  if (changed) {
    if (host.OverviewShown()) host.RedrawOverviewFrame();
    host.for_curs();
  }
  host.DrawChannels(0);
}

}  // namespace

void HandleViewKey(toolkit::SetupRecord& setup, ViewHost& host, uint8_t& lastViewKey, int key, int ctrl) {
  setup.ViewChanged = 0;
  if (key == kKeyEnter) {
    ToggleCursorMode(setup, host);
    return;
  }
  if (setup.CursorMode == 1) {
    CursorModeKey(setup, host, lastViewKey, key, ctrl);
  } else {
    ViewModeKey(setup, host, key);
  }
}

}  // namespace viewer
