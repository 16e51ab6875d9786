#include "meteo/MeteoData.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include <fmt/format.h>

#include "meteo/AermetSfcReader.h"
#include "meteo/AermodSfcChecker.h"
#include "meteo/MeteoFixedColumns.h"
#include "meteo/MetTextFile.h"
#include "meteo/MeteoFormat.h"
#include "util/ExceptionLog.h"
#include "util/TextUtils.h"

namespace zorvik {

namespace {
size_t TrimmedLength(std::string_view line) { return TrimView(line).size(); }
}  // namespace

void TMeteoData::Clear() {
  FData.Clear();
  fHeld.Clear();
  fHasData = false;
}

double TMeteoData::GetWindSpeed(int32_t ADate) const noexcept {
  return FData.Contains(ADate) ? static_cast<double>(FData.GetValue(ADate)) : 0.0;
}

int TMeteoData::NumYears() const {
  if (fStartDateTime > fEndDateTime) return 0;  // no hour had a date
  int y1, y2, m, d;
  DecodeDate(fStartDateTime, y1, m, d);
  DecodeDate(fEndDateTime, y2, m, d);
  return y2 - y1 + 1;
}

void TMeteoData::ResetCounts() {
  fCalmHourCount = 0;
  fMissingHourCount = 0;
  fUnreadableLineCount = 0;
  fIncompleteLineCount = 0;
  fFirstIncompleteLine = 0;
  fLineNumber = 0;
  fFirstHeldDateTime = 1e20;
  fLastHeldDateTime = -1e20;
  fLoadPath = TMeteoLoadPath::mlpNone;
  fAermetVersion = tav_null;
  fAermetVersionText.clear();
  fBadHours.clear();
}

void TMeteoData::LoadDataFromFile(const std::string& FMeteoFile) {
  traced("TMeteoData.LoadDataFromFile", [&] {
    std::error_code ec;
    if (!std::filesystem::exists(FMeteoFile, ec)) return;
    CheckMetFileIsText(FMeteoFile);
    if (fAermodVersion == av_11103 && DetectMeteoFormat(FMeteoFile, mfAermetSFC))
      LoadAermetSfc(FMeteoFile);
    else
      LoadFixedColumns(FMeteoFile);
  });
}

void TMeteoData::LoadAermetSfc(const std::string& fileName) {
  ResetCounts();
  fLoadPath = TMeteoLoadPath::mlpSurfaceFile;
  TAermodSfc_Checker checker;
  checker.SetData(&FData);
  checker.SetHeld(&fHeld);
  checker.SetAerVersion(fAermodVersion);
  checker.SetKeepBadHours(fKeepBadHours);
  TAERMET_SFC_Reader reader(fileName);
  {
    // What the reader learnt stays known also when the pass fails (the line reached, the version).
    struct TKeepPosition {
      TMeteoData& self;
      TAERMET_SFC_Reader& reader;
      ~TKeepPosition() {
        self.fLineNumber = reader.LineNumber();
        self.fAermetVersion = reader.AermetVersion();
        self.fAermetVersionText = reader.VersionText();
      }
    } keep{*this, reader};
    reader.WriterSubscribe(checker);
    reader.Process();
    reader.WriterUnsubscribe(checker);
  }

  fEndDateTime = checker.fEndDateTime;
  fStartDateTime = checker.fStartDateTime;
  fHasData = checker.fHasData;
  fHourCount = checker.fHourCount;
  fTotalHourCount = checker.fTotalHourCount;
  fCalmHourCount = checker.fCalmHourCount;
  fMissingHourCount = checker.fMissingHourCount;
  fFirstHeldDateTime = checker.fFirstHeldDateTime;
  fLastHeldDateTime = checker.fLastHeldDateTime;
  fIncompleteLineCount = reader.IncompleteLineCount();
  fFirstIncompleteLine = reader.FirstIncompleteLine();
  if (fKeepBadHours) fBadHours = checker.TakeBadHours();

  if (reader.readerStatus() == attributeReaderStatus::arsBadFormat)
    throw EFormatError(fmt::format("{}: the first line is not an AERMET surface file header", fileName));
  // A line that cannot be read ends the reading. Blank lines at the end are no more than that; any other line
  // that is not an hour is an error, not a shorter file (and the hours after it would be lost).
  if (const TMetReaderStop& stop = reader.StopInfo(); stop.stopped && (stop.linesFollow || !stop.blank)) {
    if (stop.blank)
      throw EFormatError(fmt::format("{}, line {}: {}; the hour lines after it cannot be read", fileName, stop.line,
                                     stop.reason));
    throw EFormatError(
        fmt::format("{}, line {}: not an hour line of the surface file: {}", fileName, stop.line, stop.reason));
  }
}

void TMeteoData::LoadFixedColumns(const std::string& fileName) {
  ResetCounts();
  fHourCount = 0;
  fTotalHourCount = 0;
  FData.Clear();
  fHeld.Clear();
  fStartDateTime = 1e20;
  fEndDateTime = -1e20;

  TMetTextFile file(fileName);
  fLoadPath = TMeteoLoadPath::mlpFixedColumnsIsc;
  bool surfaceLayout = false;
  bool firstLine = true;
  while (!file.Eof()) {
    fLineNumber = file.LineNumber() + 1;
    const std::string line = file.GetLine();
    const bool first = std::exchange(firstLine, false);
    if (first && line.find("UA_ID") != std::string::npos) {
      surfaceLayout = true;  // a header: skipped
      fLoadPath = TMeteoLoadPath::mlpFixedColumnsSurface;
      continue;
    }
    const TFixedLine r = ReadFixedColumnLine(line, surfaceLayout);
    if (r.kind == TFixedLineKind::flkEmpty) continue;
    ++fTotalHourCount;
    if (r.kind == TFixedLineKind::flkUnreadable) {
      // The station header of an ISCST3 file ("14735  88  14735  88") is the one short line that is no hour.
      if (first && !surfaceLayout && TrimmedLength(line) < kFixedRecordLength) {
        ++fUnreadableLineCount;
        continue;
      }
      throw EFormatError(fmt::format("{}, line {}: not an hour line of the {} layout: {}", fileName, fLineNumber,
                                     surfaceLayout ? "surface file" : "ISCST3 met file", r.problem));
    }
    fHeld.Add(r.key, 0.0f);
    fFirstHeldDateTime = std::min(fFirstHeldDateTime, r.date);
    fLastHeldDateTime = std::max(fLastHeldDateTime, r.date);
    switch (r.kind) {
      case TFixedLineKind::flkCalm:
        ++fCalmHourCount;
        break;
      case TFixedLineKind::flkMissing:
        ++fMissingHourCount;
        break;
      case TFixedLineKind::flkUsable:
        FData.Add(r.key, r.speed);
        ++fHourCount;
        fStartDateTime = std::min(fStartDateTime, r.date);
        fEndDateTime = std::max(fEndDateTime, r.date);
        break;
      case TFixedLineKind::flkUnreadable:
      case TFixedLineKind::flkEmpty:
        break;
    }
  }
  fHasData = true;
}

void TMeteoData::SaveBadHours(const std::string& aFile) const { SaveTextRows(aFile, fBadHours); }

}  // namespace zorvik
