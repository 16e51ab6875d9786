#include "post/PostSummary.h"

#include <fmt/format.h>

#include "post/PostBinReader.h"
#include "post/PostBinTypeDetector.h"
#include "post/PostChecks.h"
#include "util/ExceptionLog.h"
#include "util/FileStream.h"

namespace zorvik {

std::string PostOutTypesText(TPostOutTypes types) {
  std::string text;
  for (TPostOutType t : kAllPostOutTypes) {
    if (!types.Contains(t)) continue;
    if (!text.empty()) text += ", ";
    text += PostOutTypeName(t);
  }
  return text;
}

TPostSummary SummarizePostFile(const std::string& postFile, int receptorCount, bool doublePrecision,
                               const std::function<void(int64_t, int64_t)>& progress) {
  if (receptorCount <= 0) {
    TFileStream stream(postFile);
    if (DetectPostLayout(stream, postFile, "TBinPostReader").Framing != TPostFraming::pfTarvo)
      throw Exception(fmt::format("The receptor count is needed to read {}: its records do not state it", postFile));
  }
  TPostBinTypeDetector detector(postFile, receptorCount, doublePrecision);
  if (detector.PostOutTypes().Empty())
    throw EFormatError(fmt::format(
        "The record length {} of {} does not fit {} receptors in single or double precision with 1 to 4 output types",
        detector.BlockSize(), postFile, detector.ReceptorCount()));

  TBinPostReader reader(postFile, detector.PostOutTypes(), nullptr, 1.0, detector.DoublePrecision(),
                        detector.IsTarvo() ? 0 : receptorCount, true);
  TPostSummary s;
  s.Framing = reader.Framing();
  s.DoublePrecision = reader.DoublePrecision();
  s.Types = reader.PostOutTypes();
  s.Receptors = reader.ReceptorCount();
  s.AveragePeriod = reader.AveragePeriod();
  s.GroupName = reader.GroupName();
  s.RecordLength = reader.FullBlockSize();
  s.FirstDate = reader.DateBlock();
  s.LastDate = reader.DateBlock();
  s.Hours = 1;
  TStream& stream = reader.Stream();
  const int64_t size = stream.Size();
  TPostRecordSequence sequence(postFile);
  sequence.Check(reader.FirstBlockPos(), reader.DateBlock(), reader.AveragePeriod(), reader.GroupName());
  int64_t walked = 0;
  while (stream.Position() < size) {
    const int64_t pos = stream.Position();
    reader.NewBlock(0, TBinPostReader::kHeaderOnly);
    sequence.Check(pos, reader.DateBlock(), reader.AveragePeriod(), reader.GroupName());
    s.LastDate = reader.DateBlock();
    ++s.Hours;
    if (progress && (s.Hours & 1023) == 0) {
      walked = stream.Position();
      progress(walked, size);
    }
  }
  if (progress) progress(size, size);
  s.MissingHours = sequence.MissingHours();
  s.GapWarning = sequence.GapWarning();
  return s;
}

}  // namespace zorvik
