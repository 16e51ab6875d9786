#pragma once
// TF77_FMT_Parser: cuts a line of text at the columns that a Fortran FORMAT statement describes.
//
// Supported edit descriptors: Iw, Fw.d, Ew.d (and one-letter variants such as ESw.d), Aw, nX, Tn, quoted
// literals (skipped by their length) and repeated groups n(...) without nesting. A statement is normalised
// when it is set (groups written out; scanning stops without error at anything it does not accept, e.g. a
// blank or a repeat count before a plain descriptor) and split at commas into descriptors.
//
//   TF77_FMT_Parser parser;
//   parser.SetBufferStructure({{"YEAR", AttrType::atInteger}, {"H", AttrType::atFloat}});
//   parser.SetFmtStr("(I2,1X,F6.1)");
//   TAttributeCollectionRef elements;
//   parser.LexElements("16 -12.5", elements);   // year = 16 (integer), h = -12.5 (float)
//
// Normal mode names element i after the buffer structure (or "i" beyond it); I gives an integer element,
// E/F a real one (blank text: null) and A a text one. Column-layout mode (SetElementAsString(true)) gives
// text elements named by their first column ("1", "20"), holding the raw characters: the PLOTFILE reader
// learns the columns of its fields from it.
#include <string>
#include <string_view>

#include "records/AbstractParser.h"
#include "records/Tokenizer.h"
#include "util/Exceptions.h"

namespace zorvik {

// The text given as a FORMAT statement is not one.
ZORVIK_DECLARE_EXCEPTION(ENotFMTStatement, Exception);

class TF77_FMT_Parser : public TAbstract_Parser {
 public:
  TF77_FMT_Parser();

  // The normalised statement, with its outer parentheses.
  const std::string& FmtStr() const { return ffmtStr; }
  // Normalises and stores the statement; ENotFMTStatement ("fmt string is not long enough", "fmt string is
  // not enclosed in required parens") leaves the previous statement in place.
  void SetFmtStr(std::string_view statement);
  bool ElementAsString() const { return fElementAsString; }
  void SetElementAsString(bool columnLayout) { fElementAsString = columnLayout; }
  // The edit descriptors of the statement, in order.
  const TTokenizer& Descriptors() const { return tokens; }

  // Clears elements and fills it from the line; a line shorter than the statement gives short or empty
  // element texts. An E/F field that is no number raises EConvertError.
  void LexElements(std::string_view inputStr, TAttributeCollectionRef& elements) override;

  // The normalised form of a statement (see SetFmtStr).
  static std::string NormaliseStatement(std::string_view statement);

 private:
  TTokenizer tokens;
  bool fElementAsString = false;
  std::string ffmtStr;
};

}  // namespace zorvik
