#include "records/RecordIO.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "util/ExceptionLog.h"
#include "records/Tokenizer.h"

namespace zorvik {
namespace {

using Log = std::vector<std::string>;

// Reads "<title>" then one value per line. Lines steer the statuses: BAD -> arsBadRecord, SKIP -> arsCancel,
// THROW raises; a title BADHEADER sets arsBadFormat and THROWHEADER raises.
class TLineReader : public TDataSetReader_Text {
 public:
  TLineReader(std::string file, Log& log) : TDataSetReader_Text(std::move(file)), fLog(log) {}
  std::string_view ClassName() const override { return "TLineReader"; }
  bool failClose = false;

 protected:
  void CloseDataHandle() override {
    fLog.push_back("close");
    TDataSetReader_Text::CloseDataHandle();
    if (failClose) throw EInOutError("disk gone");
  }
  void ReadHeader(TAttributeCollectionRef& metadata, TAttributeCollectionRef& record) override {
    const std::string title = Textfile().GetLine();
    if (title == "THROWHEADER") throw EConvertError("bad title in " + Where());
    if (title == "BADHEADER") SetReaderStatus(attributeReaderStatus::arsBadFormat);
    metadata.DefineString("title", title);
    AttributeFactory().DefineCollection(&record, {{"value", AttrType::atInteger}});
  }
  void ReadRecord(TAttributeCollectionRef& record) override {
    const std::string line = Textfile().GetLine();
    SetReaderStatus(attributeReaderStatus::arsOK);
    if (line == "BAD") SetReaderStatus(attributeReaderStatus::arsBadRecord);
    if (line == "SKIP") SetReaderStatus(attributeReaderStatus::arsCancel);
    if (line == "THROW") throw EConvertError("'THROW' is not a number in " + Where());
    record.ByName("value")->SetAsString(line);
  }
  void ReadFooter(TAttributeCollectionRef& metadata) override { metadata.DefineInteger("records", RecordCount()); }

 private:
  Log& fLog;
};

class TLogWriter : public base_AttributeWriter {
 public:
  TLogWriter(std::string name, Log& log) : fName(std::move(name)), fLog(log) {}
  void ProcessBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) override {
    fLog.push_back(fName + ":begin " + header.GetAttributeValue("title") + " " + std::to_string(fields.Count()));
  }
  void ProcessRecord(TAttributeCollectionRef& r) override {
    fLog.push_back(fName + ":record " + r.GetAttributeValue("value"));
    kept.push_back(CloneAs(r));
  }
  void ProcessError(attributeReaderStatus e) override { fLog.push_back(fName + ":error " + std::string(ReaderStatusName(e))); }
  void ProcessFinish(TAttributeCollectionRef& footer) override {
    fLog.push_back(fName + ":finish " + footer.GetAttributeValue("records"));
  }
  std::vector<std::unique_ptr<TAttributeCollectionRef>> kept;

 private:
  std::string fName;
  Log& fLog;
};

class TLogModifier : public base_AttributeModifier {
 public:
  explicit TLogModifier(Log& log) : fLog(log) {}
  void ProcessInit(TAttributeCollectionRef&, TAttributeCollectionRef&) override { fLog.push_back("mod:init"); }
  void ProcessRecord(TAttributeCollectionRef& r) override { fLog.push_back("mod:record " + r.GetAttributeValue("value")); }
  void ProcessError(attributeReaderStatus e) override { fLog.push_back("mod:error " + std::string(ReaderStatusName(e))); }
  void ProcessFinish(TAttributeCollectionRef&) override { fLog.push_back("mod:finish"); }

 private:
  Log& fLog;
};

struct PassCase {
  const char* name;
  std::string content;
  bool goOnPastBadRecords;
  Log expected;
};

class ReaderPassTest : public ::testing::TestWithParam<PassCase> {};

TEST_P(ReaderPassTest, ConsumersSeeTheCallsInProtocolOrder) {
  const PassCase& c = GetParam();
  test::TempDir dir;
  test::WriteAll(dir.File("in.txt"), c.content);
  Log log;
  TLineReader reader(dir.File("in.txt"), log);
  if (c.goOnPastBadRecords) {
    auto terminators = reader.processTerminators();
    terminators.Exclude(attributeReaderStatus::arsBadRecord);
    reader.SetProcessTerminators(terminators);
  }
  TLogWriter first("w1", log), second("w2", log);
  TLogModifier modifier(log);
  reader.WriterSubscribe(first);
  reader.WriterSubscribe(second);
  reader.ModifierSubscribe(modifier);
  reader.Process();
  EXPECT_EQ(log, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    All, ReaderPassTest,
    ::testing::Values(
        PassCase{"HeaderOnly", "T\r\n", false,
                 {"mod:init", "w1:begin T 1", "w2:begin T 1", "mod:finish", "w1:finish 0", "w2:finish 0", "close"}},
        PassCase{"TwoRecords", "T\r\n1\r\n2\r\n", false,
                 {"mod:init", "w1:begin T 1", "w2:begin T 1", "mod:record 1", "w1:record 1", "w2:record 1",
                  "mod:record 2", "w1:record 2", "w2:record 2", "mod:finish", "w1:finish 2", "w2:finish 2", "close"}},
        PassCase{"BadRecordEndsThePass", "T\r\n1\r\nBAD\r\n3\r\n", false,
                 {"mod:init", "w1:begin T 1", "w2:begin T 1", "mod:record 1", "w1:record 1", "w2:record 1",
                  "mod:error arsBadRecord", "mod:error arsBadRecord", "close"}},
        PassCase{"BadRecordSkippedWhenNotATerminator", "T\r\nBAD\r\n3\r\n", true,
                 {"mod:init", "w1:begin T 1", "w2:begin T 1", "mod:error arsBadRecord", "mod:record 3",
                  "w1:record 3", "w2:record 3", "mod:finish", "w1:finish 2", "w2:finish 2", "close"}},
        PassCase{"CancelSkipsQuietly", "T\r\nSKIP\r\n4", false,
                 {"mod:init", "w1:begin T 1", "w2:begin T 1", "mod:finish", "w1:finish 1", "w2:finish 1", "close"}},
        PassCase{"BadHeaderCallsNoWriter", "BADHEADER\r\n1\r\n", false,
                 {"mod:error arsBadFormat", "mod:error arsBadFormat", "close"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderTest, MissingFileRaisesThePathAndCallsNoConsumer) {
  test::TempDir dir;
  Log log;
  const std::string missing = dir.File("none.txt");
  TLineReader reader(missing, log);
  TLogWriter writer("w", log);
  reader.WriterSubscribe(writer);
  try {
    reader.Process();
    FAIL() << "no exception";
  } catch (const EFileNotFound& e) {
    EXPECT_EQ(e.what(), missing);
  }
  EXPECT_TRUE(log.empty());
}

TEST(ReaderTest, FailureInARecordIsTracedAndStillClosesAndFinishes) {
  test::TempDir dir;
  test::WriteAll(dir.File("in.txt"), "T\n1\nTHROW\n3\n");
  Log log;
  TLineReader reader(dir.File("in.txt"), log);
  TLogWriter writer("w", log);
  reader.WriterSubscribe(writer);
  try {
    reader.Process();
    FAIL() << "no exception";
  } catch (const EStackTrace& e) {
    EXPECT_EQ(std::string(e.what()),
              "EConvertError: 'THROW' is not a number in " + dir.File("in.txt") + ", line 3\r\nTLineReader.process");
  }
  EXPECT_EQ(log, (Log{"w:begin T 1", "w:record 1", "w:finish 1", "close"}));
  ASSERT_EQ(writer.kept.size(), 1u);
  EXPECT_EQ(writer.kept[0]->ByName("value")->asInteger(), 1) << "a kept clone outlives the pass";
}

TEST(ReaderTest, FailureInTheHeaderClosesAndNamesOpenRecordSet) {
  test::TempDir dir;
  test::WriteAll(dir.File("in.txt"), "THROWHEADER\n1\n");
  for (bool failClose : {false, true}) {
    Log log;
    TLineReader reader(dir.File("in.txt"), log);
    reader.failClose = failClose;
    TLogWriter writer("w", log);
    reader.WriterSubscribe(writer);
    try {
      reader.Process();
      FAIL() << "no exception";
    } catch (const EStackTrace& e) {
      std::string expected = "EConvertError: bad title in " + dir.File("in.txt") + ", line 1\r\nTLineReader.OpenRecordSet";
      if (failClose) expected += "\r\n DestroyDataHandle: disk gone";
      EXPECT_EQ(std::string(e.what()), expected + "\r\nTLineReader.process");
      EXPECT_TRUE(EStackTrace::IsException<EConvertError>(e));
    }
    EXPECT_EQ(log, (Log{"close"}));
  }
}

TEST(ReaderTest, ReaderRunsAgainAndSubscriptionRules) {
  test::TempDir dir;
  test::WriteAll(dir.File("a.txt"), "A\n1\n");
  test::WriteAll(dir.File("b.txt"), "B\n2\n");
  Log log;
  TLineReader reader(dir.File("a.txt"), log);
  TLogWriter writer("w", log);
  TLogModifier modifier(log);
  reader.WriterSubscribe(writer);
  reader.WriterSubscribe(writer);
  reader.ModifierSubscribe(modifier);
  reader.ModifierSubscribe(modifier);
  reader.WriterUnsubscribe(writer);
  EXPECT_TRUE(reader.WriterSubscribed(writer));
  reader.ModifierUnsubscribe(modifier);
  EXPECT_FALSE(reader.ModifierSubscribed(modifier));
  reader.Process();
  reader.SetDataSetName(dir.File("b.txt"));
  reader.Process();
  EXPECT_EQ(log, (Log{"w:begin A 1", "w:record 1", "w:finish 1", "close", "w:begin B 1", "w:record 2", "w:finish 1",
                      "close"}));
}

TEST(TokenizerTest, DelimiterRunsAndEmptyTokens) {
  struct Case {
    const char* input;
    const char* delimiters;
    bool allowEmpty;
    std::vector<std::string> tokens;
  };
  const Case cases[] = {
      {",a,,b,", ",", false, {"a", "b"}},
      {",a,,b,", ",", true, {"", "a", "", "b"}},
      {"  12  x ", " ", false, {"12", "x"}},
      {"", ",", true, {}},
      {"a;b,c", ",;", false, {"a", "b", "c"}},
      {"2X,A8", ",", false, {"2X", "A8"}},
  };
  for (const auto& c : cases) {
    TTokenizer t;
    t.SetDelimiters(c.delimiters);
    t.SetAllowEmptyTokens(c.allowEmpty);
    t.Tokenize(c.input);
    EXPECT_EQ(t.Tokens(), c.tokens) << c.input;
  }
  TTokenizer t;
  t.Tokenize("a b");
  EXPECT_EQ(t.GetTokenItem(1), "b");
  EXPECT_EQ(t.GetTokenItem(2), "");
  EXPECT_EQ(t.GetTokenItem(-1), "");
}

}  // namespace
}  // namespace zorvik
