#include "engine/Progress.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "util/Exceptions.h"

namespace zorvik {
namespace {

TEST(ProgressTest, StartingAnIterativeProgressResetsTheRecord) {
  TProgressStatusInfo info;
  int extra = 0;
  info.cbType = cb_Type::cb_Error;
  info.cbMessage = "old";
  info.caller = "someone";
  info.cbIterState = Tcb_iterState::cb_Finish;
  info.abortOp = true;
  info.ExtraData = &extra;
  info.StartIterative(5, 100);
  EXPECT_EQ(info.cbType, cb_Type::cb_Iter);
  EXPECT_EQ(info.cbMessage, "");
  EXPECT_EQ(info.caller, "");
  EXPECT_EQ(info.cbTotal, 100u);
  EXPECT_EQ(info.cbIter, 5);
  EXPECT_EQ(info.cbIterState, Tcb_iterState::cb_Begin);
  EXPECT_FALSE(info.abortOp);
  EXPECT_EQ(info.ExtraData, nullptr);
  EXPECT_NO_THROW(info.StartIterative(0, 0));
}

TEST(ProgressTest, EndBeforeStartIsAnAssertionFailure) {
  TProgressStatusInfo info;
  try {
    info.StartIterative(10, 9);
    FAIL() << "no exception";
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Assertion Failed: iterative progress must have a starting step before ending step");
  }
}

struct TReport {
  Tcb_iterState state;
  int32_t iter;
  uint32_t total;
  std::string message;
  const void* sender;
};

TEST(ProgressTest, ReporterSendsBeginIterationsAndFinishAndHearsAbort) {
  std::vector<TReport> reports;
  int owner = 0;
  TProgressReporter reporter(
      [&](const void* sender, TProgressStatusInfo& info) {
        reports.push_back({info.cbIterState, info.cbIter, info.cbTotal, info.cbMessage, sender});
        if (info.cbIter == 2) info.abortOp = true;
      },
      &owner);
  reporter.Begin("Reading Post File...", 3);
  reporter.BeginIterations("run.pos");
  while (!reporter.Aborted()) reporter.Advance();
  reporter.Finish();
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[0].state, Tcb_iterState::cb_Begin);
  EXPECT_EQ(reports[0].message, "Reading Post File...");
  EXPECT_EQ(reports[0].total, 3u);
  EXPECT_EQ(reports[1].state, Tcb_iterState::cb_iteration);
  EXPECT_EQ(reports[1].iter, 1);
  EXPECT_EQ(reports[2].iter, 2);
  EXPECT_EQ(reports[2].message, "run.pos");
  EXPECT_EQ(reports[3].state, Tcb_iterState::cb_Finish);
  for (const TReport& r : reports) EXPECT_EQ(r.sender, &owner);
}

TEST(ProgressTest, UnassignedCallbackIsSkipped) {
  TProgressReporter reporter(nullptr, nullptr);
  EXPECT_FALSE(reporter.Assigned());
  reporter.Begin("x", 10);
  reporter.Step(4);
  reporter.Finish();
  EXPECT_EQ(reporter.Info().cbIter, 4);
  EXPECT_FALSE(reporter.Aborted());
}

TEST(ProgressTest, FinishIsReportedWhenTheWorkFails) {
  std::vector<Tcb_iterState> states;
  TProgressReporter reporter(
      [&](const void*, TProgressStatusInfo& info) {
        states.push_back(info.cbIterState);
        if (info.cbIterState == Tcb_iterState::cb_Finish) throw std::runtime_error("window gone");
      },
      nullptr);
  try {
    reporter.Begin("x", 10);
    TProgressFinishGuard finish(reporter);
    throw EConvertError("bad value");
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "bad value");  // the work's failure, not the callback's
  }
  EXPECT_EQ(states, (std::vector<Tcb_iterState>{Tcb_iterState::cb_Begin, Tcb_iterState::cb_Finish}));

  TProgressFinishGuard finish(reporter);
  EXPECT_THROW(finish.Finish(), std::runtime_error);  // on the normal path the callback's failure passes out
  EXPECT_EQ(states.size(), 3u);
}

}  // namespace
}  // namespace zorvik
