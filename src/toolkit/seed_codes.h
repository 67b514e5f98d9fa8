#pragma once
// SEED station and channel codes made from the recording's names (Windows-1251 bytes). SEED codes hold
// only upper-case ASCII letters and digits: station at most 5 characters, channel at most 3.
//
// Station: the name's ASCII letters and digits, upper-cased, everything else dropped ("t-9xv" -> "T9XV").
//   Up to 5 of them are the code; a longer run keeps its first 2 and last 3 characters, so that names
//   told apart by a trailing number stay apart ("ABCDEFG" -> "ABEFG", "STATION12" -> "STN12"); a name
//   without any gives "XXXXX".
// Channel: a name that is 1 to 3 ASCII letters or digits (blanks around it ignored) is its code,
//   upper-cased ("z" -> "Z", "HHZ"); any other name ("Канал 1", "North-1") gets "C" and the channel's
//   two-digit index ("C00" ... "C63"). A code that two channels would share is replaced by the index
//   code on the later channel, so the codes of one export are always distinct.
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

std::string SeedStationCode(std::string_view name);
// One code per name, index = position in `names`.
std::vector<std::string> SeedChannelCodes(const std::vector<std::string>& names);

}  // namespace toolkit
