#pragma once
// Checks of a run's output files, made before any input is read: no output may replace an input of the run
// or another of its outputs, and every output must be creatable. Files are compared as the files they are
// (device and inode, links followed), never by the spelling of their names.
#include <string>
#include <vector>

namespace zorvik {

// A file of a run and the role it plays there, as the user knows it ("--out", "the POSTFILE of this run").
struct TFileRole {
  std::string Role;
  std::string Path;
};

// Raises EOutputConflict "<output role> is <input role>" when an output is one of the inputs, and
// "<role> and <role> are the same file" when two outputs are one file. Inputs that do not exist are skipped
// (their readers report them); an empty path is no file.
void CheckOutputRoles(const std::vector<TFileRole>& inputs, const std::vector<TFileRole>& outputs);

// Raises EFOpenError when the file cannot be created where it is named: its folder does not exist or is no
// folder, the name is that of a folder, or the folder refuses a new file (the system's reason follows:
// "Permission denied", "Read-only file system", "No space left on device").
void CheckOutputCreatable(const TFileRole& output);

// Both checks, for every output.
void CheckRunOutputs(const std::vector<TFileRole>& inputs, const std::vector<TFileRole>& outputs);

}  // namespace zorvik
