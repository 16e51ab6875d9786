#pragma once
// File names as text: their parts (folder, name, extension) and their shortening for display in a field of
// limited width. Both "/" and "\" separate folders; a drive ("C:") or a server ("\\server") may lead.
#include <functional>
#include <string>
#include <string_view>

namespace zorvik {

// The width of a text as it would be drawn (pixels in the widget's font; tests count characters).
using TTextWidth = std::function<int(std::string_view)>;

bool IsPathDelimiter(char c);
// The folder part of a file name with its trailing delimiter ("C:\data\" of "C:\data\run.pos"); empty when
// the name has no folder.
std::string ExtractFilePath(std::string_view fileName);
// The name after the last delimiter (or drive colon).
std::string ExtractFileName(std::string_view fileName);
// The extension with its dot (".pos"); only the name part counts, so "C:\a.b\run" has none. A name ending in
// a dot has the extension ".".
std::string ExtractFileExt(std::string_view fileName);
// The folder without its trailing delimiter; a lone root ("/", "C:\") keeps its delimiter.
std::string ExcludeTrailingPathDelimiter(std::string_view folder);
// The folder with a trailing delimiter ("/" added when it has none); an empty folder stays empty.
std::string IncludeTrailingPathDelimiter(std::string_view folder);

// The path as it fits `maxWidth`: whole when it fits; otherwise the leading folders are replaced one at a
// time by three dots (C:\a\b\c\last, C:\...\b\c\last, C:\...\c\last, C:\...\last), then the drive or root
// is dropped as well (...\last), and at last only the final name remains, even when that is still too wide.
// Trailing delimiters are not a name: the final name is the last one before them.
std::string ShortenPath(std::string_view path, int maxWidth, const TTextWidth& width);

}  // namespace zorvik
