#include "util/StringFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "util/Exceptions.h"

namespace zorvik {
namespace {

using Lines = std::vector<std::string>;

// Reads every line until the end flag, checking that the flag is only set with the last line.
Lines ReadLines(TStringFile& f) {
  Lines lines;
  while (!f.Eof()) lines.push_back(f.GetLine());
  return lines;
}

Lines ReadFileLines(const std::string& content) {
  test::TempDir dir;
  test::WriteAll(dir.File("t.txt"), content);
  TStringFile f(dir.File("t.txt"));
  return ReadLines(f);
}

struct LineCase {
  const char* name;
  std::string content;
  Lines expected;
};

class LineEndingTest : public testing::TestWithParam<LineCase> {};

TEST_P(LineEndingTest, ReadsTheLines) {
  const LineCase& c = GetParam();
  EXPECT_EQ(ReadFileLines(c.content), c.expected);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Endings, LineEndingTest,
    testing::Values(
        LineCase{"CrLfNoFinalTerminator", "a\r\nb", {"a", "b"}},
        LineCase{"FinalCrLfGivesNoEmptyLine", "a\r\nb\r\n", {"a", "b"}},
        LineCase{"DoubleCrLfAtEndGivesOneEmptyLine", "a\r\n\r\n", {"a", ""}},
        LineCase{"DoubleLfAtEndGivesOneEmptyLine", "a\n\n", {"a", ""}},
        LineCase{"DoubleCrAtEndGivesOneEmptyLine", "a\r\r", {"a", ""}},
        LineCase{"SingleCr", "a\rb\rc", {"a", "b", "c"}},
        LineCase{"SingleLf", "a\nb\nc\n", {"a", "b", "c"}},
        LineCase{"LfCrIsOneTerminator", "a\n\rb\n\r", {"a", "b"}},
        LineCase{"MixedEndings", "a\r\nb\nc\rd\n\re", {"a", "b", "c", "d", "e"}},
        LineCase{"BlankLinesInside", "a\r\n\r\n\r\nb", {"a", "", "", "b"}},
        LineCase{"CrCrIsTwoTerminators", "a\r\rb", {"a", "", "b"}},
        LineCase{"LeadingBlankLines", "\r\n\nx", {"", "", "x"}},
        LineCase{"NulEndsALine", "a\0b\0"s, {"a", "b"}},
        LineCase{"OnlyATerminator", "\r\n", {""}},
        LineCase{"EmptyFile", "", {}},
        LineCase{"EightBitBytesPassThrough", "\xe9t\xe9 \xb5g/m\xb3\r\n\x80\xff", {"\xe9t\xe9 \xb5g/m\xb3", "\x80\xff"}}),
    [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

// Lines that end at and around the 16384-byte buffer boundary, and lines longer than the buffer.
class BufferBoundaryTest : public testing::TestWithParam<int> {};

TEST_P(BufferBoundaryTest, PairAcrossBoundaryCountsOnce) {
  const std::string first(static_cast<size_t>(GetParam()), 'x');
  EXPECT_EQ(ReadFileLines(first + "\r\nb\n\rc"), (Lines{first, "b", "c"}));
  EXPECT_EQ(ReadFileLines(first + "\r\n"), (Lines{first}));
  EXPECT_EQ(ReadFileLines(first + "\r\n\r\n"), (Lines{first, ""}));
}

INSTANTIATE_TEST_SUITE_P(Lengths, BufferBoundaryTest, testing::Values(16380, 16381, 16382, 16383, 16384, 16385, 40000));

TEST(StringFileTest, EmptyFileIsAtEndAndGivesEmptyLines) {
  test::TempDir dir;
  test::WriteAll(dir.File("e.txt"), "");
  TStringFile f(dir.File("e.txt"));
  EXPECT_TRUE(f.Eof());
  EXPECT_EQ(f.GetLine(), "");
  EXPECT_EQ(f.LineNumber(), 1);
}

TEST(StringFileTest, TrimmedAndNotEmptyLines) {
  test::TempDir dir;
  test::WriteAll(dir.File("t.txt"), " \t a b \x01\r\n\r\n   \r\nc\r\n\r\n");
  TStringFile f(dir.File("t.txt"));
  EXPECT_EQ(f.GetTrimLine(), "a b");
  EXPECT_EQ(f.GetNotEmptyLine(), "   ");
  EXPECT_EQ(f.CurrentLine(), "   ");
  f.Reset();
  EXPECT_EQ(f.GetNotEmptyLineTrim(), "a b");
  EXPECT_EQ(f.GetNotEmptyLineTrim(), "c");
  EXPECT_EQ(f.LineNumber(), 4);
  EXPECT_EQ(f.GetNotEmptyLineTrim(), "");
  EXPECT_TRUE(f.Eof());
}

TEST(StringFileTest, PositionMoveToAndBookmarks) {
  test::TempDir dir;
  test::WriteAll(dir.File("t.txt"), "one\r\ntwo\nthree\r\nfour");
  TStringFile f(dir.File("t.txt"));
  EXPECT_EQ(f.GetLine(), "one");
  EXPECT_EQ(f.GetPosition(), 5);
  TStringFileBookmark mark = f.GetBookmark();
  EXPECT_EQ(f.GetLine(), "two");
  EXPECT_EQ(f.GetPosition(), 9);
  EXPECT_EQ(f.GetLine(), "three");
  EXPECT_EQ(f.GetLine(), "four");
  EXPECT_TRUE(f.Eof());

  f.GotoBookmark(mark);
  EXPECT_FALSE(f.Eof());
  EXPECT_EQ(f.LineNumber(), 1);
  EXPECT_EQ(f.CurrentLine(), "one");
  EXPECT_EQ(f.GetLine(), "two");

  f.MoveTo(9);
  EXPECT_EQ(f.LineNumber(), 2);  // MoveTo keeps the line number
  EXPECT_EQ(f.GetLine(), "three");
  f.MoveTo(-7);
  EXPECT_EQ(f.GetPosition(), 0);
  EXPECT_EQ(f.GetLine(), "one");
  f.MoveTo(1000);
  EXPECT_TRUE(f.Eof());
  EXPECT_EQ(f.GetPosition(), f.Size());
}

TEST(StringFileTest, LineCountCountsFromHereAndRewinds) {
  test::TempDir dir;
  test::WriteAll(dir.File("t.txt"), "a\r\nb\r\nc\r\n");
  TStringFile f(dir.File("t.txt"));
  f.GetLine();
  EXPECT_EQ(f.GetLineCount(), 2);
  EXPECT_EQ(f.LineNumber(), 0);
  EXPECT_EQ(f.GetPosition(), 0);
  EXPECT_EQ(f.GetLineCount(), 3);
}

TEST(StringFileTest, WritesCrLfLinesAndAppends) {
  test::TempDir dir;
  const std::string name = dir.File("w.txt");
  {
    TStringFile f(name, TStringFileMode::smCreate);
    EXPECT_TRUE(f.Eof());
    f.WriteLine("a");
    f.WriteString("b\xe9");
    f.WriteLine("c");
    EXPECT_EQ(f.LineNumber(), 3);
    f.Reset();
    EXPECT_EQ(ReadLines(f), (Lines{"a", "b\xe9" "c"}));
    f.Close();
  }
  EXPECT_EQ(test::ReadAll(name), "a\r\nb\xe9" "c\r\n");
  {
    TStringFile f(name, TStringFileMode::smAppend);
    f.WriteLine("d");
  }
  EXPECT_EQ(test::ReadAll(name), "a\r\nb\xe9" "c\r\nd\r\n");
  {
    TStringFile f(name, TStringFileMode::smCreate);
    f.WriteLine(std::string(100000, 'z'));
  }
  EXPECT_EQ(test::ReadAll(name), std::string(100000, 'z') + "\r\n");
}

TEST(StringFileTest, MissingFileNamesFileAndReason) {
  test::TempDir dir;
  const std::string name = dir.File("missing.plt");
  try {
    TStringFile f(name);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + name + "\". No such file or directory");
  }
  EXPECT_THROW(TStringFile(dir.Path().string()), EFOpenError);
  EXPECT_THROW(TStringFile(dir.File("no/such/folder.txt"), TStringFileMode::smCreate), EFOpenError);
}

TEST(StringFileTest, WritingAFileOpenForReadingFails) {
  test::TempDir dir;
  test::WriteAll(dir.File("r.txt"), "x");
  TStringFile f(dir.File("r.txt"));
  EXPECT_THROW(f.WriteLine("y"), EInOutError);
}

}  // namespace
}  // namespace zorvik
