#include "analysis/selection_export.h"

#include <sys/types.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <new>
#include <vector>

#include "analysis/checked_file.h"
#include "analysis/finite_cells.h"
#include "analysis/file_name_text.h"
#include "platform/cp1251.h"
#include "platform/output_file.h"
#include "toolkit/format_text.h"
#include "viewer/recording_loader.h"

namespace analysis {

using toolkit::CHANNEL_HEADER;
using toolkit::FormatText;
using toolkit::MAIN_HEADER;
using toolkit::SetupRecord;

namespace {

constexpr int64_t kDaysFrom1899To2000 = 36526;
constexpr size_t kChunkBytes = 1 << 22;

struct Range {
  int64_t nn = 0;
  int64_t nk = 0;
};

// The selection within the samples in memory.
Range MemoryRange(const SetupRecord& s) {
  const int64_t samples = s.Samples;
  const int64_t nn = std::clamp<int64_t>(s.Nn, 0, samples);
  return {nn, std::clamp<int64_t>(s.Nk, nn, samples)};
}

std::string Frames(uint64_t frames) {
  return FormatText("\nзаписано кадров: %llu", static_cast<unsigned long long>(frames));
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  const auto ca = std::filesystem::weakly_canonical(a, ec);
  const auto cb = std::filesystem::weakly_canonical(b, ec);
  return !ec && ca == cb;
}

// Frames [nn, nk) of the recording file, chunk by chunk: `take` gets each run of whole frames read.
// Returns "" or the message of a source that cannot be opened or ends before nk.
template <typename Take>
std::string ReadFrames(const SetupRecord& s, uint16_t channels, Range r, Take&& take, uint64_t& frames) {
  const std::string source = viewer::RecordingPath(s);
  std::FILE* f = platform::OpenForReading(source);
  if (f == nullptr) return "wr: error open file from disk_2\n" + source;
  const size_t frameBytes = 4u * channels;
  const auto offset = static_cast<off_t>(toolkit::HeadersSize(channels) + uint64_t{frameBytes} * uint64_t(r.nn));
  std::string error;
  if (::fseeko(f, offset, SEEK_SET) != 0) error = "wr: error open file from disk_2\n" + source;
  std::vector<int32_t> buf;
  const size_t chunk = std::max<size_t>(kChunkBytes / frameBytes, 1);
  try {
    buf.resize(chunk * channels);
  } catch (const std::bad_alloc&) {
    error = "Нет памяти для массивов";
  }
  for (int64_t left = r.nk - r.nn; error.empty() && left > 0;) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(chunk)));
    const size_t got = std::fread(buf.data(), frameBytes, want, f);
    if (got > 0 && !take(buf.data(), got)) break;
    frames += got;
    left -= static_cast<int64_t>(got);
    if (got < want)
      error = FormatText("wr: файл %s кончается раньше выделения", source.c_str()) + Frames(frames);
  }
  std::fclose(f);
  return error;
}

std::string WriteFailure(const std::string& path, uint64_t frames) { return "ошибка записи: " + path + Frames(frames); }

// Closes the output. An export replaces nothing: a name taken while the file was written leaves the file
// under a free name beside it, and the message says so.
void Finish(CheckedFile& file, ExportResult& out) {
  if (!file.Close()) {
    if (out.error.empty()) out.error = WriteFailure(out.path, out.frames);
    return;
  }
  if (file.Written() == out.path) return;
  if (!out.error.empty()) out.error += "\n";
  out.error += "сохранить: имя " + out.path + " заняли во время записи; файл записан как " + file.Written();
  out.path = file.Written();
}

// Modes 0 and 1: a recording data file.
void WriteRecording(const SetupRecord& s, const float* const* channels, int mode, MAIN_HEADER header,
                    ExportResult& out) {
  const Range mem = MemoryRange(s);
  const Range r = mode == 0 ? Range{std::max<int64_t>(s.Nn, 0), std::max<int64_t>(s.Nk, std::max<int64_t>(s.Nn, 0))} : mem;
  header.StartTicks += r.nn * (toolkit::kTicksPerSecond / header.Rate);
  header.Format = toolkit::kCurrentFormat;
  header.Bits = 24;
  const uint16_t count = mode == 0 ? header.Channels : std::min<uint16_t>(s.ChannelCount, toolkit::kMaxChannels);
  if (count < 1 || count > toolkit::kMaxChannels) {
    out.error = FormatText("сохранить: число каналов %u", unsigned{count});
    return;
  }
  header.Channels = count;
  CheckedFile file;
  if (!file.Open(out.path, "wbx")) {
    out.error = "wr: error open file from disk_1\n" + out.path;
    return;
  }
  if (!file.Write(&header, sizeof header)) {
    out.error = "ошибка записи (wri_1)\n" + out.path;
    return;
  }
  const CHANNEL_HEADER* heads = mode == 0 ? s.FileChannels : s.MemChannels;
  if (!file.Write(heads, sizeof(CHANNEL_HEADER) * count)) {
    out.error = (mode == 0 ? "oшибка записи (wri_2)\n" : " ошибка записи (wri_3)\n") + out.path;
    return;
  }
  if (mode == 0) {
    out.error = ReadFrames(
        s, count, r, [&](const int32_t* frames, size_t n) { return file.Write(frames, n * 4u * count); },
        out.frames);
  } else {
    // Single precision, as the samples are held: 2.5 counts times the coefficient comes back as 2.5.
    std::vector<float> inv(count);
    for (uint16_t c = 0; c < count; ++c) {
      const double coef = s.MemCoef[c];
      inv[c] = coef == 0.0 || !std::isfinite(coef) ? 1.0f : static_cast<float>(1.0 / coef);
    }
    std::vector<int32_t> frame(count);
    for (int64_t n = r.nn; n < r.nk && file.Good(); ++n) {
      for (uint16_t c = 0; c < count; ++c) {
        double v = channels[c] != nullptr ? static_cast<float>(channels[c][n] * inv[c]) : 0.0;
        if (std::isnan(v)) v = 0.0;
        v = v >= 0.0 ? v + 0.5 : v - 0.5;
        frame[c] = static_cast<int32_t>(std::clamp(v, -2147483647.0, 2147483647.0));
      }
      if (file.Write(frame.data(), 4u * count)) ++out.frames;
    }
  }
  Finish(file, out);
}

// Modes 2, 3 and 4: the commented text.
void WriteText(const SetupRecord& s, const float* const* channels, int mode, const MAIN_HEADER& h,
               toolkit::TFunk& funk, ExportResult& out) {
  CheckedFile file;
  if (!file.Open(out.path, "wx")) {
    out.error = "wr: error open file from disk_1\n" + out.path;
    return;
  }
  // The numbers of the headers come from the file as they lie there: one that is no number is written as 0
  // and counted with the samples.
  FiniteCells v;
  file.Print("%s // станция\n", platform::FieldToTextLine(h.Station).c_str());
  file.Print("%.5f // дол\n", v(h.Longitude));
  file.Print("%.5f // шир\n", v(h.Latitude));
  file.Print("%s   // дата\n", funk.DateTimeText(h.StartTicks, 0.0).c_str());
  file.Print("%u   // частота\n", unsigned{h.Rate});
  if (mode == 3) {
    const int count = std::min<int>(s.ChannelCount, toolkit::kMaxChannels);
    file.Print("%d // число каналов\n", count);
    for (int c = 0; c < count; ++c) {
      const CHANNEL_HEADER& ch = s.MemChannels[c];
      file.Print("%s // имя канала %d\n", platform::FieldToTextLine(ch.Name).c_str(), int{s.ChannelMap[c]});
      file.Print("1. // коэфф канала %d\n", int{s.ChannelMap[c]});
      file.Print("%s // tip\n", platform::FieldToTextLine(ch.tip).c_str());
    }
    const Range r = MemoryRange(s);
    for (int64_t n = r.nn; n < r.nk && file.Good(); ++n) {
      for (int c = 0; c < count; ++c) file.Print("%+.5e   ", channels[c] != nullptr ? v(channels[c][n]) : 0.0);
      if (file.Print("    // %6lld\n", static_cast<long long>(n - r.nn))) ++out.frames;
    }
  } else {
    const uint16_t count = h.Channels;
    file.Print("%d // число каналов\n", int{count});
    for (int c = 0; c < count; ++c) {
      const CHANNEL_HEADER& ch = s.FileChannels[c];
      file.Print("%s // имя канала %d\n", platform::FieldToTextLine(ch.Name).c_str(), c);
      file.Print("%.9f // коэфф канала %d\n", v.Coefficient(ch.Coef), c);
      file.Print("%s // tip\n", platform::FieldToTextLine(ch.tip).c_str());
      file.Print("%.4f // коэфф 2 для пересчёта\n", v.Coefficient(ch.Coef2));
    }
    const int64_t nn = std::max<int64_t>(s.Nn, 0);
    const Range r{nn, std::max<int64_t>(s.Nk, nn)};
    const char* format = mode == 2 ? "%+9d  " : "%08x  ";
    uint64_t index = 0;
    out.error = ReadFrames(
        s, count, r,
        [&](const int32_t* frames, size_t n) {
          for (size_t f = 0; f < n; ++f) {
            for (uint16_t c = 0; c < count; ++c) file.Print(format, frames[f * count + c]);
            file.Print("    // %7llu\n", static_cast<unsigned long long>(index++));
          }
          return file.Good();
        },
        out.frames);
  }
  out.zeroed = v.Count();
  Finish(file, out);
}

// Mode 5: seconds since 2000-01-01 and the samples in memory, one line per sample.
void WriteColumns(const SetupRecord& s, const float* const* channels, const MAIN_HEADER& h, toolkit::TFunk& funk,
                  ExportResult& out) {
  CheckedFile file;
  if (!file.Open(out.path, "wx")) {
    out.error = "сохранить: error open file  " + out.path;
    return;
  }
  funk.DecodeTimeStamp(h.StartTicks, 0.0, s.LongFileNames);
  const int64_t whole = funk.Calendar.WholeSeconds - 86400 * kDaysFrom1899To2000;
  const double t0 = static_cast<double>(whole) + funk.Calendar.Microseconds * 1e-6;
  const int count = std::min<int>(s.ChannelCount, toolkit::kMaxChannels);
  const Range r = MemoryRange(s);
  FiniteCells v;
  for (int64_t n = r.nn; n < r.nk && file.Good(); ++n) {
    file.Print("%14.4f ", static_cast<double>(n) * s.Dt + t0);
    for (int c = 0; c < count; ++c) file.Print(" %13.6e", channels[c] != nullptr ? v(channels[c][n]) : 0.0);
    if (file.Print("\n")) ++out.frames;
  }
  out.zeroed = v.Count();
  Finish(file, out);
}

}  // namespace

std::string ExportFileName(const SetupRecord& s, const MAIN_HEADER& checked, int mode, toolkit::TFunk& funk) {
  if (mode == 5) {
    const std::filesystem::path source(viewer::RecordingPath(s));
    std::string base = source.filename().string();
    const size_t dot = base.find('.');
    if (dot != std::string::npos && dot < 15) base.resize(dot);
    return (source.parent_path() / (base + ".dat")).string();
  }
  const double offset = static_cast<double>(std::max<int64_t>(s.Nn, 0)) * checked.dt;
  std::string name = funk.DecodeTimeStamp(checked.StartTicks, offset, s.LongFileNames);
  name += mode <= 1 ? SafeNamePart(toolkit::FieldText(checked.Station), 1) : std::string("tx");
  return name;
}

ExportResult ExportRecording(const SetupRecord& s, const float* const* channels, int mode, toolkit::TFunk& funk) {
  ExportResult out;
  if (mode < 0 || mode > 5) {
    out.error = FormatText("сохранить: режим %d", mode);
    return out;
  }
  // After a station read the channels in memory come from several files: nothing to copy frames from.
  if ((mode == 0 || mode == 2 || mode == 4) && s.StationMode != 0) {
    out.error = "нет  файла";
    return out;
  }
  MAIN_HEADER header = s.Header;
  std::string check;
  if (toolkit::CheckMainHeader(header, check) != 0) {
    out.error = check;
    return out;
  }
  out.path = ExportFileName(s, header, mode, funk);
  if (SameFile(out.path, viewer::RecordingPath(s))) {
    out.error = "сохранить: " + out.path + " - это читаемая запись; она не перезаписывается";
    return out;
  }
  // Names repeat: two stations of one start share the first letter, or the same selection is saved
  // again. An existing file is never replaced.
  if (platform::NameTaken(out.path)) {
    out.error = "сохранить: файл " + out.path +
                " уже есть и не заменяется.\nПеренесите или переименуйте его и сохраните снова.";
    return out;
  }
  if (mode <= 1) {
    WriteRecording(s, channels, mode, header, out);
  } else if (mode <= 4) {
    WriteText(s, channels, mode, header, funk, out);
  } else {
    WriteColumns(s, channels, header, funk, out);
  }
  return out;
}

}  // namespace analysis
