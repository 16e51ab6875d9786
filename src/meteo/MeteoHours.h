#pragma once
// What a POSTFILE reader asks of met data: is the hour with this date key usable (neither calm nor missing)?
#include <cstdint>

namespace zorvik {

class TMeteoHours {
 public:
  virtual ~TMeteoHours() = default;
  virtual bool IsExist(int32_t dateKey) const = 0;
};

}  // namespace zorvik
