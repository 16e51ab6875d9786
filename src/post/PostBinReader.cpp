#include "post/PostBinReader.h"

#include <fmt/format.h>

#include <cfloat>
#include <cmath>
#include <cstring>

#include "meteo/MeteoHours.h"
#include "util/DateKey.h"
#include "util/ExceptionLog.h"
#include "util/FileStream.h"
#include "util/FileUtils.h"
#include "post/PostChecks.h"
#include "post/UnbufferedFileStream.h"

namespace zorvik {

namespace {

int32_t Int32At(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
}  // namespace

TBinPostReader::TBinPostReader(const std::string& postFile, TPostOutTypes postOutTypes, const TMeteoHours* meteoData,
                               double scale, bool doublePrecision, int receptorCount, bool useBufferedStream,
                               int maxBufferSizeKB)
    : FMeteoData(meteoData), fScale(scale), fPostFile(postFile), fDoublePrecision(doublePrecision),
      fPostOutTypes(postOutTypes), fMaxBufferSize(maxBufferSizeKB) {
  traced("TBinPostReader.Create", [&] { Open(useBufferedStream, receptorCount, postOutTypes); });
}

TBinPostReader::~TBinPostReader() = default;

void TBinPostReader::Fail(const std::string& message) const { throw EFormatError(message); }

int TBinPostReader::BufferSizeKB() {
  const int need = (fLayout.RecordLength + 4) / 1024 + 2;
  if (fMaxBufferSize > 0 && fMaxBufferSize < need) return fMaxBufferSize;
  return std::max(need, 512);
}

void TBinPostReader::Open(bool useBufferedStream, int receptorCount, TPostOutTypes passedTypes) {
  fCurrent.fBuf.resize(1);
  // The layout is learnt through the cached stream: a few small reads.
  Post = std::make_unique<TFileStream>(fPostFile);
  fSize = Post->Size();
  fLayout = DetectPostLayout(*Post, fPostFile, "TBinPostReader");
  const bool network = IsNetworkPath(fPostFile);
  if (network || !useBufferedStream) {
    auto stream = std::make_unique<TUnbufferedFileStream>(fPostFile, TUnbufferedFileStream::fmOpenRead, BufferSizeKB());
    stream->SetStealthMode(network);
    Post = std::move(stream);
  }

  fFirstBlockPos = fLayout.FirstBlockPos;
  if (fLayout.Framing == TPostFraming::pfTarvo) {
    fIsTarvo = true;
    fPostOutTypes = PostOutTypesFromMask(fLayout.Tarvo.TypeMask);
    fDoublePrecision = fLayout.Tarvo.DoublePrecision;
    FReceptorCount = fLayout.Tarvo.ReceptorCount;
  }
  FIsLahey = fLayout.Framing == TPostFraming::pfLahey;
  if (FIsLahey) fDoublePrecision = false;

  Post->SetPosition(fFirstBlockPos);
  fCurrent.fBlockSize = GetStartBlockSize();
  fFullBlockSize = fCurrent.fBlockSize;
  ReadRecordHeader(fCurrent.FDateBlock, fCurrent.FAveragePeriod, fCurrent.FGroupName);
  if (fLayout.Framing == TPostFraming::pfStandard && receptorCount > 0) fDoublePrecision = CheckPrecision(receptorCount);

  SkipSize = kPostRecordHeader;
  fCurrent.fBlockSize -= kPostRecordHeader;
  const int valueBytes = fCurrent.fBlockSize;
  if (HourIncluded(fCurrent.FDateBlock)) {
    fCurrent.FSkipedHour = false;
    if (static_cast<int>(fCurrent.fBuf.size()) < fCurrent.fBlockSize) fCurrent.fBuf.resize(fCurrent.fBlockSize);
    fCurrent.fBufDataSize = static_cast<int>(Post->Read(fCurrent.fBuf.data(), fCurrent.fBlockSize));
  } else {
    fCurrent.FSkipedHour = true;
    Post->Seek(fCurrent.fBlockSize, TSeekOrigin::soCurrent);
    fCurrent.fBlockSize = 0;
  }
  SkipTrailer();

  if (!(fIsTarvo && FReceptorCount != 0)) {
    const int types = passedTypes.Count();
    FReceptorCount = types > 0 ? valueBytes / (types * ValueSize()) : -1;
  }
  DefineSkipBlock();
}

bool TBinPostReader::HourIncluded(int32_t date) const { return FMeteoData == nullptr || FMeteoData->IsExist(date); }

int32_t TBinPostReader::GetStartBlockSize() {
  const int64_t pos = Post->Position();
  int32_t length;
  if (!FIsLahey) {
    uint8_t lead[4];
    if (Post->Read(lead, 4) != 4)
      Fail(fmt::format("Truncated POSTFILE {}: the record at byte offset {} ends inside its length", fPostFile, pos));
    length = Int32At(lead);
  } else {
    uint8_t bytes[4] = {0, 0, 0, 0};
    if (Post->Read(bytes, 1) != 1)
      Fail(fmt::format("Truncated POSTFILE {}: the record at byte offset {} ends inside its marker", fPostFile, pos));
    const int extra = bytes[0] & 3;
    if (extra > 0 && Post->Read(bytes + 1, extra) != extra)
      Fail(fmt::format("Truncated POSTFILE {}: the record at byte offset {} ends inside its marker", fPostFile, pos));
    TLaheyMarker m = DecodeLaheyMarker(bytes);
    StartCountBytes = m.CountBytes;
    StartBlockSize = m.Length;
    length = m.Length;
  }
  if (length > kMaxPostRecordLength)
    Fail(fmt::format("TBinPostReader.GetStartBlockSize: Incorrect block size ({}) at position {} in {}", length,
                     Post->Position(), fPostFile));
  return length;
}

void TBinPostReader::ReadRecordHeader(int32_t& date, int32_t& period, std::array<char, 8>& group) {
  uint8_t h[16];
  const int64_t pos = Post->Position();
  if (Post->Read(h, 16) != 16)
    Fail(fmt::format("Truncated POSTFILE {}: the record header at byte offset {} is incomplete", fPostFile, pos));
  date = Int32At(h);
  period = Int32At(h + 4);
  std::memcpy(group.data(), h + 8, 8);
}

void TBinPostReader::SkipTrailer() {
  if (FIsLahey) {
    Post->Seek(LaheyTrailerSize(TLaheyMarker{StartBlockSize, StartCountBytes}), TSeekOrigin::soCurrent);
  } else {
    Post->Seek(4, TSeekOrigin::soCurrent);
  }
}

TLaheyMarker TBinPostReader::LengthMarker() const {
  // A standard length is a 4-byte int32 (marker size 4); Lahey markers are as short as the length allows.
  if (!FIsLahey) return TLaheyMarker{fFullBlockSize, 3};
  return ShortestLaheyMarker(fFullBlockSize);
}

int64_t TBinPostReader::RecordSizeOnDisk() const {
  const TLaheyMarker m = LengthMarker();
  return m.MarkerSize() + int64_t{fFullBlockSize} + (FIsLahey ? LaheyTrailerSize(m) : 4);
}

bool TBinPostReader::CheckPrecision(int receptorCount) {
  const int types = fPostOutTypes.Count();
  if (receptorCount <= 0 || fFullBlockSize <= 0 || types == 0) return false;
  const int64_t values = int64_t{fFullBlockSize} - kPostRecordHeader;
  const int64_t per = int64_t{receptorCount} * types;
  if (values % per == 0) {
    const int64_t q = values / per;
    if (q == 4) return false;
    if (q == 8) return true;
  }
  Fail("Unknown binary POST file format: " + fPostFile);
}

void TBinPostReader::DefineSkipBlock() {
  traced("TBinPostReader.DefineSkipBlock", [&] {
    const int types = fPostOutTypes.Count();
    if (types == 0) throw EDivByZero("Division by zero");
    const int block = (fFullBlockSize - kPostRecordHeader) / types;
    int offset = 0;
    fSkipBlocks.fill(0);
    for (TPostOutType t : kAllPostOutTypes) {
      if (!fPostOutTypes.Contains(t)) continue;
      fSkipBlocks[static_cast<int>(t)] = offset;
      offset += block;
    }
  });
}

void TBinPostReader::ReadNextInto(TBlock& b, int skipSize, int readSize) {
  const int64_t pos = Post->Position();
  b.FSkipedHour = false;
  int32_t length;
  if (!FIsLahey) {
    // Length and header in one read, or taken from what the previous record's trailer read brought along.
    uint8_t head[20];
    int64_t got = 20;
    if (pos == fAheadPos) {
      std::memcpy(head, fAhead.data(), 20);
    } else {
      got = Post->Read(head, 20);
    }
    if (got < 4)
      Fail(fmt::format("Truncated POSTFILE {}: the record at byte offset {} ends inside its length", fPostFile, pos));
    length = Int32At(head);
    if (length > kMaxPostRecordLength)
      Fail(fmt::format("TBinPostReader.GetStartBlockSize: Incorrect block size ({}) at position {} in {}", length,
                       pos + 4, fPostFile));
    if (length != fFullBlockSize)
      Fail(fmt::format("Corrupt POSTFILE {}: the record at byte offset {} has length {}, the first record {}",
                       fPostFile, pos, length, fFullBlockSize));
    if (pos + 8 + int64_t{length} > fSize)
      Fail(fmt::format("Truncated POSTFILE {}: the record at byte offset {} needs {} bytes but the file ends after {}",
                       fPostFile, pos, int64_t{length} + 8, fSize - pos));
    b.FDateBlock = Int32At(head + 4);
    b.FAveragePeriod = Int32At(head + 8);
    std::memcpy(b.FGroupName.data(), head + 12, 8);
    Post->SetPosition(pos + 20);
  } else {
    length = GetStartBlockSize();
    if (length != fFullBlockSize)
      Fail(fmt::format("Corrupt POSTFILE {}: the record at byte offset {} has length {}, the first record {}",
                       fPostFile, pos, length, fFullBlockSize));
    const int64_t onDisk = Post->Position() - pos + length + LaheyTrailerSize({StartBlockSize, StartCountBytes});
    if (pos + onDisk > fSize)
      Fail(fmt::format("Truncated POSTFILE {}: the record at byte offset {} needs {} bytes but the file ends after {}",
                       fPostFile, pos, onDisk, fSize - pos));
    ReadRecordHeader(b.FDateBlock, b.FAveragePeriod, b.FGroupName);
  }
  b.fBlockSize = length - SkipSize;
  if (!HourIncluded(b.FDateBlock)) b.FSkipedHour = true;
  b.fBufDataSize = 0;
  if (b.fBlockSize > 0 && readSize == kHeaderOnly) {
    Post->SetPosition(Post->Position() + b.fBlockSize);
  } else if (b.fBlockSize > 0) {
    const int64_t end = Post->Position() + b.fBlockSize;
    if (static_cast<int>(b.fBuf.size()) < b.fBlockSize) b.fBuf.resize(b.fBlockSize);
    int n = b.fBlockSize;
    if (skipSize > 0) {
      Post->Seek(skipSize, TSeekOrigin::soCurrent);
      n = b.fBlockSize - skipSize;
    }
    if (readSize > 0) n = readSize;
    n = std::max(0, std::min(n, b.fBlockSize - std::max(skipSize, 0)));
    b.fBufDataSize = static_cast<int>(Post->Read(b.fBuf.data(), n));
    Post->SetPosition(end);
  }
  if (!FIsLahey) {
    // The trailing length, and with it the next record's length and header.
    uint8_t tail[24];
    const int64_t at = Post->Position();
    const int64_t got = Post->Read(tail, 24);
    if (got < 4 || Int32At(tail) != length)
      Fail(fmt::format("Corrupt POSTFILE {}: the record at byte offset {} does not end with its length {} at byte "
                       "offset {}",
                       fPostFile, pos, length, at));
    fAheadPos = -1;
    if (got == 24) {
      std::memcpy(fAhead.data(), tail + 4, 20);
      fAheadPos = at + 4;
    }
    Post->SetPosition(at + 4);
  } else {
    SkipTrailer();
  }
}

void TBinPostReader::NewBlock(int skipSize, int readSize) {
  if (fPrepared2) {
    std::swap(fCurrent, fPrepared);  // the buffers change hands: each keeps growing, none is freed
    fBufPos = 0;
    fPrepared2 = false;
    return;
  }
  if (Post->Position() < fSize) {
    fBufPos = 0;
    ReadNextInto(fCurrent, skipSize, readSize);
    return;
  }
  if (fCurrent.fBufDataSize > 0) {
    fBufPos = 0;
    fCurrent.fBufDataSize = 0;
    return;
  }
  Fail("Read after end of data " + fPostFile);
}

void TBinPostReader::PrepareNewBlock(int skipSize, int readSize) {
  if (fPrepared2) return;
  fPrepared2 = true;
  fPrepared.fBlockSize = 0;
  fPrepared.fBufDataSize = 0;
  if (Post->Position() < fSize) ReadNextInto(fPrepared, skipSize, readSize);
}

double TBinPostReader::ValueAt(int offset) {
  double v;
  if (fDoublePrecision) {
    std::memcpy(&v, fCurrent.fBuf.data() + offset, 8);
  } else {
    float f;
    std::memcpy(&f, fCurrent.fBuf.data() + offset, 4);
    v = f;
  }
  if (!std::isfinite(v)) {
    FValueNAN = true;
    return 0.0;
  }
  FValueNAN = false;
  return v * fScale;
}

double TBinPostReader::GetConcentration(int recIndex, TPostOutType postType) {
  const int s = ValueSize();
  const int64_t offset = int64_t{fSkipBlocks[static_cast<int>(postType)]} + fBufPos + int64_t{recIndex} * s;
  if (offset < 0 || offset + s > fCurrent.fBufDataSize) return 0.0;
  return ValueAt(static_cast<int>(offset));
}

namespace {
// Converts the stored values with one flag for the whole slice, without a branch or a select per value (NaN fails
// the comparison as well); the unreadable values are found and zeroed only when the flag is set.
template <class T>
bool DecodeValues(const uint8_t* bytes, int count, bool doublePrecision, double scale, T* out) {
  int bad = 0;
  if (doublePrecision) {
    for (int i = 0; i < count; ++i) {
      double v;
      std::memcpy(&v, bytes + 8 * static_cast<size_t>(i), 8);
      bad |= !(std::fabs(v) <= static_cast<double>(FLT_MAX));
      out[i] = static_cast<T>(v * scale);
    }
  } else {
    for (int i = 0; i < count; ++i) {
      float f;
      std::memcpy(&f, bytes + 4 * static_cast<size_t>(i), 4);
      bad |= !(std::fabs(f) <= FLT_MAX);
      out[i] = static_cast<T>(f * scale);
    }
  }
  if (bad == 0) return false;
  for (int i = 0; i < count; ++i)
    if (FirstBadPostValue(bytes + static_cast<size_t>(i) * (doublePrecision ? 8 : 4), 1, doublePrecision) == 0)
      out[i] = 0;
  return true;
}
}  // namespace

bool DecodePostValues(const uint8_t* bytes, int count, bool doublePrecision, double scale, float* out) {
  return DecodeValues(bytes, count, doublePrecision, scale, out);
}

bool DecodePostValues(const uint8_t* bytes, int count, bool doublePrecision, double* out) {
  return DecodeValues(bytes, count, doublePrecision, 1.0, out);
}

int TBinPostReader::ValueBytesOffset() const { return LengthMarker().MarkerSize() + kPostRecordHeader; }

void TBinPostReader::UseStream(std::unique_ptr<TStream> stream) {
  stream->SetPosition(Post->Position());
  Post = std::move(stream);
}

void TBinPostReader::ReadRecordValues(int64_t recordPos, int skip, int bytes, void* out) {
  const int64_t at = recordPos + ValueBytesOffset() + skip;
  Post->SetPosition(at);
  if (Post->Read(out, bytes) != bytes)
    Fail(fmt::format("Truncated POSTFILE {}: {} value bytes expected at byte offset {}", fPostFile, bytes, at));
}

bool TBinPostReader::ReadValueSpan(int64_t recordPos, int skip, int64_t bytes, void* out) {
  Post->SetPosition(recordPos + ValueBytesOffset() + skip);
  return Post->Read(out, bytes) == bytes;
}

double TBinPostReader::DateTimeBlock() const { return DateKeyToDateTime(fCurrent.FDateBlock); }

bool TBinPostReader::Eof() {
  int64_t p = Post->Position();
  if (fPrepared2) p -= RecordSizeOnDisk();
  return p + SkipSize >= fSize && fBufPos == fCurrent.fBufDataSize;
}

int TBinPostReader::GetRemainBlockCount() {
  const int64_t r = int64_t{fFullBlockSize} + 8;
  return static_cast<int>((fSize - Post->Position()) / r + 1);
}

void TBinPostReader::GotoFirst() {
  const int64_t r = int64_t{fFullBlockSize} + 8;
  const int64_t n = Post->Position() / r;
  if (n < 1) return;
  Post->Seek(-n * r, TSeekOrigin::soCurrent);
  fPrepared2 = false;
  NewBlock(0, 0);
}

void TBinPostReader::GotoLast() {
  const int64_t r = int64_t{fFullBlockSize} + 8;
  if (fPrepared2) {
    // The waiting block is the next record: drop it and count from its start.
    Post->Seek(-r, TSeekOrigin::soCurrent);
    fPrepared2 = false;
  }
  const int64_t remain = (fSize - Post->Position()) / r;
  if (remain < 1) return;
  Post->Seek((remain - 1) * r, TSeekOrigin::soCurrent);
  NewBlock(0, 0);
}

int TBinPostReader::GoToBlock(int32_t blockDate) {
  if (FIsLahey) Fail("Lahey format is not supported in TBinPostReader.GoToBlock " + fPostFile);
  const int period = std::max(1, fCurrent.FAveragePeriod);
  const int hh = blockDate % 100;
  const int32_t target = blockDate - hh + period * ((hh + period - 1) / period);
  auto compare = [&](double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); };
  const double t = DateKeyToDateTime(target);
  const double c = DateKeyToDateTime(fCurrent.FDateBlock);
  const int cmp = compare(t, c);
  int64_t d = -1;
  if (t >= 0 && c >= 0) d = static_cast<int64_t>(std::llround(std::fabs(t - c) * 24.0)) / period;
  if (cmp < 0) d = -d;
  const int64_t r = int64_t{fFullBlockSize} + 8;
  if (d == 0) return 0;
  if (d == 1) {
    NewBlock(0, 0);
  } else if (d >= 2) {
    if (fPrepared2) {
      fPrepared2 = false;
      Post->Seek((d - 2) * r, TSeekOrigin::soCurrent);
    } else {
      Post->Seek((d - 1) * r, TSeekOrigin::soCurrent);
    }
    NewBlock(0, 0);
  } else {
    if (fPrepared2) d -= 1;
    Post->Seek((d - 1) * r, TSeekOrigin::soCurrent);
    fPrepared2 = false;
    NewBlock(0, 0);
  }
  if (Eof()) return 1;
  return compare(t, DateKeyToDateTime(fCurrent.FDateBlock));
}

bool TBinPostReader::DefineUniversalSubGrid(const std::string& /*plotFile*/, double spaceX, double spaceY,
                                            const TBinPostReader* prevPost) {
  if (!fIsTarvo) Assert(false, "DefineUniversalSubGrid is not implementated for non-Tarvo format");
  const int n = FReceptorCount;
  if (n == 0) return true;
  fReceptorIDs.assign(n, TGridCell{});
  TFileStream file(fPostFile);
  const int pair = fDoublePrecision ? 16 : 8;
  std::vector<uint8_t> bytes(static_cast<size_t>(n) * pair);
  if (!ReadAt(file, 16, bytes.data(), static_cast<int64_t>(bytes.size())))
    Fail(fmt::format("Truncated Tarvo header in {}: {} receptor coordinates expected", fPostFile, n));
  for (int i = 0; i < n; ++i) {
    double x, y;
    if (fDoublePrecision) {
      std::memcpy(&x, &bytes[i * 16], 8);
      std::memcpy(&y, &bytes[i * 16 + 8], 8);
    } else {
      float fx, fy;
      std::memcpy(&fx, &bytes[i * 8], 4);
      std::memcpy(&fy, &bytes[i * 8 + 4], 4);
      x = fx;
      y = fy;
    }
    fReceptorIDs[i] = {static_cast<int32_t>(std::nearbyint(x / spaceX)), static_cast<int32_t>(std::nearbyint(y / spaceY))};
  }
  if (prevPost == nullptr) return true;
  return prevPost->fReceptorIDs == fReceptorIDs;
}

}  // namespace zorvik
