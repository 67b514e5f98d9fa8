// Keyboard and mouse on the main window's plot with a recording loaded: zoom and paging held inside the
// record, cursor mode with its moves, picks and zoom, and the channel isolation in the label margin.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <cstdlib>
#include <random>
#include <vector>

#include "viewer/cursor_readout.h"
#include "viewer/plot_layout.h"
#include "viewer/ui/main_window.h"
#include "viewer/ui/main_window_fixture.h"

namespace viewer {
namespace {

toolkit::SetupRecord& S() { return *toolkit::Setup; }

class KeyWindowTest : public viewer_test::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    OpenForm({});  // 3 channels of 6000 samples
    ASSERT_EQ(form->Loaded, 1);
    ASSERT_EQ(S().Samples, 6000u);
    W = form->Plot.PlotWidth;
    ASSERT_EQ(W, 1296);
  }

  int Span() const { return S().Nk - S().Nn; }
  void ExpectInside() const {
    EXPECT_GE(S().Nn, 0);
    EXPECT_LT(S().Nn, S().Nk);
    EXPECT_LE(S().Nk, 5999);
  }
  // A row of the plot at least 10 pixels from every marker of both sets.
  int RowAwayFromMarkers() const {
    for (int y = 20; y < form->Plot.PlotHeight - 20; ++y) {
      bool clear = true;
      for (int s = 0; s < 2; ++s)
        for (int c = 0; c < 3; ++c)
          clear = clear && std::abs(S().MarkerY[s][c] - static_cast<int>(S().Baseline[c]) - y) >= 10;
      if (clear) return y;
    }
    ADD_FAILURE() << "no free row";
    return 0;
  }

  int W = 0;
};

TEST_F(KeyWindowTest, PlusAndMinusStepThroughWholeAndPartialPlotWidths) {
  ASSERT_EQ(Span(), 5999);
  // 5999 / trunc(1.2 W) = 3 widths, then 2, 1; then W / 2, W / 4 and W / 8, where it stays.
  std::vector<int> spans;
  for (int i = 0; i < 7; ++i) {
    Key(Qt::Key_Equal);
    spans.push_back(Span());
    EXPECT_EQ(S().Nn, 0);
  }
  EXPECT_EQ(spans, (std::vector<int>{3 * W, 2 * W, W, W / 2, W / 4, W / 8, W / 8}));
  // The keypad's minus: at least one width more, in whole widths, up to the whole record.
  spans.clear();
  for (int i = 0; i < 6; ++i) {
    Key(Qt::Key_Minus, Qt::KeypadModifier);
    spans.push_back(Span());
    ExpectInside();
  }
  EXPECT_EQ(spans, (std::vector<int>{W, 2 * W, 3 * W, 4 * W, 5999, 5999}));
  EXPECT_EQ(form->MainStatus0->text().toStdString(), kPlotKeyHelp);
}

TEST_F(KeyWindowTest, PagingAndRandomKeySequencesStayInsideTheRecord) {
  Key(Qt::Key_Plus, Qt::KeypadModifier);
  Key(Qt::Key_Plus, Qt::KeypadModifier);
  const int span = Span();
  ASSERT_EQ(span, 2 * W);
  for (int i = 0; i < 12; ++i) Key(Qt::Key_Right);
  EXPECT_EQ(S().Nk, 5999);
  EXPECT_EQ(S().Nn, 5999 - span);
  for (int i = 0; i < 12; ++i) Key(Qt::Key_Left, Qt::KeypadModifier);
  EXPECT_EQ(S().Nn, 0);
  EXPECT_EQ(S().Nk, span);

  std::mt19937 rng(7);
  const int keys[] = {Qt::Key_Equal, Qt::Key_Minus, Qt::Key_Left, Qt::Key_Right, Qt::Key_Space, Qt::Key_Insert,
                      Qt::Key_V};
  for (int i = 0; i < 400; ++i) {
    Key(keys[rng() % std::size(keys)]);
    ExpectInside();
    if (HasFailure()) break;
  }
  Key(Qt::Key_Space);
  EXPECT_EQ(S().Nn, 0);
  EXPECT_EQ(S().Nk, 5999);
}

TEST_F(KeyWindowTest, KeysReachTheWindowWithoutFocusAndTheLetterKeyUnderAnyLayout) {
  Key(Qt::Key_Equal, Qt::NoModifier, form.get());
  EXPECT_EQ(Span(), 3 * W);
  const uint16_t normalise = S().NormaliseChannels;
  Key(Qt::Key_K, Qt::NoModifier, form.get(), 55);  // the V key while another layout is active
  EXPECT_NE(S().NormaliseChannels, normalise);
  Key(0x041C);  // М of the Russian layout
  EXPECT_EQ(S().NormaliseChannels, normalise);
}

TEST_F(KeyWindowTest, CursorModeMovesStopAtThePlotEdgesAndLeavingRestoresThePlot) {
  const QImage plain = form->PB1->Image().copy();
  Key(Qt::Key_Return);
  ASSERT_EQ(S().CursorMode, 1);
  EXPECT_NE(form->PB1->Image(), plain);
  EXPECT_FALSE(form->N_extra->isEnabled());
  Key(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(S().CursorColumns[0][0], 10);
  Key(Qt::Key_Left);
  EXPECT_EQ(S().CursorColumns[0][0], 9);
  for (int i = 0; i < 200; ++i) Key(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(S().CursorColumns[0][0], W);
  for (int i = 0; i < 200; ++i) Key(Qt::Key_Left, Qt::ControlModifier | Qt::KeypadModifier);
  EXPECT_EQ(S().CursorColumns[0][0], 0);
  // The strip shows the readout of cursor mode.
  EXPECT_EQ(form->MainStatus0->text().toStdString(), kCursorKeyHelp);
  Key(Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(S().CursorMode, 0);
  EXPECT_TRUE(form->N_extra->isEnabled());
  EXPECT_EQ(form->PB1->Image(), plain);
}

TEST_F(KeyWindowTest, MousePicksCursorsWithinThreePixelsAndDragsThem) {
  Key(Qt::Key_Return);
  ASSERT_EQ(S().CursorMode, 1);
  S().VerticalCursorCount = 1;
  const int y = RowAwayFromMarkers();
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, 4, y);
  EXPECT_EQ(form->Dragging, 0);
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, 3, y);
  ASSERT_EQ(form->Dragging, 1);
  EXPECT_EQ(form->DragKind, 1);
  Mouse(QEvent::MouseMove, Qt::LeftButton, 300, y);
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 300, y);
  EXPECT_EQ(form->Dragging, 0);
  EXPECT_EQ(S().CursorColumns[0][0], 300);
  Mouse(QEvent::MouseMove, Qt::NoButton, 500, y);  // no drag after the release
  EXPECT_EQ(S().CursorColumns[0][0], 300);

  // The second set's cursor at the right edge, dragged to column 600.
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, W - 3, y);
  ASSERT_EQ(form->Dragging, 1);
  EXPECT_EQ(S().CursorSet, 1);
  Mouse(QEvent::MouseMove, Qt::LeftButton, 600, y);
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 600, y);
  EXPECT_EQ(S().CursorColumns[1][0], 600);

  // Space zooms into the stretch between the two cursors, in whole plot widths.
  const int32_t first = S().CursorSamples[0], second = S().CursorSamples[1];
  ASSERT_LT(first, second);
  Key(Qt::Key_Space);
  EXPECT_EQ(S().CursorMode, 1);
  EXPECT_EQ(S().Nn, first);
  EXPECT_GE(S().Nk, second);
  EXPECT_EQ(Span() % W, 0);
  ExpectInside();

  // A marker is picked the same way: within 3 pixels of its row, not at 4.
  int channel = -1, markerY = 0;
  for (int c = 0; c < 3 && channel < 0; ++c) {
    const int yc = S().MarkerY[0][c] - static_cast<int>(S().Baseline[c]);
    bool alone = true;
    for (int s = 0; s < 2; ++s)
      for (int o = 0; o < 3; ++o)
        if ((s != 0 || o != c) && std::abs(S().MarkerY[s][o] - static_cast<int>(S().Baseline[o]) - yc) < 8)
          alone = false;
    if (alone) {
      channel = c;
      markerY = yc;
    }
  }
  ASSERT_GE(channel, 0);
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, 700, markerY + 4);
  EXPECT_EQ(form->Dragging, 0);
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, 700, markerY - 3);
  ASSERT_EQ(form->Dragging, 1);
  EXPECT_EQ(form->DragKind, 2);
  EXPECT_EQ(S().MarkerChannel, channel);
  EXPECT_EQ(S().CursorSet, 0);
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, 700, markerY - 3);
}

TEST_F(KeyWindowTest, MarginClicksSelectAndIsolateChannels) {
  const int margin = W + 40;
  // A right click beside row 2 selects channel 2.
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, margin, form->Plot.LabelY[2]);
  EXPECT_EQ(S().Channel, 2);
  const uint16_t percent = S().PlotHeightPercent;
  Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, margin, form->Plot.LabelY[2]);
  EXPECT_EQ(S().FirstChannel, 2);
  EXPECT_EQ(S().ShownEnd, 3);
  EXPECT_EQ(S().PlotHeightPercent, 100);
  Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, margin, 10);
  EXPECT_EQ(S().FirstChannel, 0);
  EXPECT_EQ(S().ShownEnd, 3);
  EXPECT_EQ(S().PlotHeightPercent, percent);
  // In cursor mode a margin click changes nothing; a double click inside the plot leaves the mode.
  Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, 100, 10);
  ASSERT_EQ(S().CursorMode, 1);
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, margin, form->Plot.LabelY[0]);
  EXPECT_EQ(S().Channel, 2);
  Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, 100, 10);
  EXPECT_EQ(S().CursorMode, 0);
}

}  // namespace
}  // namespace viewer
