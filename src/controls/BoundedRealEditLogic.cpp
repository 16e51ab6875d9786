#include "controls/BoundedRealEditLogic.h"

#include <algorithm>
#include <cmath>

namespace zorvik {

bool SameRealValue(double a, double b) {
  const double tolerance = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
  return a == b || std::fabs(a - b) <= tolerance;
}

TBoundedRealEditLogic::TBoundedRealEditLogic(TRealEditView* view, TColorRef validColor)
    : TRealEditLogic(view, validColor) {
  PassFormatting();
}

void TBoundedRealEditLogic::SetBoundRange(TRealInterval value) {
  FBoundRange = value;
  FRealRangeCheck.SetBoundRange(value);
  UpdateHint();
}

void TBoundedRealEditLogic::SetUpperVal(double value) {
  if (!SameRealValue(value, FUpperVal)) {
    FUpperVal = value;
    FRealRangeCheck.SetUpperVal(value);
    if (!IsBlank() && GetDouble() > value) SetDouble(value);
  }
  UpdateHint();
}

void TBoundedRealEditLogic::SetLowerVal(double value) {
  if (!SameRealValue(value, FLowerVal)) {
    FLowerVal = value;
    FRealRangeCheck.SetLowerVal(value);
    if (!IsBlank() && GetDouble() < value) SetDouble(value);
  }
  UpdateHint();
}

bool TBoundedRealEditLogic::ValueAllowed() const { return IsBlank() || FRealRangeCheck.inRange(GetDouble()); }

bool TBoundedRealEditLogic::Exit() {
  if (ValueAllowed()) return TRealEditLogic::Exit();
  FRealRangeCheck.SetValue(Text());
  std::string errorStr = FRealRangeCheck.errorString();
  bool allowExit = false;
  if (FOnRangeErrorEvent) FOnRangeErrorEvent(errorStr, allowExit);
  if (allowExit) return TRealEditLogic::Exit();
  if (View()) View()->ShowRangeError(errorStr);
  const bool modifiedByUser = ModifiedByUser();
  BlankValue();
  RewriteText();  // still focused: the empty text of the edit form
  SetModifiedByUser(modifiedByUser);
  if (View()) View()->FocusBack();
  return false;
}

void TBoundedRealEditLogic::DisplaySettingsChanged() {
  PassFormatting();
  UpdateHint();
}

void TBoundedRealEditLogic::PassFormatting() {
  TRealRangeErrorStr& texts = FRealRangeCheck.RangeErrorStr();
  texts.SetNumDP(NumDecimal());
  texts.SetFmtMinC(FmtMinC());
  texts.SetFmtMaxC(FmtMaxC());
  texts.SetLocale(Locale());
}

void TBoundedRealEditLogic::UpdateHint() {
  fHint = FRealRangeCheck.hintString();
  fShowHint = true;
  if (View()) View()->SetHint(fHint, fShowHint);
}

}  // namespace zorvik
