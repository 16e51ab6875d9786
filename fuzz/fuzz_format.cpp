// Any FORMAT statement and line: cut or rejected with a message, never a crash.
#include <exception>
#include <string_view>

#include "meteo/F77FmtParser.h"
#include "records/AttributeCollection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const size_t split = text.find('\n');
  const std::string_view statement = text.substr(0, split);
  const std::string_view line = split == std::string_view::npos ? std::string_view() : text.substr(split + 1);
  for (bool columns : {false, true}) {
    try {
      zorvik::TF77_FMT_Parser parser;
      parser.SetElementAsString(columns);
      parser.SetFmtStr(statement);
      zorvik::TAttributeCollectionRef elements("line");
      parser.LexElements(line, elements);
    } catch (const std::exception&) {
    }
  }
  return 0;
}
