#include "acquisition/ui/live_window.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "acquisition/live_sweep.h"
#include "platform/cp1251.h"
#include "platform/ui/colors.h"
#include "platform/ui/message_box.h"
#include "platform/ui/paint_box.h"
#include "platform/ui/push_buttons.h"
#include "platform/ui/screen.h"
#include "platform/ui/synchronize.h"
#include "recorder/work_log.h"
#include "toolkit/format_text.h"

namespace acquisition {

using toolkit::FormatText;

namespace {

constexpr int kMinWidth = 575;
constexpr int kScreenMargin = 50;
constexpr int kRowMinimum = 40;
constexpr int kControlColumn = 84;  // the per-channel up-downs and labels beside the strip
constexpr int kUpDownWidth = 20;
constexpr int kUpDownHeight = 36;
constexpr int kLabelLeft = kUpDownWidth + 6;
constexpr int kLabelHeight = 13;
constexpr int kStripWidth = 8;
constexpr int kTimerMs = 1000;
constexpr int kNameTimerMs = 3000;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Two rows of controls in `panel`.
std::pair<QHBoxLayout*, QHBoxLayout*> TwoRows(QFrame* panel) {
  auto* rows = new QVBoxLayout(panel);
  rows->setContentsMargins(4, 2, 4, 2);
  rows->setSpacing(2);
  auto* first = new QHBoxLayout;
  auto* second = new QHBoxLayout;
  rows->addLayout(first);
  rows->addLayout(second);
  return {first, second};
}

}  // namespace

LiveUpDown::LiveUpDown(QWidget* parent) : QSpinBox(parent) {
  lineEdit()->hide();
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(kUpDownWidth, kUpDownHeight);
}

LivePanel::LivePanel(QWidget* parent) : QLabel(parent) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setAutoFillBackground(true);
}

void LivePanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  QLabel::mousePressEvent(event);
}

void LivePanel::mouseDoubleClickEvent(QMouseEvent* event) {
  emit doubleClicked();
  QLabel::mouseDoubleClickEvent(event);
}

TFormRis::TFormRis(LiveWindowSetup setup, QWidget* owner) : QDialog(owner), setup_(std::move(setup)) {
  self_ = this;
  if (!setup_.Log) setup_.Log = [](const std::string& text) { recorder::WriteLog(text); };
  FormCreate();
  platform::ui::NoDefaultButtons(*this);
}

TFormRis::~TFormRis() { FormDestroy(); }

void TFormRis::Log(const std::string& text) const {
  if (setup_.Log) setup_.Log(text);
}

void TFormRis::FormCreate() {
  setWindowTitle(kLiveCaption);
  setObjectName("FormRis");
  recorder::YSTANOV& s = *setup_.Setup;
  if (s.FileMinutes == 0) s.FileMinutes = 20;
  const recorder::StatusBlock& status = *setup_.Status;
  channels_ = recorder::ChannelsFromMask(status.ChannelMask);
  if (setup_.ChannelsChosen) setup_.ChannelsChosen(channels_);
  if (channels_.Count == 0)
    refusal_ = "нет каналов";
  else if (s.SampleRate == 0)
    refusal_ = "частота дискретизации 0";
  const unsigned n = std::max<unsigned>(1, channels_.Count);
  shared_ = std::make_unique<LiveShared>(n);
  shared_->ColumnSamples = std::max<uint16_t>(1, s.ChartCompression);
  shared_->SmoothPoints = std::max<int32_t>(1, s.SmoothPoints);
  shared_->SetStatus(status);
  const uint16_t rate = s.SampleRate;  // a copy: the packed field may sit at any address
  Dt = 1.0 / std::max<uint16_t>(1, rate);

  const std::string size = SizeText(s, channels_);
  Log(FormatText("трансляция:  %s; ", size.c_str()) +
      ((status.sysRG & recorder::kRgSynchronised) ? "  Unit синхронизован" : "  Unit НЕ синхронизован"));

  // Controls panel: the view settings and the exit in the first row, the offset buttons and the block
  // header bytes in the second.
  P_uprawlenij = new QFrame(this);
  P_uprawlenij->setFrameShape(QFrame::StyledPanel);
  const auto [top, second] = TwoRows(P_uprawlenij);
  UD_jszdraw = new QSpinBox(P_uprawlenij);
  UD_jszdraw->setObjectName("UD_jszdraw");
  UD_jszdraw->setRange(1, 255);
  UD_jszdraw->setValue(shared_->ColumnSamples);
  UD_jszdraw->setSingleStep(ColumnSamplesStep(UD_jszdraw->value()));
  top->addWidget(UD_jszdraw);
  RadGr_Whatdraw = new QGroupBox(P_uprawlenij);
  auto* radios = new QHBoxLayout(RadGr_Whatdraw);
  radios->setContentsMargins(2, 0, 2, 0);
  RadGr_WhatdrawItems = new QButtonGroup(this);
  const char* items[2] = {"сигнал", "крит-й"};
  for (int i = 0; i < 2; ++i) {
    auto* b = new QRadioButton(QString::fromUtf8(items[i]), RadGr_Whatdraw);
    RadGr_WhatdrawItems->addButton(b, i);
    radios->addWidget(b);
  }
  RadGr_WhatdrawItems->button(0)->setChecked(true);
  top->addWidget(RadGr_Whatdraw);
  P_filter_ris = new QFrame(P_uprawlenij);
  auto* filter = new QHBoxLayout(P_filter_ris);
  filter->setContentsMargins(0, 0, 0, 0);
  UpD_filter_ris_new = new QSpinBox(P_filter_ris);
  UpD_filter_ris_new->setObjectName("UpD_filter_ris_new");
  UpD_filter_ris_new->setRange(1, 10000);
  UpD_filter_ris_new->setValue(shared_->SmoothPoints);
  UpD_filter_ris_new->setSingleStep(SmoothPointsStep(UpD_filter_ris_new->value()));
  filter->addWidget(UpD_filter_ris_new);
  top->addWidget(P_filter_ris);
  BB_on = new QPushButton(P_uprawlenij);
  BB_off = new QPushButton(P_uprawlenij);
  B_Auto_Y = new QPushButton(QString::fromUtf8("Авто Y:"), P_uprawlenij);
  BB_Exit = new QPushButton(QString::fromUtf8("Выход"), P_uprawlenij);
  BB_Exit->setEnabled(false);
  top->addWidget(B_Auto_Y);
  top->addWidget(BB_Exit);
  top->addStretch(1);
  L_zag1 = new QLabel(P_uprawlenij);
  L_zag2 = new QLabel(P_uprawlenij);
  second->addWidget(BB_on);
  second->addWidget(BB_off);
  second->addWidget(L_zag1);
  second->addWidget(L_zag2);
  second->addStretch(1);

  // Sweep area: the colour strip, the channel controls, the graphs.
  auto* middle = new QWidget(this);
  PBs = new platform::ui::PaintBox(middle);
  PBs->SetBackground(Qt::lightGray);
  PB = new platform::ui::PaintBox(middle);
  PB->SetBackground(Qt::black);
  auto* channelsColumn = new QWidget(middle);
  channelsColumn->setFixedWidth(kControlColumn);
  PBs->setFixedWidth(kStripWidth);
  auto* mid = new QHBoxLayout(middle);
  mid->setContentsMargins(0, 0, 0, 0);
  mid->setSpacing(0);
  mid->addWidget(PBs);
  mid->addWidget(channelsColumn);
  mid->addWidget(PB, 1);
  for (unsigned i = 0; i < channels_.Count; ++i) {
    const uint8_t c = channels_.Numbers[i];
    UD[i] = new LiveUpDown(channelsColumn);
    UD[i]->setObjectName(FormatText("UD%02u", i).c_str());
    UD[i]->setRange(1, 1000);
    UD[i]->setValue(500);
    UD[i]->setToolTip(Q(platform::FieldToUtf8(s.ChannelNames[c])));
    udPosition_[i] = 500;
    Scale[i] = kStartScale;
    L_scale[i] = new QLabel(channelsColumn);
    L_name[i] = new QLabel(Q(platform::FieldToUtf8(s.ChannelNames[c]).substr(0, 6)), channelsColumn);
    L_crit[i] = new QLabel(QString::number(s.Thresholds[c]), channelsColumn);
    for (QLabel* l : {L_scale[i], L_name[i], L_crit[i]}) {
      QFont f = l->font();
      f.setPixelSize(kLabelHeight - 2);
      l->setFont(f);
    }
    connect(UD[i], &QSpinBox::valueChanged, this, [this, i](int v) {
      const bool up = v > udPosition_[i];
      udPosition_[i] = v;
      UDClick(static_cast<int>(i), up);
    });
  }
  LB_print = new QListWidget(this);
  LB_print->setGeometry(10, 1, 270, 300);
  LB_print->hide();

  // Bottom panel: the file settings and the event count, then the time, the file and the selected
  // channel's last column. The panels take the width they are given, so that no text widens the
  // window.
  P_bottom = new QFrame(this);
  const auto [bottom1, bottom2] = TwoRows(P_bottom);
  L_size = new QLabel(Q(size), P_bottom);
  P_Time = new LivePanel(P_bottom);
  P_Time->setToolTip(QString::fromUtf8(TimePanelHint(0)));
  P_name_size = new LivePanel(P_bottom);
  P_cnt_crit = new LivePanel(P_bottom);
  P_cnt_crit->setFixedWidth(48);
  P_cnt_crit->setAlignment(Qt::AlignCenter);
  P_minmax = new LivePanel(P_bottom);
  for (QLabel* l : {L_size, static_cast<QLabel*>(P_Time), static_cast<QLabel*>(P_name_size),
                    static_cast<QLabel*>(P_minmax)})
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bottom1->addWidget(L_size, 1);
  bottom1->addWidget(P_cnt_crit);
  bottom2->addWidget(P_Time, 3);
  bottom2->addWidget(P_name_size, 2);
  bottom2->addWidget(P_minmax, 4);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(P_uprawlenij);
  column->addWidget(middle, 1);
  column->addWidget(P_bottom);

  Timer1 = new QTimer(this);
  Timer1->setInterval(kTimerMs);
  connect(Timer1, &QTimer::timeout, this, &TFormRis::Timer1Timer);
  connect(UD_jszdraw, &QSpinBox::valueChanged, this, &TFormRis::UD_jszdrawClick);
  connect(RadGr_WhatdrawItems, &QButtonGroup::idClicked, this, &TFormRis::RadGr_WhatdrawClick);
  connect(UpD_filter_ris_new, &QSpinBox::valueChanged, this, &TFormRis::UpD_filter_ris_newClick);
  connect(BB_on, &QPushButton::clicked, this, &TFormRis::BB_onClick);
  connect(BB_off, &QPushButton::clicked, this, &TFormRis::BB_offClick);
  connect(B_Auto_Y, &QPushButton::clicked, this, &TFormRis::B_Auto_YClick);
  connect(BB_Exit, &QPushButton::clicked, this, &TFormRis::BB_ExitClick);
  connect(P_Time, &LivePanel::clicked, this, &TFormRis::P_TimeClick);
  connect(P_name_size, &LivePanel::clicked, this, &TFormRis::P_name_sizeClick);
  connect(P_cnt_crit, &LivePanel::doubleClicked, this, &TFormRis::P_cnt_critDblClick);
  connect(PB, &platform::ui::PaintBox::MousePressed, this,
          [this](QMouseEvent* e) { PBMouseDown(e->button(), static_cast<int>(e->position().y())); });
  connect(PB, &platform::ui::PaintBox::Resized, this, [this](QSize) { FormResize(); });
  connect(PBs, &platform::ui::PaintBox::Resized, this, [this](QSize) { PBsPaint(); });

  const QSize screen = platform::ui::ScreenSize();
  const int panels = P_uprawlenij->sizeHint().height() + P_bottom->sizeHint().height();
  setMinimumSize(std::min(kMinWidth, screen.width() - kScreenMargin),
                 std::min(static_cast<int>(n) * kRowMinimum + panels + 20, screen.height() - kScreenMargin));
  setMaximumSize(screen.width() - kScreenMargin, screen.height() - kScreenMargin);
  resize(std::min(kMinWidth, screen.width() - kScreenMargin), std::max(minimumHeight(), 420));
  Selected = 0;
  SelectCaptions();
  created_ = true;
  RadGr_WhatdrawClick();
  FormResize();
}

void TFormRis::Layout() {
  const int h = std::max(1, PB->height());
  const unsigned n = std::max<unsigned>(1, channels_.Count);
  RowHeight = std::max(1, h / static_cast<int>(n));
  Top = 0;
  Bottom = h - 1;
  for (unsigned i = 0; i < 8; ++i) Base[i] = RowHeight / 2 + static_cast<int>(i) * RowHeight;
  // Beside each row: its up-down centred on the zero line, the name, the scale of the row and the
  // threshold stacked to its right.
  const int labelWidth = kControlColumn - kLabelLeft;
  for (unsigned i = 0; i < channels_.Count; ++i) {
    UD[i]->move(2, std::max(0, Base[i] - kUpDownHeight / 2));
    L_name[i]->setGeometry(kLabelLeft, Base[i] - kLabelHeight / 2 - kLabelHeight, labelWidth, kLabelHeight);
    L_scale[i]->setGeometry(kLabelLeft, Base[i] - kLabelHeight / 2, labelWidth, kLabelHeight);
    L_crit[i]->setGeometry(kLabelLeft, Base[i] + kLabelHeight / 2 + 1, labelWidth, kLabelHeight);
    L_scale[i]->setText(QString::number(int64_t{Scale[i]} * RowHeight));
  }
}

void TFormRis::UpdateCaption(bool withPoints) {
  const int columnSamples = shared_->ColumnSamples;
  const int points = shared_->SmoothPoints;
  const int width = PB ? PB->width() : 0;
  if (shared_->ShowSmoothed) {
    const bool narrow =
        this->width() <
        7 * static_cast<int>(SmoothedCaption(columnSamples, width, Dt, points, false, false).size()) / 2;
    setWindowTitle(Q(SmoothedCaption(columnSamples, width, Dt, points, narrow, withPoints && narrow)));
  } else {
    setWindowTitle(Q(RawCaption(columnSamples, width, Dt)));
  }
}

void TFormRis::SelectCaptions() {
  BB_on->setText(Q(FormatText("смещение %d канала", Selected)));
  BB_off->setText(Q(FormatText("cброс смещения %d канала", Selected)));
}

LiveView TFormRis::MakeView() {
  LiveView view;
  QPointer<TFormRis> self = self_;
  view.SetWidth = [self](int width) {
    platform::ui::PostToGui([self, width] {
      if (self) self->resize(width, self->height());
    });
  };
  view.DumpRequested = [this] { return dumpRequested_.load(); };
  view.ShowDump = [this, self](std::vector<std::string> lines) {
    dumpRequested_ = false;
    platform::ui::PostToGui([self, lines = std::move(lines)] {
      if (!self) return;
      self->LB_print->clear();
      for (const auto& l : lines) self->LB_print->addItem(Q(l));
    });
  };
  view.HeaderShown = [this] { return headerShown_.load(); };
  view.ShowHeader = [self](std::string a, std::string b) {
    platform::ui::PostToGui([self, a = std::move(a), b = std::move(b)] {
      if (!self) return;
      self->L_zag1->setText(Q(a));
      self->L_zag2->setText(Q(b));
    });
  };
  view.EnableExit = [self] {
    platform::ui::PostToGui([self] {
      if (self) self->BB_Exit->setEnabled(true);
    });
  };
  return view;
}

void TFormRis::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TFormRis::FormShow() {
  if (!Usable()) {
    platform::ui::MessageBox(std::string(kLiveRefused) + refusal_, "Error", platform::ui::MsgButtons::Ok,
                             platform::ui::MsgIcon::Information);
    Log(std::string("трансляция:  ") + kLiveRefused + refusal_);
    QPointer<TFormRis> self = self_;
    platform::ui::PostToGui([self] {
      if (self) self->close();
    });
    return;
  }
  PB->Clear();
  LiveReceptionSetup rs;
  rs.Writer.DataDir = setup_.DataDir;
  rs.Writer.Channels = channels_;
  rs.Writer.Setup = *setup_.Setup;
  rs.Writer.OldFormat = setup_.OldFormat;
  LiveShared* shared = shared_.get();
  rs.Writer.Position = [shared](float& lat, float& lon) {
    const recorder::StatusBlock st = shared->Status();
    lat = st.LAT;
    lon = st.LON;
  };
  rs.Writer.Log = setup_.Log;
  rs.Writer.Tell = [](const std::string& text) {
    platform::ui::PostToGui([text] {
      platform::ui::MessageBox(text, "Error", platform::ui::MsgButtons::Ok, platform::ui::MsgIcon::Error);
    });
  };
  rs.DecimalDump = setup_.DecimalDump;
  ris_ =
      std::make_unique<TRis>(*shared_, [this](int32_t old, int32_t columns) { DrawColumns(old, columns); });
  ris_->Start();
  work_ = std::make_unique<th_work>(*setup_.Link, *shared_, counters_, std::move(rs), MakeView());
  QPointer<TFormRis> self = self_;
  work_->Start([self] {
    platform::ui::PostToGui([self] {
      if (self) self->WorkTerminated();
    });
  });
  // The program's end (the main window closing) stops both threads and closes the live file like the
  // window's own close does.
  hook_ = recorder::Shutdown().Add("TFormRis", [this] {
    FormDestroy();
    if (isVisible()) done(QDialog::Rejected);
  });
  Timer1->start();
}

void TFormRis::FormDestroy() {
  if (stopped_) return;
  stopped_ = true;
  if (Timer1) Timer1->stop();
  if (work_) {
    work_->Terminate();
    platform::ui::JoinServing(work_->Thread());
  }
  // The drawing takes what the reception published last and then ends.
  if (shared_) shared_->Stop();
  if (ris_) platform::ui::JoinServing(ris_->Thread());
  if (shared_ && setup_.Status) *setup_.Status = shared_->Status();
  hook_.Release();
}

void TFormRis::done(int result) {
  FormDestroy();
  QDialog::done(result);
  platform::ui::NotifyGuiWaiters();
}

void TFormRis::WorkTerminated() { close(); }

void TFormRis::BB_ExitClick() {
  if (work_)
    work_->Terminate();
  else
    close();
}

void TFormRis::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FormResize();
}

void TFormRis::FormResize() {
  if (!created_) return;
  Layout();
  UpdateCaption();
  const bool zag = P_uprawlenij->width() > 750 && setup_.ExtraPanel;
  L_zag1->setVisible(zag);
  L_zag2->setVisible(zag);
  headerShown_ = zag;
  if (X >= PB->width()) X = 0;
  PBsPaint();
}

void TFormRis::PBsPaint() {
  QImage& image = PBs->Image();
  image.fill(PBs->Background());
  QPainter p(&image);
  for (unsigned i = 0; i < channels_.Count; ++i) {
    const QColor color = platform::ui::ColorFromBgr(kLiveColors[i]);
    p.fillRect(0, Base[i] - RowHeight / 2, kStripWidth, RowHeight, color);
    p.setPen(Qt::black);
    p.drawLine(0, Base[i], kStripWidth, Base[i]);
  }
  PBs->update();
}

void TFormRis::UD_jszdrawClick() {
  shared_->ColumnSamples = static_cast<uint16_t>(UD_jszdraw->value());
  UD_jszdraw->setSingleStep(ColumnSamplesStep(UD_jszdraw->value()));
  UpdateCaption();
}

void TFormRis::RadGr_WhatdrawClick() {
  const int item = std::max(0, RadGr_WhatdrawItems->checkedId());
  shared_->ShowSmoothed = static_cast<int16_t>(item);
  P_filter_ris->setStyleSheet(item == 0 ? "background-color: grey;" : "");
  UpD_filter_ris_new->setEnabled(item == 1);
  UpdateCaption();
}

void TFormRis::UpD_filter_ris_newClick() {
  shared_->SmoothPoints = UpD_filter_ris_new->value();
  UpD_filter_ris_new->setSingleStep(SmoothPointsStep(UpD_filter_ris_new->value()));
  UpdateCaption(true);
}

void TFormRis::UDClick(int channel, bool up) {
  if (channel < 0 || channel >= channels_.Count) return;
  Scale[channel] = up ? HalveScale(Scale[channel]) : DoubleScale(Scale[channel]);
  L_scale[channel]->setText(QString::number(int64_t{Scale[channel]} * RowHeight));
  Selected = channel;
  SelectCaptions();
}

void TFormRis::PBMouseDown(Qt::MouseButton button, int y) {
  if (button == Qt::RightButton) {
    setWindowTitle(Q(
        FormatText("к %d:  %lld;   смещ. %d;", Selected,
                   static_cast<long long>(int64_t{Scale[Selected]} * (Base[Selected] - y) + Offset[Selected]),
                   Offset[Selected])));
  } else if (button == Qt::LeftButton) {
    const int row = RowHeight > 0 ? y / RowHeight : 0;
    Selected = std::clamp(row, 0, std::max(0, channels_.Count - 1));
    SelectCaptions();
  }
}

void TFormRis::BB_onClick() { Offset[Selected] = Middle[Selected]; }
void TFormRis::BB_offClick() { Offset[Selected] = 0; }

void TFormRis::B_Auto_YClick() {
  // The target first and the counter last: the reception collects for the new target only.
  shared_->ColumnsPerSecond = setup_.Setup->SampleRate / std::max<uint16_t>(1, shared_->ColumnSamples) + 5;
  shared_->ResetAutoScale();
  shared_->ScaleColumns = 0;
}

void TFormRis::P_TimeClick() {
  TimeMode = (TimeMode + 1) % 4;
  P_Time->setToolTip(QString::fromUtf8(TimePanelHint(TimeMode)));
}

void TFormRis::P_name_sizeClick() {
  P_name_size->setText(
      Q(FormatText("%u файлов. посл %s", static_cast<unsigned>(counters_.EventFileCount.load()),
                   counters_.LastEventFile().c_str())));
  Timer1->setInterval(kNameTimerMs);
}

void TFormRis::P_cnt_critDblClick() {
  if (!setup_.ExtraPanel) return;
  if (LB_print->isVisible()) {
    LB_print->hide();
    dumpRequested_ = false;
    return;
  }
  LB_print->clear();
  LB_print->addItem("as");
  LB_print->show();
  LB_print->raise();
  dumpRequested_ = true;
}

void TFormRis::Timer1Timer() {
  Timer1->setInterval(kTimerMs);
  const recorder::StatusBlock st = shared_->Status();
  if (setup_.Status) *setup_.Status = st;
  const TimePanel t = TimePanelText(TimeMode, st, counters_.BlockSeconds, setup_.Setup->GpsInterval);
  P_Time->setText(Q(t.Text));
  QPalette pal = P_Time->palette();
  pal.setColor(QPalette::WindowText, t.DarkRed ? QColor(0x80, 0, 0) : palette().color(QPalette::WindowText));
  P_Time->setPalette(pal);
  const std::string name = counters_.LiveFileName();
  if (!name.empty() && name[0] != ' ')
    P_name_size->setText(
        Q(FormatText("файл %s / %u", name.c_str(), static_cast<unsigned>(counters_.FileSeconds.load()))));
  const uint32_t events = counters_.EventCount;
  if (events != lastEventCount_) {
    lastEventCount_ = events;
    QPalette cp = P_cnt_crit->palette();
    cp.setColor(QPalette::Window, events != 0 ? QColor(Qt::yellow) : palette().color(QPalette::Button));
    P_cnt_crit->setPalette(cp);
    P_cnt_crit->setText(events != 0 ? Q(FormatText("%03u", events)) : QString());
  }
}

void TFormRis::DrawColumns(int32_t old, int32_t columns) {
  // A negative index is the handshake's "nothing new" or "stop", never a column.
  if (old < 0) return;
  const int32_t ringSize = shared_->RingSize();
  const int32_t step = static_cast<int32_t>(shared_->Channels() * 2);
  int32_t index = old >= ringSize ? 0 : old;
  QImage& image = PB->Image();
  const int width = image.width();
  const int height = image.height();
  if (width <= 0 || height <= 0 || columns <= 0) return;
  const unsigned n = channels_.Count;
  const int bottom = std::min(Bottom, height - 1);
  // Vertical lines of one pixel, written straight into the image's rows.
  auto vertical = [&](int x, int y1, int y2, QRgb color) {
    if (x < 0 || x >= width) return;
    if (y1 > y2) std::swap(y1, y2);
    y1 = std::max(y1, 0);
    y2 = std::min(y2, height - 1);
    for (int y = y1; y <= y2; ++y) reinterpret_cast<QRgb*>(image.scanLine(y))[x] = color;
  };
  std::array<QRgb, 8> colors{};
  for (unsigned i = 0; i < n; ++i) colors[i] = platform::ui::ColorFromBgr(kLiveColors[i]).rgb();
  for (int32_t k = 0; k < columns; ++k) {
    vertical(X + 1, Top, bottom, qRgb(255, 255, 255));  // the sweep marker
    vertical(X, Top, bottom, qRgb(0, 0, 0));            // the old trace goes
    for (unsigned i = 0; i < n; ++i) {
      const int32_t max = shared_->Ring(index + 2 * static_cast<int32_t>(i));
      const int32_t min = shared_->Ring(index + 2 * static_cast<int32_t>(i) + 1);
      const int y1 = SweepY(max, Base[i], Offset[i], Scale[i], Top, bottom);
      const int y2 = SweepY(min, Base[i], Offset[i], Scale[i], Top, bottom);
      vertical(X, y1, std::min(y2 + 1, bottom), colors[i]);
    }
    index += step;
    if (index >= ringSize) index = 0;
    if (++X >= width) X = 0;
  }
  const int32_t first = old >= ringSize ? 0 : old;
  for (unsigned i = 0; i < n; ++i) {
    const int32_t max = shared_->Ring(first + 2 * static_cast<int32_t>(i));
    const int32_t min = shared_->Ring(first + 2 * static_cast<int32_t>(i) + 1);
    Middle[i] = static_cast<int32_t>((int64_t{max} + min) / 2);
    if (static_cast<int32_t>(i) == Selected)
      P_minmax->setText(Q(FormatText(" граф. %d: %+9d / %+9d;", Selected, min, max)));
  }
  if (shared_->ScaleColumns == shared_->ColumnsPerSecond) {
    shared_->ScaleColumns = kScaleIdle;
    const std::vector<Extreme> scale = shared_->AutoScale();
    for (unsigned i = 0; i < n; ++i) {
      const ChannelScale cs = AutoScaleOf(scale[i], RowHeight);
      Offset[i] = cs.Offset;
      Scale[i] = cs.Scale;
      L_scale[i]->setText(QString::number(int64_t{Scale[i]} * RowHeight));
    }
  }
  PB->update();
}

}  // namespace acquisition
