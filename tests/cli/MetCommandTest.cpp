#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

namespace zorvik {
namespace {

using test::RunCli;
using test::TempDir;
using test::WriteAll;

const std::string kHeaderNoVersion =
    "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION:";

std::string Hour(const std::string& date, const std::string& speed = "2.10") {
  return date +
         "  -21.5  0.222 -9.000 -9.000 -999.  251.     54.1  0.1500   0.70   1.00 " + speed +
         "   28.0    6.1  287.5    2.0     0   0.00   100.   997.    10 NAD-SFC NoSubs\r\n";
}

TEST(MetCommandTest, RealSurfaceFile) {
  const std::string file = test::FixtureFile("grid144/HOUSTON_ADJU.SFC");
  if (file.empty()) GTEST_SKIP() << "real model runs not present";
  auto r = RunCli("met '" + file + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "file: " + file +
                       "\npath: surface file\naermet version: 24142\nlayout: blank-separated, 25 fields\n"
                       "hours examined: 8784\nusable hours: 6826\ncalm hours: 1588\nmissing hours: 370\n"
                       "incomplete lines: 0\nfirst hour: 96010101\nlast hour: 96123124\n"
                       "first usable hour: 96010102\nlast usable hour: 96123117\n");
  EXPECT_EQ(r.err, "");
}

TEST(MetCommandTest, BadHoursFile) {
  TempDir dir;
  const std::string slice = test::DataFile("meteo/houston_300h.sfc");
  auto r = RunCli("met '" + slice + "' --bad-hours '" + dir.File("bad.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("calm hours: 49\nmissing hours: 7\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("bad hours: " + dir.File("bad.csv") + " (57 rows)\n"), std::string::npos) << r.out;
  const std::string csv = test::ReadAll(dir.File("bad.csv"));
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "date,year,month,day,j_day,hour,reason,h,u_o,w_o,vptg,pbl,sbl,l,z_o,b_o,r,w_s,w_d,z_ref,temp,z_temp,"
            "precip_code,precip_rate,rh,pressure,cloud_cover");
  // The first line of the slice: "96  1  1   1  1 -999.0 -9.000 -9.000 -9.000 -999. -999. -99999.0 ..." (calm).
  EXPECT_NE(csv.find("\r\n1996010101,1996,1,1,1,1,Calm,-999,-9,-9,-9,-999,-999,-99999,0.15,0.7,1,0,0,6.1,287.5,2,0,0,96,"
                     "998,10\r\n"),
            std::string::npos)
      << csv.substr(0, 400);
  EXPECT_NE(csv.find("\r\n1996010510,1996,1,5,5,10,Missing: (OBULEN < 0) and ((ZICONV > 90000) or (ZICONV < 0)),"),
            std::string::npos)
      << csv.substr(0, 400);
}

TEST(MetCommandTest, FixedColumnIscFile) {
  TempDir dir;
  const std::string file = dir.File("a.met");
  WriteAll(file,
           "88010101 180.0000   2.5000 273.0 4 1000.0  800.0\r\n"
           "88010102 180.0000   0.0000 273.0 4 1000.0  800.0\r\n");
  auto r = RunCli("met '" + file + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "file: " + file +
                       "\npath: fixed columns (ISCST3 layout)\nhours examined: 2\nusable hours: 1\ncalm hours: 1\n"
                       "missing hours: 0\nunreadable lines: 0\nfirst hour: 88010101\nlast hour: 88010102\n"
                       "first usable hour: 88010101\nlast usable hour: 88010101\n");

  // Bad hours are a surface file's list only.
  r = RunCli("met '" + file + "' --bad-hours '" + dir.File("bad.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "zorvik-cli: " + file + ": bad hours are listed only for AERMET surface files with a full header\n");
}

TEST(MetCommandTest, BadInputNamesFileAndLine) {
  TempDir dir;
  const std::string file = dir.File("m.sfc");
  struct Case {
    const char* name;
    std::string content;
    std::string err;
  } cases[] = {
      {"empty version", kHeaderNoVersion + "\r\n" + Hour("96  1  1   1  1"),
       "zorvik-cli: " + file + ", line 1: unknown aermet sfc version :\n"},
      {"impossible date", kHeaderNoVersion + " 24142\r\n" + Hour("96  1  1   1  1") + Hour("96  2 30  61  2"),
       "zorvik-cli: " + file + ", line 3: Impossible date in an hour record: year 96, month 2, day 30, hour 2\n"},
      {"empty line among the hours", kHeaderNoVersion + " 24142\r\n" + Hour("96  1  1   1  1") + "\r\n" +
                                          Hour("96  1  1   1  2"),
       "zorvik-cli: " + file + ", line 3: empty line; the hour lines after it cannot be read\n"},
      {"words after the last hour", kHeaderNoVersion + " 24142\r\n" + Hour("96  1  1   1  1") + "end of data\r\n",
       "zorvik-cli: " + file +
           ", line 3: not an hour line of the surface file layout: the field year holds \"end\", not a number\n"},
      {"a POSTFILE record (length words around a 16-byte header and one value)",
       std::string("\x14\0\0\0\x01\x01\x57\x05", 8) + std::string(16, '\0') + std::string("\x14\0\0\0", 4),
       "zorvik-cli: " + file + " is a binary file (it looks like a POSTFILE), not a met file\n"},
  };
  for (const auto& c : cases) {
    WriteAll(file, c.content);
    auto r = RunCli("met '" + file + "'");
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
  }

  auto r = RunCli("met '" + dir.File("absent.sfc") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "zorvik-cli: The file does not exist: " + dir.File("absent.sfc") + "\n");
}

TEST(MetCommandTest, WarningsForTruncatedLinesAndNoUsableHour) {
  TempDir dir;
  const std::string file = dir.File("m.sfc");
  WriteAll(file, kHeaderNoVersion + " 24142\r\n" + Hour("96  1  1   1  1", "0.00") + "96  1  1   1  2  -21.5\r\n");
  auto r = RunCli("met '" + file + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("usable hours: 0\ncalm hours: 2\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("incomplete lines: 1\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "zorvik-cli: warning: " + file +
                       ", line 3: an hour line lacks fields (1 such lines); they count as calm or missing\n"
                       "zorvik-cli: warning: " + file + " yields no usable hour: every hour would count as calm\n");
}

}  // namespace
}  // namespace zorvik
