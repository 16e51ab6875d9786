#pragma once
// Readers of line-oriented met files: each line is cut into named fields by a line parser and copied into the
// reader's record, which every subscribed writer then receives (the record reader protocol).
//
//   TAERMET_SFC_Reader reader(fileName);
//   reader.WriterSubscribe(checker);
//   reader.Process();                    // header line, then one record per hour line
//   reader.WriterUnsubscribe(checker);
//
// A failure while reading names the file and the line in its traced context ("<reader>.ReadRecord(<file>,
// line <n>)"). A line that is empty or that the parser cannot cut ends the reading there without an exception
// (status arsBadRecord); StopInfo tells where, whether the line was blank and whether more lines followed.
// Lines are read by TMetTextFile: a byte-order mark is skipped and an overlong line raises.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include <utility>

#include "meteo/MetTextFile.h"
#include "meteo/MeteoFormat.h"
#include "records/AbstractParser.h"
#include "records/RecordIO.h"
#include "util/ExceptionLog.h"

namespace zorvik {

namespace detail {
// Runs body; a failure passing out of it gains the context that `context()` makes at that moment, so that the
// context can name the line reached.
template <class Context, class Body>
void TracedAt(const Context& context, Body&& body) {
  try {
    std::forward<Body>(body)();
  } catch (...) {
    RethrowTraced(context());
  }
}
}  // namespace detail

// Where and why a met reader stopped before the end of its file.
struct TMetReaderStop {
  bool stopped = false;         // the reading ended at a bad line
  int32_t line = 0;             // its line number (from 1)
  std::string reason;           // "empty line", or the parser's message
  bool blank = false;           // the line holds nothing but blanks
  bool linesFollow = false;     // non-blank lines follow it: their hours were not read
};

class TMetDataSetReader_Text : public TDataSetReader_Text {
 public:
  explicit TMetDataSetReader_Text(std::string NameOfDataSet);
  ~TMetDataSetReader_Text() override;
  std::string_view ClassName() const override { return "TMetDataSetReader_Text"; }

  TMeteoFormat MeteoFormat() const { return GetMeteoFormat(); }
  // Accept lines that yield fewer fields than the parser's structure (default false).
  bool AllowIncomplete() const { return fAllowIncomplete; }
  void SetAllowIncomplete(bool allow) { fAllowIncomplete = allow; }
  // The last line read.
  const std::string& CurrentLine() const { return fCurrentLine; }
  // The number of the last line read (kept after the pass ends).
  int32_t LineNumber() const { return fLineNumber; }
  // "<file>, line <n>" of the last line read.
  std::string Position() const;

  // Accepted lines that held fewer fields than the record, and the first of them. Their missing fields are
  // empty (null), never the previous line's values.
  int32_t IncompleteLineCount() const { return fIncompleteLineCount; }
  int32_t FirstIncompleteLine() const { return fFirstIncompleteLine; }
  const TMetReaderStop& StopInfo() const { return fStop; }

 protected:
  // The format test: arsBadFormat when the file is not of MeteoFormat.
  void ReadHeader(TAttributeCollectionRef& metadata, TAttributeCollectionRef& record) override;
  // Reads a line, cuts it and copies its elements by name into the record's fields.
  void ReadRecord(TAttributeCollectionRef& record) override;
  // Each record step names the file and line in a failure's trace.
  void NextInRecordSet() override;
  // The file is read through a TMetTextFile, not the base class's text file.
  void OpenDataHandle() override;
  void CloseDataHandle() override;
  bool EndOfData() override;

  // The next line of the file.
  virtual std::string ReadLine();
  virtual TMeteoFormat GetMeteoFormat() const = 0;
  // The line parser to use; none here.
  virtual std::unique_ptr<TAbstract_Parser> CreateParser();
  // The field definitions of a record line.
  virtual TFieldDefinitions GetParserStructure() const = 0;
  // A line shorter than this lacks fields even when the parser gave every element (fixed columns); 0: no
  // such test.
  virtual size_t RequiredLineLength() const { return 0; }

  // The layout's name in messages ("surface file").
  virtual std::string_view LayoutName() const { return "met file"; }
  // Raises EFormatError "<file>, line <n>: not an hour line of the <layout> layout: the field <f> holds "<text>",
  // not a number" when a text element bound for a number field does not read as one.
  void CheckNumberText(const base_Attribute& element, const base_Attribute& field) const;

  // The parser, created (and given its structure) on first use; none when CreateParser gives none.
  TAbstract_Parser* GetParser();
  // Frees the parser: the next use creates a new one.
  void FreeParser() { fParser.reset(); }
  // The line read from the text file, counted.
  std::string ReadTextLine();
  void MarkStop(std::string reason, bool blank);
  // The open file; valid between OpenDataHandle and CloseDataHandle.
  TMetTextFile& MetFile();

 private:
  std::unique_ptr<TAbstract_Parser> fParser;
  std::unique_ptr<TMetTextFile> fMetFile;
  bool fAllowIncomplete = false;
  std::string fCurrentLine;
  TAttributeCollectionRef fElements{"elements"};
  std::vector<int> fTargets;  // per element: the record field it went to last (-1: none)
  int32_t fLineNumber = 0;
  int32_t fIncompleteLineCount = 0;
  int32_t fFirstIncompleteLine = 0;
  TMetReaderStop fStop;
};

// A met text reader whose lines are cut at the columns of a Fortran FORMAT statement.
class TF77FMTMetReader : public TMetDataSetReader_Text {
 public:
  using TMetDataSetReader_Text::TMetDataSetReader_Text;
  std::string_view ClassName() const override { return "TF77FMTMetReader"; }

  // The statement of the parser in normalised form; "" when the parser is not a FORMAT parser.
  std::string FmtStr();
  // Gives the statement to the parser; nothing when the parser is of another kind.
  void SetFmtStr(std::string_view statement);

 protected:
  std::unique_ptr<TAbstract_Parser> CreateParser() override;
  void ReadFooter(TAttributeCollectionRef& /*metadata*/) override {}
};

}  // namespace zorvik
