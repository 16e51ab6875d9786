#include "meteo/MeteoTypes.h"

#include "util/Exceptions.h"

namespace zorvik {

int ExpandMetYear(int year) {
  Assert(year >= 0, "Met Year cannot be negative");
  if (year <= 99) year += year >= 50 ? 1900 : 2000;
  Assert(year >= 1950 && year <= 2049, "Met Year must be between 1950 and 2049");
  return year;
}

}  // namespace zorvik
