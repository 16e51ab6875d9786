// The ring that reads a file of records past the page cache, and the shared one that its readers fill from the
// page cache: readers at different paces see every record's bytes as the file holds them, whatever the buffer
// each record lies in, and reads the ring no longer serves come from the file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/RecordRing.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

// A file of `records` records of `stride` bytes after a header of `first` bytes; every byte tells its offset.
std::string RecordFile(const test::TempDir& dir, int64_t first, int64_t stride, int records) {
  std::string bytes(static_cast<size_t>(first + stride * records), '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  const std::string file = dir.File("records.bin");
  test::WriteAll(file, bytes);
  return file;
}

constexpr int64_t kFirst = 100, kStride = 5000;  // records straddle the 64 KB buffers of the tests
constexpr int kRecords = 400, kHeld = 8;
constexpr int64_t kBuffer = int64_t{64} << 10;

// Reads the ring as a worker does, a batch of kHeld records at a time, `bytes` of each record from `from` on (its
// slice), and marks them passed; reader 1 is the slow one. With `outside` (-1 or 1), one byte more before or after
// the slice must not be the ring's. Returns what did not match ("" when all did).
std::string ReadLikeAWorker(TRecordRing& ring, const std::string& expected, size_t reader, int64_t from,
                            int64_t bytes, std::atomic<int>& passed, int outside = 0) {
  std::string mismatch;
  for (int h0 = 0; h0 < kRecords; h0 += kHeld) {
    const int hb = std::min(kHeld, kRecords - h0);
    if (!ring.WaitRecords(h0 + hb)) {
      mismatch = "the ring ended early";
      break;
    }
    for (int h = h0; h < h0 + hb; ++h) {
      const int64_t at = kFirst + int64_t{h} * kStride + from;
      const uint8_t* slice = ring.Bytes(at, bytes);
      if (slice == nullptr || std::memcmp(slice, expected.data() + at, static_cast<size_t>(bytes)) != 0)
        mismatch = "record " + std::to_string(h);
      if (outside != 0 && ring.Bytes(at - (outside < 0 ? 1 : 0), bytes + 1) != nullptr)
        mismatch = "outside, " + std::to_string(h);
    }
    if (reader == 1 && h0 % 64 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    passed.store(h0 + hb);
  }
  passed.store(kRecords + 1);
  return mismatch;
}

// A record file and a ring over it, with buffers of kBuffer bytes: read past the page cache, or shared (true).
class RecordRingTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    file = RecordFile(dir, kFirst, kStride, kRecords);
    expected = test::ReadAll(file);
    ring = GetParam() ? TRecordRing::OpenShared(file, kFirst, kStride, kRecords, kHeld, kBuffer)
                      : TRecordRing::Open(file, kFirst, kStride, kRecords, kHeld, kBuffer);
    if (!ring) GTEST_SKIP() << "the file system of the test folder refuses reads past the page cache";
  }
  test::TempDir dir;
  std::string file, expected;
  std::unique_ptr<TRecordRing> ring;
};

TEST_P(RecordRingTest, ReadersAtTheirOwnPaceSeeEveryRecordAsTheFileHoldsIt) {
  ASSERT_GE(ring->BufferBytes(), kBuffer);
  ASSERT_LT(ring->BufferBytes(), kStride * kRecords / 4);  // the ring must go round several times

  // The index's way: a stream read header by header, across the ends of records.
  TRingStream stream(*ring);
  std::vector<std::atomic<int>> passed(2);
  for (auto& p : passed) ring->AddReader(&p);
  ring->Release();
  std::vector<std::string> mismatches(3);
  const auto worker = [&](size_t w) {
    mismatches[w] = ReadLikeAWorker(*ring, expected, w, w == 0 ? 16 : kStride / 2, kStride / 2 - 16, passed[w]);
  };
  std::thread first(worker, 0), second(worker, 1);
  for (int h = 0; h < kRecords; ++h) {
    char header[24];
    stream.SetPosition(kFirst + int64_t{h} * kStride - (h > 0 ? 4 : 0));  // the end of the one before, too
    const int64_t want = h > 0 ? 24 : 20;
    if (stream.Read(header, want) != want || std::memcmp(header, expected.data() + stream.Position() - want, want) != 0)
      mismatches[2] = "header " + std::to_string(h);
  }
  first.join();
  second.join();
  EXPECT_EQ(mismatches, std::vector<std::string>(3));
  EXPECT_EQ(ring->Loaded(), kRecords);
}

TEST_P(RecordRingTest, ADetachedRingKeepsWhatItReadAndTheStreamTurnsToTheFile) {
  TRingStream stream(*ring);
  // Never released: the ring stops at its buffers in hand (a shared one at what its readers asked for), which the
  // detach keeps.
  ASSERT_TRUE(ring->WaitRecords(1));
  while (ring->Loaded() < kRecords && !ring->Detached()) {
    const int before = ring->Loaded();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (ring->Loaded() == before) ring->Detach();
  }
  const int loaded = ring->Loaded();
  ASSERT_GT(loaded, 0);
  ASSERT_LT(loaded, kRecords);
  EXPECT_FALSE(ring->WaitRecords(loaded + 1));
  EXPECT_EQ(ring->Bytes(kFirst + int64_t{loaded} * kStride, 8), nullptr);
  const int64_t at = kFirst + int64_t{loaded - 1} * kStride;
  ASSERT_NE(ring->Bytes(at, kStride), nullptr);
  EXPECT_EQ(std::memcmp(ring->Bytes(at, kStride), expected.data() + at, kStride), 0);

  // The stream reads all of it: the file header and the records the ring never read come from the file.
  std::string all(expected.size() + 10, '\0');
  stream.SetPosition(0);
  int64_t got = 0;
  for (int64_t n; (n = stream.Read(all.data() + got, 7001)) > 0;) got += n;
  all.resize(static_cast<size_t>(got));
  EXPECT_EQ(all, expected);
}

TEST_P(RecordRingTest, OpensOnlyFilesThatHoldTheRecords) {
  const auto open = GetParam() ? &TRecordRing::OpenShared : &TRecordRing::Open;
  EXPECT_EQ(open(file, kFirst, kStride, kRecords + 1, kHeld, 0), nullptr);
  EXPECT_EQ(open(file, kFirst, 0, kRecords, kHeld, 0), nullptr);
  EXPECT_EQ(open(dir.File("missing.bin"), kFirst, kStride, 10, kHeld, 0), nullptr);
}

// A ring of one span of every record (a chunk's slices): two readers at their own pace, each with its half of the
// span, see every record's bytes as the file holds them; bytes outside the span are not the ring's.
TEST(SpanRingTest, ReadersSeeTheirPartOfEveryRecordsSpan) {
  test::TempDir dir;
  const std::string file = RecordFile(dir, kFirst, kStride, kRecords);
  const std::string expected = test::ReadAll(file);
  constexpr int64_t kSpanBegin = 1000, kSpanBytes = 1200;
  EXPECT_EQ(TRecordRing::OpenSpans(file, kFirst, kStride, kRecords, kHeld, kStride - 100, 200), nullptr);
  EXPECT_EQ(TRecordRing::OpenSpans(file, kFirst, kStride, kRecords + 1, kHeld, kSpanBegin, kSpanBytes), nullptr);
  const auto ring = TRecordRing::OpenSpans(file, kFirst, kStride, kRecords, kHeld, kSpanBegin, kSpanBytes);
  ASSERT_NE(ring, nullptr);
  ASSERT_TRUE(ring->Shared() && ring->Spans());

  std::vector<std::atomic<int>> passed(2);
  for (auto& p : passed) ring->AddReader(&p);
  ring->Release();
  std::vector<std::string> mismatches(2);
  // The first half of the span and one byte before it, the second half and one byte after it.
  const auto worker = [&](size_t w) {
    mismatches[w] = ReadLikeAWorker(*ring, expected, w, kSpanBegin + static_cast<int64_t>(w) * kSpanBytes / 2,
                                    kSpanBytes / 2, passed[w], w == 0 ? -1 : 1);
  };
  std::thread first(worker, 0), second(worker, 1);
  first.join();
  second.join();
  EXPECT_EQ(mismatches, std::vector<std::string>(2));
  EXPECT_EQ(ring->Loaded(), kRecords);
}

INSTANTIATE_TEST_SUITE_P(Rings, RecordRingTest, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Shared" : "PastCache";
});

}  // namespace
}  // namespace zorvik
