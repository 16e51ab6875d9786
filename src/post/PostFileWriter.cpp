#include "post/PostFileWriter.h"

#include <cstring>

#include "util/DateKey.h"
#include "util/Exceptions.h"

namespace zorvik {

int TPostFileLayout::RecordLength() const {
  const int s = (DoublePrecision && Framing != TPostFraming::pfLahey) ? 8 : 4;
  return kPostRecordHeader + Types.Count() * Receptors * s;
}

TPostFileWriter::TPostFileWriter(const std::string& fileName, TPostFileLayout layout)
    : fFileName(fileName), fLayout(std::move(layout)), fStreamBuffer(1 << 20) {
  if (fLayout.Framing == TPostFraming::pfLahey) fLayout.DoublePrecision = false;
  fOut.rdbuf()->pubsetbuf(fStreamBuffer.data(), static_cast<std::streamsize>(fStreamBuffer.size()));
  fOut.open(fileName, std::ios::binary | std::ios::trunc);
  if (!fOut) throw EFOpenError("Cannot create file " + fileName);
  if (fLayout.Framing == TPostFraming::pfTarvo) {
    const int32_t minusOne = -1, mask = fLayout.Types.ToBits(), n = fLayout.Receptors;
    const int16_t precision = fLayout.DoublePrecision ? 1 : 0;
    const char pad[2] = {0, 0};
    Put(&minusOne, 4);
    Put(pad, 2);
    Put(&mask, 4);
    Put(&precision, 2);
    Put(&n, 4);
    for (int i = 0; i < n; ++i) {
      auto xy = i < static_cast<int>(fLayout.Coordinates.size()) ? fLayout.Coordinates[i] : std::pair{0.0, 0.0};
      if (fLayout.DoublePrecision) {
        Put(&xy.first, 8);
        Put(&xy.second, 8);
      } else {
        const float x = static_cast<float>(xy.first), y = static_cast<float>(xy.second);
        Put(&x, 4);
        Put(&y, 4);
      }
    }
  } else if (fLayout.Framing == TPostFraming::pfLahey) {
    const char first = 0;
    Put(&first, 1);  // the first byte belongs to no record
  }
}

TPostFileWriter::~TPostFileWriter() {
  if (fOut.is_open()) fOut.close();
}

void TPostFileWriter::Put(const void* data, size_t size) {
  fOut.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void TPostFileWriter::WriteHour(int32_t dateKey, std::span<const double> values) {
  const int32_t length = fLayout.RecordLength();
  const size_t count = static_cast<size_t>(fLayout.Types.Count()) * fLayout.Receptors;
  if (values.size() != count) throw Exception("TPostFileWriter.WriteHour: wrong number of values");
  fRecord.resize(static_cast<size_t>(length));
  char* p = fRecord.data();
  std::memcpy(p, &dateKey, 4);
  std::memcpy(p + 4, &fLayout.AveragePeriod, 4);
  char group[8];
  std::memset(group, ' ', 8);
  std::memcpy(group, fLayout.Group.data(), std::min<size_t>(8, fLayout.Group.size()));
  std::memcpy(p + 8, group, 8);
  p += 16;
  if (fLayout.DoublePrecision) {
    std::memcpy(p, values.data(), count * 8);
  } else {
    for (size_t i = 0; i < count; ++i) {
      const float f = static_cast<float>(values[i]);
      std::memcpy(p + 4 * i, &f, 4);
    }
  }
  if (fLayout.Framing == TPostFraming::pfLahey) {
    const TLaheyMarker m = ShortestLaheyMarker(length);
    const uint32_t marker = (static_cast<uint32_t>(length) << 2) | m.CountBytes;
    Put(&marker, static_cast<size_t>(m.MarkerSize()));
    Put(fRecord.data(), fRecord.size());
    const uint32_t zero = 0;
    Put(&zero, static_cast<size_t>(LaheyTrailerSize(m)));
  } else {
    Put(&length, 4);
    Put(fRecord.data(), fRecord.size());
    Put(&length, 4);
  }
}

void TPostFileWriter::Close() {
  fOut.close();
  if (fOut.fail()) throw EInOutError("Cannot write file " + fFileName);
}

void WritePostFile(const std::string& fileName, const TPostFileLayout& layout, int32_t firstDate, int hours,
                   const std::function<double(int, int, int)>& value) {
  TPostFileWriter writer(fileName, layout);
  const int types = layout.Types.Count();
  std::vector<double> values(static_cast<size_t>(types) * layout.Receptors);
  int32_t date = firstDate;
  for (int h = 0; h < hours; ++h) {
    for (int t = 0; t < types; ++t)
      for (int r = 0; r < layout.Receptors; ++r) values[static_cast<size_t>(t) * layout.Receptors + r] = value(h, t, r);
    writer.WriteHour(date, values);
    date = AdvanceDateOneHour(date);
  }
  writer.Close();
}

}  // namespace zorvik
