#include "meteo/F77FmtParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/AttributeCollection.h"

namespace zorvik {
namespace {

// name=value of every element, with the kind: i (integer), f (float), s (text), null values as "-".
std::vector<std::string> Dump(TAttributeCollectionRef& elements) {
  std::vector<std::string> out;
  for (base_Attribute& a : elements.Items()) {
    const char kind = a.FieldType() == AttrType::atInteger ? 'i' : a.FieldType() == AttrType::atFloat ? 'f' : 's';
    out.push_back(a.FieldName() + "=" + kind + ":" + (a.IsNull() ? std::string("-") : a.asString()));
  }
  return out;
}

std::vector<std::string> Cut(std::string_view statement, std::string_view line, bool columnLayout = false,
                             TFieldDefinitions structure = {}) {
  TF77_FMT_Parser parser;
  parser.SetBufferStructure(std::move(structure));
  parser.SetElementAsString(columnLayout);
  parser.SetFmtStr(statement);
  TAttributeCollectionRef elements("elements");
  elements.DefineString("stale", "x");
  parser.LexElements(line, elements);
  return Dump(elements);
}

TEST(F77FmtStatementTest, NotAStatementRaisesAndKeepsThePreviousOne) {
  const std::pair<const char*, const char*> cases[] = {
      {"(I2", "fmt string is not enclosed in required parens"},
      {"I2)", "fmt string is not enclosed in required parens"},
      {"()", "fmt string is not long enough"},
      {"", "fmt string is not long enough"},
  };
  TF77_FMT_Parser parser;
  parser.SetFmtStr("(I2)");
  for (auto [statement, message] : cases) {
    try {
      parser.SetFmtStr(statement);
      FAIL() << "no exception for " << statement;
    } catch (const ENotFMTStatement& e) {
      EXPECT_STREQ(e.what(), message);
    }
    EXPECT_EQ(parser.FmtStr(), "(I2)");
    EXPECT_EQ(parser.Descriptors().Tokens(), std::vector<std::string>{"I2"});
  }
}

TEST(F77FmtStatementTest, NormalisingWritesGroupsOutAndStopsAtWhatItDoesNotAccept) {
  struct Case {
    const char* statement;
    const char* normalised;
    std::vector<std::string> descriptors;
  };
  const Case cases[] = {
      {"(3(I2,1X),I3)", "(I2,1X,I2,1X,I2,1X,I3)", {"I2", "1X", "I2", "1X", "I2", "1X", "I3"}},
      {"(I5, F6.2)", "(I5,)", {"I5"}},
      {"(3I2)", "()", {}},
      {"(A8,2X)", "(A8,2X)", {"A8", "2X"}},
      {"(1X,ES12.4,/,I2)", "(1X,ES12.4,)", {"1X", "ES12.4"}},
      {"(2(F5.0,1X),F8.1)", "(F5.0,1X,F5.0,1X,F8.1)", {"F5.0", "1X", "F5.0", "1X", "F8.1"}},
      {"(2(2X,A8),8X,'  UA_ID: ',A8,'  SF_ID: ',A8,'  OS_ID: ',A8,T85,'VERSION:',A6)",
       "(2X,A8,2X,A8,8X,'  UA_ID: ',A8,'  SF_ID: ',A8,'  OS_ID: ',A8,T85,'VERSION:',A6)",
       {"2X", "A8", "2X", "A8", "8X", "'  UA_ID: '", "A8", "'  SF_ID: '", "A8", "'  OS_ID: '", "A8", "T85",
        "'VERSION:'", "A6"}},
  };
  for (const auto& c : cases) {
    TF77_FMT_Parser parser;
    parser.SetFmtStr(c.statement);
    EXPECT_EQ(parser.FmtStr(), c.normalised) << c.statement;
    EXPECT_EQ(parser.Descriptors().Tokens(), c.descriptors) << c.statement;
  }
}

TEST(F77LexTest, CutsLinesIntoTypedElements) {
  struct Case {
    const char* name;
    const char* statement;
    const char* line;
    std::vector<std::string> elements;
  };
  const Case cases[] = {
      {"groups of integers", "(3(I2,1X),I3)", "11 22 33 444", {"0=i:11", "1=i:22", "2=i:33", "3=i:444"}},
      {"cut short at a blank", "(I5, F6.2)", "   42  1.25", {"0=i:42"}},
      {"repeat without group", "(3I2)", "112233", {}},
      {"real ending in a point", "(F8.1)", "     12.", {"0=f:12"}},
      {"real starting with a point", "(F8.1)", "      .5", {"0=f:0.5"}},
      {"blank real is null", "(F8.1)", "        ", {"0=f:-"}},
      {"blank integer is 0", "(I3)", "   ", {"0=i:0"}},
      {"E with a one-letter variant", "(ES10.3,E9.2)", " 1.250E+02-3.00E-01", {"0=f:125", "1=f:-0.3"}},
      {"tab to a column", "(A8,T20,A3)", "abcdefghijklmnopqrstuvwxyz0123", {"0=s:abcdefgh", "1=s:tuv"}},
      {"literal skipped by its length", "('ID:',A3)", "ID:ABCDEF", {"0=s:ABC"}},
      {"short line", "(I2,1X,A5,F4.1)", "12 ab", {"0=i:12", "1=s:ab", "2=f:-"}},
      {"unknown descriptor ignored", "(2(L1,I1))", "12", {"0=i:1", "1=i:2"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Cut(c.statement, c.line), c.elements) << c.name;
}

TEST(F77LexTest, ColumnLayoutNamesElementsByTheirFirstColumn) {
  const std::string line(30, 'x');
  EXPECT_EQ(Cut("(A8,T20,A3)", line, true), (std::vector<std::string>{"1=s:xxxxxxxx", "20=s:xxx"}));

  // The FORMAT line of a model PLOTFILE, cut from a long line of letters as the PLOTFILE reader does.
  TF77_FMT_Parser parser;
  parser.SetElementAsString(true);
  parser.SetFmtStr("(3(1X,F13.5),3(1X,F8.2),3X,A5,2X,A8,2X,A5,5X,A8,2X,I8)");
  TAttributeCollectionRef elements("e");
  parser.LexElements(std::string(65536, 'A'), elements);
  std::vector<std::pair<int, size_t>> columns;
  for (base_Attribute& a : elements.Items()) columns.emplace_back(std::stoi(a.FieldName()), a.asString().size());
  EXPECT_EQ(columns, (std::vector<std::pair<int, size_t>>{{2, 13}, {16, 13}, {30, 13}, {44, 8}, {53, 8}, {62, 8},
                                                          {73, 5}, {80, 8}, {90, 5}, {100, 8}, {110, 8}}));
}

TEST(F77LexTest, BufferStructureNamesTheFirstElements) {
  EXPECT_EQ(Cut("(I1,I1,I1)", "123", false, {{"YEAR", AttrType::atInteger}, {"Month", AttrType::atInteger}}),
            (std::vector<std::string>{"year=i:1", "month=i:2", "2=i:3"}));
}

TEST(F77LexTest, BadRealFieldRaisesConvertError) {
  TF77_FMT_Parser parser;
  parser.SetFmtStr("(F6.1)");
  TAttributeCollectionRef elements("e");
  try {
    parser.LexElements("  ab.c", elements);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'ab.c' is not a valid floating point value");
  }
}

TEST(F77LexTest, ModelFileLines) {
  // The header of an AERMET surface file, an hour line and a receptor line of a model PLOTFILE.
  const std::string header =
      "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION: 24142  ADJ_U*";
  TF77_FMT_Parser parser;
  parser.SetBufferStructure({{"LATITUDE", AttrType::atString}, {"LONGITUTDE", AttrType::atString},
                             {"UA_IDENT", AttrType::atString}, {"SF_IDENT", AttrType::atString},
                             {"OS_IDENT", AttrType::atString}, {"VERDATE", AttrType::atString}});
  parser.SetFmtStr("(2(2X,A8),8X,'  UA_ID: ',A8,'  SF_ID: ',A8,'  OS_ID: ',A8,T85,'VERSION:',A6)");
  TAttributeCollectionRef elements("e");
  parser.LexElements(header, elements);
  EXPECT_EQ(Dump(elements), (std::vector<std::string>{"latitude=s: 29.967N", "longitutde=s: 95.350W",
                                                      "ua_ident=s:3937    ", "sf_ident=s:722430  ",
                                                      "os_ident=s:        ", "verdate=s: 24142"}));

  parser.SetBufferStructure({});
  parser.SetFmtStr(
      "(3(I2,1X),I3,1X,I2,1X,F6.1,1X,F6.3,1X,F6.3,1X,F6.3,1X,2(F5.0,1X),F8.1,1X,F6.3,1X,F6.2,1X,F6.2,1X,F7.2,1X,"
      "F5.0,3(1X,F6.1),1X,I5,1X,F6.1,1X,F6.1,1X,F6.1,1X,I5)");
  // An hour laid out at the columns of the long layout.
  parser.LexElements(
      "88  1  2   2 13   45.3  0.412  1.203  0.005  812.  530.   -123.4  0.150   0.70   0.18    4.12  220.   10.0  "
      "275.4    2.0    11    1.5   83.0  998.0     7",
      elements);
  ASSERT_EQ(elements.Count(), 25);
  EXPECT_EQ(elements.ByIndex(0).asInteger(), 88);
  EXPECT_EQ(elements.ByIndex(4).asInteger(), 13);
  EXPECT_DOUBLE_EQ(elements.ByIndex(5).asFloat(), 45.3);
  EXPECT_DOUBLE_EQ(elements.ByIndex(11).asFloat(), -123.4);
  EXPECT_DOUBLE_EQ(elements.ByIndex(16).asFloat(), 220.0);
  EXPECT_DOUBLE_EQ(elements.ByIndex(19).asFloat(), 2.0);
  EXPECT_EQ(elements.ByIndex(20).asInteger(), 11);
  EXPECT_DOUBLE_EQ(elements.ByIndex(23).asFloat(), 998.0);
  EXPECT_EQ(elements.ByIndex(24).asInteger(), 7);

  parser.SetFmtStr("(3(1X,F13.5),3(1X,F8.2),3X,A5,2X,A8,2X,A5,5X,A8,2X,I8)");
  parser.LexElements(
      "   -1100.00000   -1100.00000     162.80575     0.00     0.00     0.00    1-HR  ALL         1ST     G144      "
      "96100402",
      elements);
  EXPECT_EQ(Dump(elements), (std::vector<std::string>{"0=f:-1100", "1=f:-1100", "2=f:162.80575", "3=f:0", "4=f:0",
                                                      "5=f:0", "6=s: 1-HR", "7=s:ALL     ", "8=s:  1ST",
                                                      "9=s:G144    ", "10=i:96100402"}));
}

}  // namespace
}  // namespace zorvik
