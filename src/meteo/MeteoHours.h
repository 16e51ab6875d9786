#pragma once
// What a POSTFILE reader asks of met data: is the hour with this date key usable (neither calm nor missing), and
// does the met file hold that hour at all?
#include <cstdint>

namespace zorvik {

class TMeteoHours {
 public:
  virtual ~TMeteoHours() = default;
  virtual bool IsExist(int32_t dateKey) const = 0;
  // The met file holds the hour: usable, calm or missing. A POSTFILE hour it does not hold belongs to another
  // period (or lies beyond a file cut short). Met data that keeps no such table holds every hour.
  virtual bool IsHeld(int32_t /*dateKey*/) const noexcept { return true; }
};

}  // namespace zorvik
