#pragma once
// Unique temporary files: the disk buffers of the percentile engine live in them. Each routine's name is its
// context in a traced failure.
#include <string>

namespace zorvik {

// The user's temporary folder ($TMPDIR, else /tmp), ending with "/".
std::string TemporaryPath();
// Creates a new, empty file "map<hex>.tmp" in an existing folder and returns its full name; the file stays.
// A missing folder fails the assertion "Folder "<folder>" does not exist".
std::string TemporaryFileNameInFolder(const std::string& folder);
// TemporaryFileNameInFolder(TemporaryPath()), never the same name twice in a row.
std::string TemporaryFileName();

}  // namespace zorvik
