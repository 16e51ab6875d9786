#include "util/PathText.h"

#include <cctype>
#include <vector>

namespace zorvik {

namespace {

bool HasDrive(std::string_view s) {
  return s.size() >= 2 && s[1] == ':' && std::isalpha(static_cast<unsigned char>(s[0]));
}

// Where the name part starts: after the last delimiter, or after a drive colon.
size_t NameStart(std::string_view fileName) {
  for (size_t i = fileName.size(); i > 0; --i) {
    const char c = fileName[i - 1];
    if (IsPathDelimiter(c) || (c == ':' && i == 2 && HasDrive(fileName))) return i;
  }
  return 0;
}

}  // namespace

bool IsPathDelimiter(char c) { return c == '/' || c == '\\'; }

std::string ExtractFilePath(std::string_view fileName) {
  return std::string(fileName.substr(0, NameStart(fileName)));
}

std::string ExtractFileName(std::string_view fileName) {
  return std::string(fileName.substr(NameStart(fileName)));
}

std::string ExtractFileExt(std::string_view fileName) {
  const std::string_view name = fileName.substr(NameStart(fileName));
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string ExcludeTrailingPathDelimiter(std::string_view folder) {
  std::string out(folder);
  const bool root = (out.size() == 1) || (out.size() == 3 && HasDrive(out));
  if (!out.empty() && IsPathDelimiter(out.back()) && !root) out.pop_back();
  return out;
}

std::string IncludeTrailingPathDelimiter(std::string_view folder) {
  std::string out(folder);
  if (!out.empty() && !IsPathDelimiter(out.back())) out += '/';
  return out;
}

std::string ShortenPath(std::string_view path, int maxWidth, const TTextWidth& width) {
  const auto fits = [&](const std::string& text) { return width(text) <= maxWidth; };
  std::string whole(path);
  if (fits(whole)) return whole;

  // Head: the drive or server and the root delimiter ("C:\", "/", "\\server\"); then the names between
  // delimiters.
  size_t pos = 0;
  if (HasDrive(path)) {
    pos = 2;
  } else if (path.size() >= 2 && IsPathDelimiter(path[0]) && IsPathDelimiter(path[1])) {
    pos = 2;
    while (pos < path.size() && !IsPathDelimiter(path[pos])) ++pos;
  }
  if (pos < path.size() && IsPathDelimiter(path[pos])) ++pos;
  const std::string head(path.substr(0, pos));
  std::vector<std::string_view> names;
  char sep = 0;
  while (pos < path.size()) {
    size_t end = pos;
    while (end < path.size() && !IsPathDelimiter(path[end])) ++end;
    if (end > pos) names.push_back(path.substr(pos, end - pos));
    if (end < path.size() && sep == 0) sep = path[end];
    pos = end + 1;
  }
  if (names.empty()) return whole;
  if (sep == 0) sep = !head.empty() && IsPathDelimiter(head.back()) ? head.back() : '/';

  const std::string last(names.back());
  for (size_t dropped = 1; dropped < names.size(); ++dropped) {
    std::string text = head + "..." + sep;
    for (size_t i = dropped; i + 1 < names.size(); ++i) (text += names[i]) += sep;
    text += last;
    if (fits(text)) return text;
  }
  std::string dotsAndName = std::string("...") + sep + last;
  if (names.size() > 1 || !head.empty()) {
    if (fits(dotsAndName)) return dotsAndName;
  }
  return last;
}

}  // namespace zorvik
