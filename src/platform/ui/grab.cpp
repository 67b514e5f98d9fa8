#include "platform/ui/grab.h"

#include <QPixmap>
#include <QWidget>

namespace platform::ui {

bool GrabToPng(QWidget& widget, const QString& path) { return widget.grab().save(path, "PNG"); }

}  // namespace platform::ui
