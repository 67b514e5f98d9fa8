#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <chrono>
#include <cstring>
#include <fstream>

#include "platform/ui/colors.h"
#include "platform/ui/grab.h"
#include "platform/ui/modal_run.h"
#include "platform/ui/paint_box.h"
#include "support/qt/ui_test_script.h"
#include "support/temp_dir.h"
#include "toolkit/recording_file.h"
#include "toolkit/sample_recording.h"
#include "toolkit/settings_state.h"
#include "toolkit/start_ticks.h"
#include "viewer/settings_logic.h"
#include "viewer/ui/settings_dialog.h"
#include "viewer/ui/settings_page_filter.h"
#include "viewer/ui/settings_page_header.h"
#include "viewer/ui/settings_page_params.h"

namespace viewer {
namespace {

using platform::ui::MsgAnswer;
using support::Ui;
using toolkit::SetupRecord;

class SettingsPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&live, 0, sizeof live);
    toolkit::SetFieldText(live.DataDir, dir.path());
    live.LoadChannels = 3;
    for (int i = 0; i < 64; ++i) live.ChannelMap[i] = static_cast<uint16_t>(i);
    live.Dt = 0.01;
    live.LtaWindow = 10;
    live.StaWindow = 1;
    live.StaLtaScale = 2;
    live.SearchBandLow = 1;
    live.SearchBandHigh = 5;
    live.SpectralChangeWindow = 30;
    live.HistogramRmsMinutes = 5;
    live.FilterLow = 10;
    live.FilterHigh = 20;
    live.PotterHalfLength = 60;
    live.ButterworthOrder = 4;
    live.Header.Rate = 100;
    live.Header.Channels = 3;
    toolkit::SettingsResult = toolkit::kSettingsUnchanged;
    toolkit::SampleRecordingPlan plan;
    plan.frames = 50;
    ASSERT_TRUE(toolkit::WriteSampleRecording(dir.File("cur.rec"), plan));
    toolkit::SetFieldText(live.FileName, "cur.rec");
  }

  int Run(TMainForm& form, const std::function<void(TMainForm&)>& act) {
    Ui().ExpectModal([act](QDialog& d) { act(static_cast<TMainForm&>(d)); }, "TMainForm");
    return platform::ui::RunModal(form);
  }

  void Grab(QWidget& w, const char* name) {
    const char* out = std::getenv("SUITE_GRAB_DIR");
    platform::ui::GrabToPng(w, QDir(out != nullptr ? out : dir.path().c_str()).filePath(name));
  }

  support::TempDir dir;
  SetupRecord live;
};

TEST_F(SettingsPagesTest, HeaderSaveReachesTheFileOnOkAndTheFileStaysReadable) {
  TMainForm form(live);
  Run(form, [&](TMainForm& f) {
    f.PageControl1->setCurrentIndex(kPageHeader);
    auto& page = static_cast<TSh_ZagPage&>(*f.TSh_header);
    EXPECT_EQ(page.SG1->rowCount(), 4);
    EXPECT_EQ(page.SG1->item(0, 2)->text(), "Микр./дискр.");
    Grab(f, "header_page.png");
    // A bad rate: red and nothing stored.
    const SetupRecord before = f.Copy();
    page.E_Freq->setText("70000");
    page.Ed_stat->setText("ABCDEFGHIJKLMN");
    page.BB_zagClick();
    EXPECT_TRUE(IsRedText(page.E_Freq));
    EXPECT_EQ(f.HeaderChanged, 0);
    EXPECT_EQ(std::memcmp(&before, &f.Copy(), sizeof before), 0);
    page.E_Freq->setText("250");
    page.SG1->item(2, 1)->setText("Восток");
    page.SG1->item(3, 2)->setText("0.0000123");
    page.DaTmP_d->setDate(QDate(2010, 7, 28));
    page.DaTmP_t->setTime(QTime(12, 0, 0));
    page.E_msec->setText("500000");
    page.BB_zagClick();
    EXPECT_FALSE(IsRedText(page.E_Freq));
    EXPECT_EQ(f.HeaderChanged, 1);
    f.BitBtnOkClick();
  });
  EXPECT_EQ(toolkit::SettingsResult, toolkit::kSettingsChanged);
  // The file now holds the new header and still passes the header check.
  std::ifstream in(dir.File("cur.rec"), std::ios::binary);
  toolkit::MAIN_HEADER h{};
  in.read(reinterpret_cast<char*>(&h), sizeof h);
  toolkit::CHANNEL_HEADER c[3]{};
  in.read(reinterpret_cast<char*>(c), sizeof c);
  ASSERT_TRUE(in);
  std::string text;
  EXPECT_EQ(toolkit::CheckMainHeader(h, text), 0) << text;
  EXPECT_EQ(h.Rate, 250);
  EXPECT_EQ(std::string(h.Station), "ABCDEFGHIJK");
  EXPECT_EQ(h.Year, 2010);
  EXPECT_DOUBLE_EQ(h.to, 43200.5);
  EXPECT_STREQ(c[1].Name, "\xC2\xEE\xF1\xF2\xEE\xEA");  // "Восток" in Windows-1251
  EXPECT_DOUBLE_EQ(c[2].Coef, 0.0000123);
  // The untouched channel keeps what the file held.
  EXPECT_STREQ(c[0].Name, "\xEA\x31 Z");  // "к1 Z"
  EXPECT_EQ(c[0].Coef, 1e-3);
}

TEST_F(SettingsPagesTest, FilterPageDrawsBothCurvesAndScales) {
  TMainForm form(live);
  form.resize(900, 560);
  form.show();
  auto& page = static_cast<TSh_filt_yctPage&>(*form.TSh_filter);
  page.ListingDir = QString::fromStdString(dir.path());
  form.PageControl1->setCurrentIndex(kPageFilter);
  page.PB1->resize(430, 250);
  page.Rad_Gr_fil->SetItemIndex(0);
  page.E_srez_fil_1->setText("10");
  page.Ed_filt_pot_0->setText("200");
  const auto start = std::chrono::steady_clock::now();
  page.DrawFilterResponse();
  const QImage& img = page.PB1->Image();
  Grab(form, "filter_page.png");
  auto near = [&](int x, int y, QColor want) {
    for (int dy = -1; dy <= 1; ++dy) {
      if (img.pixelColor(x, y + dy) == want) return true;
    }
    return false;
  };
  const QColor blue = platform::ui::ColorFromBgr(0xFF0000);
  const QColor red = platform::ui::ColorFromBgr(0x0000FF);
  const int W = img.width() - 30;
  const int B = img.height() - 5;
  // Well below the 10 Hz cut-off (Nyquist 50 Hz): both at the top.
  const int xLow = W * 20 / 256 + 5;  // ~2 Hz
  EXPECT_TRUE(near(xLow, 5, red));
  // The Butterworth curve in its transition band, where the Potter curve has already fallen.
  ResponseFrame frame{img.width(), img.height(), 0, 0};
  const std::vector<PlotPoint> butterworth = ButterworthCurve(toolkit::GlobalButterworth(), 0.01, frame);
  const PlotPoint p = butterworth[70];  // ~13.7 Hz
  EXPECT_GT(p.Y, 10);
  EXPECT_LT(p.Y, B - 10);
  EXPECT_TRUE(near(p.X, p.Y, blue));
  // Well above it: at the baseline.
  const int xHigh = W * 200 / 256 + 5;  // ~39 Hz
  EXPECT_TRUE(near(xHigh, B - 1, red) || near(xHigh, B, red));
  // The 5 % line.
  const int y95 = static_cast<int>(B - (B - 5) * 0.95);
  int navy = 0;
  for (int x = 5; x < W; ++x) navy += img.pixelColor(x, y95) == platform::ui::ColorFromBgr(0x800000);
  EXPECT_GT(navy, W / 3);
  // Scales cycle.
  for (int i = 0; i < 9; ++i) page.B_Mac_x->click();
  EXPECT_EQ(page.B_Mac_x->text(), "X: x1");
  for (int i = 0; i < 10; ++i) page.B_Mac_y->click();
  EXPECT_EQ(page.B_Mac_y->text(), "Y: -.0");
  // An invalid band: both edits red, the image unchanged.
  page.Rad_Gr_fil->SetItemIndex(1);
  page.E_srez_fil_1->setText("20");
  page.E_srez_fil_2->setText("20.1");
  const QImage before = img.copy();
  page.DrawFilterResponse();
  EXPECT_EQ(page.E_srez_fil_1->palette().color(QPalette::Base), QColor(255, 0, 0));
  EXPECT_EQ(page.E_srez_fil_2->palette().color(QPalette::Base), QColor(255, 0, 0));
  EXPECT_EQ(page.PB1->Image(), before);
  // Refresh time of a long band-stop filter, reported.
  page.Rad_Gr_fil->SetItemIndex(3);
  page.E_srez_fil_2->setText("30");
  page.Ed_filt_pot_0->setText("2200");
  const auto t0 = std::chrono::steady_clock::now();
  page.DrawFilterResponse();
  RecordProperty("refresh_ms_n2200_bandstop",
                 std::to_string(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count()));
  (void)start;
  form.hide();
}

TEST_F(SettingsPagesTest, ListingIsWrittenOnlyForShortLowPassAndAFailedOpenIsReported) {
  TMainForm form(live);
  auto& page = static_cast<TSh_filt_yctPage&>(*form.TSh_filter);
  page.ListingDir = QString::fromStdString(dir.path());
  const std::string listing = dir.File("filtr_pottera.txt");
  struct Case {
    int type;
    const char* n;
    bool written;
  } cases[] = {{0, "128", false}, {1, "111", false}, {0, "111", true}};
  for (const Case& c : cases) {
    std::remove(listing.c_str());
    page.Rad_Gr_fil->SetItemIndex(c.type);
    page.E_srez_fil_1->setText("5");
    page.E_srez_fil_2->setText("20");
    page.Ed_filt_pot_0->setText(c.n);
    page.DrawFilterResponse();
    EXPECT_EQ(std::ifstream(listing).good(), c.written) << c.type << " " << c.n;
  }
  page.ListingDir = QString::fromStdString(dir.File("no/such/dir"));
  Ui().ExpectMessage(MsgAnswer::Ok, "flt.txt");
  page.DrawFilterResponse();
}

TEST_F(SettingsPagesTest, NoRateDrawsNothing) {
  live.Header.Rate = 0;
  TMainForm form(live);
  auto& page = static_cast<TSh_filt_yctPage&>(*form.TSh_filter);
  const QImage before = page.PB1->Image().copy();
  Ui().ExpectMessage(MsgAnswer::Ok, "нет частоты");
  page.DrawFilterResponse();
  EXPECT_EQ(page.PB1->Image(), before);
}

TEST_F(SettingsPagesTest, SearchExitShowsTheLastFailedCheckAndStaysOnThePage) {
  live.SettingsPage = 1;
  TMainForm form(live);
  Run(form, [&](TMainForm& f) {
    ASSERT_EQ(f.PageControl1->currentIndex(), kPageSearch);
    auto& page = static_cast<TSh_FindPage&>(*f.TSh_search);
    EXPECT_EQ(page.L_LTA_f->text(), "4096 точек; полоса от 40 до 204");
    Grab(f, "search_page.png");
    page.Edit_fil1->setText("10");
    page.Edit_fil2->setText("10");
    page.Edit_fil1Change();
    EXPECT_TRUE(IsRedText(page.Edit_fil1));
    EXPECT_TRUE(IsRedText(page.Edit_fil2));
    page.Edit_STA->setText("0.05");
    Ui().ExpectMessage(MsgAnswer::Ok, "Ошибка задания STA");
    f.PageControl1->setCurrentIndex(kPageTest);
    EXPECT_EQ(f.PageControl1->currentIndex(), kPageSearch);
    EXPECT_EQ(f.Copy().StaWindow, 1);
    EXPECT_NEAR(f.Copy().SearchBandLow, 10, 1e-9);
    page.Edit_fil1->setText("1");
    page.Edit_STA->setText("2");
    f.PageControl1->setCurrentIndex(kPageTest);
    EXPECT_EQ(f.PageControl1->currentIndex(), kPageTest);
    EXPECT_NEAR(f.Copy().StaWindow, 2, 1e-9);
    f.BitBtnCancelClick();
  });
  ASSERT_EQ(Ui().Messages().size(), 1u);
  EXPECT_EQ(Ui().Messages()[0].caption, "Поиск");
}

TEST_F(SettingsPagesTest, TestPageLayoutPresetAndBounds) {
  live.SettingsPage = 2;
  live.HarmonicFirst = 1;
  live.HarmonicEnd = 100;
  live.HarmonicStep = 1;
  TMainForm form(live);
  form.show();
  auto& page = static_cast<TSh_TestPage&>(*form.TSh_test);
  page.TSh_TestShow();
  const QWidget* line[] = {page.E_Amp1, page.L_tst0, page.E_frq1, page.L_tst1, page.E_dfrq, page.L_tst2};
  for (int i = 1; i < 6; ++i) EXPECT_EQ(line[i]->x(), line[i - 1]->geometry().right() + 1 + 5) << i;
  const QWidget* line2[] = {page.E_Amp2, page.L_tst3, page.E_frq2, page.L_nois, page.E_nois, page.L_tst4};
  for (int i = 1; i < 6; ++i) EXPECT_EQ(line2[i]->x(), line2[i - 1]->geometry().right() + 1 + 5) << i;
  page.RadGr_Test->SetItemIndex(3);
  page.RadGr_TestClick(3);
  EXPECT_EQ(page.E_Amp1->text(), "300");
  EXPECT_EQ(page.E_frq1->text(), "0.390625");
  Grab(form, "test_page.png");
  page.E_points->setText("1");
  page.E_tst_step->setText("0");
  page.E_tst_end->setText("5000");
  page.E_nois->setText("-3");
  page.TSh_TestExit();
  EXPECT_EQ(form.Copy().HarmonicPeriod, 2u);
  EXPECT_EQ(form.Copy().HarmonicStep, 1);
  EXPECT_EQ(form.Copy().HarmonicEnd, 100);
  EXPECT_EQ(form.Copy().NoiseLevel, 0);  // "-3" refused: the stored value stays
  EXPECT_TRUE(IsRedText(page.E_tst_step));
  EXPECT_EQ(form.Copy().TestMode, 3);
  page.UpDown_tst_kan->setValue(9);
  EXPECT_EQ(form.Copy().TestChannels, 3);  // held at the channels on the plot
  EXPECT_EQ(page.GB_tst_kan->title(), " Тест в 3 каналах ");
  form.hide();
}

TEST_F(SettingsPagesTest, IntegralStationAndSpectrumPagesStoreTheirValues) {
  live.StationHours = 2;
  live.VerticalCursorCount = 2;
  int64_t ticks = 0;
  toolkit::StartTicksFromSeconds(toolkit::SecondsSince1980({{2012, 5, 6}, {7, 8, 9}}), toolkit::kDay1980, 0, ticks);
  live.Header.StartTicks = ticks;
  TMainForm form(live);
  auto& oper = static_cast<TSh_operPage&>(*form.TSh_integral);
  oper.Ed_filtr_3->setText("0.25");
  oper.Ed_filtr_3Change();
  EXPECT_EQ(oper.P_opic_Bp_Oper->text(), "интеграл   f ( t ) * exp { -0.2500 * t } dt");
  oper.Ed_filtr_4->setText("5");
  oper.Ed_filtr_9->setText("0.0001");
  oper.TSh_operExit();
  EXPECT_EQ(form.Copy().DerivativePotterPoints, 20);
  EXPECT_EQ(form.Copy().FreqIntegrationHigh, 0.001);
  EXPECT_EQ(form.Copy().Integral1, 0.001);
  oper.Ed_filtr_4->setText("4000");
  oper.TSh_operExit();
  EXPECT_EQ(form.Copy().DerivativePotterPoints, 20);
  // A typed infinity is refused with a message: the page is not left and the stored corner stays.
  const double corner = form.Copy().IntegralCorner;
  oper.Ed_filtr_2->setText("inf");
  Ui().ExpectMessage(MsgAnswer::Ok, "\"inf\": нужно число от -1e10 до 1e10");
  EXPECT_FALSE(oper.TSh_operExit());
  EXPECT_EQ(form.Copy().IntegralCorner, corner);
  EXPECT_TRUE(IsRedText(oper.Ed_filtr_2));
  oper.Ed_filtr_2->setText("0.5");
  EXPECT_TRUE(oper.TSh_operExit());
  EXPECT_EQ(form.Copy().IntegralCorner, 0.5);
  EXPECT_FALSE(IsRedText(oper.Ed_filtr_2));

  auto& buf = static_cast<TS_bufPage&>(*form.TSh_station);
  buf.TS_bufShow();
  EXPECT_EQ(form.Copy().StationStart, 35000u * 86400);
  buf.UpDownKolH->setValue(24);
  EXPECT_EQ(form.Copy().StationHours, 24);  // 3 channels at 0.01 s fit
  form.Copy().Dt = 0.0001;
  buf.UpDownKolH->setValue(20);
  EXPECT_EQ(form.Copy().StationHours, 24);
  EXPECT_EQ(buf.UpDownKolH->value(), 24);
  EXPECT_TRUE(IsRedText(buf.L_KolH));
  buf.UD_cursor->setValue(5);
  EXPECT_EQ(form.Copy().VerticalCursorCount, 5);
  EXPECT_EQ(buf.P_do_V_cursor->palette().color(QPalette::Window), platform::ui::ColorFromBgr(0xA0A0FF));
  buf.UpD_ekran->setValue(150);
  EXPECT_EQ(form.Copy().PlotHeightPercent, 150);
  EXPECT_EQ(buf.L_ekran->text(), " размер экрана  150%.");
  buf.DTP_min->setTime(QTime(23, 59, 30));
  buf.DTP_dayExit();
  EXPECT_EQ(form.Copy().StationStart, 35000u * 86400 + 86340);
  Ui().ExpectMessage(MsgAnswer::Ok, "06.05.2012 07:08:09");
  buf.B_time_YCTClick();
  EXPECT_EQ(form.Copy().StationStart, static_cast<uint32_t>(toolkit::DaysFromCivil({2012, 5, 6}) * 86400 + 7 * 3600 + 8 * 60 + 9));
  buf.CB_fon->setCurrentIndex(1);
  buf.TS_bufExit();
  EXPECT_EQ(form.Copy().WhiteBackground, 1);

  auto& sp = static_cast<TS_cpektrPage&>(*form.TSh_spectrum);
  sp.E_BLow->setText("49");
  sp.E_BHigh->setText("51");
  sp.E_BHighExit();
  EXPECT_EQ(form.Copy().HarmfulBandHigh, 51.0f);
  EXPECT_EQ(sp.Label19->text(), "50.0000   +/-   1.0000   ");
  EXPECT_EQ(sp.E_BLow->text(), "49.00000");
  form.show();
  for (auto [index, name] : {std::pair{kPageIntegral, "integral_page.png"}, {kPageStation, "station_page.png"},
                             {kPageSpectrum, "spectrum_page.png"}}) {
    form.PageControl1->setCurrentIndex(index);
    Grab(form, name);
  }
  form.hide();
}

}  // namespace
}  // namespace viewer
