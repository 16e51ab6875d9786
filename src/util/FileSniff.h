#pragma once
// A cheap look at the first bytes of a file given where a text file belongs (a PLOTFILE, a met file), so that a
// binary file is refused with a message saying what it is rather than with a puzzling line error.
#include <cstddef>
#include <string>

namespace zorvik {

struct TFileSniff {
  size_t Length = 0;               // bytes looked at (the first 4 KB at most)
  size_t ControlBytes = 0;         // of them, bytes no text file of the models holds
  bool LooksLikePostFile = false;  // starts with -1 (a receptor header) or a record whose length word follows it
};

// Looks at the start of the file; raises EFOpenError when it cannot be opened or read.
TFileSniff SniffFile(const std::string& fileName);

}  // namespace zorvik
