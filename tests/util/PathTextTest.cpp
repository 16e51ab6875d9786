#include "util/PathText.h"

#include <gtest/gtest.h>

#include <ostream>

namespace zorvik {
namespace {

int CharCount(std::string_view text) { return static_cast<int>(text.size()); }

struct ShortenCase {
  const char* name;
  const char* path;
  int maxWidth;  // one unit per character
  const char* expected;
};

void PrintTo(const ShortenCase& c, std::ostream* os) { *os << c.name; }

class ShortenPathTest : public testing::TestWithParam<ShortenCase> {};

TEST_P(ShortenPathTest, Shortens) {
  const ShortenCase& c = GetParam();
  EXPECT_EQ(ShortenPath(c.path, c.maxWidth, CharCount), c.expected);
}

// C:\alpha\beta\gamma\last is 24 wide; each step below is the first that fits.
INSTANTIATE_TEST_SUITE_P(
    Steps, ShortenPathTest,
    testing::Values(ShortenCase{"Fits", R"(C:\alpha\beta\gamma\last)", 24, R"(C:\alpha\beta\gamma\last)"},
                    ShortenCase{"FirstFolder", R"(C:\alpha\beta\gamma\last)", 23, R"(C:\...\beta\gamma\last)"},
                    ShortenCase{"SecondFolder", R"(C:\alpha\beta\gamma\last)", 21, R"(C:\...\gamma\last)"},
                    ShortenCase{"AllFolders", R"(C:\alpha\beta\gamma\last)", 16, R"(C:\...\last)"},
                    ShortenCase{"DriveDropped", R"(C:\alpha\beta\gamma\last)", 10, R"(...\last)"},
                    ShortenCase{"NameOnly", R"(C:\alpha\beta\gamma\last)", 7, "last"},
                    ShortenCase{"NameEvenWhenTooWide", R"(C:\alpha\beta\gamma\last)", 2, "last"},
                    ShortenCase{"Rooted", "/home/user/data/out", 18, "/.../user/data/out"},
                    ShortenCase{"RootedAllFolders", "/home/user/data/out", 12, "/.../out"},
                    ShortenCase{"RootDropped", "/home/user/data/out", 7, ".../out"},
                    ShortenCase{"TrailingDelimiterIsNoName", "/home/user/data/out/", 10, "/.../out"},
                    ShortenCase{"Server", R"(\\server\share\dir\file.plt)", 26, R"(\\server\...\dir\file.plt)"},
                    ShortenCase{"ServerDropped", R"(\\server\share\dir\file.plt)", 19, R"(...\file.plt)"},
                    ShortenCase{"Relative", "folder/sub/file.plt", 17, ".../sub/file.plt"},
                    ShortenCase{"Empty", "", 0, ""}),
    [](const testing::TestParamInfo<ShortenCase>& info) { return info.param.name; });

TEST(PathTextTest, PartsOfNames) {
  EXPECT_EQ(ExtractFilePath(R"(C:\data\run.pos)"), R"(C:\data\)");
  EXPECT_EQ(ExtractFilePath("/data/run.pos"), "/data/");
  EXPECT_EQ(ExtractFilePath("run.pos"), "");
  EXPECT_EQ(ExtractFileName("/data/run.pos"), "run.pos");
  EXPECT_EQ(ExtractFileName("C:run.pos"), "run.pos");
  EXPECT_EQ(ExtractFileExt(R"(C:\data\RUN.Pos)"), ".Pos");
  EXPECT_EQ(ExtractFileExt(R"(C:\data.v2\run)"), "");
  EXPECT_EQ(ExtractFileExt("run."), ".");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/data/out/"), "/data/out");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(R"(C:\)"), R"(C:\)");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/data/out"), "/data/out/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(R"(C:\out\)"), R"(C:\out\)");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
}

}  // namespace
}  // namespace zorvik
