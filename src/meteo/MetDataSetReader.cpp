#include "meteo/MetDataSetReader.h"

#include <fmt/format.h>

#include "meteo/F77FmtParser.h"
#include "meteo/MeteoFixedColumns.h"
#include "util/ExceptionLog.h"
#include "util/TextUtils.h"

namespace zorvik {

namespace {
bool IsBlankLine(std::string_view line) { return TrimView(line).empty(); }
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
  fMetFile = std::make_unique<TMetTextFile>(fDataSetName);
}

void TMetDataSetReader_Text::CloseDataHandle() { fMetFile.reset(); }

bool TMetDataSetReader_Text::EndOfData() { return !fMetFile || fMetFile->Eof(); }

TMetTextFile& TMetDataSetReader_Text::MetFile() {
  if (!fMetFile) throw EInOutError(fmt::format("File not open: {}", fDataSetName));
  return *fMetFile;
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
  TMetTextFile& file = MetFile();
  fLineNumber = file.LineNumber() + 1;  // also when the line raises
  std::string line = file.GetLine();
  fLineNumber = file.LineNumber();
  return line;
}

std::string TMetDataSetReader_Text::ReadLine() { return ReadTextLine(); }

void TMetDataSetReader_Text::ReadHeader(TAttributeCollectionRef& /*metadata*/, TAttributeCollectionRef& /*record*/) {
  if (!DetectMeteoFormat(fDataSetName, GetMeteoFormat())) SetReaderStatus(attributeReaderStatus::arsBadFormat);
}

void TMetDataSetReader_Text::MarkStop(std::string reason, bool blank) {
  fStop.stopped = true;
  fStop.line = fLineNumber;
  fStop.reason = std::move(reason);
  fStop.blank = blank;
  // Look ahead: do hour lines follow the one that ends the reading?
  TMetTextFile& file = MetFile();
  const TMetTextBookmark mark = file.GetBookmark();
  while (!file.Eof() && !fStop.linesFollow) fStop.linesFollow = !IsBlankLine(file.GetLine());
  file.GotoBookmark(mark);
}

void TMetDataSetReader_Text::ReadRecord(TAttributeCollectionRef& record) {
  TAbstract_Parser* parser = GetParser();
  if (!parser) return;
  fCurrentLine = ReadLine();
  if (IsBlankLine(fCurrentLine)) {
    SetReaderStatus(attributeReaderStatus::arsBadRecord);
    MarkStop("empty line", true);
    return;
  }
  try {
    parser->LexElements(fCurrentLine, fElements);
    SetReaderStatus(attributeReaderStatus::arsOK);
  } catch (const std::exception& e) {
    // A line the parser cannot cut ends the reading quietly.
    SetReaderStatus(attributeReaderStatus::arsBadRecord);
    MarkStop(RootMessage(e), false);
    return;
  }
  const bool fewer = fElements.Count() < parser->FieldCount();
  if (fewer && !fAllowIncomplete) {
    SetReaderStatus(attributeReaderStatus::arsBadRecord);
    MarkStop(fmt::format("{} fields where {} are expected", fElements.Count(), parser->FieldCount()), false);
    return;
  }
  const size_t required = RequiredLineLength();
  const size_t lineLength = fCurrentLine.find_last_not_of(" \t\r\n") + 1;  // the line holds a non-blank
  if (fewer || lineLength < required) {
    // An incomplete line: the fields it lacks are empty, not left over from the line before.
    if (fIncompleteLineCount++ == 0) fFirstIncompleteLine = fLineNumber;
    record.ClearFields(true);
  }
  // Each element goes to the record's field of its name, found where it went on the line before while that
  // place holds the name (a look-up by name lower-cases the name and hashes it).
  if (const auto count = static_cast<size_t>(fElements.Count()); fTargets.size() != count) fTargets.assign(count, -1);
  int k = 0;
  for (base_Attribute& element : fElements.Items())
    if (base_Attribute* field = record.ByNameAt(element.FieldName(), fTargets[static_cast<size_t>(k++)])) {
      CheckNumberText(element, *field);
      field->Assign(element);
    }
}

void TMetDataSetReader_Text::CheckNumberText(const base_Attribute& element, const base_Attribute& field) const {
  // A text element (the blank-separated parser) going into a number field must read as that number: the
  // lenient text conversion would turn a word into 0 and a line of words into a calm hour.
  const AttrType target = field.FieldType();
  if (element.FieldType() != AttrType::atString || element.IsNull() ||
      (target != AttrType::atInteger && target != AttrType::atFloat))
    return;
  const std::string text = element.asString();
  double real = 0;
  int64_t whole = 0;
  const bool isNumber = target == AttrType::atInteger ? detail::TryReadInteger(text, whole)
                                                      : detail::TryReadDecimal(text, real);
  if (!isNumber)
    throw EFormatError(fmt::format("{}: not an hour line of the {} layout: the field {} holds \"{}\", not a number",
                                   Position(), LayoutName(), field.FieldName(), text));
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
