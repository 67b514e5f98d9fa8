#include "toolkit/seed_codes.h"

#include <cstdio>

namespace toolkit {

namespace {

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string IndexCode(size_t index) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "C%02u", static_cast<unsigned>(index % 100));
  return buf;
}

// The name's own code when it is 1 to 3 ASCII letters or digits between blanks, else empty.
std::string NaturalChannelCode(std::string_view name) {
  size_t first = 0, last = name.size();
  while (first < last && name[first] == ' ') ++first;
  while (last > first && name[last - 1] == ' ') --last;
  if (last - first < 1 || last - first > 3) return {};
  std::string code;
  for (size_t i = first; i < last; ++i) {
    if (!IsAsciiAlnum(name[i])) return {};
    code.push_back(Upper(name[i]));
  }
  return code;
}

}  // namespace

std::string SeedStationCode(std::string_view name) {
  std::string kept;
  for (char c : name)
    if (IsAsciiAlnum(c)) kept.push_back(Upper(c));
  if (kept.empty()) return "XXXXX";
  if (kept.size() <= 5) return kept;
  return kept.substr(0, 2) + kept.substr(kept.size() - 3);
}

std::vector<std::string> SeedChannelCodes(const std::vector<std::string>& names) {
  std::vector<std::string> codes(names.size());
  std::vector<bool> natural(names.size(), false);
  for (size_t i = 0; i < names.size(); ++i) {
    codes[i] = NaturalChannelCode(names[i]);
    natural[i] = !codes[i].empty();
    if (!natural[i]) codes[i] = IndexCode(i);
  }
  // Index codes are distinct among themselves; a natural code met before (or taken by an index code)
  // falls back to its own index code. Each pass turns at least one natural code, so this ends.
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t i = 0; i < codes.size() && !changed; ++i) {
      if (!natural[i]) continue;
      for (size_t j = 0; j < codes.size(); ++j) {
        if (j == i || codes[j] != codes[i]) continue;
        if (natural[j] && j > i) continue;  // the later one of two natural codes gives way
        codes[i] = IndexCode(i);
        natural[i] = false;
        changed = true;
        break;
      }
    }
  }
  return codes;
}

}  // namespace toolkit
