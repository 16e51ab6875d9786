#pragma once

// The texts of a real-number interval: the range ("10.0 <= value <= 99.99"), the hint that states it and the
// error for a value outside it, with the bounds written as the edit displays its numbers.

#include <functional>
#include <string>

#include "controls/NumberSyntax.h"

namespace zorvik {

enum class TRealInterval {
  tbrNone,
  tbrClosedUpperLower,      // L <= v <= U
  tbrOpenUpper,             // L <= v < U
  tbrOpenLower,             // L < v <= U
  tbrOpenUpperLower,        // L < v < U
  tbrOnlyCloseLower,        // v >= L
  tbrOnlyClosedUpper,       // v <= U
  tbrOnlyOpenLower,         // v > L
  tbrOnlyOpenUpper,         // v < U
  tbrClosedUpperOpenLower,  // L < v <= U
  tbrOpenUpperClosedLower   // L <= v < U
};

// The English texts of the edit family by number (1 .. 12); the widget may install a translation.
const std::string& RealEditEnglishText(int number);
using TRealEditTexts = std::function<std::string(int number)>;

class TRealRangeErrorStr {
 public:
  TRealRangeErrorStr() = default;

  // Settings the bounds are written with: fDisplayFormat when set (see FormatByPattern), otherwise the default
  // display formatter with fNumDP, fFmtMinC and fFmtMaxC. Setting a format FormatByPattern cannot use throws
  // std::invalid_argument and keeps the old one.
  int NumDP() const { return fNumDP; }
  void SetNumDP(int value) { fNumDP = value; }
  double FmtMinC() const { return fFmtMinC; }
  void SetFmtMinC(double value) { fFmtMinC = value; }
  double FmtMaxC() const { return fFmtMaxC; }
  void SetFmtMaxC(double value) { fFmtMaxC = value; }
  const std::string& DisplayFormat() const { return fDisplayFormat; }
  void SetDisplayFormat(std::string value);
  const TNumberLocale& Locale() const { return fLocale; }
  void SetLocale(TNumberLocale value) { fLocale = std::move(value); }
  // Texts by number; empty function (the default) means English.
  void SetTexts(TRealEditTexts texts) { fTexts = std::move(texts); }

  std::string FormatBound(double value) const;
  // "L <= value <= U" and the like; empty for tbrNone.
  std::string RangeString(TRealInterval range, double lowerVal, double upperVal) const;
  // "The allowed range is " + range text + "."; empty when the range text is.
  std::string hintString(TRealInterval range, double lowerVal, double upperVal) const;
  // "The Value <offending> is not in range.\n\r" + "\r" + hint; empty for tbrNone.
  std::string errorString(const std::string& offendingText, TRealInterval range, double lowerVal,
                          double upperVal) const;

 private:
  std::string Text(int number) const;

  int fNumDP = 2;
  double fFmtMaxC = 100000;
  double fFmtMinC = 0;
  std::string fDisplayFormat;
  TNumberLocale fLocale;
  TRealEditTexts fTexts;
};

}  // namespace zorvik
