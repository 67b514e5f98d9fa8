// The libftdi1 back end through the stand-in library, with emulated recorders behind it: listing, the
// port settings, exchanges, a FAT read and a download, and the faults of a real bus.
#include "platform/ftdi/libftdi_driver.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "acquisition/card_expectations.h"
#include "acquisition/download_files.h"
#include "acquisition/download_thread.h"
#include "emulator/card_image.h"
#include "emulator/command_set.h"
#include "emulator/default_device.h"
#include "emulator/emulated_driver.h"
#include "platform/ftdi/line_settings.h"
#include "platform/ftdi/read_fault_reports.h"
#include "recorder/fat_link.h"
#include "recorder/unit_commands.h"
#include "recorder/unit_link.h"
#include "standin/standin_bus.h"

namespace platform::ftdi {
namespace {

using standin::Bus;
using standin::UsbDevice;

constexpr uint32_t kT0 = 1'394'541'000;  // 15.03.24 12:30:00

class LibftdiBackend : public ::testing::Test {
 protected:
  void TearDown() override {
    link.reset();
    driver.reset();
    Bus::Instance().Clear();
  }

  UsbDevice& AddRecorder(const std::string& serial, const std::string& description = "T-9XV Unit",
                         uint8_t number = 5) {
    UsbDevice& d = Bus::Instance().Attach();
    d.serial = serial;
    d.description = description;
    emulator::DefaultDeviceOptions options;
    options.number = number;
    emulator::SetUpDefaultDevice(d.recorder.State(), options);
    sets.push_back(emulator::CommandSet::Install(d.recorder));
    return d;
  }

  // Changes the bus while the reader thread may be using it.
  template <typename Change>
  void WithBus(Change change) {
    {
      std::lock_guard lock(Bus::Instance().Mutex());
      change();
    }
    Bus::Instance().Changed().notify_all();
  }

  void Open(int32_t chosen = 0) {
    ASSERT_TRUE(link->ListDevices());
    link->Chosen = chosen;
    ASSERT_TRUE(link->OpenLink()) << link->OpenFailure;
  }

  // Waits on the clock (the reader keeping pace) until the receive queue holds `count` bytes.
  uint32_t WaitForQueue(uint32_t count) {
    uint32_t rx = 0, tx = 0, events = 0;
    for (int i = 0; i < 200; ++i) {
      if (driver->GetStatus(link->Settings->Handle, rx, tx, events) != FT_OK || rx >= count) break;
      platform::Sleep(1);
    }
    return rx;
  }

  // Waits in real time, at most 5 s, for a report containing `text` (the reader's own pace).
  bool WaitForReport(const std::string& text) {
    for (int i = 0; i < 500; ++i) {
      {
        std::lock_guard lock(reportsMutex);
        for (const auto& r : reports)
          if (r.find(text) != std::string::npos) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  std::vector<std::string> Reports() {
    std::lock_guard lock(reportsMutex);
    return reports;
  }

  standin::LockstepClock clock{5000};
  platform::ScopedClock scoped{clock};
  std::mutex reportsMutex;
  std::vector<std::string> reports;
  std::unique_ptr<LibftdiDriver> driver = std::make_unique<LibftdiDriver>([this](const std::string& line) {
    std::lock_guard lock(reportsMutex);
    reports.push_back(line);
  });
  std::unique_ptr<recorder::UnitLink> link = std::make_unique<recorder::UnitLink>(*driver);
  std::vector<std::shared_ptr<emulator::CommandSet>> sets;
};

TEST_F(LibftdiBackend, ListsTheVendorsBridgesWithTheirDetails) {
  AddRecorder("UNIT0001");
  UsbDevice& uart = Bus::Instance().Attach();
  uart.product = 0x6015;
  uart.release = 0x1000;
  uart.description = "FT230X Basic UART";
  uart.ports = {2, 3};
  Bus::Instance().Attach().vendor = 0x067B;   // another vendor's bridge
  Bus::Instance().Attach().product = 0x1234;  // not a product the back end looks for

  uint32_t count = 0;
  ASSERT_EQ(driver->CreateDeviceInfoList(count), FT_OK);
  ASSERT_EQ(count, 2u);
  struct Expected {
    uint32_t type, id, location;
    const char* serial;
    const char* description;
  };
  const Expected expected[] = {{5, 0x04036001, 0x01100000, "UNIT0001", "T-9XV Unit"},
                               {9, 0x04036015, 0x01230000, "UNIT0001", "FT230X Basic UART"}};
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t flags = 9, type = 0, id = 0, location = 0;
    char serial[kSerialSize], description[kDescriptionSize];
    FtHandle handle = 7;
    ASSERT_EQ(driver->GetDeviceInfoDetail(i, flags, type, id, location, serial, description, handle), FT_OK);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(type, expected[i].type) << i;
    EXPECT_EQ(id, expected[i].id) << i;
    EXPECT_EQ(location, expected[i].location) << i;
    EXPECT_STREQ(serial, expected[i].serial);
    EXPECT_STREQ(description, expected[i].description);
    EXPECT_EQ(driver->DeviceProblem(i), "");
  }

  ASSERT_TRUE(link->ListDevices());
  EXPECT_EQ(link->DeviceCount, 1u);
  EXPECT_EQ(link->Examined, 2u);
  EXPECT_TRUE(link->Unreadable.empty());
}

TEST_F(LibftdiBackend, OpensWithThePortSettingsAndReadsStatusAndFat) {
  UsbDevice& d = AddRecorder("UNIT0001");
  emulator::CardImageBuilder builder{1, 1, 2, 1000};
  builder.PowerOn(kT0 - 5);
  for (uint32_t i = 0; i < 3; ++i) {
    emulator::CardRecording r;
    r.StartTime = kT0 + 100 * i;
    r.DataPages = 10 + i;
    builder.Recording(r);
  }
  d.recorder.State().card = builder.Build();
  builder.ApplyToStatus(d.recorder.State().status);
  d.recorder.State().status[2] = 0x21;  // synchronised, card present, idle
  Open();
  {
    std::lock_guard lock(Bus::Instance().Mutex());
    EXPECT_EQ(d.baud, 115200);
    EXPECT_EQ(d.bits, 8);
    EXPECT_EQ(d.stop, 0);  // one stop bit
    EXPECT_EQ(d.parity, 0);
    EXPECT_EQ(d.flow, 0x100);  // RTS/CTS
    EXPECT_EQ(d.dtr, 1);
    EXPECT_EQ(d.rts, 1);
    EXPECT_EQ(d.latency, 2);
    EXPECT_EQ(d.chunk, 4096u);
    ASSERT_GE(d.calls.size(), 4u);
    EXPECT_EQ(d.calls[0], "open");
    EXPECT_NE(std::find(d.calls.begin(), d.calls.end(), "reset"), d.calls.end());
    EXPECT_EQ(d.calls.back(), "modem");
  }
  EXPECT_EQ(link->Settings->Cts, 1u);
  EXPECT_EQ(link->Settings->Dsr, 1u);

  EXPECT_EQ(link->DrainMessages(), 0u);
  recorder::StatusBlock status{};
  ASSERT_EQ(recorder::ReadStatus(*link, status), recorder::kDone) << link->Log;
  EXPECT_EQ(status.Id, d.recorder.State().status[0] | d.recorder.State().status[1] << 8);

  recorder::FatTable table;
  recorder::FatReadingOptions options;
  options.LogFileName = (std::filesystem::current_path() / "libftdi_fat_log.txt").string();
  options.SampleClock = 1000;
  std::vector<std::string> boxes;
  recorder::FatReadingUi ui;
  ui.Message = [&](const std::string& text, const std::string&, recorder::FatReadingUi::Icon) {
    boxes.push_back(text);
  };
  ui.AskYesNo = [&](const std::string& text, const std::string&) {
    boxes.push_back(text);
    return true;
  };
  recorder::UnitLinkFatOps ops(*link);
  const recorder::FatReadingResult r = recorder::ReadFat(ops, table, status, options, ui);
  std::filesystem::remove(options.LogFileName);
  ASSERT_TRUE(r.Read);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  ASSERT_EQ(table.FatCount, 3);
  for (unsigned i = 0; i < 3; ++i) EXPECT_EQ(table.FatFiles[i].EndPage, builder.Files()[i].LastPage);
  EXPECT_EQ(link->WriteErrors, 0u);

  std::lock_guard lock(Bus::Instance().Mutex());
  // libusb's wait for a read is bounded, so that a hung device cannot hold the close for seconds.
  EXPECT_GT(d.readTimeoutMs, 0);
  EXPECT_LE(d.readTimeoutMs, 1000);
  EXPECT_EQ(d.controlDuringRead, 0);
}

TEST_F(LibftdiBackend, ADownloadIsSampleForSampleTheDownloadOfTheEmulatedDriver) {
  emulator::CardImageBuilder builder{1, 1, 2, 1000};
  builder.PowerOn(kT0 - 5);
  emulator::CardRecording r;
  r.Channels = 3;
  r.StartTime = kT0;
  r.DataPages = 150;
  builder.Recording(r);
  const std::vector<uint8_t> card = builder.Build();
  recorder::FileEntry entry;
  entry.BeginPage = builder.Files()[0].SetupPage;
  entry.EndPage = builder.Files()[0].LastPage;
  entry.StartTime = kT0;

  const auto download = [&](recorder::UnitLink& over, const std::string& dir,
                            acquisition::DownloadEnd expected = acquisition::DownloadEnd::Completed,
                            std::function<void()> onFile = {}) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    acquisition::DownloadSettings settings;
    settings.SampleClock = 1000;
    settings.DataDir = dir;
    settings.UnitId = 0x1A05;
    settings.ReadPortion = 64;
    settings.SelFiles = {entry};
    acquisition::DownloadHooks hooks;
    hooks.Log = [](const std::string&) { return true; };
    hooks.ShowButton = hooks.ShowSummary = [](const std::string&) {};
    hooks.ShowFileName = [&](const std::string&) {
      if (onFile) onFile();
    };
    hooks.Message = [&](const std::string& t, const std::string& c) {
      EXPECT_NE(expected, acquisition::DownloadEnd::Completed) << c << "|" << t;
    };
    hooks.Done = [] {};
    recorder::DownloadProgress progress;
    std::atomic<double> total{0};
    std::stop_source stop;
    acquisition::TrdBce t(over, settings, progress, total, hooks);
    t.Execute(stop.get_token());
    EXPECT_EQ(t.End(), expected);
    return t.Writer().FilesWritten();
  };

  // First through the emulated driver on a clock of its own, while no reader thread runs.
  const std::string base = (std::filesystem::current_path() / "libftdi_download").string();
  std::vector<std::string> overEmulated;
  {
    platform::TestClock testClock{5000};
    platform::ScopedClock useTestClock{testClock};
    emulator::EmulatedDriver emulated;
    emulator::EmulatedDevice& e = emulated.Attach();
    emulator::SetUpDefaultDevice(e.recorder.State());
    auto set = emulator::CommandSet::Install(e.recorder);
    e.recorder.State().card = card;
    recorder::UnitLink other(emulated);
    ASSERT_TRUE(other.ListDevices());
    other.Chosen = 0;
    ASSERT_TRUE(other.OpenLink());
    overEmulated = download(other, base + "_emulated");
  }
  UsbDevice& d = AddRecorder("UNIT0001");
  d.recorder.State().card = card;
  Open();
  const std::vector<std::string> overUsb = download(*link, base + "_usb");

  ASSERT_EQ(overUsb.size(), 1u);
  ASSERT_EQ(overEmulated.size(), 1u);
  const acquisition_test::ReadBack a = acquisition_test::ReadRecording(overUsb[0]);
  const acquisition_test::ReadBack b = acquisition_test::ReadRecording(overEmulated[0]);
  ASSERT_TRUE(a.Ok);
  ASSERT_TRUE(b.Ok);
  const emulator::CardFile& f = builder.Files()[0];
  EXPECT_EQ(a.Samples, acquisition_test::Stored(f.Number, 0, (f.LastPage - f.FirstDataPage + 1) * f.FramesPerPage, 3));
  EXPECT_EQ(a.Samples, b.Samples);
  EXPECT_EQ(std::memcmp(&a.Main, &b.Main, sizeof a.Main), 0);
  std::filesystem::remove_all(base + "_usb");
  std::filesystem::remove_all(base + "_emulated");

  // The cable goes as the file opens, with the next frames on their way: what came is read, the link is
  // left inside a frame, and the download ends as a pulled cable, not by its time-out.
  const uint32_t start = clock.GetTickCount();
  const std::vector<std::string> cut =
      download(*link, base + "_pulled", acquisition::DownloadEnd::DeviceGone, [&] {
        WithBus([&] { d.gone = true; });
        ASSERT_TRUE(WaitForReport("отключено"));
      });
  EXPECT_LT(clock.GetTickCount() - start, 3000u);
  ASSERT_EQ(cut.size(), 1u);
  const std::vector<int32_t> kept = acquisition_test::ReadRecording(cut[0]).Samples;
  EXPECT_EQ(kept, acquisition_test::Stored(f.Number, 0, static_cast<uint32_t>(kept.size() / 3), 3));
  std::filesystem::remove_all(base + "_pulled");
}

TEST_F(LibftdiBackend, TransientReadErrorsAreRetriedReportedAtMostEveryFewSecondsAndLoseNothing) {
  UsbDevice& d = AddRecorder("UNIT0001");
  Open();
  std::vector<uint8_t> bytes(100);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  // The bytes come with the first transfer; the two after it fail as a noisy cable and a stalled bus do.
  WithBus([&] {
    d.recorder.Line().SetRate(0);
    d.recorder.SendRaw(bytes);
    d.readResults = {0, LIBUSB_ERROR_IO, LIBUSB_ERROR_TIMEOUT, 0};
  });
  ASSERT_EQ(WaitForQueue(100), 100u);
  std::vector<uint8_t> got(100);
  uint32_t n = 0;
  ASSERT_EQ(driver->Read(link->Settings->Handle, got.data(), 100, n), FT_OK);
  EXPECT_EQ(got, bytes);
  ASSERT_TRUE(WaitForReport("LIBUSB_ERROR_IO"));

  WithBus([&] { d.recorder.Line().SetRate(emulator::kLineBytesPerSecond); d.readResults.push_back(LIBUSB_ERROR_PIPE); });
  recorder::StatusBlock status{};
  EXPECT_EQ(recorder::ReadStatus(*link, status), recorder::kDone) << link->Log;
  EXPECT_EQ(link->WriteErrors, 0u);
  // Then an error on every other transfer, all within a few seconds of the first report.
  WithBus([&] {
    for (int i = 0; i < 40; ++i) d.readResults.insert(d.readResults.end(), {0, LIBUSB_ERROR_IO});
  });
  {
    std::unique_lock lock(Bus::Instance().Mutex());
    ASSERT_TRUE(Bus::Instance().Changed().wait_for(lock, std::chrono::seconds(10), [&] { return d.readResults.empty(); }));
    // The reader has dealt with the last result, and with the transfer after it, when one more has ended.
    const uint64_t last = d.transfers;
    ASSERT_TRUE(Bus::Instance().Changed().wait_for(lock, std::chrono::seconds(5), [&] { return d.transfers > last + 1; }));
  }
  EXPECT_EQ(Reports().size(), 1u) << Reports().back();
  clock.Sleep(ReadFaultReports::kIntervalMs);
  ASSERT_TRUE(WaitForReport("ошибок чтения USB"));
  const std::vector<std::string> seen = Reports();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_NE(seen[0].find("ошибка чтения USB (LIBUSB_ERROR_IO); повторяю"), std::string::npos) << seen[0];
  EXPECT_NE(seen[1].find("ошибок чтения USB 42 (последняя LIBUSB_ERROR_IO), чтение возобновлялось 42 раз; чтение идёт"),
            std::string::npos)
      << seen[1];
}

TEST_F(LibftdiBackend, APulledCableEndsTheLinkAfterWhatCameBefore) {
  UsbDevice& d = AddRecorder("UNIT0001");
  Open();
  const std::vector<uint8_t> bytes(50, 0x3C);
  WithBus([&] {
    d.recorder.Line().SetRate(0);
    d.recorder.SendRaw(bytes);
  });
  ASSERT_EQ(WaitForQueue(50), 50u);
  WithBus([&] { d.gone = true; });
  ASSERT_TRUE(WaitForReport("отключено (LIBUSB_ERROR_NO_DEVICE)"));
  const FtHandle h = link->Settings->Handle;
  uint32_t rx = 0, tx = 0, events = 0;
  ASSERT_EQ(driver->GetStatus(h, rx, tx, events), FT_OK);
  EXPECT_EQ(rx, 50u);
  std::vector<uint8_t> got(50);
  uint32_t n = 0;
  EXPECT_EQ(driver->Read(h, got.data(), 50, n), FT_OK);
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(driver->GetStatus(h, rx, tx, events), FT_IO_ERROR);
  EXPECT_EQ(driver->Read(h, got.data(), 1, n), FT_IO_ERROR);
  uint32_t written = 0;
  EXPECT_EQ(driver->Write(h, bytes.data(), 8, written), FT_IO_ERROR);
  EXPECT_EQ(driver->Purge(h, kPurgeRx), FT_IO_ERROR);
  recorder::StatusBlock status{};
  EXPECT_NE(recorder::ReadStatus(*link, status), recorder::kDone);
  EXPECT_EQ(link->WriteErrors, 1u);
  EXPECT_EQ(driver->Close(h), FT_OK);
}

TEST_F(LibftdiBackend, ADeviceTheUserMayNotOpenIsNamedWithItsPlaceAndCause) {
  UsbDevice& denied = AddRecorder("UNIT0001");
  denied.denied = true;
  ASSERT_TRUE(link->ListDevices());
  EXPECT_EQ(link->DeviceCount, 0u);
  ASSERT_EQ(link->Unreadable.size(), 1u);
  EXPECT_EQ(link->Unreadable[0].rfind("FTDI устройство: шина 001, адрес 003: нет доступа", 0), 0u)
      << link->Unreadable[0];

  // Readable when listed; denied, then held by another program, when opened.
  denied.denied = false;
  const std::pair<bool UsbDevice::*, const char*> causes[] = {{&UsbDevice::denied, "нет доступа"},
                                                               {&UsbDevice::claimedElsewhere, "unable to claim"}};
  for (const auto& [fault, cause] : causes) {
    ASSERT_TRUE(link->ListDevices());
    ASSERT_EQ(link->DeviceCount, 1u);
    WithBus([&] { denied.*fault = true; });
    link->Chosen = 0;
    EXPECT_FALSE(link->OpenLink());
    EXPECT_NE(link->OpenFailure.find(cause), std::string::npos) << link->OpenFailure;
    EXPECT_EQ(link->OpenFailure.rfind("FTDI устройство: шина 001, адрес 003: ", 0), 0u);
    WithBus([&] { denied.*fault = false; });
  }
}

TEST_F(LibftdiBackend, OfTwoRecordersWithOneDescriptionTheChosenOneOpens) {
  struct Row {
    const char* name;
    std::vector<uint8_t> first, second;
  } rows[] = {
      {"ports 1 and 2 of the root hub", {1}, {2}},
      {"ports 1 and 17 of one hub", {1}, {17}},
      {"seven levels, apart only at the last", {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 8}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    UsbDevice& first = AddRecorder("UNIT0001", "T-9XV Unit", 1);
    UsbDevice& second = AddRecorder("UNIT0002", "T-9XV Unit", 2);
    first.ports = r.first;
    second.ports = r.second;
    first.claimedElsewhere = true;  // in use by another program
    Open(1);
    EXPECT_NE(link->LocIds[0], link->LocIds[1]);
    recorder::StatusBlock status{};
    ASSERT_EQ(recorder::ReadStatus(*link, status), recorder::kDone) << link->Log;
    EXPECT_EQ(status.Id & 0xFF, 2);
    {
      std::lock_guard lock(Bus::Instance().Mutex());
      EXPECT_TRUE(second.open);
      EXPECT_FALSE(first.open);
      EXPECT_TRUE(first.recorder.Received().empty());
    }
    uint32_t flags = 0, type = 0, id = 0, location = 0;
    char serial[kSerialSize], description[kDescriptionSize];
    FtHandle handle = 0;
    ASSERT_EQ(driver->GetDeviceInfoDetail(0, flags, type, id, location, serial, description, handle), FT_OK);
    EXPECT_EQ(flags, 0u) << "only the device at the opened place is flagged open";
    EXPECT_EQ(driver->Close(link->Settings->Handle), FT_OK);
    sets.clear();
    Bus::Instance().Clear();
  }
}

TEST_F(LibftdiBackend, APurgeDropsWhatTheReaderHeldAndNoControlCallMeetsARead) {
  UsbDevice& d = AddRecorder("UNIT0001");
  Open();
  const FtHandle h = link->Settings->Handle;
  // A transfer is under way when the purge comes; it brings bytes the recorder sent before it.
  {
    std::unique_lock lock(Bus::Instance().Mutex());
    d.recorder.Line().SetRate(0);
    d.holdReads = true;
    d.recorder.SendRaw(std::vector<uint8_t>(40, 0xA5));
    ASSERT_TRUE(Bus::Instance().Changed().wait_for(lock, std::chrono::seconds(5), [&] { return d.readHeld; }));
  }
  std::jthread purge([&] { EXPECT_EQ(driver->Purge(h, kPurgeRx | kPurgeTx), FT_OK); });
  // Time for the purge to reach the device if nothing held it back.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  WithBus([&] { d.holdReads = false; });
  purge.join();
  // The reader goes on; nothing from before the purge comes after it.
  EXPECT_EQ(WaitForQueue(1), 0u);
  std::lock_guard lock(Bus::Instance().Mutex());
  EXPECT_EQ(d.controlDuringRead, 0);
}

TEST_F(LibftdiBackend, AHungDeviceStillCloses) {
  UsbDevice& d = AddRecorder("UNIT0001");
  Open();
  WithBus([&] { d.hung = true; });
  EXPECT_TRUE(WaitForReport("LIBUSB_ERROR_TIMEOUT"));
  EXPECT_EQ(driver->Close(link->Settings->Handle), FT_OK);
  std::lock_guard lock(Bus::Instance().Mutex());
  EXPECT_FALSE(d.open);
}

}  // namespace
}  // namespace platform::ftdi
