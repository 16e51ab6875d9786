#include "meteo/AermodSfcRules.h"

#include <array>
#include <cmath>

namespace zorvik {

namespace {
constexpr std::array<std::string_view, 8> kConditionText = {
    "(WSpeed >= 90) or (WSpeed < 0)",
    "(WDir > 900) or (WDir <= -9)",
    "(Temp > 900) or (Temp <= 0)",
    "(OBULEN < -99990)",
    "(OBULEN < 0) and ((ZICONV > 90000) or (ZICONV < 0))",
    "(ZIMECH > 90000) or (ZIMECH < 0)",
    "(USTAR < 0) or (USTAR >= 9)",
    "(WSTAR < 0) and (OBULEN < 0.0) and (OBULEN > -99990)",
};
}  // namespace

bool IsCalmHour(double windSpeed, TAermod_Version rules) {
  if (rules == av_11103) return std::fabs(windSpeed) <= 1e-12;
  return windSpeed < 0.00001;
}

int MissingConditionRow(const TSfcHourValues& v, TAermod_Version rules) {
  // Comparisons with a NaN are false, except for the direction (row 2) and the length (row 4).
  const double ws = v.windSpeed, wd = v.windDir, t = v.temp, L = v.obukhovLength;
  if (ws >= 90 || ws < 0) return 1;
  if (wd > 900 || wd <= -9 || std::isnan(wd)) return 2;
  if (t > 900 || t <= 0) return 3;
  if (L < -99990 || std::isnan(L)) return 4;
  if (L < 0 && (v.convMixHeight > 90000 || v.convMixHeight < 0)) return 5;
  if (v.mechMixHeight > 90000 || v.mechMixHeight < 0) return 6;
  if (v.frictionVelocity < 0 || (rules == av_11103 && v.frictionVelocity >= 9)) return 7;
  if (v.convVelocity < 0 && L < 0 && L > -99990) return 8;
  return 0;
}

std::string_view MissingConditionText(int row) {
  return row >= 1 && row <= 8 ? kConditionText[static_cast<size_t>(row - 1)] : std::string_view();
}

std::string BadHourReason(int row, TAermod_Version rules) {
  if (row < 0) return "Calm";
  if (rules != av_11103) return "Missing";
  return "Missing: " + std::string(MissingConditionText(row));
}

}  // namespace zorvik
