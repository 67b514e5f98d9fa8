#pragma once
// The logic of the settings dialog's frame and its file page: the start page, what makes the recording
// be read again, the channel order typed into the grid, and the rewrite of the current file's headers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/setup_record.h"

namespace viewer {

// Pages of the settings dialog, in the order of its page control.
enum SettingsPage : int {
  kPageFile = 0,
  kPageSearch,
  kPageTest,
  kPageIntegral,
  kPageStation,
  kPageSpectrum,
  kPageHeader,
  kPageFilter,
  kSettingsPageCount
};

// The page the dialog opens on for the start-page field: 1 search, 2 test, 3 integral, 4 and 5 station,
// 6 header, anything else (0, 0xFFFF in open mode) the file page.
int StartPage(uint16_t field);

// True when confirming `copy` over `live` needs the recording to be read again: a changed channel map
// entry, file name or coefficient switch.
bool NeedsReread(const toolkit::SetupRecord& copy, const toolkit::SetupRecord& live);

// The highest channel number of the current file (0 for a header without channels).
uint16_t LastFileChannel(const toolkit::SetupRecord& setup);

// One entry of the channel-order grid: the typed text as a channel number within 0 ... last.
struct ChannelEntry {
  uint16_t channel = 0;
  bool aboveLast = false;  // the text asked for more than the last channel
};
ChannelEntry ParseChannelEntry(std::string_view text, uint16_t last);
// The message shown for a number above the last channel, and its caption.
std::string ChannelTooHighText(uint16_t last);
inline constexpr const char* kChannelTooHighCaption = "Недопустимое значение номера канала";

// Brings the channel map entries of the rows on the plot within the file's channels.
void ClampChannelMap(toolkit::SetupRecord& setup);
// Channels on the plot (SetupRecord.LoadChannels) held within 1 ... 64.
uint16_t ClampPlotChannels(int value);

// The headers of one recording file exactly as they are stored in it: what the header editor edits and
// what the rewrite writes back, so that a file never receives another file's channel headers.
struct FileHeaders {
  std::string path;  // the file they were read from
  bool read = false;  // main and channel headers were read whole from `path`
  toolkit::MAIN_HEADER main{};
  std::vector<toolkit::CHANNEL_HEADER> channels;  // main.Channels of them
};
// Reads the headers of `path` into `out` (out.read tells whether they were read whole; a file that cannot
// be opened, ends inside its headers or names no channel count 1 ... 64 leaves them unread).
void ReadFileHeaders(const std::string& path, FileHeaders& out);
// The message shown when the header editor cannot save because the file's headers were not read.
std::string HeadersNotReadText(const FileHeaders& headers);

// Rewrites the main header and the channel headers of the file they were read from, in place.
// A file whose channel count is no longer the one read (replaced meanwhile) is left as it is (Changed).
enum class HeaderRewrite { Ok, NoFile, NotRead, Changed, CannotOpen, MainHeaderShort, ChannelHeaderShort };
HeaderRewrite RewriteFileHeaders(const FileHeaders& headers);
// The message for a failed rewrite.
std::string HeaderRewriteText(HeaderRewrite result, const FileHeaders& headers);

}  // namespace viewer
