#pragma once
// Record framing of a POSTFILE. Three variants exist: standard (an int32 length before and after each record),
// the same preceded by a Tarvo header (first int32 -1), and Lahey (variable 1..4-byte markers, first record at
// offset 1). The framing is confirmed from the file's own structure before it is trusted: a standard record's
// trailing length equals its leading one; Lahey markers chain record by record.
#include <cstdint>
#include <string>

#include "util/Stream.h"

namespace zorvik {

enum class TPostFraming { pfStandard, pfTarvo, pfLahey };
std::string_view PostFramingName(TPostFraming f);  // "standard", "tarvo", "lahey"

inline constexpr int32_t kMaxPostRecordLength = 104857600;  // 100 MB
inline constexpr int32_t kPostRecordHeader = 16;             // date key, period, group id

// A Lahey length marker: count k of following marker bytes and the record length L.
struct TLaheyMarker {
  int32_t Length = 0;
  uint8_t CountBytes = 0;
  int MarkerSize() const { return CountBytes + 1; }
};
// Size of the trailing marker after a record with marker m: 1..4 bytes by n = k + L.
int LaheyTrailerSize(const TLaheyMarker& m);
// The shortest marker for a record length (what a writer uses): k = 0..3 following bytes.
TLaheyMarker ShortestLaheyMarker(int32_t length);
// Decodes the marker bytes (b0 gives k in its low two bits; L = the k + 1 bytes little-endian, shifted right 2).
TLaheyMarker DecodeLaheyMarker(const uint8_t* bytes);

// Tarvo header fields.
struct TTarvoHeader {
  int32_t TypeMask = 0;
  bool DoublePrecision = false;
  int32_t ReceptorCount = 0;
  int64_t FirstRecordPos = 0;  // 16 + coordinate bytes
};

struct TPostLayout {
  TPostFraming Framing = TPostFraming::pfStandard;
  int64_t FirstBlockPos = 0;  // file position of the first record's length
  int32_t RecordLength = 0;   // L of the first record
  TTarvoHeader Tarvo;         // valid for pfTarvo
};

// Reads the Tarvo header at the stream start (first int32 already known to be -1). Raises on a header that does
// not fit the file.
TTarvoHeader ReadTarvoHeader(TStream& stream, const std::string& fileName);

// Decides the framing of the file behind `stream`. `who` names the reader in the length-limit message
// ("TBinPostReader" or "TPostBinTypeDetector"). Raises a clear error naming the file and byte offset when no
// framing fits: empty file, truncated first record, a length above the limit, a file of another kind.
TPostLayout DetectPostLayout(TStream& stream, const std::string& fileName, const char* who);

// Reads exactly count bytes at pos; false when the file ends first.
bool ReadAt(TStream& stream, int64_t pos, void* buffer, int64_t count);

}  // namespace zorvik
