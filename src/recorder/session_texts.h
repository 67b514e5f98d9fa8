#pragma once
// The texts of a session with a recorder: the names of its data directory and work log, the program's
// build stamp, the device chooser's lines, the window caption and the log lines that open and close a
// session, and the captions the start of the work gives the main window's controls.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "recorder/status_block.h"

namespace recorder {

// "Unit_%02x_%03u" and "log_%02x_%03u.txt" (series, number).
std::string DataDirName(uint8_t series, uint8_t number);
std::string LogFileBaseName(uint8_t series, uint8_t number);
// The data directory under `startDir` and the log inside it, joined with '/'.
std::string DataDirPath(const std::string& startDir, uint8_t series, uint8_t number);
std::string LogFilePath(const std::string& dataDir, uint8_t series, uint8_t number);
// Creates the data directory `dir` (and its parents) when missing; the live writer's day directories
// under it go through the same check. "" when it is a directory of the
// user's own (or could not be made: the files' own failures tell); otherwise the message that refuses it (a symbolic link, not a directory, another user's):
// nothing is written there.
std::string PrepareDataDirectory(const std::string& dir);

// The compiler's date and time of the program's build ("Jul 22 2010", "11:11:35").
const char* BuildDate();
const char* BuildTime();

// A UTC instant as "dd.mm.yy hh:mm:ss".
std::string PcTimeText(const platform::UtcTime& t);
// The PC clock line of the main window: "ПК   dd.mm.yy hh:mm:ss".
std::string PcClockCaption(const platform::UtcTime& t);

// One accepted bridge device as the chooser lists it.
struct ChooserDevice {
  std::string SerialNumber;
  std::string Description;
  uint32_t LocId = 0;
};
// The chooser's lines: the title line, one line per device, the exit line. Line i + 1 is device i.
std::vector<std::string> ChooserLines(const std::vector<ChooserDevice>& devices);
std::string ChooserDeviceLine(uint32_t index, const ChooserDevice& device);
// The device a chosen line stands for, or -1 for the title line, the exit line and no choice (-1).
int32_t ChosenDevice(int line, size_t deviceCount);

// The firmware text of the RAM page read at the start of work: 14 characters from byte 338 of the
// reply body (19 for a device whose description begins with "TK-41"), up to a NUL, and a blank.
// `body` holds `size` bytes; bytes beyond it are never read.
std::string FirmwareText(const uint8_t* body, size_t size, const std::string& description);

// "   прог. от <date>;    SerNum:  <serial>;   Descr: <description>;  <firmware>;"
std::string MainCaption(const std::string& buildDate, const std::string& serial,
                        const std::string& description, const std::string& firmware);
// The first line after the separator of a session's start.
std::string SessionStartLine(const std::string& buildDate, const std::string& buildTime,
                             const StatusBlock& status, const std::string& firmware,
                             const platform::UtcTime& pcTime);
// The separator that opens a session in the log.
std::string SessionSeparator();
// The closing lines: the end time, then the GPS position (or the GPS state) of a final status.
std::string SessionEndLine(const platform::UtcTime& pcTime);
std::string SessionGpsLine(const StatusBlock& status);

// The eleven high-pass choices " %.2f Hz" for 0.05 x i.
std::vector<std::string> HighPassItems();
// The read-portion button: "буфер %d стр." or, with a non-zero language, " %d pages".
std::string ReadPortionCaption(uint16_t readPortion, uint8_t language);
// The file-length panel: " файлы по <m> мин.", or " весь файл" for 0.
std::string FileLengthCaption(int minutes);

}  // namespace recorder
