#include "platform/cp1251.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace platform {
namespace {

// Windows-1251 bytes of "Обработка" (from the code page table: А = 0xC0 ... я = 0xFF).
const std::string kObrabotka1251 = "\xCE\xE1\xF0\xE0\xE1\xEE\xF2\xEA\xE0";

TEST(Cp1251Test, RussianTextRoundTripsAndAsciiIsUntouched) {
  EXPECT_EQ(Cp1251ToUtf8(kObrabotka1251), "Обработка");
  EXPECT_EQ(Utf8ToCp1251("Обработка"), kObrabotka1251);
  EXPECT_EQ(Cp1251ToUtf8("T-9XV 01:07"), "T-9XV 01:07");
  // Ё, ё, № and the euro sign sit outside the А..я block.
  EXPECT_EQ(Utf8ToCp1251("Ёё№€"), "\xA8\xB8\xB9\x88");
  EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8\xB9\x88"), "Ёё№€");
  // Every defined byte survives the round trip.
  std::string all;
  for (int b = 1; b < 256; ++b) {
    if (b != 0x98) all.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(Cp1251Test, UnconvertibleInputIsReplacedAndConversionGoesOn) {
  // 0x98 has no character in Windows-1251.
  EXPECT_EQ(Cp1251ToUtf8("a\x98z"), "a\xEF\xBF\xBDz");
  // A character outside the code page (CJK, 3 bytes) becomes one '?'.
  EXPECT_EQ(Utf8ToCp1251("Я中я"), "\xDF?\xFF");
  // Malformed UTF-8: a stray continuation byte and a sequence cut off at the end.
  EXPECT_EQ(Utf8ToCp1251("a\x80"
                         "b"),
            "a?b");
  EXPECT_EQ(Utf8ToCp1251("ab\xD0"), "ab?");
}

TEST(Cp1251Test, FieldReadStopsAtNulOrFieldEnd) {
  char field[8];
  std::memset(field, 0, sizeof field);
  std::memcpy(field, "\xCF\xD0\0junk", 7);
  EXPECT_EQ(FieldToUtf8(field), "ПР");

  // A full field without NUL: all 8 bytes, and not one byte more (the guard after it must not show).
  struct {
    char name[8];
    char guard[4];
  } record;
  std::memcpy(record.name, "\xD1\xD2\xC0\xCD\xD6\xC8\xDF\x31", 8);
  std::memcpy(record.guard, "XXXX", 4);
  EXPECT_EQ(FieldToUtf8(record.name), "СТАНЦИЯ1");

  const unsigned char bytes[3] = {0xC0, 0xC1, 0xC2};
  EXPECT_EQ(FieldToUtf8(bytes), "АБВ");
  EXPECT_EQ(FieldToUtf8(field, 0), "");
}

TEST(Cp1251Test, FieldWriteTruncatesTerminatesAndZeroes) {
  std::array<char, 6> field;
  field.fill('#');
  EXPECT_TRUE(Utf8ToField("Ан", field.data(), field.size()));
  EXPECT_EQ(std::string(field.data(), field.size()), std::string("\xC0\xED\0\0\0\0", 6));

  // Exactly the field size: no NUL, nothing cut.
  char exact[4];
  EXPECT_TRUE(Utf8ToField("ЮЖН1", exact));
  EXPECT_EQ(std::string(exact, 4), "\xDE\xC6\xCD\x31");

  // Longer: cut after whole characters (two-byte UTF-8 letters are never split).
  char shortField[3];
  EXPECT_FALSE(Utf8ToField("Камчатка", shortField));
  EXPECT_EQ(std::string(shortField, 3), "\xCA\xE0\xEC");
  EXPECT_EQ(FieldToUtf8(shortField), "Кам");

  EXPECT_TRUE(Utf8ToField("", exact));
  EXPECT_EQ(std::string(exact, 4), std::string(4, '\0'));
  EXPECT_FALSE(Utf8ToField("x", field.data(), 0));
  EXPECT_TRUE(Utf8ToField("", static_cast<char*>(nullptr), 0));
}

// A path's components are read each on its own: a UTF-8 folder may hold a file named in Windows-1251.
TEST(Cp1251Test, NameToTextLineConvertsEachComponentOnItsOwn) {
  const struct {
    const char* name;
    const char* line;
  } cases[] = {
      {"/tmp/с пробелом/rec.xx", "/tmp/с пробелом/rec.xx"},
      {"/tmp/с пробелом/re\nc\xE0.xx", "/tmp/с пробелом/re cа.xx"},
      {"/\xCE\xE1\xF0\xE0\xE1\xEE\xF2\xEA\xE0/Обработка/\xE0", "/Обработка/Обработка/а"},
      {"Мои проекты//\xE0/", "Мои проекты//а/"},
      {"", ""},
      {"/", "/"},
      {"\xC2\x85/x\xC2", " /xВ"},  // U+0085 is a control character; a lone 0xC2 is Windows-1251 "В"
  };
  for (const auto& c : cases) EXPECT_EQ(NameToTextLine(c.name), c.line) << c.name;
}

}  // namespace
}  // namespace platform
