#pragma once
// TDelimeted_FMT_Parser: cuts a line at runs of blanks (and other characters with codes 1..32) into text
// elements; a field that begins with the quote character runs to its closing quote (a doubled quote
// inside stands for one) and may hold blanks. Element i is named after the buffer structure, or "i".
//
//   TDelimeted_FMT_Parser parser;
//   TAttributeCollectionRef elements;
//   parser.LexElements("96  1\t2 \"A B\"", elements);   // "0"="96", "1"="1", "2"="2", "3"="A B"
#include <string>
#include <string_view>
#include <vector>

#include "records/AbstractParser.h"

namespace zorvik {

class TDelimeted_FMT_Parser : public TAbstract_Parser {
 public:
  char Delimiter() const { return fDelimiter; }
  void SetDelimiter(char delimiter) { fDelimiter = delimiter; }
  char QuoteChar() const { return fQuoteChar; }
  void SetQuoteChar(char quote) { fQuoteChar = quote; }

  // Clears elements and adds one text element per field of the line.
  void LexElements(std::string_view InputStr, TAttributeCollectionRef& Elements) override;
  // The fields of the last line cut.
  const std::vector<std::string>& Tokens() const { return tokens; }

 private:
  std::vector<std::string> tokens;
  char fDelimiter = ' ';
  char fQuoteChar = '"';
};

}  // namespace zorvik
