#pragma once
// TBinPostReader walks a binary POSTFILE record by record (one record per model hour) and hands out the values
// of the current record. It learns the layout once when it opens (framing, precision, output types, record
// length, first record position); the caller may then position `Stream` at any record start and call NewBlock
// to read just a slice of that record's values.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "post/PostFraming.h"
#include "post/PostTypes.h"
#include "util/Stream.h"

namespace zorvik {

class TMeteoHours;

// Converts count stored values (float64 or float32, little-endian) to float, scaled; a value that is not a number,
// infinite or beyond single precision (|v| > FLT_MAX) becomes 0. Returns whether any was such a value (the caller
// then locates it with FirstBadPostValue).
bool DecodePostValues(const uint8_t* bytes, int count, bool doublePrecision, double scale, float* out);
// The same in double precision and unscaled: each value exactly as the file stores it.
bool DecodePostValues(const uint8_t* bytes, int count, bool doublePrecision, double* out);

class TBinPostReader {
 public:
  // Opens the file and reads the first record, which is then current. `postOutTypes` are the output types the
  // file holds (a Tarvo header overrides them); `meteoData` may be null; `doublePrecision` is the caller's belief,
  // overridden by a Tarvo header, by the record-length check when `receptorCount` > 0, and by Lahey framing;
  // `useBufferedStream` selects the cached file access for local files.
  TBinPostReader(const std::string& postFile, TPostOutTypes postOutTypes, const TMeteoHours* meteoData, double scale,
                 bool doublePrecision, int receptorCount, bool useBufferedStream, int maxBufferSizeKB = 0);
  // CreateWithMax: uncached reading with the stream buffer capped at maxBufferSizeKB.
  static std::unique_ptr<TBinPostReader> CreateWithMax(const std::string& postFile, TPostOutTypes postOutTypes,
                                                       const TMeteoHours* meteoData, double scale,
                                                       bool doublePrecision, int receptorCount, int maxBufferSizeKB) {
    return std::make_unique<TBinPostReader>(postFile, postOutTypes, meteoData, scale, doublePrecision, receptorCount,
                                            false, maxBufferSizeKB);
  }
  ~TBinPostReader();
  TBinPostReader(const TBinPostReader&) = delete;
  TBinPostReader& operator=(const TBinPostReader&) = delete;

  // Makes the next record current; of its value bytes skips skipSize and buffers readSize (all the rest when
  // readSize is 0, none when it is kHeaderOnly: a walk over the record headers reads nothing else).
  void NewBlock(int skipSize, int readSize);
  static constexpr int kHeaderOnly = -1;
  // Reads the next record ahead; the next NewBlock takes it without touching the file.
  void PrepareNewBlock(int skipSize, int readSize);

  // The next buffered value, scaled; 0 when none is left (and the position stays).
  double GetConcentration() {
    const int s = ValueSize();
    if (fBufPos + s > fCurrent.fBufDataSize) return 0.0;
    double v = ValueAt(fBufPos);
    fBufPos += s;
    return v;
  }
  // The value of receptor recIndex in the block of postType (meaningful when the whole record was buffered).
  double GetConcentration(int recIndex, TPostOutType postType);

  // Reads `bytes` value bytes of the record that starts at recordPos, from `skip` bytes into its values, in one
  // read (the records share the first record's layout). Raises when the file ends first.
  void ReadRecordValues(int64_t recordPos, int skip, int bytes, void* out);
  // As ReadRecordValues for `bytes` that run on past the record into the next ones; false (nothing raised)
  // when the file ends first.
  bool ReadValueSpan(int64_t recordPos, int skip, int64_t bytes, void* out);
  // Bytes from a record's start to its first value byte (length or marker, date, period, group id).
  int ValueBytesOffset() const;

  bool Eof();  // no further record and every buffered value consumed
  void GotoFirst();
  void GotoLast();
  int GoToBlock(int32_t blockDate);  // -1, 0 or 1 as the comparison of the target with the new record
  int GetRemainBlockCount();
  bool DefineUniversalSubGrid(const std::string& plotFile, double spaceX, double spaceY, const TBinPostReader* prevPost);

  int32_t DateBlock() const { return fCurrent.FDateBlock; }
  double DateTimeBlock() const;
  bool SkipedHour() const { return fCurrent.FSkipedHour; }
  std::string GroupName() const { return std::string(fCurrent.FGroupName.data(), 8); }
  int32_t AveragePeriod() const { return fCurrent.FAveragePeriod; }
  int ReceptorCount() const { return FReceptorCount; }
  bool IsLahey() const { return FIsLahey; }
  bool IsTarvo() const { return fIsTarvo; }
  TPostFraming Framing() const { return fLayout.Framing; }
  double Scale() const { return fScale; }
  const std::string& PostFile() const { return fPostFile; }
  bool ValueNAN() const { return FValueNAN; }
  int DataValueCount() const { return fCurrent.fBufDataSize / ValueSize(); }
  // The buffered value bytes of the current record (DataValueCount values).
  const uint8_t* BufferedValues() const { return fCurrent.fBuf.data(); }
  int ID() const { return fID; }
  void SetID(int id) { fID = id; }
  TPostOutTypes PostOutTypes() const { return fPostOutTypes; }
  bool DoublePrecision() const { return fDoublePrecision; }
  TStream& Stream() { return *Post; }
  // Reads from `stream` (over the same file) from now on, at the position reached.
  void UseStream(std::unique_ptr<TStream> stream);
  int BlockSize() const { return fCurrent.fBlockSize; }
  int64_t FirstBlockPos() const { return fFirstBlockPos; }
  int FullBlockSize() const { return fFullBlockSize; }
  // Bytes one record occupies on disk (record length plus markers).
  int64_t RecordSizeOnDisk() const;
  const TUniversalGrid& ReceptorIDs() const { return fReceptorIDs; }
  int SkipBlock(TPostOutType t) const { return fSkipBlocks[static_cast<int>(t)]; }

 private:
  struct TBlock {
    int fBlockSize = 0;
    int32_t FDateBlock = 0;
    int32_t FAveragePeriod = 0;
    std::array<char, 8> FGroupName{};
    std::vector<uint8_t> fBuf;
    int fBufDataSize = 0;
    bool FSkipedHour = false;
  };

  int ValueSize() const { return fDoublePrecision ? 8 : 4; }
  TLaheyMarker LengthMarker() const;
  double ValueAt(int offset);
  void Open(bool useBufferedStream, int receptorCount, TPostOutTypes passedTypes);
  int BufferSizeKB();
  int32_t GetStartBlockSize();
  void ReadRecordHeader(int32_t& date, int32_t& period, std::array<char, 8>& group);
  void SkipTrailer();
  void ReadNextInto(TBlock& block, int skipSize, int readSize);
  bool CheckPrecision(int receptorCount);
  void DefineSkipBlock();
  bool HourIncluded(int32_t date) const;
  [[noreturn]] void Fail(const std::string& message) const;

  TBlock fCurrent;   // the current record
  TBlock fPrepared;  // a record read ahead
  std::array<uint8_t, 20> fAhead{};  // length and header of the record at fAheadPos (standard framing)
  int64_t fAheadPos = -1;
  bool fPrepared2 = false;

  int fBufPos = 0;
  std::unique_ptr<TStream> Post;
  int SkipSize = 0;
  int fFullBlockSize = 0;
  const TMeteoHours* FMeteoData = nullptr;
  int FReceptorCount = 0;
  bool FIsLahey = false;
  int32_t StartBlockSize = 0;
  uint8_t StartCountBytes = 0;
  double fScale = 1.0;
  std::string fPostFile;
  bool FValueNAN = false;
  int fID = 0;
  bool fDoublePrecision = false;
  bool fIsTarvo = false;
  TPostOutTypes fPostOutTypes;
  int64_t fFirstBlockPos = 0;
  TUniversalGrid fReceptorIDs;
  std::array<int, kPostOutTypeCount> fSkipBlocks{};
  int fMaxBufferSize = 0;
  int64_t fSize = 0;
  TPostLayout fLayout;
};

}  // namespace zorvik
