#include "meteo/MeteoData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "meteo/MeteoFormat.h"
#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

using test::TempDir;
using test::WriteAll;

// One ISCST3 record, FORMAT (4I2,2F9.4,F6.1,I2,2F7.1).
std::string IscRecord(const char* date8, const char* speed9) {
  return std::string(date8) + " 180.0000" + speed9 + " 273.0" + " 4" + " 1000.0" + "  800.0";
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\r\n";
  return text;
}

TMeteoData Load(const std::string& file) {
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  met.LoadDataFromFile(file);
  return met;
}

TEST(MeteoDataTest, MissingFileChangesNothing) {
  TempDir dir;
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  met.LoadDataFromFile(dir.File("absent.met"));
  EXPECT_FALSE(met.HasData());
  EXPECT_EQ(met.LoadPath(), TMeteoLoadPath::mlpNone);
  for (int32_t key : {88010101, 96010101, 0}) EXPECT_FALSE(met.IsExist(key)) << key;
  EXPECT_FALSE(DetectMeteoFormat(dir.File("absent.met"), mfAermetSFC));
}

TEST(MeteoDataTest, IscFileCalmAndUsableHours) {
  TempDir dir;
  const std::string file = dir.File("a.met");
  WriteAll(file, Lines({
                     "14735  88  14735  88",  // station header: counted, no hour
                     IscRecord("88010101", "   2.5000"),
                     IscRecord("88010102", "   0.0000"),  // calm
                     IscRecord("88010103", "  0.00001"),
                     "",                                  // empty: not counted
                     IscRecord("88010104", "0.0000099"),  // calm
                     IscRecord("88010103", "   4.0000"),  // the same hour again: the later speed wins
                 }));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.LoadPath(), TMeteoLoadPath::mlpFixedColumnsIsc);
  EXPECT_TRUE(met.HasData());
  EXPECT_EQ(met.TotalHourCount(), 6);
  EXPECT_EQ(met.HourCount(), 3);
  EXPECT_EQ(met.UsableHourCount(), 2);
  EXPECT_EQ(met.CalmHourCount(), 2);
  EXPECT_EQ(met.UnreadableLineCount(), 1);
  EXPECT_TRUE(met.IsExist(88010101));
  EXPECT_DOUBLE_EQ(met.GetWindSpeed(88010101), 2.5);
  EXPECT_FALSE(met.IsExist(88010102));
  EXPECT_EQ(met.GetWindSpeed(88010102), 0.0);
  EXPECT_DOUBLE_EQ(met.GetWindSpeed(88010103), 4.0);
  EXPECT_FALSE(met.IsExist(88010104));
  // The usable hours span 01 to 03; the file holds 01 to 04, the calm hours too.
  EXPECT_DOUBLE_EQ(met.StartDateTime(), DateKeyToDateTime(88010101));
  EXPECT_DOUBLE_EQ(met.EndDateTime(), DateKeyToDateTime(88010103));
  EXPECT_DOUBLE_EQ(met.FirstHourDateTime(), DateKeyToDateTime(88010101));
  EXPECT_DOUBLE_EQ(met.LastHourDateTime(), DateKeyToDateTime(88010104));
  EXPECT_EQ(met.HeldHourCount(), 4);
  for (int32_t key : {88010101, 88010102, 88010103, 88010104}) EXPECT_TRUE(met.IsHeld(key)) << key;
  EXPECT_FALSE(met.IsHeld(88010105));
  EXPECT_EQ(met.NumYears(), 1);
}

TEST(MeteoDataTest, FileWithNoUsableHourLeavesTheTableEmpty) {
  TempDir dir;
  const std::string file = dir.File("calm.met");
  WriteAll(file, Lines({IscRecord("88010101", "   0.0000"), IscRecord("88010102", "   0.0000")}));
  TMeteoData met = Load(file);
  EXPECT_TRUE(met.HasData());
  EXPECT_EQ(met.UsableHourCount(), 0);
  EXPECT_FALSE(met.IsExist(88010101));
  EXPECT_FALSE(met.IsExist(88010102));
}

TEST(MeteoDataTest, ReloadReplacesTheTable) {
  TempDir dir;
  const std::string a = dir.File("a.met"), b = dir.File("b.met");
  WriteAll(a, Lines({IscRecord("88010101", "   2.5000")}));
  WriteAll(b, Lines({IscRecord("89010101", "   1.5000")}));
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  met.LoadDataFromFile(a);
  met.LoadDataFromFile(b);
  EXPECT_FALSE(met.IsExist(88010101));
  EXPECT_TRUE(met.IsExist(89010101));
  EXPECT_EQ(met.TotalHourCount(), 1);
  met.Clear();
  EXPECT_FALSE(met.IsExist(89010101));
  EXPECT_FALSE(met.HasData());
}

// ---- surface files ---------------------------------------------------------------------------------------------

const char* const kHeader24142 =
    "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION: 24142  ADJ_U*";

// The header line of a surface file with the version text in columns 93-98.
std::string SfcHeader(const std::string& version) {
  std::string h = "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION:";
  EXPECT_EQ(h.size(), 92u);
  return h + version;
}

std::vector<std::string> Tokens(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> t;
  for (std::string s; in >> s;) t.push_back(s);
  return t;
}

// An hour line of a blank-separated file rewritten at the fixed columns of the long (25 fields) or short
// (20 fields) layout, as an older AERMET would have written it.
std::string FixedColumnLine(const std::string& blankSeparated, int fields) {
  static constexpr struct {
    char kind;  // I or F
    int width, decimals;
  } kLayout[] = {{'I', 2, 0}, {'I', 2, 0}, {'I', 2, 0}, {'I', 3, 0}, {'I', 2, 0}, {'F', 6, 1}, {'F', 6, 3},
                 {'F', 6, 3}, {'F', 6, 3}, {'F', 5, 0}, {'F', 5, 0}, {'F', 8, 1}, {'F', 6, 3}, {'F', 6, 2},
                 {'F', 6, 2}, {'F', 7, 2}, {'F', 5, 0}, {'F', 6, 1}, {'F', 6, 1}, {'F', 6, 1}, {'I', 5, 0},
                 {'F', 6, 1}, {'F', 6, 1}, {'F', 6, 1}, {'I', 5, 0}};
  const auto t = Tokens(blankSeparated);
  std::string line;
  for (int i = 0; i < fields; ++i) {
    if (i > 0) line += ' ';
    const auto& f = kLayout[i];
    const double v = std::stod(t[static_cast<size_t>(i)]);
    std::string cell = f.kind == 'I' ? std::to_string(static_cast<long>(v)) : fmt::format("{:.{}f}", v, f.decimals);
    if (f.kind == 'F' && f.decimals == 0) cell += '.';  // F5.0 prints "-999."
    line += std::string(static_cast<size_t>(std::max(0, f.width - static_cast<int>(cell.size()))), ' ') + cell;
  }
  return line;
}

// Independent judgement of one blank-separated hour line by AERMET's missing indicators: calm when the speed
// is 0; missing when a field holds its indicator (speed, direction, temperature 999; Monin-Obukhov length
// -99999; mechanical height -999; friction velocity -9; in unstable hours also convective height -999 and
// convective velocity -9).
enum class THourKind { calm, missing, usable };
THourKind JudgeByIndicators(const std::string& line, int32_t& key) {
  const auto t = Tokens(line);
  auto num = [&](size_t i) { return std::stod(t.at(i)); };
  key = std::stoi(t[0]) % 100 * 1000000 + std::stoi(t[1]) * 10000 + std::stoi(t[2]) * 100 + std::stoi(t[4]);
  if (num(15) == 0) return THourKind::calm;
  const bool unstable = num(11) < 0;
  if (num(15) == 999 || num(16) == 999 || num(18) == 999 || num(11) == -99999 || num(10) == -999 ||
      num(6) == -9 || (unstable && (num(9) == -999 || num(7) == -9)))
    return THourKind::missing;
  return THourKind::usable;
}

struct TIndependentCount {
  int hours = 0, calm = 0, missing = 0, usable = 0;
};

// Counts the hours of a blank-separated surface file and checks that the table holds exactly its usable hours.
TIndependentCount CheckAgainstIndicators(const std::string& file, const TMeteoData& met) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  std::getline(in, line);  // header
  TIndependentCount n;
  while (std::getline(in, line)) {
    if (Tokens(line).empty()) continue;
    ++n.hours;
    int32_t key = 0;
    switch (JudgeByIndicators(line, key)) {
      case THourKind::calm: ++n.calm; break;
      case THourKind::missing: ++n.missing; break;
      case THourKind::usable: ++n.usable; break;
    }
    EXPECT_EQ(met.IsExist(key), JudgeByIndicators(line, key) == THourKind::usable) << line;
  }
  return n;
}

TEST(MeteoDataSurfaceTest, EveryLayoutOfTheSameHoursGivesTheSameTable) {
  const std::string slice = test::DataFile("meteo/houston_300h.sfc");
  std::vector<std::string> hourLines;
  {
    std::ifstream in(slice, std::ios::binary);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) hourLines.push_back(line.substr(0, line.find('\r')));
  }
  TMeteoData reference = Load(slice);
  ASSERT_EQ(reference.LoadPath(), TMeteoLoadPath::mlpSurfaceFile);
  const TIndependentCount n = CheckAgainstIndicators(slice, reference);
  EXPECT_EQ(n.hours, 300);
  EXPECT_EQ(reference.TotalHourCount(), n.hours);
  EXPECT_EQ(reference.HourCount(), n.usable);
  EXPECT_EQ(reference.CalmHourCount(), n.calm);
  EXPECT_EQ(reference.MissingHourCount(), n.missing);
  EXPECT_EQ(reference.AermetVersion(), tav_11059);
  EXPECT_EQ(reference.AermetVersionText(), " 24142");

  struct Case {
    const char* version;
    TAermetVersion member;
    int fields;  // 0: blank-separated as in the slice
  } cases[] = {{"06341", tav_06341, 25}, {"09040", tav_09040, 25}, {"04300", tav_04300, 25},
               {"98314", tav_98314, 20}, {"02222", tav_02222, 20}, {"11059", tav_11059, 0}};
  TempDir dir;
  for (const auto& c : cases) {
    std::string text = SfcHeader(c.version) + "\r\n";
    for (const auto& l : hourLines) text += (c.fields ? FixedColumnLine(l, c.fields) : l) + "\r\n";
    const std::string file = dir.File(std::string("v") + c.version + ".sfc");
    WriteAll(file, text);
    TMeteoData met = Load(file);
    EXPECT_EQ(met.AermetVersion(), c.member) << c.version;
    EXPECT_EQ(met.TotalHourCount(), n.hours) << c.version;
    EXPECT_EQ(met.HourCount(), n.usable) << c.version;
    EXPECT_EQ(met.CalmHourCount(), n.calm) << c.version;
    EXPECT_EQ(met.MissingHourCount(), n.missing) << c.version;
    EXPECT_EQ(met.IncompleteLineCount(), 0) << c.version;
    EXPECT_DOUBLE_EQ(met.StartDateTime(), reference.StartDateTime()) << c.version;
    EXPECT_DOUBLE_EQ(met.EndDateTime(), reference.EndDateTime()) << c.version;
    CheckAgainstIndicators(slice, met);
    for (int32_t key = 96010101; key <= 96011324; ++key)
      if (reference.IsExist(key)) {
        ASSERT_FLOAT_EQ(met.GetWindSpeed(key), reference.GetWindSpeed(key)) << key;
      }
  }
}

TEST(MeteoDataSurfaceTest, RealStationYears) {
  struct Case {
    const char* file;
    int hours, calm, missing, usable;  // -1: not published, the independent count decides
  } cases[] = {
      {"grid144/HOUSTON_ADJU.SFC", 8784, 1588, 370, 6826},
      {"disc36/LOVETT.SFC", 8784, -1, -1, -1},
  };
  for (const auto& c : cases) {
    const std::string file = test::FixtureFile(c.file);
    if (file.empty()) GTEST_SKIP() << "fixtures not present";
    TMeteoData met = Load(file);
    ASSERT_EQ(met.LoadPath(), TMeteoLoadPath::mlpSurfaceFile) << c.file;
    const TIndependentCount n = CheckAgainstIndicators(file, met);
    EXPECT_EQ(n.hours, c.hours) << c.file;
    if (c.calm >= 0) {
      EXPECT_EQ(n.calm, c.calm) << c.file;
      EXPECT_EQ(n.missing, c.missing) << c.file;
      EXPECT_EQ(n.usable, c.usable) << c.file;
    }
    EXPECT_EQ(met.TotalHourCount(), n.hours) << c.file;
    EXPECT_EQ(met.HourCount(), n.usable) << c.file;
    EXPECT_EQ(met.UsableHourCount(), n.usable) << c.file;
    EXPECT_EQ(met.CalmHourCount(), n.calm) << c.file;
    EXPECT_EQ(met.MissingHourCount(), n.missing) << c.file;
    EXPECT_EQ(met.NumYears(), 1) << c.file;
  }
}

}  // namespace
}  // namespace zorvik

namespace zorvik {
namespace {

// Hours of 1 January 1996 as the blank-separated layout writes them (27 tokens: 25 fields and two texts).
std::string Hour(int hour, const char* speed = "2.10", const char* month = "1") {
  return fmt::format(
      "96 {:>2} 1   1 {:>2}  -21.5  0.222 -9.000 -9.000 -999.  251.     54.1  0.1500   0.70   1.00 {:>7}   28.0"
      "    6.1  287.5    2.0     0   0.00   100.   997.    10 NAD-SFC NoSubs",
      month, hour, speed);
}

std::string SurfaceFile(const std::vector<std::string>& hours, const std::string& version = " 24142") {
  std::string h = "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION:";
  return Lines({h + version}) + Lines(hours);
}

struct TLoadFailure {
  std::string root, chain;
  int32_t line = 0;
};

TLoadFailure LoadFailure(const std::string& file) {
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  try {
    met.LoadDataFromFile(file);
  } catch (const std::exception& e) {
    return {RootMessage(e), e.what(), met.LineNumber()};
  }
  ADD_FAILURE() << "no failure for " << file;
  return {};
}

TEST(MeteoDataBadInputTest, HeaderVersions) {
  TempDir dir;
  // Empty or blank version text: no layout.
  for (const std::string version : {"", "      "}) {
    const std::string file = dir.File("v.sfc");
    WriteAll(file, SurfaceFile({Hour(1)}, version));
    TLoadFailure f = LoadFailure(file);
    EXPECT_EQ(f.root, "unknown aermet sfc version :" + version);
    EXPECT_EQ(f.line, 1);
    EXPECT_NE(f.chain.find("EUnknownAermetVersion: unknown aermet sfc version :"), std::string::npos) << f.chain;
    EXPECT_NE(f.chain.find("TAERMET_SFC_Reader.ReadHeader(" + file + ", line 1)"), std::string::npos) << f.chain;
  }
  // A version text no member names: a later AERMET, read blank-separated.
  const std::string file = dir.File("later.sfc");
  WriteAll(file, SurfaceFile({Hour(1), Hour(2)}, "99999"));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.AermetVersion(), tav_11059);
  EXPECT_TRUE(met.IsExist(96010101));
  EXPECT_TRUE(met.IsExist(96010102));
}

TEST(MeteoDataBadInputTest, ImpossibleDateNamesFileAndLine) {
  TempDir dir;
  const std::string file = dir.File("date.sfc");
  WriteAll(file, SurfaceFile({Hour(1), Hour(2), Hour(3, "2.10", "13")}));
  TLoadFailure f = LoadFailure(file);
  EXPECT_EQ(f.root, "Impossible date in an hour record: year 96, month 13, day 1, hour 3");
  EXPECT_EQ(f.line, 4);
  EXPECT_NE(f.chain.find("TAermodSfc_Checker.ProcessRecord"), std::string::npos) << f.chain;
  EXPECT_NE(f.chain.find("TAERMET_SFC_Reader.ReadRecord(" + file + ", line 4)"), std::string::npos) << f.chain;

  WriteAll(file, SurfaceFile({Hour(0)}));  // hour 0
  EXPECT_EQ(LoadFailure(file).root, "Impossible date in an hour record: year 96, month 1, day 1, hour 0");
}

TEST(MeteoDataBadInputTest, TruncatedLastLineIsNeverUsableWithTheValuesOfTheLineBefore) {
  TempDir dir;
  const std::string file = dir.File("cut.sfc");
  const std::string full = Hour(3);
  WriteAll(file, SurfaceFile({Hour(1), Hour(2), full.substr(0, 40)}));  // ends inside the mixing heights
  TMeteoData met = Load(file);
  EXPECT_EQ(met.TotalHourCount(), 3);
  EXPECT_TRUE(met.IsExist(96010102));
  EXPECT_FALSE(met.IsExist(96010103));
  EXPECT_EQ(met.CalmHourCount(), 1);  // its wind speed is absent
  EXPECT_EQ(met.IncompleteLineCount(), 1);
  EXPECT_EQ(met.FirstIncompleteLine(), 4);
}

// The reader keeps its line elements from one line to the next: a short line in between, and the lines after it,
// must each be judged by their own values.
TEST(MeteoDataBadInputTest, LinesAroundAShortOneKeepTheirOwnValues) {
  TempDir dir;
  const std::string file = dir.File("short.sfc");
  WriteAll(file, SurfaceFile({Hour(1), Hour(2).substr(0, 40), Hour(3, "0.00"), Hour(4), Hour(5, "0.00"), Hour(6)}));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.TotalHourCount(), 6);
  for (const auto& [hour, usable] : {std::pair{1, true}, {2, false}, {3, false}, {4, true}, {5, false}, {6, true}})
    EXPECT_EQ(met.IsExist(96010100 + hour), usable) << "hour " << hour;
  EXPECT_EQ(met.CalmHourCount(), 3);
  EXPECT_EQ(met.IncompleteLineCount(), 1);
}

TEST(MeteoDataBadInputTest, EmptyLineStopsTheReadingOnlyAtTheEnd) {
  TempDir dir;
  const std::string file = dir.File("gap.sfc");
  // Blank lines after the last hour: the file simply ends there.
  WriteAll(file, SurfaceFile({Hour(1), Hour(2), "", "   "}));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.TotalHourCount(), 2);
  EXPECT_TRUE(met.IsExist(96010102));
  // An empty line with hours after it: those hours would be lost, so the load fails naming the line.
  WriteAll(file, SurfaceFile({Hour(1), "", Hour(2)}));
  EXPECT_EQ(LoadFailure(file).root, file + ", line 3: empty line; the hour lines after it cannot be read");
}

TEST(MeteoDataBadInputTest, RepeatedHeaderOfConcatenatedYearsIsSkipped) {
  TempDir dir;
  const std::string file = dir.File("two.sfc");
  WriteAll(file, SurfaceFile({Hour(1), kHeader24142, Hour(2)}));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.TotalHourCount(), 2);
  EXPECT_TRUE(met.IsExist(96010101));
  EXPECT_TRUE(met.IsExist(96010102));
}

TEST(MeteoDataBadInputTest, FixedColumnSurfaceLayoutWithoutFullHeader) {
  TempDir dir;
  const std::string file = dir.File("old.sfc");
  const std::string header = "   41.300N   74.000W          UA_ID: 14735     SF_ID: 14735     OS_ID: LOVETT";
  // Long layout lines: a good stable hour, a missing Monin-Obukhov length, a calm hour.
  const std::string good = FixedColumnLine(Hour(1), 25);
  const std::string missing = FixedColumnLine(
      "96  1  1   1  2  -21.5  0.222 -9.000 -9.000 -999.  251. -99999.0  0.1500   0.70   1.00    2.10   28.0"
      "    6.1  287.5    2.0     0   0.00   100.   997.    10",
      25);
  const std::string calm = FixedColumnLine(Hour(3, "0.00"), 25);
  WriteAll(file, Lines({header, good, missing, calm}));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.LoadPath(), TMeteoLoadPath::mlpFixedColumnsSurface);
  EXPECT_EQ(met.TotalHourCount(), 3);
  EXPECT_TRUE(met.IsExist(96010101));
  EXPECT_DOUBLE_EQ(met.GetWindSpeed(96010101), 2.1f);
  EXPECT_FALSE(met.IsExist(96010102));
  EXPECT_FALSE(met.IsExist(96010103));
  EXPECT_EQ(met.MissingHourCount(), 1);
  EXPECT_EQ(met.CalmHourCount(), 1);
}

TEST(MeteoDataBadInputTest, BadHoursRowsAreKeptOnRequest) {
  TempDir dir;
  const std::string file = dir.File("bad.sfc");
  WriteAll(file, SurfaceFile({Hour(1, "0.00"), Hour(2), Hour(3, "999.00")}));
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  met.SetKeepBadHours(true);
  met.LoadDataFromFile(file);
  ASSERT_EQ(met.BadHours().size(), 3u);
  EXPECT_EQ(met.BadHours()[0].substr(0, 42), "date,year,month,day,j_day,hour,reason,h,u_");
  EXPECT_EQ(met.BadHours()[1].substr(0, 36), "1996010101,1996,1,1,1,1,Calm,-21.5,0");
  EXPECT_EQ(met.BadHours()[2].substr(0, 71), "1996010103,1996,1,1,1,3,Missing: (WSpeed >= 90) or (WSpeed < 0),-21.5,0");
  met.SaveBadHours(dir.File("bad.csv"));
  const std::string saved = test::ReadAll(dir.File("bad.csv"));
  EXPECT_EQ(saved, met.BadHours()[0] + "\r\n" + met.BadHours()[1] + "\r\n" + met.BadHours()[2] + "\r\n");
}

}  // namespace
}  // namespace zorvik

namespace zorvik {
namespace {

// The header and the first hour lines of the real surface file slice, without their line ends.
std::vector<std::string> SliceLines(size_t count) {
  std::ifstream in(test::DataFile("meteo/houston_300h.sfc"), std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; lines.size() < count && std::getline(in, line);)
    lines.push_back(line.substr(0, line.find('\r')));
  return lines;
}

std::string Joined(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
  std::string text;
  for (const auto& l : lines) text += l + end;
  return text;
}

// Damaged files of either kind: each load fails with a message that names the file, the line and the problem.
TEST(MeteoDataDamagedFileTest, EveryDamageIsAnErrorNamingFileAndLine) {
  const std::vector<std::string> sfc = SliceLines(4);  // header and hours 1-3
  const std::string iscHour1 = "88010101 180.0000   2.5000 273.0 4 1000.0  800.0";
  const std::string iscHour2 = "88010102 180.0000   0.0000 273.0 4 1000.0  800.0";
  const std::string stationHeader = "14735  88  14735  88";
  std::string postfileStart("\x14\0\0\0", 4);  // a record of 20 bytes framed by its length words
  postfileStart += std::string(20, '\x01') + std::string("\x14\0\0\0", 4);
  struct Case {
    const char* name;
    std::string content;
    std::string message;  // "@" stands for the file name
  } cases[] = {
      {"surface: words after the last hour", Joined({sfc[0], sfc[1], sfc[2], "end of data"}),
       "@, line 4: not an hour line of the surface file layout: the field year holds \"end\", not a number"},
      {"surface: words among the hours", Joined({sfc[0], sfc[1], "96 1 1 1 2 garbage", sfc[2]}),
       "@, line 3: not an hour line of the surface file layout: the field h holds \"garbage\", not a number"},
      {"surface: a line of one number", Joined({sfc[0], sfc[1], "96", sfc[2]}),
       "Impossible date in an hour record: year 96, month 0, day 0, hour 0"},
      {"surface: version field that is no number", Joined({sfc[0].substr(0, 92) + " 2414x", sfc[1]}),
       "unknown aermet sfc version : 2414x"},
      {"surface: overlong line", Joined({sfc[0], sfc[1], sfc[2] + std::string(100000, ' ') + "1", sfc[3]}),
       "@, line 3: the line is longer than 4096 characters"},
      {"ISCST3: words after the last hour", Joined({stationHeader, iscHour1, "end of data"}),
       "@, line 3: not an hour line of the ISCST3 met file layout: the line is shorter than the 48 characters"},
      {"ISCST3: a short line that is not the first", Joined({iscHour1, stationHeader, iscHour2}),
       "@, line 2: not an hour line of the ISCST3 met file layout: the line is shorter"},
      {"ISCST3: impossible date", Joined({iscHour1, "88023001" + iscHour2.substr(8)}),
       "@, line 2: not an hour line of the ISCST3 met file layout: columns 1-8 hold no valid date"},
      {"ISCST3: speed that is no number", Joined({iscHour1, iscHour2.substr(0, 17) + "   2.5x00" + iscHour2.substr(26)}),
       "@, line 2: not an hour line of the ISCST3 met file layout: the wind speed in columns 18-26 is not a number"},
      {"ISCST3: temperature that is no number", Joined({iscHour1, iscHour2.substr(0, 26) + " 27x.0" + iscHour2.substr(32)}),
       "@, line 2: not an hour line of the ISCST3 met file layout: the temperature in columns 27-32 is not a number"},
      {"ISCST3: overlong first line", std::string(5000, '8') + "\r\n" + Joined({iscHour1}),
       "@, line 1: the line is longer than 4096 characters"},
      {"POSTFILE", postfileStart, "@ is a binary file (it looks like a POSTFILE), not a met file"},
      {"other binary file", std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10), "@ is a binary file, not a met file"},
  };
  TempDir dir;
  const std::string file = dir.File("damaged.met");
  for (const auto& c : cases) {
    WriteAll(file, c.content);
    std::string expected = c.message;
    if (const size_t at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, file);
    TMeteoData met;
    met.SetAermodVersion(av_11103);
    try {
      met.LoadDataFromFile(file);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const std::exception& e) {
      const std::string message = RootMessage(e) + " | " + e.what();
      EXPECT_NE(message.find(expected), std::string::npos) << c.name << ": " << message;
    }
  }
}

// Windows line ends, blanks at the ends of lines, a byte-order mark and blank lines at the end change nothing.
TEST(MeteoDataDamagedFileTest, LineEndsBlanksAndByteOrderMarkReadAsThePlainFile) {
  const std::vector<std::string> sfc = SliceLines(40);
  std::vector<std::string> isc = {"14735  88  14735  88"};
  for (int hour = 1; hour <= 24; ++hour)
    isc.push_back(fmt::format("880101{:02d} 180.0000{:>9} 273.0 4 1000.0  800.0", hour, hour % 5 ? "2.5000" : "0.0000"));
  const std::string bom = "\xEF\xBB\xBF";
  auto padded = [](std::vector<std::string> lines) {
    for (auto& l : lines) l += "   \t ";
    return lines;
  };
  TempDir dir;
  const std::vector<std::string>* const files[] = {&sfc, &isc};
  for (const std::vector<std::string>* lines : files) {
    const std::string plainFile = dir.File("plain.met");
    WriteAll(plainFile, Joined(*lines, "\n"));
    const TMeteoData plain = Load(plainFile);
    ASSERT_GT(plain.HourCount(), 0);
    ASSERT_GT(plain.CalmHourCount(), 0);
    const std::vector<std::pair<const char*, std::string>> variants = {
        {"CR LF", Joined(*lines, "\r\n")},
        {"trailing blanks", Joined(padded(*lines), "\r\n")},
        {"byte-order mark", bom + Joined(*lines, "\r\n")},
        {"blank lines at the end", Joined(*lines, "\r\n") + "\r\n  \r\n\r\n"},
    };
    for (const auto& [name, text] : variants) {
      const std::string file = dir.File("variant.met");
      WriteAll(file, text);
      const TMeteoData met = Load(file);
      EXPECT_EQ(met.LoadPath(), plain.LoadPath()) << name;
      EXPECT_EQ(met.TotalHourCount(), plain.TotalHourCount()) << name;
      EXPECT_EQ(met.HourCount(), plain.HourCount()) << name;
      EXPECT_EQ(met.CalmHourCount(), plain.CalmHourCount()) << name;
      EXPECT_EQ(met.MissingHourCount(), plain.MissingHourCount()) << name;
      EXPECT_EQ(met.HeldHourCount(), plain.HeldHourCount()) << name;
      EXPECT_EQ(met.AermetVersionText(), plain.AermetVersionText()) << name;
      for (int32_t key = 88010101; key <= 88010124; ++key) EXPECT_EQ(met.IsExist(key), plain.IsExist(key)) << name;
      for (int32_t key = 96010101; key <= 96010224; ++key) EXPECT_EQ(met.IsExist(key), plain.IsExist(key)) << name;
    }
  }
}

// The table of held hours: every hour line, whatever its kind; none of the hours the file lacks.
TEST(MeteoDataDamagedFileTest, HeldHoursAreEveryHourOfTheFile) {
  const std::vector<std::string> sfc = SliceLines(301);
  TempDir dir;
  const std::string file = dir.File("gap.sfc");
  // Hours 11-20 left out.
  std::vector<std::string> kept(sfc.begin(), sfc.begin() + 11);
  kept.insert(kept.end(), sfc.begin() + 21, sfc.end());
  WriteAll(file, Joined(kept));
  const TMeteoData met = Load(file);
  EXPECT_EQ(met.HeldHourCount(), 290);
  EXPECT_EQ(met.HeldHourCount(), met.HourCount() + met.CalmHourCount() + met.MissingHourCount());
  // The slice starts at 1 January 1996, hour 1, one line an hour.
  for (int i = 0; i < 300; ++i) {
    const int32_t key = 96000000 + (1 + i / 24 / 31) * 10000 + (1 + i / 24 % 31) * 100 + 1 + i % 24;
    EXPECT_EQ(met.IsHeld(key), i < 10 || i >= 20) << key;
  }
  EXPECT_DOUBLE_EQ(met.FirstHourDateTime(), DateKeyToDateTime(96010101));
  EXPECT_DOUBLE_EQ(met.LastHourDateTime(), DateKeyToDateTime(96011312));
}

}  // namespace
}  // namespace zorvik
