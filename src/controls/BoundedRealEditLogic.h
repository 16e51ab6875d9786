#pragma once

// The real-number edit with an interval: its hint states the allowed range, and the focus cannot leave it with
// a value outside the range (the entry is erased after an error box).

#include <functional>
#include <string>

#include "controls/RealEditLogic.h"
#include "controls/RealRangeCheck.h"

namespace zorvik {

// TRangeErrorEvent: told the error text before the error box; may change it, or set allowExit to let the
// value stand.
using TRangeErrorEvent = std::function<void(std::string& errorStr, bool& allowExit)>;

class TBoundedRealEditLogic : public TRealEditLogic {
 public:
  explicit TBoundedRealEditLogic(TRealEditView* view = nullptr, TColorRef validColor = 0);

  TRealInterval BoundRange() const { return FBoundRange; }
  void SetBoundRange(TRealInterval value);
  // A new bound (one that differs beyond floating-point tolerance) pulls a value outside it onto it.
  double UpperVal() const { return FUpperVal; }
  void SetUpperVal(double value);
  double LowerVal() const { return FLowerVal; }
  void SetLowerVal(double value);
  void SetOnRangeError(TRangeErrorEvent handler) { FOnRangeErrorEvent = std::move(handler); }

  // The hint the control shows ("The allowed range is 10.0 <= value <= 99.99.") and whether hints are on.
  const std::string& Hint() const { return fHint; }
  bool ShowHint() const { return fShowHint; }
  // Whether the current value may stay when the focus leaves: blank or in range.
  bool ValueAllowed() const;

  // A blank or in-range value leaves as usual. A value out of range is refused: the error box shows the range
  // check's error text (or the handler's, when it changed it), the value becomes blank with an empty text, the
  // focus goes back to the control and ModifiedByUser stays as it was; returns false (no exit event).
  bool Exit() override;

  const TRealRangeCheck& RealRangeCheck() const { return FRealRangeCheck; }
  TRealRangeCheck& RealRangeCheck() { return FRealRangeCheck; }

 protected:
  void DisplaySettingsChanged() override;

 private:
  // Hands the edit's number display settings to the range texts.
  void PassFormatting();
  void UpdateHint();

  TRealRangeCheck FRealRangeCheck;
  TRangeErrorEvent FOnRangeErrorEvent;
  double FUpperVal = 0;
  double FLowerVal = 0;
  TRealInterval FBoundRange = TRealInterval::tbrNone;
  std::string fHint;
  bool fShowHint = false;
};

// Equal within floating-point tolerance: |a - b| <= max(min(|a|, |b|) * 1e-12, 1e-12).
bool SameRealValue(double a, double b);

}  // namespace zorvik
