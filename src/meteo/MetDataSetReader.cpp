#include "meteo/MetDataSetReader.h"

#include <fmt/format.h>

#include "meteo/F77FmtParser.h"
#include "meteo/MeteoFixedColumns.h"
#include "util/ExceptionLog.h"

namespace zorvik {

namespace {
bool IsBlankLine(std::string_view line) { return detail::TrimBlanks(line).empty(); }
}  // namespace

TMetDataSetReader_Text::TMetDataSetReader_Text(std::string NameOfDataSet)
    : TDataSetReader_Text(std::move(NameOfDataSet)) {}

TMetDataSetReader_Text::~TMetDataSetReader_Text() = default;

std::string TMetDataSetReader_Text::Position() const { return fmt::format("{}, line {}", fDataSetName, fLineNumber); }

void TMetDataSetReader_Text::OpenDataHandle() {
  fLineNumber = 0;
  fIncompleteLineCount = 0;
  fFirstIncompleteLine = 0;
  fStop = {};
  fCurrentLine.clear();
  TDataSetReader_Text::OpenDataHandle();
}

std::unique_ptr<TAbstract_Parser> TMetDataSetReader_Text::CreateParser() { return nullptr; }

TAbstract_Parser* TMetDataSetReader_Text::GetParser() {
  if (!fParser) {
    fParser = CreateParser();
    if (fParser) fParser->SetBufferStructure(GetParserStructure());
  }
  return fParser.get();
}

std::string TMetDataSetReader_Text::ReadTextLine() {
  std::string line = Textfile().GetLine();
  fLineNumber = Textfile().LineNumber();
  return line;
}

std::string TMetDataSetReader_Text::ReadLine() { return ReadTextLine(); }

void TMetDataSetReader_Text::ReadHeader(TAttributeCollectionRef& /*metadata*/, TAttributeCollectionRef& /*record*/) {
  if (!DetectMeteoFormat(fDataSetName, GetMeteoFormat())) SetReaderStatus(attributeReaderStatus::arsBadFormat);
}

void TMetDataSetReader_Text::MarkStop(std::string reason) {
  fStop.stopped = true;
  fStop.line = fLineNumber;
  fStop.reason = std::move(reason);
  // Look ahead: do hour lines follow the one that ends the reading?
  TStringFile& file = Textfile();
  const TStringFileBookmark mark = file.GetBookmark();
  while (!file.Eof() && !fStop.linesFollow) fStop.linesFollow = !IsBlankLine(file.GetLine());
  file.GotoBookmark(mark);
}

void TMetDataSetReader_Text::ReadRecord(TAttributeCollectionRef& record) {
  TAbstract_Parser* parser = GetParser();
  if (!parser) return;
  fCurrentLine = ReadLine();
  if (IsBlankLine(fCurrentLine)) {
    SetReaderStatus(attributeReaderStatus::arsBadRecord);
    MarkStop("empty line");
    return;
  }
  try {
    parser->LexElements(fCurrentLine, fElements);
    SetReaderStatus(attributeReaderStatus::arsOK);
  } catch (const std::exception& e) {
    // A line the parser cannot cut ends the reading quietly.
    SetReaderStatus(attributeReaderStatus::arsBadRecord);
    MarkStop(RootMessage(e));
    return;
  }
  const bool fewer = fElements.Count() < parser->FieldCount();
  if (fewer && !fAllowIncomplete) {
    SetReaderStatus(attributeReaderStatus::arsBadRecord);
    MarkStop(fmt::format("{} fields where {} are expected", fElements.Count(), parser->FieldCount()));
    return;
  }
  const size_t required = RequiredLineLength();
  const size_t lineLength = fCurrentLine.find_last_not_of(" \t\r\n") + 1;  // the line holds a non-blank
  if (fewer || lineLength < required) {
    // An incomplete line: the fields it lacks are empty, not left over from the line before.
    if (fIncompleteLineCount++ == 0) fFirstIncompleteLine = fLineNumber;
    record.ClearFields(true);
  }
  for (base_Attribute& element : fElements.Items())
    if (base_Attribute* field = record.ByName(element.FieldName())) field->Assign(element);
}

void TMetDataSetReader_Text::NextInRecordSet() {
  detail::TracedAt([&] { return fmt::format("{}.ReadRecord({})", ClassName(), Position()); },
           [&] { TDataSetReader_Text::NextInRecordSet(); });
}

// ---- TF77FMTMetReader ----------------------------------------------------------------------------------------

std::unique_ptr<TAbstract_Parser> TF77FMTMetReader::CreateParser() { return std::make_unique<TF77_FMT_Parser>(); }

std::string TF77FMTMetReader::FmtStr() {
  auto* parser = dynamic_cast<TF77_FMT_Parser*>(GetParser());
  return parser ? parser->FmtStr() : std::string();
}

void TF77FMTMetReader::SetFmtStr(std::string_view statement) {
  if (auto* parser = dynamic_cast<TF77_FMT_Parser*>(GetParser())) parser->SetFmtStr(statement);
}

}  // namespace zorvik
