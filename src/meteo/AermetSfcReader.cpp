#include "meteo/AermetSfcReader.h"

#include <fmt/format.h>

#include "meteo/DelimetedFmtParser.h"
#include "meteo/F77FmtParser.h"
#include "util/ExceptionLog.h"

namespace zorvik {

const char* const kAermetHeaderFormat =
    "(2(2X,A8),8X,'  UA_ID: ',A8,'  SF_ID: ',A8,'  OS_ID: ',A8,T85,'VERSION:',A6)";
const char* const kAermetShortFormat =
    "(3(I2,1X),I3,1X,I2,1X,F6.1,1X,F6.3,1X,F6.3,1X,F6.3,1X,2(F5.0,1X),F8.1,1X,F6.3,1X,F6.2,1X,F6.2,1X,F7.2,1X,"
    "F5.0,3(1X,F6.1))";
const char* const kAermetLongFormat =
    "(3(I2,1X),I3,1X,I2,1X,F6.1,1X,F6.3,1X,F6.3,1X,F6.3,1X,2(F5.0,1X),F8.1,1X,F6.3,1X,F6.2,1X,F6.2,1X,F7.2,1X,"
    "F5.0,3(1X,F6.1),1X,I5,1X,F6.1,1X,F6.1,1X,F6.1,1X,I5)";

namespace {

constexpr AttrType I = AttrType::atInteger;
constexpr AttrType R = AttrType::atFloat;

const TFieldDefinitions kLongFields = {
    {"YEAR", I}, {"MONTH", I}, {"DAY", I},  {"J_DAY", I},  {"HOUR", I},      {"H", R},          {"u_o", R},
    {"w_o", R},  {"VPTG", R},  {"PBL", R},  {"SBL", R},    {"L", R},         {"z_o", R},        {"b_o", R},
    {"r", R},    {"w_s", R},   {"w_d", R},  {"z_ref", R},  {"temp", R},      {"z_temp", R},     {"precipcode", I},
    {"PrecipRate", R}, {"RH", R}, {"Pressure", R}, {"PressureCloudCover", I},
};

const TFieldDefinitions kHeaderFields = {
    {"LATITUDE", AttrType::atString}, {"LONGITUTDE", AttrType::atString}, {"UA_IDENT", AttrType::atString},
    {"SF_IDENT", AttrType::atString}, {"OS_IDENT", AttrType::atString},   {"VERDATE", AttrType::atString},
};

// The last column of the fixed-column layouts.
constexpr size_t kShortLineLength = 120;
constexpr size_t kLongLineLength = 153;

// The label texts of a header line, each after the first character.
bool LooksLikeHeader(const std::string& line) {
  for (const char* label : {"UA_ID", "SF_ID", "OS_ID"}) {
    const size_t at = line.find(label);
    if (at == std::string::npos || at == 0) return false;
  }
  return true;
}

}  // namespace

TFieldDefinitions AermetSfcFields(TAermetVersion version) {
  if (SfcFieldCount(version) == 25) return kLongFields;
  return TFieldDefinitions(kLongFields.begin(), kLongFields.begin() + 20);
}

TAERMET_SFC_Reader::TAERMET_SFC_Reader(std::string NameOfDataSet) : TF77FMTMetReader(std::move(NameOfDataSet)) {
  SetAllowIncomplete(true);
}

std::unique_ptr<TAbstract_Parser> TAERMET_SFC_Reader::CreateParser() {
  if (fAermetVersion == tav_11059) return std::make_unique<TDelimeted_FMT_Parser>();
  return TF77FMTMetReader::CreateParser();
}

TFieldDefinitions TAERMET_SFC_Reader::GetParserStructure() const {
  if (static_cast<size_t>(fAermetVersion) > static_cast<size_t>(tav_11059))
    throw EUnknownAermetVersion("Called from GetParserStructure");
  return AermetSfcFields(fAermetVersion);
}

size_t TAERMET_SFC_Reader::RequiredLineLength() const {
  switch (SfcLineLayout(fAermetVersion)) {
    case TSfcLineLayout::sllShortColumns:
      return kShortLineLength;
    case TSfcLineLayout::sllLongColumns:
      return kLongLineLength;
    default:
      return 0;  // blank-separated lines are judged by their field count
  }
}

std::string TAERMET_SFC_Reader::ReadLine() {
  std::string line = ReadTextLine();
  if (fSkipHeader && LooksLikeHeader(line)) line = ReadTextLine();
  return line;
}

void TAERMET_SFC_Reader::ReadHeader(TAttributeCollectionRef& metadata, TAttributeCollectionRef& record) {
  fSkipHeader = false;
  fAermetVersion = tav_null;
  fVersionText.clear();
  FreeParser();  // a new pass starts with the fixed-column parser
  TF77FMTMetReader::ReadHeader(metadata, record);

  AttributeFactory().DefineCollection(&metadata, kHeaderFields);
  GetParser()->SetBufferStructure(kHeaderFields);
  SetFmtStr(kAermetHeaderFormat);

  if (readerStatus() == attributeReaderStatus::arsOK) {
    detail::TracedAt([&] { return fmt::format("{}.ReadHeader({})", ClassName(), Position()); }, [&] {
      ReadRecord(metadata);
      fVersionText = metadata.GetAttributeValue("VERDATE");
      fAermetVersion = DetectAermetVersion(fVersionText);
      switch (SfcLineLayout(fAermetVersion)) {
        case TSfcLineLayout::sllNone:
          throw EUnknownAermetVersion("unknown aermet sfc version :" + fVersionText);
        case TSfcLineLayout::sllShortColumns:
        case TSfcLineLayout::sllLongColumns:
          AttributeFactory().DefineCollection(&record, AermetSfcFields(fAermetVersion));
          SetFmtStr(SfcFieldCount(fAermetVersion) == 25 ? kAermetLongFormat : kAermetShortFormat);
          GetParser()->SetBufferStructure(GetParserStructure());
          break;
        case TSfcLineLayout::sllBlankSeparated:
          FreeParser();  // the next use creates the blank-separated parser
          AttributeFactory().DefineCollection(&record, AermetSfcFields(fAermetVersion));
          SetFmtStr("");  // ignored by the blank-separated parser
          GetParser()->SetBufferStructure(GetParserStructure());
          break;
      }
    });
  }
  fSkipHeader = true;
}

}  // namespace zorvik
