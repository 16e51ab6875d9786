#include "meteo/AermodSfcChecker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "meteo/AermetSfcReader.h"
#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

// A 25-field hour record of a usable stable hour; the cases change single fields.
struct TCheckerFixture {
  THashedIntegerListReal table;
  TAermodSfc_Checker checker;
  TAttributeCollectionRef header{"header"}, record{"record"};

  explicit TCheckerFixture(TAermod_Version rules = av_11103) {
    checker.SetData(&table);
    checker.SetAerVersion(rules);
    AttributeFactory().DefineCollection(&record, AermetSfcFields(tav_06341));
    const double values[] = {96, 1, 1, 1, 1, -21.5, 0.222, -9, -9, -999, 251, 54.1, 0.15,
                             0.7, 1, 2.1, 28, 6.1, 287.5, 2, 0, 0, 100, 997, 10};
    for (int i = 0; i < record.Count(); ++i) record.ByIndex(i).SetAsFloat(values[i]);
    checker.ProcessBegin(header, record);
  }
  void Set(const char* name, double value) { record.ByName(name)->SetAsFloat(value); }
};

TEST(AermodSfcCheckerTest, HoursIntoTableOrBadHours) {
  struct Case {
    const char* name;
    const char* field;
    double value;
    TAermod_Version rules;
    const char* reason;  // nullptr: usable
  } cases[] = {
      {"good hour", "w_s", 2.1, av_11103, nullptr},
      {"speed 0", "w_s", 0, av_11103, "Calm"},
      {"speed 0.0001 (11103)", "w_s", 0.0001, av_11103, nullptr},
      {"speed 0.000001 (unknown)", "w_s", 0.000001, av_Unknown, "Calm"},
      {"speed 999", "w_s", 999, av_11103, "Missing: (WSpeed >= 90) or (WSpeed < 0)"},
      {"length -99999", "L", -99999, av_11103, "Missing: (OBULEN < -99990)"},
      {"length -99999 (unknown)", "L", -99999, av_Unknown, "Missing"},
      {"friction velocity 9 (11103)", "u_o", 9, av_11103, "Missing: (USTAR < 0) or (USTAR >= 9)"},
      {"friction velocity 9 (unknown)", "u_o", 9, av_Unknown, nullptr},
  };
  for (const auto& c : cases) {
    TCheckerFixture f(c.rules);
    f.Set(c.field, c.value);
    f.checker.ProcessRecord(f.record);
    EXPECT_EQ(f.checker.fTotalHourCount, 1) << c.name;
    if (c.reason == nullptr) {
      EXPECT_TRUE(f.table.Contains(96010101)) << c.name;
      EXPECT_EQ(f.checker.fHourCount, 1) << c.name;
      EXPECT_TRUE(f.checker.BadHours().empty()) << c.name;  // no header row without bad hours
    } else {
      EXPECT_FALSE(f.table.Contains(96010101)) << c.name;
      ASSERT_EQ(f.checker.BadHours().size(), 2u) << c.name;
      EXPECT_EQ(f.checker.BadHours()[1].substr(0, f.checker.BadHours()[1].find(",-21.5,")),
                std::string("1996010101,1996,1,1,1,1,") + c.reason)
          << c.name;
    }
  }
}

TEST(AermodSfcCheckerTest, DatesAndKeys) {
  TCheckerFixture f;
  f.Set("HOUR", 24);
  f.checker.ProcessRecord(f.record);
  f.Set("YEAR", 1996);  // a four-digit year gives the same key
  f.Set("HOUR", 23);
  f.Set("w_s", 3.5);
  f.checker.ProcessRecord(f.record);
  EXPECT_TRUE(f.table.Contains(96010124));
  EXPECT_FLOAT_EQ(f.table.GetValue(96010123), 3.5f);
  EXPECT_DOUBLE_EQ(f.checker.fEndDateTime, DateKeyToDateTime(96010124));  // 23:00 of 1 January
  EXPECT_DOUBLE_EQ(f.checker.fStartDateTime, DateKeyToDateTime(96010123));
  EXPECT_TRUE(f.checker.fHasData);

  f.Set("HOUR", 0);
  try {
    f.checker.ProcessRecord(f.record);
    FAIL() << "hour 0 accepted";
  } catch (const EStackTrace& e) {
    EXPECT_TRUE(EStackTrace::IsException<EConvertError>(e));
    EXPECT_EQ(std::string(e.what()),
              "EConvertError: Impossible date in an hour record: year 1996, month 1, day 1, hour 0\r\n"
              "TAermodSfc_Checker.ProcessRecord");
  }
}

TEST(AermodSfcCheckerTest, RecordWithoutAFieldIsAnError) {
  TCheckerFixture f;
  f.record.DropByName("temp");
  try {
    f.checker.ProcessRecord(f.record);
    FAIL() << "record without temp accepted";
  } catch (const EStackTrace& e) {
    EXPECT_EQ(RootMessage(e), "Missing attribute - TEMP: hour record of the surface file");
  }
}

TEST(AermodSfcCheckerTest, BadHoursRowsAndCsv) {
  TCheckerFixture f;
  f.Set("w_s", 0);
  f.checker.ProcessRecord(f.record);
  f.Set("w_s", 2);
  f.Set("SBL", -999);
  f.checker.ProcessRecord(f.record);
  const auto& rows = f.checker.BadHours();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0],
            "date,year,month,day,j_day,hour,reason,h,u_o,w_o,vptg,pbl,sbl,l,z_o,b_o,r,w_s,w_d,z_ref,temp,z_temp,"
            "precip_code,precip_rate,rh,pressure,cloud_cover");
  EXPECT_EQ(rows[1],
            "1996010101,1996,1,1,1,1,Calm,-21.5,0.222,-9,-9,-999,251,54.1,0.15,0.7,1,0,28,6.1,287.5,2,0,0,100,997,10");
  EXPECT_EQ(rows[2].substr(0, 74),
            "1996010101,1996,1,1,1,1,Missing: (ZIMECH > 90000) or (ZIMECH < 0),-21.5,0.");

  EXPECT_EQ(CsvRow({"a", "b,c", "\"d\""}), "a,\"b,c\",\"d\"");
  EXPECT_EQ(CsvRow({}), "");

  test::TempDir dir;
  f.checker.SaveBadHours(dir.File("bad.csv"));
  EXPECT_EQ(test::ReadAll(dir.File("bad.csv")), rows[0] + "\r\n" + rows[1] + "\r\n" + rows[2] + "\r\n");
  f.checker.ProcessBegin(f.header, f.record);  // a new run starts empty
  EXPECT_TRUE(f.checker.BadHours().empty());
  EXPECT_EQ(f.checker.fTotalHourCount, 0);
}

}  // namespace
}  // namespace zorvik
