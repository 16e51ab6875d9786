#pragma once
// TAERMET_SFC_Reader: the reader of AERMOD surface files written by AERMET. It reads the header line, recognises
// the AERMET version from it (columns 93-98), and from that chooses the record layout: 20 fields at fixed
// columns (98314, 02222, 01247), 25 at fixed columns (04300, 06341, 09040) or 25 separated by blanks (11059 and
// every later version). A header line repeated inside the file (concatenated years) is skipped.
#include <string>

#include "meteo/AermetVersion.h"
#include "meteo/MetDataSetReader.h"

namespace zorvik {

// The header names no AERMET version: "unknown aermet sfc version :" followed by the version text.
ZORVIK_DECLARE_EXCEPTION(EUnknownAermetVersion, Exception);

// The FORMAT statements of the header line and of the two fixed-column hour layouts.
extern const char* const kAermetHeaderFormat;
extern const char* const kAermetShortFormat;
extern const char* const kAermetLongFormat;

// The fields of an hour record: 20 for the short layout (and tav_null), 25 otherwise.
TFieldDefinitions AermetSfcFields(TAermetVersion version);

class TAERMET_SFC_Reader : public TF77FMTMetReader {
 public:
  // AllowIncomplete is set: a line with fewer fields is accepted, its missing fields empty.
  explicit TAERMET_SFC_Reader(std::string NameOfDataSet);
  std::string_view ClassName() const override { return "TAERMET_SFC_Reader"; }

  // The version recognised from the header (tav_null before the header is read).
  TAermetVersion AermetVersion() const { return fAermetVersion; }
  // The header's version text (columns 93-98) as written.
  const std::string& VersionText() const { return fVersionText; }

 protected:
  void ReadHeader(TAttributeCollectionRef& metadata, TAttributeCollectionRef& record) override;
  // Skips a repeated header line (once per call) after the header was read.
  std::string ReadLine() override;
  TMeteoFormat GetMeteoFormat() const override { return mfAermetSFC; }
  // The blank-separated parser for tav_11059, the FORMAT parser otherwise.
  std::unique_ptr<TAbstract_Parser> CreateParser() override;
  TFieldDefinitions GetParserStructure() const override;
  size_t RequiredLineLength() const override;
  std::string_view LayoutName() const override { return "surface file"; }

 private:
  bool fSkipHeader = false;
  TAermetVersion fAermetVersion = tav_null;
  std::string fVersionText;
};

}  // namespace zorvik
