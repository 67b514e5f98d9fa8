#pragma once
#include <QColor>
#include <cstdint>

namespace platform::ui {

// Colours are stored as 0x00BBGGRR (0x0000FF is red, 0xFF0000 blue); the top byte is ignored.
QColor ColorFromBgr(uint32_t bgr);

}  // namespace platform::ui
