#include "meteo/DelimetedFmtParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/AttributeCollection.h"

namespace zorvik {
namespace {

TEST(DelimetedFmtParserTest, SplitsAtRunsOfBlanksAndKeepsQuotedFieldsWhole) {
  struct Case {
    const char* name;
    std::string line;
    std::vector<std::string> tokens;
  };
  const Case cases[] = {
      {"one blank", "96 1 2.5", {"96", "1", "2.5"}},
      {"several blanks", "96    1     2.5", {"96", "1", "2.5"}},
      {"tabs and outer blanks", "\t 96\t1 \t 2.5  \r", {"96", "1", "2.5"}},
      {"quoted blanks", "\"NEW YORK  CITY\"", {"NEW YORK  CITY"}},
      {"doubled quote", "a \"say \"\"hi\"\"\" b", {"a", "say \"hi\"", "b"}},
      {"unterminated quote", "a \"b c", {"a", "b c"}},
      {"empty line", "   ", {}},
      {"surface file hour",
       "96  1  1   1  1 -999.0 -9.000 -9.000 -9.000 -999. -999. -99999.0  0.1500   0.70   1.00    0.00    0.0    6.1  "
       "287.5    2.0     0   0.00    96.   998.    10 NAD-SFC NoSubs   ",
       {"96", "1", "1", "1", "1", "-999.0", "-9.000", "-9.000", "-9.000", "-999.", "-999.", "-99999.0", "0.1500", "0.70",
        "1.00", "0.00", "0.0", "6.1", "287.5", "2.0", "0", "0.00", "96.", "998.", "10", "NAD-SFC", "NoSubs"}},
  };
  for (const auto& c : cases) {
    TDelimeted_FMT_Parser parser;
    TAttributeCollectionRef elements("e");
    parser.LexElements(c.line, elements);
    ASSERT_EQ(elements.Count(), static_cast<int>(c.tokens.size())) << c.name;
    for (int i = 0; i < elements.Count(); ++i) {
      EXPECT_EQ(elements.ByIndex(i).FieldType(), AttrType::atString);
      EXPECT_EQ(elements.ByIndex(i).asString(), c.tokens[static_cast<size_t>(i)]) << c.name;
    }
  }
}

TEST(DelimetedFmtParserTest, NamesFollowTheBufferStructureThenNumbers) {
  TDelimeted_FMT_Parser parser;
  parser.SetBufferStructure({{"YEAR", AttrType::atInteger}, {"MONTH", AttrType::atInteger}});
  TAttributeCollectionRef elements("e");
  elements.DefineString("stale", "x");
  parser.LexElements("11 12 13", elements);
  ASSERT_EQ(elements.Count(), 3);
  EXPECT_EQ(elements.ByIndex(0).FieldName(), "year");
  EXPECT_EQ(elements.ByIndex(1).FieldName(), "month");
  EXPECT_EQ(elements.ByIndex(2).FieldName(), "2");
  EXPECT_EQ(elements.ByName("YEAR")->asInteger(), 11);
}

TEST(DelimetedFmtParserTest, OtherDelimiterAllowsEmptyFields) {
  TDelimeted_FMT_Parser parser;
  parser.SetDelimiter(',');
  TAttributeCollectionRef elements("e");
  parser.LexElements("a, b,,c,", elements);
  std::vector<std::string> got;
  for (base_Attribute& a : elements.Items()) got.push_back(a.asString());
  EXPECT_EQ(got, (std::vector<std::string>{"a", "b", "", "c", ""}));
}

}  // namespace
}  // namespace zorvik
