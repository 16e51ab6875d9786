#include "util/ExceptionLog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace zorvik {
namespace {

void CheckerStep() {
  traced("TAermodSfc_Checker.ProcessRecord", [] { throw EConvertError("'x' is not a valid floating point value"); });
}

TEST(TracedTest, ChainNamesRootClassThenEachStep) {
  try {
    traced("TAERMET_SFC_Reader.process", [] { CheckerStep(); });
    FAIL() << "no exception";
  } catch (const EStackTrace& e) {
    EXPECT_STREQ(e.what(),
                 "EConvertError: 'x' is not a valid floating point value\r\n"
                 "TAermodSfc_Checker.ProcessRecord\r\n"
                 "TAERMET_SFC_Reader.process");
    EXPECT_TRUE(EStackTrace::IsException<EConvertError>(e));
    EXPECT_FALSE(EStackTrace::IsException<EDivByZero>(e));
    EXPECT_EQ(e.ExceptionClass(), "EConvertError");
    EXPECT_EQ(RootMessage(e), "'x' is not a valid floating point value");
  }
}

TEST(TracedTest, AbortStaysAbortAndGainsContext) {
  try {
    traced("Outer", [] { traced("Inner", [] { throw EAbort("stop"); }); });
    FAIL() << "no exception";
  } catch (const EStackTrace&) {
    FAIL() << "abort was traced";
  } catch (const EAbort& e) {
    EXPECT_STREQ(e.what(), "stop\r\nInner\r\nOuter");
  }
}

TEST(TracedTest, ReturnsTheBodysValue) { EXPECT_EQ(traced("X", [] { return 42; }), 42); }

TEST(TracedTest, LogWritesFourLinesThenOnePerStep) {
  test::TempDir dir;
  TSystemFlags saved = SysFlags();
  SysFlags().flogEnabled = true;
  SysFlags().flogPath = dir.Path().string() + "/";
  try {
    traced("Second", [] { traced("First", [] { throw EConvertError("bad"); }); });
  } catch (const std::exception&) {
  }
  SysFlags() = saved;
  std::string log = test::ReadAll(dir.Path() / "error.log");
  EXPECT_EQ(log.find("The Following Exception Occured at "), 0u);
  EXPECT_NE(log.find("\r\nbad\r\n<0><0><0>\r\nFirst\r\nSecond\r\n"), std::string::npos) << log;
}

TEST(LogSettingsTest, ReadsSettingsSectionAndKeepsPathAsWritten) {
  test::TempDir dir;
  test::WriteAll(dir.Path() / "debug_log.ini", "[Other]\nlogEnabled=1\n[Settings]\nlogEnabled=1\nlogPath=/var/x\n");
  TSystemFlags flags;
  flags.FetchErrLogSettings(dir.File("debug_log.ini"));
  EXPECT_TRUE(flags.flogEnabled);
  EXPECT_EQ(flags.LogFile(), "/var/xerror.log");  // no separator added: the name is glued on
  flags.FetchErrLogSettings(dir.File("missing.ini"));
  EXPECT_FALSE(flags.flogEnabled);
  EXPECT_EQ(flags.flogPath, DefaultLogFolder());
}

TEST(AssertTest, FalseConditionRaises) {
  EXPECT_THROW(
      {
        try {
          Assert(false, "x > 0");
        } catch (const EAssertionFailed& e) {
          EXPECT_STREQ(e.what(), "Assertion Failed: x > 0");
          throw;
        }
      },
      EAssertionFailed);
}

}  // namespace
}  // namespace zorvik
