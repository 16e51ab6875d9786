#pragma once
// The rules that tell a calm, a missing and a usable hour of an AERMOD surface file apart. The surface file
// checker applies them to every hour record; they are plain functions so that anything holding the values of
// an hour can ask them.
#include <string>
#include <string_view>

#include "meteo/MeteoTypes.h"

namespace zorvik {

// The values of one hour that the missing conditions look at (AERMET surface variables).
struct TSfcHourValues {
  double windSpeed = 0;         // w_s, m/s            (WSpeed)
  double windDir = 0;           // w_d, degrees        (WDir)
  double temp = 0;              // temp, K             (Temp)
  double obukhovLength = 0;     // L, m                (OBULEN)
  double convMixHeight = 0;     // PBL, m              (ZICONV)
  double mechMixHeight = 0;     // SBL, m              (ZIMECH)
  double frictionVelocity = 0;  // u_o, m/s            (USTAR)
  double convVelocity = 0;      // w_o, m/s            (WSTAR)
};

// av_11103: the speed is zero within 1e-12; av_Unknown: the speed is below 0.00001.
bool IsCalmHour(double windSpeed, TAermod_Version rules);

// The first missing condition that holds, as its row 1..8; 0 when the hour is not missing. Under av_Unknown
// row 7 is only "USTAR < 0".
int MissingConditionRow(const TSfcHourValues& v, TAermod_Version rules);

// The condition text of a row 1..8, e.g. "(WSpeed >= 90) or (WSpeed < 0)"; empty for any other row.
std::string_view MissingConditionText(int row);

// The reason cell of a bad hour: "Calm" for row -1, "Missing: " + condition text (av_11103) or "Missing"
// (av_Unknown) for rows 1..8.
std::string BadHourReason(int row, TAermod_Version rules);

}  // namespace zorvik
