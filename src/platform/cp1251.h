#pragma once
// Windows-1251 <-> UTF-8 for the text fields of binary records. Records hold Windows-1251 bytes;
// everything above them works in UTF-8.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Bytes that Windows-1251 leaves undefined (0x98) come out as U+FFFD.
std::string Cp1251ToUtf8(std::string_view cp1251);

// Characters Windows-1251 cannot hold, and malformed UTF-8, come out as '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// Reads a fixed-size text field: up to its first NUL, or all `size` bytes when it holds none.
// Never reads past the field.
std::string FieldToUtf8(const char* field, std::size_t size);
inline std::string FieldToUtf8(const unsigned char* field, std::size_t size) {
  return FieldToUtf8(reinterpret_cast<const char*>(field), size);
}
template <std::size_t N>
std::string FieldToUtf8(const char (&field)[N]) {
  return FieldToUtf8(field, N);
}
template <std::size_t N>
std::string FieldToUtf8(const unsigned char (&field)[N]) {
  return FieldToUtf8(field, N);
}

// Stores `utf8` in a fixed-size field in Windows-1251: cut after the last whole character that fits,
// NUL-terminated when there is room, the rest of the field zeroed. Returns false when the text was cut.
bool Utf8ToField(std::string_view utf8, char* field, std::size_t size);
inline bool Utf8ToField(std::string_view utf8, unsigned char* field, std::size_t size) {
  return Utf8ToField(utf8, reinterpret_cast<char*>(field), size);
}
template <std::size_t N>
bool Utf8ToField(std::string_view utf8, char (&field)[N]) {
  return Utf8ToField(utf8, field, N);
}
template <std::size_t N>
bool Utf8ToField(std::string_view utf8, unsigned char (&field)[N]) {
  return Utf8ToField(utf8, field, N);
}

}  // namespace platform

namespace platform {

// A name taken from data, made safe for a line of a text file: control characters (C0, DEL and the C1
// block) become blanks, so a name can never start a line of its own.
std::string WithoutControlCharacters(std::string_view utf8);

// A Windows-1251 text field as it goes into a UTF-8 text file: converted, control characters blanked.
std::string FieldToTextLine(const char* field, std::size_t size);
template <std::size_t N>
std::string FieldToTextLine(const char (&field)[N]) {
  return FieldToTextLine(field, N);
}
template <std::size_t N>
std::string FieldToTextLine(const unsigned char (&field)[N]) {
  return FieldToTextLine(reinterpret_cast<const char*>(field), N);
}

// A file name as it goes into a UTF-8 text file. Names come from the file system as bytes: each
// component of the path ('/' apart) that is well-formed UTF-8 is taken as it is, any other is read as
// Windows-1251 (as names copied from the recorder's card are); control characters are blanked either
// way. The bytes used to open the file stay as they are.
std::string NameToTextLine(std::string_view name);

}  // namespace platform
