#pragma once
// The cursors and markers of a plot: one-pixel line images drawn over a paint box by XOR, so that
// drawing the same image at the same place again restores the picture. These two functions are the only
// way cursors and markers reach the screen; the spectrum window uses them for its cross-hair too.
#include <QColor>
#include <QImage>
#include <array>
#include <cstdint>

#include "platform/ui/paint_box.h"
#include "viewer/cursor_readout.h"

namespace viewer {

inline constexpr int kLineBitmapCount = 64;

// The main window's line images, one per channel or cursor: TForm1.CursorBitmaps (1 pixel wide) and
// TForm1.HorizontalLineBitmaps (1 pixel high).
using LineBitmaps = std::array<QImage, kLineBitmapCount>;

// A vertical line of `height` pixels (at least 1) or a horizontal line of `width` pixels.
QImage VerticalLineBitmap(int height, QColor color);
QImage HorizontalLineBitmap(int width, QColor color);

// Draws lines[index] (the horizontal line bitmaps) by XOR with its left end at (0, y).
void XorHorizontalLine(const LineBitmaps& lines, int index, int y, platform::ui::PaintBox& box);
// Draws cursors[index] (the cursor bitmaps) by XOR with its top at (x, 2).
void XorVerticalCursor(const LineBitmaps& cursors, int index, int x, platform::ui::PaintBox& box);

// Blinks marker line `index` at row y: it is erased, line `flashIndex` flashes `count` times with a pause
// of 40 ms before each stroke (the box is repainted after every stroke), and the marker comes back.
void BlinkMarkerLine(const LineBitmaps& lines, int index, int flashIndex, int y, int count,
                     platform::ui::PaintBox& box);

// Draws what DrawTimeAxisStep decided: the readout strip `strip` is filled with `background` from
// (0, 0) to (stripWidth, its height - 1), the strokes go over `plot` and the texts onto the strip, their
// colours taken from ChannelColors.
void PaintTimeAxis(const TimeAxisPicture& picture, const LineBitmaps& cursors, const LineBitmaps& lines,
                   platform::ui::PaintBox& plot, platform::ui::PaintBox& strip, int stripWidth,
                   QColor background);

}  // namespace viewer
