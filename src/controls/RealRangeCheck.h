#pragma once

// The interval test of a bounded real-number edit and the texts that go with it.

#include <functional>
#include <memory>
#include <string>

#include "controls/RealRangeErrorStr.h"

namespace zorvik {

// Shows a message in a modal information box with an OK button; the widget supplies it, tests record it.
using TShowMessage = std::function<void(const std::string& message)>;

class TRealRangeCheck {
 public:
  TRealRangeCheck();

  TRealInterval BoundRange() const { return fBoundRange; }
  void SetBoundRange(TRealInterval value) { fBoundRange = value; }
  double LowerVal() const { return fLowerVal; }
  void SetLowerVal(double value) { fLowerVal = value; }
  double UpperVal() const { return fUpperVal; }
  void SetUpperVal(double value) { fUpperVal = value; }
  // The offending text that errorString names.
  const std::string& Value() const { return fvalue; }
  void SetValue(std::string value) { fvalue = std::move(value); }

  // Replaces (and frees) the texts and their formatting settings; a null pointer is refused.
  void RegisterErrorStr(std::unique_ptr<TRealRangeErrorStr> errorStr);
  TRealRangeErrorStr& RangeErrorStr() { return *fRangeErrorStr; }
  const TRealRangeErrorStr& RangeErrorStr() const { return *fRangeErrorStr; }

  // Whether realValue lies in the interval; NaN lies in none but tbrNone's.
  bool inRange(double realValue) const;
  std::string RangeString() const;
  std::string hintString() const;
  std::string errorString() const;
  // Shows errorString through show.
  void ShowRangeError(const TShowMessage& show) const;

 private:
  std::string fvalue;
  std::unique_ptr<TRealRangeErrorStr> fRangeErrorStr;
  TRealInterval fBoundRange = TRealInterval::tbrNone;
  double fLowerVal = 0;
  double fUpperVal = 0;
};

}  // namespace zorvik
