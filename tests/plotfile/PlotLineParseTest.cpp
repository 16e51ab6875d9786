#include "plotfile/PlotLineParse.h"

#include <gtest/gtest.h>

namespace zorvik {
namespace {

using Tokens = std::vector<std::string>;

TEST(PlotLineTokensTest, BlanksTabsQuotesAndUnderscores) {
  EXPECT_EQ(PlotLineTokens("  1.5\t\t2.5   'ALL' \"NET 1\" _ x_"), (Tokens{"1.5", "2.5", "ALL", "NET", "1", "", "x_"}));
  EXPECT_EQ(PlotLineTokens(""), Tokens{});
  EXPECT_EQ(PlotLineTokens(" \t "), Tokens{});
}

TEST(IsPlotNumberTest, FirstSeparatorReadsAsPoint) {
  const std::pair<const char*, bool> cases[] = {
      {"146.94631", true}, {"-1100.00000", true}, {"1,5", true},  {"1_5", true},   {"+2", true},
      {"1.5E-03", true},   {".5", true},          {"1.2.3", false}, {"1,2,3", false}, {"1-HR", false},
      {"ALL", false},      {"", false},           {"-", false},   {"nan", false},  {"inf", false},
      {"96010101", true},
  };
  for (auto [token, number] : cases) EXPECT_EQ(IsPlotNumber(token), number) << token;
  double v = 0;
  ASSERT_TRUE(PlotNumberValue("1,25", v));
  EXPECT_DOUBLE_EQ(v, 1.25);
}

TEST(IsHighValueWordTest, OrdinalsUpTo999) {
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"1ST", true, "1ST"},   {"2nd", true, "2nd"}, {"3RD-HIGHEST", true, "3RD"}, {"10TH", true, "10TH"},
      {"999TH", true, "999TH"}, {"1000TH", false, ""}, {"0TH", false, ""},         {"ST", false, ""},
      {"98.00TH", false, ""}, {"HIGH", false, ""},  {"1XX", false, ""},
  };
  for (auto [token, ok, word] : cases) {
    std::string high;
    EXPECT_EQ(IsHighValueWord(token, &high), ok) << token;
    if (ok) {
      EXPECT_EQ(high, word);
    }
  }
}

TEST(ReceptorCountOfTest, FirstNumberAfterTheTotalPhrase) {
  int32_t n = 0;
  ASSERT_TRUE(ReceptorCountOf("         FOR A TOTAL OF    30 RECEPTORS.", n));
  EXPECT_EQ(n, 30);
  ASSERT_TRUE(ReceptorCountOf(" FOR A TOTAL OF 12,544 RECEPTORS.", n));
  EXPECT_EQ(n, 12544);
  EXPECT_FALSE(ReceptorCountOf(" FOR A TOTAL OF RECEPTORS.", n));
  EXPECT_FALSE(ReceptorCountOf(" 144 RECEPTORS.", n));
  EXPECT_FALSE(ReceptorCountOf(" TOTAL OF 99999999999 RECEPTORS", n));
}

TEST(PlotFileKindOfTest, AnnualPostPlotBeforePlainPlot) {
  EXPECT_EQ(PlotFileKindOf(" POST/PLOT FILE OF ANNUAL VALUES FOR YEAR  1990"), 8);
  EXPECT_EQ(PlotFileKindOf("   PLOT FILE OF  HIGH   1ST HIGH  1-HR VALUES"), 1);
  EXPECT_EQ(PlotFileKindOf(" MAXDCONT FILE FOR"), 4);
  EXPECT_EQ(PlotFileKindOf(" RANK-FILE OF"), 7);
  EXPECT_EQ(PlotFileKindOf(" MODELING OPTIONS USED:"), 0);
}

struct KindCase {
  const char* line;
  const char* group;
  const char* hour;
  const char* high;
  TPltAverageKeyword keyword;
  const char* header2;
};

TEST(ParsePlotKindLineTest, PeriodHighGroupAndHeader2) {
  using enum TPltAverageKeyword;
  const KindCase cases[] = {
      {"         PLOT FILE OF  HIGH   1ST HIGH  1-HR VALUES FOR SOURCE GROUP: ALL     ", "ALL", "1-HR", "1ST", kw1Hr,
       "PLOT FILE OF HIGH 1ST HIGH 1-HR VALUES FOR SOURCE GROUP: ALL"},
      {"                  PLOT FILE OF 98.00TH PERCENTILE 1-HR VALUES FOR SOURCE GROUP: ALL", "ALL", "1-HR",
       "OTHERS", kw1Hr, "PLOT FILE OF 98.00TH PERCENTILE 1-HR VALUES FOR SOURCE GROUP: ALL"},
      {" PLOT FILE OF ANNUAL VALUES FOR SOURCE GROUP:   STACK1   EXTRA", "STACK1", "ANNUAL", "OTHERS", kwAnnual,
       "PLOT FILE OF ANNUAL VALUES FOR SOURCE GROUP: STACK1"},
      {" PLOT FILE OF 4TH-HIGHEST MAX DAILY 1-HR NO2 NAAQS 8TH VALUES", "Unknown", "1-HR NO2 NAAQS", "OTHERS",
       kw1Hr, "PLOT FILE OF 4TH-HIGHEST MAX DAILY 1-HR NO2 NAAQS 8TH VALUES"},
      {" PLOT FILE OF HIGH 2ND HIGH 24HR VALUES FOR SOURCE GROUP:NORTH", "NORTH", "24HR", "2ND", kwNoAvg,
       "PLOT FILE OF HIGH 2ND HIGH 24HR VALUES FOR SOURCE GROUP:NORTH"},
      {" PLOT FILE OF 1/2-HR PERIOD VALUES", "Unknown", "PERIOD", "OTHERS", kwNoAvg,
       "PLOT FILE OF 1/2-HR PERIOD VALUES"},
  };
  for (const auto& c : cases) {
    auto k = ParsePlotKindLine(c.line);
    EXPECT_EQ(k.group, c.group) << c.line;
    EXPECT_EQ(k.hasGroup, std::string(c.group) != "Unknown") << c.line;
    EXPECT_EQ(k.hour, c.hour) << c.line;
    EXPECT_EQ(k.high, c.high) << c.line;
    EXPECT_EQ(k.keyword, c.keyword) << c.line;
    EXPECT_EQ(k.header2, c.header2) << c.line;
  }
}

TEST(PlotColumnOfHeadingTest, NamesParenthesesAndContainedYearColumns) {
  using enum Tplotcolumn;
  const std::pair<const char*, Tplotcolumn> cases[] = {
      {"X", pltX},           {"average conc", pltaveconc}, {"DATE(CONC)", pltDate},   {"RANK", pltRank},
      {"RAN", pltRank},      {"HI", pltHival},             {"YEAR NUM", pltNumYrs},   {"COUNT-DDEP", pltdrydepo},
      {"DATE YR1", pltDateYr}, {"AVER CONC YR 2", pltConcYr}, {"CONT(SRC1)", pltCont}, {"CONTRIB", pltCont},
      {"", pltnullcolumn},   {"WHATEVER", pltnullcolumn},  {"AVE", pltAve},
  };
  for (auto [heading, column] : cases) EXPECT_EQ(PlotColumnOfHeading(heading), column) << heading;
}

TEST(PlotFieldKeyTest, YearAndContributionColumnsCarryTheRestOfTheHeading) {
  using enum Tplotcolumn;
  EXPECT_EQ(PlotFieldKey(pltDate, "DATE(CONC)"), "date");
  EXPECT_EQ(PlotFieldKey(pltDateYr, "DATE YR1"), "dateyr1");
  EXPECT_EQ(PlotFieldKey(pltConcYr, "AVER CONC YR 2"), "concyr 2");
  EXPECT_EQ(PlotFieldKey(pltConcYr, "AVER CONC YR"), "concyr");
  EXPECT_EQ(PlotFieldKey(pltCont, "CONTRIB"), "contRIB");
}

TEST(MonthAndAverageWordsTest, AnyCase) {
  EXPECT_EQ(MonthOfName("january"), 1);
  EXPECT_EQ(MonthOfName("DECEMBER"), 12);
  EXPECT_EQ(MonthOfName("JAN"), 0);
  EXPECT_TRUE(IsAverageWord("1-hr"));
  EXPECT_TRUE(IsAverageWord("Period"));
  EXPECT_FALSE(IsAverageWord("ALL"));
}

}  // namespace
}  // namespace zorvik
