#pragma once
// Small text helpers shared by the readers. Text is 8-bit: bytes above 127 are never letters or blanks here,
// whatever the locale.
#include <string>
#include <string_view>

namespace zorvik {

// Blanks and control characters (every byte up to and including ' ') removed at both ends.
inline std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

inline std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

// Blanks and control characters removed at the end only.
inline std::string_view TrimRightView(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(0, e);
}

// Only ' ' removed at both ends; tabs and other control characters stay.
inline std::string_view TrimSpacesView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The ASCII letters a-z turned into A-Z; every other character unchanged.
std::string AsciiUpper(std::string_view text);
// The ASCII letters A-Z turned into a-z; every other character unchanged.
std::string AsciiLower(std::string_view text);
// Equal when ASCII letter case is ignored.
bool SameTextAscii(std::string_view a, std::string_view b);

}  // namespace zorvik
