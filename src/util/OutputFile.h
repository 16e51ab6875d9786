#pragma once
// TOutputFile: an output file that takes its name only when it is complete. The bytes go to a file without a
// name in the target's folder (O_TMPFILE), which Commit links into place over the target in one rename. A
// failure, a cancel or a killed process therefore never leaves a half-written file under the chosen name,
// an earlier file of that name stays as it was until the new one is whole, and nothing is left behind.
// Where the file system has no unnamed files, a unique hidden file ".<name>.<hex>.tmp" beside the target
// stands in; it is deleted unless committed.
//
//   TOutputFile out("run/P98_00.PLT");   // raises when the folder cannot take the file
//   out.Write(text);                      // raises EInOutError "Cannot write file "...": No space left ..."
//   out.Commit();                         // the target now holds exactly what was written
#include <string>
#include <string_view>

#include "util/FileHandle.h"

namespace zorvik {

class TOutputFile {
 public:
  explicit TOutputFile(std::string target);
  // Discards the file unless it was committed.
  ~TOutputFile();
  TOutputFile(TOutputFile&&) noexcept = default;
  TOutputFile& operator=(TOutputFile&&) noexcept = delete;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // The name the file takes on Commit (a link named as the target is followed to the file it names).
  const std::string& Target() const { return fTarget; }
  int Fd() const { return fHandle.Get(); }
  // A second descriptor on the file, for a writer that closes its own; the file stays this object's.
  TFileHandle Duplicate() const;
  // Appends the bytes at the descriptor's position.
  void Write(std::string_view data);
  // Gives the file the target's name, replacing a file of that name. Raises when that fails; the file is
  // then discarded.
  void Commit();
  // Drops the file (nothing when already committed or discarded).
  void Discard() noexcept;

 private:
  std::string fTarget;
  std::string fFolder;
  std::string fTempName;  // the hidden stand-in; empty for an unnamed file
  TFileHandle fHandle;
};

// Writes `content` to `target` through a TOutputFile: the target holds either its old bytes or all of the
// new ones.
void WriteFileAtomically(const std::string& target, std::string_view content);

}  // namespace zorvik
