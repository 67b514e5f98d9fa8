// The main window's download command end to end against an emulated recorder with a card of known
// recordings: files marked in the FAT grid are read into recording data files whose headers and every
// sample are checked against what the recorder stored; cancel, closing the window and a second press
// while a download ends; the timer's progress texts; the read-portion and file-length settings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stop_token>

#include "acquisition/card_expectations.h"
#include "acquisition/download_files.h"
#include "acquisition/download_thread.h"
#include "emulator/card_image.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/emulated_driver.h"
#include "platform/clock.h"
#include "platform/ftdi/backend.h"
#include "platform/ui/synchronize.h"
#include "recorder/fat_grid.h"
#include "recorder/program_link.h"
#include "recorder/session_texts.h"
#include "recorder/shutdown_path.h"
#include "recorder/status_block.h"
#include "recorder/ui/main_window.h"
#include "recorder/unit_link.h"
#include "recorder/work_log.h"
#include "support/qt/ui_test_script.h"
#include "toolkit/format_text.h"

namespace recorder {
namespace {

namespace fs = std::filesystem;
using acquisition_test::PageRequests;
using acquisition_test::ReadBack;
using acquisition_test::ReadRecording;
using acquisition_test::Stored;
using emulator::CardImageBuilder;
using platform::ui::MsgAnswer;
using support::Ui;
using toolkit::FormatText;

constexpr uint32_t kT0 = 1'394'541'000;  // 15.03.24 12:30:00 GPS
constexpr uint32_t kClock = 1000;        // the default recorder's sample clock
// Seconds from the GPS epoch to 1980-01-01, the start-time epoch of the files.
constexpr int64_t kGpsEpochAfter1980 = 5 * 86400;

// The test clock, with two gates for the download thread.
// The pace gate: once `due()` holds, a worker thread that sleeps waits there until the gate opens. The
// thread sleeps whenever it waits for the recorder, and the recorder's line moves only with the clock,
// so the download stands still at a point the test chose, however fast or loaded the machine is.
// The closing gate: while held, a worker thread that reaches the download's closing pause (the only pause
// of a second or more) waits there, so a test can act between the thread's last caption and its end
// handler.
class GatedClock final : public platform::Clock {
 public:
  uint32_t GetTickCount() override { return inner_.GetTickCount(); }
  void Sleep(uint32_t ms) override {
    if (!platform::ui::IsGuiThread()) {
      std::unique_lock lock(mutex_);
      if ((paceClosed_ && due_()) || (ms >= 1000 && held_)) {
        const bool pace = !(ms >= 1000 && held_);
        (pace ? atPace_ : reached_) = true;
        // The GUI thread checks under the call queue's lock: tell it without ours.
        lock.unlock();
        platform::ui::NotifyGuiWaiters();
        lock.lock();
        changed_.wait(lock, [this, pace] { return pace ? !paceClosed_ : !held_; });
        if (pace) atPace_ = false;
      }
    }
    inner_.Sleep(ms);
  }
  platform::UtcTime NowUtc() override { return inner_.NowUtc(); }
  bool SetUtc(const platform::UtcTime& t) override { return inner_.SetUtc(t); }

  void ClosePace(std::function<bool()> due) {
    std::lock_guard lock(mutex_);
    due_ = std::move(due);
    paceClosed_ = true;
  }
  void OpenPace() {
    {
      std::lock_guard lock(mutex_);
      paceClosed_ = false;
    }
    changed_.notify_all();
  }
  bool AtPace() {
    std::lock_guard lock(mutex_);
    return atPace_;
  }

  void Hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
    reached_ = false;
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
      paceClosed_ = false;
    }
    changed_.notify_all();
  }
  bool Reached() {
    std::lock_guard lock(mutex_);
    return reached_;
  }

 private:
  platform::TestClock inner_{1000, {1'700'000'000, 0}};
  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  bool reached_ = false;
  bool paceClosed_ = false;
  bool atPace_ = false;
  std::function<bool()> due_;
};

class DownloadWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("download_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    emulator::SetUpDefaultDevice(device.recorder.State());
    set = emulator::CommandSet::Install(device.recorder);
    device.recorder.Line().SetRate(2'000'000);
    builder.PowerOn(kT0 - 5);
  }
  void TearDown() override {
    clock.Release();
    w.reset();
    openOnStop.reset();
    fs::remove_all(dir);
  }

  // A recording on the card; its setup copy names the station and the channels.
  void Record(uint8_t channels, uint32_t start, uint32_t pages, uint8_t decimationA = 0) {
    std::array<uint8_t, 512> setupPage{};
    std::memcpy(setupPage.data() + offsetof(YSTANOV, Station), "KAM01", 5);
    for (uint8_t c = 0; c < 8; ++c) {
      const std::string name = "ch" + std::to_string(c);
      std::memcpy(setupPage.data() + offsetof(YSTANOV, ChannelNames) + 8 * c, name.data(), name.size());
    }
    emulator::CardRecording r;
    r.Channels = channels;
    r.StartTime = start;
    r.DataPages = pages;
    r.DecimationA = decimationA;
    r.SetupPage = setupPage;
    builder.Recording(r);
  }

  // Burns the card, starts the window and reads the FAT with its button.
  void StartWithCard() {
    device.recorder.State().card = builder.Build();
    builder.ApplyToStatus(device.recorder.State().status);
    device.recorder.State().status[2] = 0x21;  // synchronised, card present, idle
    w = std::make_unique<Trecorder>(nullptr, dir.string());
    w->show();
    QCoreApplication::processEvents();  // the start-up
    ASSERT_NE(Link, nullptr);
    ASSERT_NE(w->Setup, nullptr);
    ASSERT_EQ(w->SampleClock, kClock);

    w->B_fat->click();
    ASSERT_EQ(w->Fat.FatCount, builder.Files().size());
    ASSERT_TRUE(w->B_read->isEnabled());
    device.recorder.ClearReceived();
  }

  // A right-button press on a file's cell toggles its download mark.
  void Mark(int fatRow) {
    w->SG_f0MouseDown(Qt::RightButton, w->SG_f->columnViewportPosition(1) + 2,
                      w->SG_f->rowViewportPosition(fatRow) + 2);
  }
  bool Marked(int fatRow) const { return w->SG_f->item(fatRow, kFatGridMarkColumn)->text() == "x"; }

  // Serves the GUI thread's queue until the download has been handed back.
  void WaitForDownloadDone() {
    platform::ui::WaitServing([this] { return w->ReadThread == nullptr; });
  }
  // Presses "чтение Unit'а" and serves the GUI thread's queue until the download stands still at the
  // pace gate with at least `pages` pages handled. Asking the thread to end opens the gate.
  void ReadUntilPages(uint32_t pages) {
    const DownloadProgress* progress = &w->Progress;
    clock.ClosePace([progress, pages] { return progress->PagesDone + progress->PagesInPortion >= pages; });
    w->B_read->click();
    ASSERT_NE(w->ReadThread, nullptr);
    openOnStop.emplace(w->ReadThread->Thread().get_stop_token(), [this] { clock.OpenPace(); });
    // A download that ends first (its data folder full, say) ends the wait as well.
    platform::ui::WaitServing([this] { return clock.AtPace() || w->ReadThread == nullptr; });
    ASSERT_NE(w->ReadThread, nullptr) << "the download ended before " << pages << " pages, data folder "
                                      << w->DataDir;
    ASSERT_GE(w->Progress.PagesDone + w->Progress.PagesInPortion, pages);
  }

  // The recording data files of a data directory (the window's by default), sorted.
  std::vector<std::string> DataFiles(std::string dataDir = {}) const {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dataDir.empty() ? w->DataDir : dataDir))
      if (e.path().filename().string().rfind("log_", 0) != 0) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
  }
  // A download that ended early: `file` holds the first whole frames of card file `f`, at least those
  // of `pages` pages, and not all of them.
  static void ExpectBeginningOf(const std::string& file, const emulator::CardFile& f, unsigned channels,
                                uint32_t pages) {
    const ReadBack r = ReadRecording(file);
    ASSERT_TRUE(r.Ok) << file;
    const auto frames = static_cast<uint32_t>(r.Samples.size() / channels);
    EXPECT_EQ(r.Samples.size(), frames * channels);
    EXPECT_GE(frames, pages * f.FramesPerPage);
    EXPECT_LT(frames, DataFrames(f));
    EXPECT_EQ(r.Samples, Stored(f.Number, 0, frames, channels));
  }
  std::string LogText() const {
    std::ifstream in(w->LogFileName);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The page requests since the FAT reading.
  std::vector<std::pair<uint32_t, uint32_t>> Requests() const { return PageRequests(device.recorder); }
  static uint32_t DataFrames(const emulator::CardFile& f) {
    return (f.LastPage - f.FirstDataPage + 1) * f.FramesPerPage;
  }
  // The start time a file of a first sample at GPS second `gps` carries: 1/256 us since 1980-01-01.
  static int64_t StartTicks(uint32_t gps) { return (int64_t{gps} + kGpsEpochAfter1980) * 256'000'000; }

  // The commands a running download disables, and the status watch.
  void ExpectCommandsLocked(bool locked) {
    for (QWidget* c : std::initializer_list<QWidget*>{w->P_knopok, w->BB_status, w->P_cmd, w->BB_close,
                                                      w->P_dop, w->SB_id})
      EXPECT_EQ(c->isEnabled(), !locked) << c->objectName().toStdString();
    EXPECT_EQ(w->P_rd->isVisibleTo(w.get()), locked);
    EXPECT_EQ(w->PB->isVisibleTo(w.get()), locked);
  }

  GatedClock clock;
  platform::ScopedClock useClock{clock};
  std::optional<std::stop_callback<std::function<void()>>> openOnStop;
  emulator::EmulatedDriver driver;
  platform::ftdi::ScopedDriver useDriver{driver};
  emulator::EmulatedDevice& device = driver.Attach();
  std::shared_ptr<emulator::CommandSet> set;
  CardImageBuilder builder{1, 1, 2, kClock};
  fs::path dir;
  std::unique_ptr<Trecorder> w;
};

TEST_F(DownloadWindowTest, MarkedFilesAreReadIntoCompleteFilesAndTheCommandsComeBack) {
  Record(3, kT0, 60);                     // FAT row 1: 1000 Hz, 50 frames a page
  Record(2, kT0 + 100, 40, 4);            // row 2: not marked
  Record(1, kT0 + 200, 30, 9);            // row 3: 100 Hz, one channel
  Record(3, kT0 + 300, 2);                // row 4: too short to read, even when marked
  builder.Sync(0, kT0 + 400, kT0 + 402);  // the recorder's clock was 2 s behind GPS
  StartWithCard();
  Mark(1);
  Mark(3);
  Mark(4);
  Mark(2);
  Mark(2);
  ASSERT_TRUE(Marked(1) && Marked(3) && Marked(4));
  ASSERT_FALSE(Marked(2));
  w->B_read->click();

  ASSERT_NE(w->ReadThread, nullptr);
  EXPECT_EQ(w->B_read->text().toStdString(), "Cancel");
  EXPECT_TRUE(w->B_read->isEnabled());
  EXPECT_TRUE(w->DownloadRunning());
  ExpectCommandsLocked(true);
  EXPECT_EQ(Shutdown().Hooked(), std::vector<std::string>{"TrdBce"});
  ASSERT_EQ(w->SelCount, 2);
  EXPECT_EQ(w->SelFiles[0].BeginPage, builder.Files()[0].SetupPage);
  EXPECT_EQ(w->SelFiles[1].BeginPage, builder.Files()[2].SetupPage);
  EXPECT_EQ(w->SelFiles[2].BeginPage, 0u);

  WaitForDownloadDone();
  EXPECT_EQ(w->B_read->text().toStdString(), kReadCaption);
  EXPECT_TRUE(w->B_read->isEnabled());
  EXPECT_FALSE(w->DownloadRunning());
  ExpectCommandsLocked(false);
  EXPECT_EQ(w->ReadTotal.load(), 0.0);
  EXPECT_TRUE(Shutdown().Hooked().empty());
  EXPECT_NE(w->L_N->text().indexOf(" Kb за "), -1) << w->L_N->text().toStdString();

  // Only the marked files were asked for, each from its setup copy on.
  for (const auto& [first, count] : Requests()) {
    const bool inFirst = first >= builder.Files()[0].SetupPage && first <= builder.Files()[0].LastPage;
    const bool inThird = first >= builder.Files()[2].SetupPage && first <= builder.Files()[2].LastPage;
    EXPECT_TRUE(inFirst || inThird) << first << " " << count;
  }
  const std::vector<std::string> files = DataFiles();
  ASSERT_EQ(files.size(), 2u);
  const unsigned channels[2] = {3, 1};
  const size_t rows[2] = {0, 2};
  std::vector<std::string> names;
  for (size_t i = 0; i < 2; ++i) {
    const emulator::CardFile& f = builder.Files()[rows[i]];
    const ReadBack r = ReadRecording(files[i]);
    ASSERT_TRUE(r.Ok) << files[i];
    EXPECT_EQ(r.Main.Channels, channels[i]);
    EXPECT_EQ(r.Main.Rate, f.OutputRate);
    EXPECT_EQ(r.Main.Format, 60);
    EXPECT_EQ(r.Main.StartTicks, StartTicks(kT0 + 200 * static_cast<uint32_t>(i) + 2));
    EXPECT_STREQ(r.Main.Station, "KAM01");
    ASSERT_EQ(r.Channels.size(), channels[i]);
    EXPECT_STREQ(r.Channels.back().Name, ("ch" + std::to_string(channels[i] - 1)).c_str());
    EXPECT_EQ(r.Samples, Stored(f.Number, 0, DataFrames(f), channels[i])) << files[i];
    names.push_back(fs::path(files[i]).filename().string());
  }
  EXPECT_EQ(w->L_dt->text().toStdString(), names.back());
  const std::string log = LogText();
  EXPECT_NE(log.find(FormatText("\n стр %u - SETUP:", builder.Files()[2].SetupPage)), std::string::npos)
      << log;
  EXPECT_NE(log.find(w->L_N->text().toStdString()), std::string::npos);
}

TEST_F(DownloadWindowTest, TheFileLengthAndFormatOfTheWindowReachTheFiles) {
  // 100 Hz, three channels: two minutes are 240 pages of 50 frames.
  Record(3, kT0, 300, 9);
  StartWithCard();
  w->UD_dl->setValue(2);
  EXPECT_EQ(w->P_dl->text().toStdString(), " файлы по 2 мин.");
  EXPECT_EQ(w->Setup->FileMinutes, 2);
  w->SB_format->setChecked(true);
  Mark(1);
  w->B_read->click();
  WaitForDownloadDone();

  const std::vector<std::string> files = DataFiles();
  ASSERT_EQ(files.size(), 2u);
  const emulator::CardFile& f = builder.Files()[0];
  const ReadBack first = ReadRecording(files[0]);
  const ReadBack second = ReadRecording(files[1]);
  EXPECT_EQ(first.Main.Format, 1);
  EXPECT_EQ(first.Samples, Stored(f.Number, 0, 12000, 3));
  EXPECT_EQ(second.Main.StartTicks, StartTicks(kT0 + 120));
  EXPECT_EQ(second.Samples, Stored(f.Number, 12000, DataFrames(f) - 12000, 3));
}

TEST_F(DownloadWindowTest, ARangeOfPagesIsSplitIntoItsRecordingsWithTheCorrectionsOfTheirRows) {
  Record(3, kT0, 20);
  builder.Sync(0, kT0 + 50, kT0 + 52);
  builder.PowerOn(kT0 + 90);
  Record(2, kT0 + 100, 30, 4);
  builder.Sync(0, kT0 + 150, kT0 + 155);
  StartWithCard();
  const emulator::CardFile f0 = builder.Files()[0];
  const emulator::CardFile f1 = builder.Files()[1];
  w->SB_dop->click();  // the extra panel with the page boxes
  w->CB_fat->click();  // pages from the boxes
  ASSERT_FALSE(w->CB_fat->isChecked());
  ASSERT_TRUE(w->E_Beg_adr->isEnabled());
  // Up to 40 erased pages past the last recording.
  w->E_Beg_adr->setText(QString::fromStdString(FormatText("%08u", f0.SetupPage)));
  w->E_Kon_adr->setText(QString::fromStdString(FormatText("%08u", f1.LastPage + 40)));
  w->B_read->click();
  ASSERT_NE(w->ReadThread, nullptr);
  EXPECT_EQ(w->BegPage, f0.SetupPage);
  EXPECT_EQ(w->EndPage, f1.LastPage + 40);
  EXPECT_EQ(w->SelCount, 1);
  EXPECT_EQ(w->SelFiles[0].BeginPage, f0.SetupPage);
  EXPECT_EQ(w->SelFiles[0].EndPage, f1.LastPage + 40);
  EXPECT_FALSE(w->StatusB->currentMessage().isEmpty()) << "the page check ran";
  WaitForDownloadDone();
  ExpectCommandsLocked(false);

  const std::vector<std::string> files = DataFiles();
  ASSERT_EQ(files.size(), 2u);
  const ReadBack a = ReadRecording(files[0]);
  const ReadBack b = ReadRecording(files[1]);
  EXPECT_EQ(a.Main.Channels, 3);
  EXPECT_EQ(a.Main.StartTicks, StartTicks(kT0 + 2));
  EXPECT_EQ(a.Samples, Stored(f0.Number, 0, DataFrames(f0), 3));
  EXPECT_EQ(b.Main.Channels, 2);
  EXPECT_EQ(b.Main.Rate, f1.OutputRate);
  EXPECT_EQ(b.Main.StartTicks, StartTicks(kT0 + 100 + 5));
  EXPECT_EQ(b.Samples, Stored(f1.Number, 0, DataFrames(f1), 2));
  const std::string log = LogText();
  EXPECT_NE(log.find(FormatText("\nЧитаем карту от %u до %u;   \n", f0.SetupPage, f1.LastPage + 40)),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(FormatText("\nв бл. %u конец последней записи;", f1.LastPage)), std::string::npos);
  // The extra panel was open: each file's correction is logged.
  EXPECT_NE(log.find("    ...file 2; dtcинх(1)    5.000000"), std::string::npos) << log;

  // A range that ends before it begins holds nothing.
  w->E_Kon_adr->setText(QString::fromStdString(FormatText("%08u", f0.SetupPage - 1)));
  Ui().ExpectMessage(MsgAnswer::Ok, " ! Нет выбранных файлов !");
  w->B_read->click();
  EXPECT_EQ(w->ReadThread, nullptr);
  EXPECT_EQ(DataFiles().size(), 2u);
}

TEST_F(DownloadWindowTest, NothingToReadOrABusyLineIsReportedAndNothingStarts) {
  Record(3, kT0, 20);
  Record(3, kT0 + 100, 2);
  StartWithCard();
  Ui().ExpectMessage(MsgAnswer::Ok, " ! Нет выбранных файлов !");
  w->B_read->click();
  // A marked file of two pages holds nothing to read either.
  Mark(2);
  Ui().ExpectMessage(MsgAnswer::Ok, " ! Нет выбранных файлов !");
  w->B_read->click();
  const auto messages = Ui().Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].caption, "error");
  EXPECT_EQ(messages[1].icon, platform::ui::MsgIcon::Error);
  EXPECT_EQ(w->ReadThread, nullptr);
  EXPECT_TRUE(Requests().empty());
  EXPECT_TRUE(DataFiles().empty());
  EXPECT_EQ(w->B_read->text().toStdString(), kReadCaption);
  ExpectCommandsLocked(false);

  // A line that does not fall quiet: nothing is read.
  Mark(1);
  set->StartStream(builder.Files()[0].SetupPage, 60000);
  Ui().ExpectMessage(MsgAnswer::Ok, "повтори запуск чтения!");
  w->B_read->click();
  EXPECT_EQ(w->ReadThread, nullptr);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(w->SelCount, 0);
  set->StartStream(0, 0);
  while (Link->DrainMessages() != 0) {
  }

  // A setup block that cannot be read is replaced by the defaults, and the download goes on.
  device.recorder.SetHandler(emulator::kCommandDataFlash, 0, {});
  Ui().ExpectMessage(MsgAnswer::Ok, "ошибка чтения стр. 0");
  Ui().ExpectMessage(MsgAnswer::Ok, "Ошибка при чтении Setup'a Unit'a.  DefaultSetup.");
  w->B_read->click();
  ASSERT_NE(w->ReadThread, nullptr);
  WaitForDownloadDone();
  EXPECT_EQ(DataFiles().size(), 1u);
  EXPECT_NE(LogText().find("Ошибка при чтении Setup'a Unit'a.  DefaultSetup.\n"), std::string::npos);
}

TEST_F(DownloadWindowTest, TheTimerShowsTheProgressOfTheRunningDownload) {
  Record(3, kT0, 2000);
  StartWithCard();
  Mark(1);
  // The download's start lies between these two ticks.
  const uint32_t beforePress = clock.GetTickCount();
  ASSERT_NO_FATAL_FAILURE(ReadUntilPages(300));
  const uint32_t afterPress = clock.GetTickCount();
  const uint32_t done = w->Progress.PagesDone + w->Progress.PagesInPortion;
  const uint32_t index = w->Progress.FileIndex;
  w->Tmer2Timer();
  ASSERT_EQ(w->Progress.PagesDone + w->Progress.PagesInPortion, done);
  const double total = w->ReadTotal.load();
  EXPECT_EQ(total, 1.0 + builder.Files()[0].LastPage - builder.Files()[0].SetupPage);
  EXPECT_EQ(w->L_rd->text().toStdString(),
            FormatText("N_%02u;  c.%07u ", index, done + builder.Files()[0].SetupPage));
  EXPECT_EQ(w->PB->value(), static_cast<int>(done * 100.0 / total));
  const uint32_t now = clock.GetTickCount();
  const std::string shown = w->L_N->text().toStdString();
  bool matches = false;
  for (uint32_t seconds = (now - afterPress) / 1000; seconds <= (now - beforePress) / 1000; ++seconds)
    matches |= shown == FormatText("%03ucek  (%03uKb/cek  -  ~%.0fcек );", seconds, done / 2,
                                   (total - w->Progress.PagesDone) / done);
  EXPECT_TRUE(matches) << shown;
  // Nothing came since: the rate falls to 0 and the estimate goes.
  w->Tmer2Timer();
  EXPECT_EQ(w->L_N->text().toStdString(), shown.substr(0, 3) + "cek  (000Kb/cek);");
  Ui().ExpectMessage(MsgAnswer::Ok, "Чтение закончено раньше: прервано пользователем.");
  w->B_read->click();
  WaitForDownloadDone();
}

TEST_F(DownloadWindowTest, ASecondPressCancelsAndTheReceivedSamplesStayInTheFile) {
  Record(3, kT0, 2000);
  StartWithCard();
  Mark(1);
  ASSERT_NO_FATAL_FAILURE(ReadUntilPages(200));
  acquisition::TrdBce* running = w->ReadThread.get();
  Ui().ExpectMessage(MsgAnswer::Ok, "Чтение закончено раньше: прервано пользователем.");
  w->B_read->click();
  EXPECT_EQ(w->ReadThread.get(), running) << "the press cancels, it starts nothing";
  EXPECT_FALSE(w->B_read->isEnabled());
  WaitForDownloadDone();
  // The user reads which file is cut.
  const auto boxes = Ui().Messages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, acquisition::kIncompleteCaption);
  EXPECT_EQ(boxes[0].icon, platform::ui::MsgIcon::Warning);
  EXPECT_NE(boxes[0].text.find("Полные файлы: 0\nНеполные файлы: 1\n   " + w->L_dt->text().toStdString() +
                               ": до стр."),
            std::string::npos)
      << boxes[0].text;
  EXPECT_EQ(w->L_N->text().toStdString().rfind("прочитано не всё! ", 0), 0u);

  EXPECT_EQ(w->B_read->text().toStdString(), kReadCaption);
  EXPECT_FALSE(w->B_read->isEnabled()) << "until the FAT is read again";
  ExpectCommandsLocked(false);
  EXPECT_NE(LogText().find("\n   T e r m i n a t e d !"), std::string::npos);
  const auto requests = Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.front().first, builder.Files()[0].SetupPage);
  EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                          [&](const auto& r) { return r.first == builder.Files()[0].SetupPage; }),
            1);
  const std::vector<std::string> files = DataFiles();
  ASSERT_EQ(files.size(), 1u);
  ExpectBeginningOf(files[0], builder.Files()[0], 3, 199);

  // The recorder no longer streams the rest of the portion: the next FAT reading finds a quiet line and
  // the file on the card.
  EXPECT_EQ(set->PagesPending(), 0u);
  w->B_fat->click();
  EXPECT_EQ(w->Fat.FatCount, 1);
  EXPECT_EQ(Ui().Messages().size(), 1u) << Ui().Messages().back().text;
}

TEST_F(DownloadWindowTest, APressAfterTheThreadsLastCaptionStartsNoSecondDownload) {
  Record(3, kT0, 30);
  StartWithCard();
  Mark(1);
  clock.Hold();
  w->B_read->click();
  // The thread has shown "x x x" and waits in its closing pause; its end handler has not run.
  platform::ui::WaitServing([this] { return clock.Reached() || w->ReadThread == nullptr; });
  ASSERT_NE(w->ReadThread, nullptr) << "the download ended without its closing pause, data folder " << w->DataDir;
  EXPECT_EQ(w->B_read->text().toStdString(), "x x x");
  EXPECT_TRUE(w->B_read->isEnabled());
  EXPECT_TRUE(w->DownloadRunning());
  acquisition::TrdBce* ending = w->ReadThread.get();
  w->B_read->click();
  EXPECT_EQ(w->ReadThread.get(), ending);
  clock.Release();
  WaitForDownloadDone();
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], std::make_pair(builder.Files()[0].SetupPage, 31u));
  EXPECT_EQ(DataFiles().size(), 1u);
  EXPECT_EQ(w->B_read->text().toStdString(), kReadCaption);
}

TEST_F(DownloadWindowTest, ClosingTheWindowMidDownloadCancelsAndLeavesACompleteFile) {
  Record(3, kT0, 1500);
  Record(3, kT0 + 100, 1500);
  StartWithCard();
  Mark(1);
  Mark(2);
  ASSERT_NO_FATAL_FAILURE(ReadUntilPages(100));
  w->close();  // the title bar's close
  EXPECT_EQ(w->ReadThread, nullptr);
  EXPECT_TRUE(Shutdown().Hooked().empty());
  EXPECT_EQ(w->Setup, nullptr);
  const std::vector<std::string> files = DataFiles();
  ASSERT_EQ(files.size(), 1u) << "the second file was never begun";
  ExpectBeginningOf(files[0], builder.Files()[0], 3, 99);
  EXPECT_NE(LogText().find("\n   T e r m i n a t e d !"), std::string::npos);
}

TEST_F(DownloadWindowTest, DestroyingTheWindowMidDownloadJoinsTheThreadFirst) {
  Record(3, kT0, 1500);
  StartWithCard();
  Mark(1);
  ASSERT_NO_FATAL_FAILURE(ReadUntilPages(100));
  const std::string dataDir = w->DataDir;
  w.reset();
  EXPECT_TRUE(Shutdown().Hooked().empty());
  const std::vector<std::string> files = DataFiles(dataDir);
  ASSERT_EQ(files.size(), 1u);
  ExpectBeginningOf(files[0], builder.Files()[0], 3, 99);
}

TEST_F(DownloadWindowTest, AWorkLogThatDoesNotOpenIsReportedAndTheWindowGoesOn) {
  Record(3, kT0, 20);
  StartWithCard();
  Mark(1);
  // Nothing can be created below a plain file, not even by root.
  const std::string plain = (fs::path(w->DataDir).parent_path() / "plain").string();
  std::ofstream(plain) << "x";
  TheWorkLog().SetFileName(plain + "/log.txt");
  Ui().ExpectMessage(MsgAnswer::Ok, "error open txt.file");
  w->B_read->click();
  WaitForDownloadDone();
  EXPECT_TRUE(Ui().Exits().empty());
  EXPECT_TRUE(Requests().empty());
  EXPECT_TRUE(DataFiles().empty());
  EXPECT_EQ(w->B_read->text().toStdString(), kReadCaption);
  EXPECT_TRUE(w->P_cmd->isEnabled());
  EXPECT_TRUE(w->BB_close->isEnabled());
}

TEST_F(DownloadWindowTest, TheReadPortionCyclesAndTheFileLengthFollowsTheArrows) {
  StartWithCard();
  EXPECT_TRUE(w->B_dl_read->isEnabled());
  EXPECT_TRUE(w->UD_dl->isEnabled());
  EXPECT_TRUE(w->SB_korr->isEnabled());
  ASSERT_EQ(w->ReadPortion, 4096);
  for (int press = 1; press <= 15; ++press) {
    w->B_dl_read->click();
    const int expected = press < 15 ? 4096 * (press + 1) : 4096;
    EXPECT_EQ(w->ReadPortion, expected);
    EXPECT_EQ(w->B_dl_read->text().toStdString(), FormatText("буфер %d стр.", expected));
  }
  EXPECT_NE(LogText().find("буфер 61440 стр.\nбуфер 4096 стр.\n"), std::string::npos);
  w->Setup->Language = 1;
  w->B_dl_read->click();
  EXPECT_EQ(w->B_dl_read->text().toStdString(), " 8192 pages");

  w->UD_dl->setValue(6);
  EXPECT_EQ(w->P_dl->text().toStdString(), " файлы по 6 мин.");
  EXPECT_EQ(w->Setup->FileMinutes, 6);
  w->UD_dl->stepDown();
  EXPECT_EQ(w->UD_dl->value(), 4);
  w->UD_dl->setValue(0);
  EXPECT_EQ(w->P_dl->text().toStdString(), " весь файл");
  EXPECT_EQ(w->Setup->FileMinutes, 0);
  w->UD_dl->stepDown();
  EXPECT_EQ(w->UD_dl->value(), 0);
}

}  // namespace
}  // namespace recorder
