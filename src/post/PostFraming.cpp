#include "post/PostFraming.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "post/PostChecks.h"
#include "util/Exceptions.h"

namespace zorvik {

std::string_view PostFramingName(TPostFraming f) {
  switch (f) {
    case TPostFraming::pfStandard: return "standard";
    case TPostFraming::pfTarvo: return "tarvo";
    case TPostFraming::pfLahey: return "lahey";
  }
  return "?";
}

int LaheyTrailerSize(const TLaheyMarker& m) {
  const int64_t n = int64_t{m.CountBytes} + m.Length;
  if (n <= 62) return 1;
  if (n <= 16382) return 2;
  if (n <= 4194302) return 3;
  return 4;
}

TLaheyMarker ShortestLaheyMarker(int32_t length) {
  const uint32_t raw = static_cast<uint32_t>(length) << 2;
  const uint8_t k = raw < (1u << 8) ? 0 : raw < (1u << 16) ? 1 : raw < (1u << 24) ? 2 : 3;
  return TLaheyMarker{length, k};
}

TLaheyMarker DecodeLaheyMarker(const uint8_t* bytes) {
  TLaheyMarker m;
  m.CountBytes = bytes[0] & 3u;
  uint32_t raw = 0;
  for (int i = 0; i <= m.CountBytes; ++i) raw |= uint32_t{bytes[i]} << (8 * i);
  m.Length = static_cast<int32_t>(raw >> 2);
  return m;
}

bool ReadAt(TStream& stream, int64_t pos, void* buffer, int64_t count) {
  stream.SetPosition(pos);
  return stream.Read(buffer, count) == count;
}

namespace {

int32_t Int32At(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// A standard record at pos: plausible length, whole record present, trailing length equal to the leading one.
enum class TStandardCheck { scOk, scTooShort, scBadLength, scTruncated, scTrailerMismatch };

TStandardCheck CheckStandardRecord(TStream& stream, int64_t pos, int64_t size, int32_t& length) {
  uint8_t lead[4];
  if (!ReadAt(stream, pos, lead, 4)) return TStandardCheck::scTooShort;
  length = Int32At(lead);
  if (length < kPostRecordHeader || length > kMaxPostRecordLength) return TStandardCheck::scBadLength;
  if (pos + 8 + int64_t{length} > size) return TStandardCheck::scTruncated;
  uint8_t trail[4];
  if (!ReadAt(stream, pos + 4 + length, trail, 4)) return TStandardCheck::scTruncated;
  return Int32At(trail) == length ? TStandardCheck::scOk : TStandardCheck::scTrailerMismatch;
}

// Lahey markers chain from offset 1: each record's length and trailer lead to the next marker. Up to
// kChainRecords records (or all of a shorter file) must chain exactly, each of the first record's length. Once the
// first record is a whole Lahey record whose header holds a calendar hour, the file is taken for a Lahey file: a
// later record of another length or one cut short is then reported as what it is.
bool ChainsAsLahey(TStream& stream, int64_t size, TLaheyMarker& first, const std::string& fileName) {
  constexpr int kChainRecords = 4;
  int64_t pos = 1;
  bool convincing = false;
  for (int i = 0; i < kChainRecords && pos < size; ++i) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    stream.SetPosition(pos);
    if (stream.Read(bytes, 1) != 1) return false;
    int extra = bytes[0] & 3;
    if (extra > 0 && stream.Read(bytes + 1, extra) != extra) return false;
    TLaheyMarker m = DecodeLaheyMarker(bytes);
    const int64_t onDisk = m.MarkerSize() + int64_t{m.Length} + LaheyTrailerSize(m);
    if (i == 0) {
      if (m.Length < kPostRecordHeader || m.Length > kMaxPostRecordLength || pos + onDisk > size) return false;
      first = m;
      int32_t date = 0;
      convincing = ReadAt(stream, pos + m.MarkerSize(), &date, 4) && DateKeyHourNumber(date) >= 0;
    } else if (m.Length != first.Length) {
      if (!convincing) return false;
      throw EFormatError(fmt::format("Corrupt POSTFILE {}: the record at byte offset {} has length {}, the first "
                                     "record {}",
                                     fileName, pos, m.Length, first.Length));
    } else if (pos + onDisk > size) {
      if (!convincing) return false;
      throw EFormatError(fmt::format(
          "Truncated POSTFILE {}: the record at byte offset {} needs {} bytes but the file ends after {}", fileName,
          pos, onDisk, size - pos));
    }
    pos += onDisk;
  }
  return pos > 1;
}

bool BeginsWithText(TStream& stream, int64_t size) {
  uint8_t head[64];
  const int64_t n = std::min<int64_t>(size, sizeof head);
  if (!ReadAt(stream, 0, head, n)) return false;
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t c = head[i];
    if (!(c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c < 0x7f))) return false;
  }
  return n >= 4;
}

// What a text file given for a POSTFILE seems to be, from marks of the model's other files near its start; "" when
// none is found.
std::string_view TextFileKind(TStream& stream, int64_t size) {
  std::string head(static_cast<size_t>(std::min<int64_t>(size, 4096)), '\0');
  if (!ReadAt(stream, 0, head.data(), static_cast<int64_t>(head.size()))) return {};
  auto has = [&](std::string_view mark) { return head.find(mark) != std::string::npos; };
  if (has("PLOT FILE OF") || (head.starts_with("*") && has("RECEPTORS") && has("FORMAT:"))) return "a PLOTFILE";
  if (has("UA_ID") || has("SF_ID")) return "an AERMET surface file";
  // A listing echoes the control file first: its own marks are looked for before the control file's.
  if (has("*** AERMOD") || has("*** ISCST3") || has("Message Summary For")) return "a model output listing";
  if (has("CO STARTING") || has("CO RUNORNOT")) return "a model control file";
  return {};
}

}  // namespace

TTarvoHeader ReadTarvoHeader(TStream& stream, const std::string& fileName) {
  std::array<uint8_t, 16> h{};
  if (!ReadAt(stream, 0, h.data(), 16))
    throw EFormatError(fmt::format("Truncated Tarvo header in {}: the file has only {} bytes", fileName,
                                   stream.Size()));
  TTarvoHeader t;
  t.TypeMask = Int32At(&h[6]);
  int16_t precision;
  std::memcpy(&precision, &h[10], 2);
  t.DoublePrecision = precision == 1;
  t.ReceptorCount = Int32At(&h[12]);
  const int64_t pairBytes = t.DoublePrecision ? 16 : 8;
  const int64_t size = stream.Size();
  if (t.ReceptorCount < 0 || 16 + pairBytes * t.ReceptorCount > size)
    throw EFormatError(fmt::format(
        "Bad Tarvo header in {}: receptor count {} at byte offset 12 does not fit the file size of {} bytes", fileName,
        t.ReceptorCount, size));
  t.FirstRecordPos = 16 + pairBytes * t.ReceptorCount;
  return t;
}

TPostLayout DetectPostLayout(TStream& stream, const std::string& fileName, const char* who) {
  const int64_t size = stream.Size();
  if (size == 0) throw EFormatError(fmt::format("The POSTFILE {} is empty", fileName));
  if (size < 4)
    throw EFormatError(fmt::format("The POSTFILE {} is too short ({} bytes) to hold a record", fileName, size));

  if (BeginsWithText(stream, size)) {
    const std::string_view kind = TextFileKind(stream, size);
    if (kind.empty()) throw EFormatError(fmt::format("{} is a text file, not a binary POSTFILE", fileName));
    throw EFormatError(fmt::format("{} is a text file (it looks like {}), not a binary POSTFILE", fileName, kind));
  }

  TPostLayout layout;
  uint8_t lead[4];
  ReadAt(stream, 0, lead, 4);
  if (Int32At(lead) == -1) {
    layout.Framing = TPostFraming::pfTarvo;
    layout.Tarvo = ReadTarvoHeader(stream, fileName);
    layout.FirstBlockPos = layout.Tarvo.FirstRecordPos;
  }

  int32_t length = 0;
  const TStandardCheck check = CheckStandardRecord(stream, layout.FirstBlockPos, size, length);
  if (check == TStandardCheck::scOk) {
    layout.RecordLength = length;
    return layout;
  }
  if (layout.Framing != TPostFraming::pfTarvo) {
    TLaheyMarker first;
    if (ChainsAsLahey(stream, size, first, fileName)) {
      layout.Framing = TPostFraming::pfLahey;
      layout.FirstBlockPos = 1;
      layout.RecordLength = first.Length;
      return layout;
    }
  }
  const int64_t pos = layout.FirstBlockPos;
  switch (check) {
    case TStandardCheck::scTooShort:
      throw EFormatError(fmt::format("The POSTFILE {} ends at byte offset {} before its first record", fileName, size));
    case TStandardCheck::scBadLength:
      if (length > kMaxPostRecordLength)
        throw EFormatError(fmt::format("{}.GetStartBlockSize: Incorrect block size ({}) at position {} in {}", who,
                                       length, pos + 4, fileName));
      throw EFormatError(fmt::format(
          "Not a binary POSTFILE: {} has a record length of {} at byte offset {} (a record holds at least {} bytes)",
          fileName, length, pos, kPostRecordHeader));
    case TStandardCheck::scTruncated:
      throw EFormatError(fmt::format(
          "Truncated POSTFILE {}: the record at byte offset {} needs {} bytes but the file ends after {}", fileName,
          pos, int64_t{length} + 8, size - pos));
    case TStandardCheck::scTrailerMismatch:
    case TStandardCheck::scOk:
      break;
  }
  throw EFormatError(fmt::format(
      "Not a binary POSTFILE: in {} the record length {} at byte offset {} is not repeated at byte offset {}",
      fileName, length, pos, pos + 4 + length));
}

}  // namespace zorvik
