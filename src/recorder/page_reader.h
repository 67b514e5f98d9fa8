#pragma once
// The raw page reader and writer: the byte grid's texts and their parsing back, the fill patterns, the
// next start page, what a read page is, the run of card pages and their dump into a file.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace recorder {

class FatLinkOps;

inline constexpr size_t kReaderBufferBytes = 1023;  // the first 512 bytes are the page
inline constexpr int kGridByteRows = 33;            // 528 bytes: the page and 16 zero bytes after it
inline constexpr size_t kGridBytes = size_t{kGridByteRows} * 16;
inline constexpr uint32_t kPageRunWaitMs = 2000;

// The grid's three views ("10", "16", "txt").
enum class GridView { Dec = 0, Hex = 1, Text = 2 };

// A cell's text: "%u", "%02x", or the byte as a Windows-1251 character in UTF-8 (control bytes blank).
std::string GridCellText(uint8_t byte, GridView view);
// Header texts: "00".."0F" over the columns, n x 16 in two hex digits beside row n.
std::string GridColumnTitle(int column);
std::string GridRowTitle(int row);

// Parses `cells` (decimal in view Dec, hex without "0x" in view Hex) into `out` (one byte each). Only
// whole numbers 0..255 pass; the index of the first cell that does not is returned, and then `out` is
// left untouched.
std::optional<size_t> ParseGridCells(const std::vector<std::string>& cells, GridView view, uint8_t* out);
// "ячейка стр. R, кол. C" for the cell at byte index `index`, with its text.
std::string BadCellText(size_t index, std::string_view cell);

// The fill byte of E_clr: a C integer ("0xFF" hex, "255" decimal), 0..255.
std::optional<uint8_t> ParseFillByte(std::string_view text);

// Fills of the page; each ends with SetZeroSum.
void FillConstant(std::span<uint8_t, 512> page, uint8_t value);  // bytes 0..510
void FillRandom(std::span<uint8_t, 512> page, std::mt19937& random);
void FillPattern(std::span<uint8_t, 512> page);  // each row: 8 x 0x00, 8 x 0xFF
// Byte 511 := the two's complement of the sum of bytes 0..510; returns it.
uint8_t SetZeroSum(std::span<uint8_t, 512> page);

// The start page after a read of `received` pages of `count` from `start`: with one page asked, one on
// (inkPlus) or one back (inkMinus, never below 0), else where it was; with more, start + received.
uint32_t NextStartPage(uint32_t start, uint32_t count, uint32_t received, bool inkPlus, bool inkMinus);

struct PageDecodeInput {
  uint32_t Page = 0;   // the card page the bytes came from
  uint8_t StPg = 0;    // StatusBlock.ST_PG: pages below ST_PG x 256 are the FAT area
  uint8_t StatusChannels = 0;
  uint32_t SampleClock = 0;
};
// The list box's lines for one read page: "page -  N" and what the page holds.
std::vector<std::string> DecodePageLines(std::span<const uint8_t> page, const PageDecodeInput& in);

// The "Max " refusal: the run start..start+count-1 must lie within FCmax x 4000 pages; the message, or
// empty when the run fits.
std::string PageRunRefusal(uint32_t start, uint32_t count, uint16_t fcMax);

// ---- a run of card pages over the link ----
struct PageRunCallbacks {
  // Each page as it comes (n from 0); false ends the run.
  std::function<bool(uint32_t n, std::span<const uint8_t> page)> OnPage;
};
// Requests `count` pages from `start` and receives them; ends after `count`, when OnPage says so, or
// after kPageRunWaitMs without a page. A run ended early has its stream stopped. Returns the pages
// received, or nothing when the request could not be written.
std::optional<uint32_t> ReceivePageRun(FatLinkOps& link, uint32_t start, uint32_t count,
                                       const PageRunCallbacks& callbacks);

// "dir/SSSSSSSSS.NNNN": the start page in 9 digits and the page count in 4.
std::string DumpFileName(const std::string& dir, uint32_t start, uint32_t count);

struct DumpResult {
  bool Requested = false;  // false: the request could not be written, no file was made
  bool Opened = false;
  uint32_t Written = 0;  // whole pages in the file
  bool TimedOut = false;
  std::string FileName;  // the file as it stands at the end ("" when removed)
  std::vector<std::string> Messages;  // in order, after the name shown before the run
};
// Dumps `count` pages from `start` into DumpFileName(dir, start, count), stopping at the first short
// write. A file with fewer pages than its name says is renamed to the count written, or removed when
// it holds none. `progress` is told of each page written.
DumpResult DumpPages(FatLinkOps& link, const std::string& dir, uint32_t start, uint32_t count,
                     const std::function<void(uint32_t written)>& progress = {});

}  // namespace recorder
