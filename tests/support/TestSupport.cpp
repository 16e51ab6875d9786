#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "util/ExceptionLog.h"

namespace zorvik::test {
namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  fPath = fs::temp_directory_path() /
          ("zorvik-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(fPath);
  fs::create_directories(fPath);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(fPath, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(fPath, ec);
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string RootMessageOf(const std::exception& e) { return RootMessage(e); }

std::string DataFile(const std::string& relative) { return std::string(ZORVIK_TEST_DATA) + "/" + relative; }

std::string FixtureFile(const std::string& relative) {
  fs::path p = fs::path(ZORVIK_TEST_DATA) / ".." / ".." / ".." / "shared" / "fixtures" / relative;
  std::error_code ec;
  return fs::exists(p, ec) ? fs::weakly_canonical(p).string() : std::string();
}

CliResult RunCli(const std::string& args) {
  TempDir dir;
  std::string outFile = dir.File("out"), errFile = dir.File("err");
  std::string cmd = std::string("'") + ZORVIK_CLI + "' " + args + " >'" + outFile + "' 2>'" + errFile + "'";
  int raw = std::system(cmd.c_str());
  CliResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadAll(outFile);
  r.err = ReadAll(errFile);
  return r;
}

void ExpectOneLineError(const CliResult& result, int status, const std::string& message) {
  EXPECT_EQ(result.status, status) << result.err;
  EXPECT_EQ(result.err.rfind("zorvik-cli: ", 0), 0u) << result.err;
  EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
}

}  // namespace zorvik::test
