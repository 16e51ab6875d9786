#pragma once
// Small helpers for tests: a temporary folder that removes itself, whole-file reads and writes, running
// zorvik-cli, and the path of the test data.
#include <filesystem>
#include <string>

namespace zorvik::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return fPath; }
  std::string File(const std::string& name) const { return (fPath / name).string(); }

 private:
  std::filesystem::path fPath;
};

std::string ReadAll(const std::filesystem::path& file);
void WriteAll(const std::filesystem::path& file, const std::string& bytes);
std::string DataFile(const std::string& relative);
// RootMessage of the traced-exception chain.
std::string RootMessageOf(const std::exception& e);
// The folder of real model runs beside the project, or "" when it is not there.
std::string FixtureFile(const std::string& relative);

// The message of the error that body raises (the first error of a traced chain), or "(no error)".
template <class Body>
std::string ErrorOf(Body body) {
  try {
    body();
  } catch (const std::exception& e) {
    return RootMessageOf(e);
  }
  return "(no error)";
}

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};
// Runs zorvik-cli with the arguments (a shell-quoted string).
CliResult RunCli(const std::string& args);
// Checks a failed run: its exit status, and one line on stderr, "zorvik-cli: ...", that contains `message`.
void ExpectOneLineError(const CliResult& result, int status, const std::string& message);

}  // namespace zorvik::test
