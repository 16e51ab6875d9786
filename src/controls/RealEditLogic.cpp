#include "controls/RealEditLogic.h"

#include <cmath>
#include <stdexcept>

#include "controls/RealFormat.h"

namespace zorvik {

namespace {

// Sets a flag for the life of a scope, also when the scope is left by an exception.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : fFlag(flag), fOld(flag) { fFlag = true; }
  ~TFlagGuard() { fFlag = fOld; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& fFlag;
  bool fOld;
};

}  // namespace

TRealEditLogic::TRealEditLogic(TRealEditView* view, TColorRef validColor) : FValidColor(validColor), fView(view) {}

void TRealEditLogic::TextChanged(const std::string& text) {
  fText = text;
  if (fUpdating || fNoChange) return;
  TFlagGuard noChange(fNoChange);
  if (const auto value = TextToReal(text, fLocale.decimalSeparator)) {
    fInternalValue = *value;
    if (!fFocused) RewriteText();
  } else {
    fInternalValue = kBlank;
  }
  fModifiedByUser = fFocused;
  if (fModifiedByUser && FOnUserChange) FOnUserChange();
  ShowColor();
  if (fOnEditValid && fEnabled) fOnEditValid(TextIsComplete());
}

std::optional<std::string> TRealEditLogic::KeyPress(std::string_view key, std::string_view before,
                                                    std::string_view after) const {
  return FilterTypedKey(key, before, after, fLocale, fNonNegative);
}

std::optional<std::string> TRealEditLogic::Paste(std::string_view clipboard, std::string_view before,
                                                 std::string_view after) const {
  return FilterPaste(clipboard, before, after, fLocale, fNonNegative);
}

void TRealEditLogic::Enter() {
  fFocused = true;
  RewriteText();
}

bool TRealEditLogic::Exit() {
  fFocused = false;
  RewriteText();
  return true;
}

double TRealEditLogic::GetDouble() const { return IsBlank() ? 0.0 : fInternalValue; }

void TRealEditLogic::SetDouble(double newValue) {
  fInternalValue = std::isfinite(newValue) ? newValue : kBlank;
  fModifiedByUser = false;
  RewriteText();
  if (fView) fView->ClearModified();
}

void TRealEditLogic::Blank() { SetDouble(kBlank); }

bool TRealEditLogic::IsBlank() const { return std::isnan(fInternalValue); }

bool TRealEditLogic::TextIsComplete() const {
  return ClassifyNumberText(fText, fLocale.decimalSeparator, fNonNegative) == TNumberTextState::ntsComplete;
}

std::string TRealEditLogic::FormatValue(double value, bool displayText) const {
  if (std::isnan(value)) return {};
  if (fOnGetText) {
    std::string text;
    fOnGetText(value, text, displayText);
    return text;
  }
  if (!displayText) {
    if (!fEditFormat.empty()) return FormatByPattern(fEditFormat, value, fLocale);
    return GeneralText(value, fLocale);
  }
  if (!FDisplayFormat.empty()) return FormatByPattern(FDisplayFormat, value, fLocale);
  if (fFormatWithAccuracy && fAccuracyFormatter) return fAccuracyFormatter(value);
  return DefaultDisplayText(value, FnumDP, FFmtMinC, FFmtMaxC, fLocale);
}

void TRealEditLogic::RewriteText() {
  const std::string text = FormatValue(fInternalValue, !fFocused);
  const bool selectAll = fFocused && fView && fView->IsAllSelected();
  {
    TFlagGuard updating(fUpdating);
    fText = text;
    if (fView) fView->SetEditText(text, selectAll);
  }
  // The colour follows the text also when the control wrote it itself.
  ShowColor();
}

void TRealEditLogic::ShowColor() {
  if (fView) fView->SetTextColor(TextColor());
}

void TRealEditLogic::SettingChanged() {
  if (!IsBlank()) RewriteText();
  DisplaySettingsChanged();
}

void TRealEditLogic::SetNumDecimal(int value) {
  FnumDP = value;
  SettingChanged();
}

void TRealEditLogic::SetFmtMinC(double value) {
  FFmtMinC = value;
  SettingChanged();
}

void TRealEditLogic::SetFmtMaxC(double value) {
  FFmtMaxC = value;
  SettingChanged();
}

void TRealEditLogic::SetDisplayFormat(std::string value) {
  if (!IsValidNumberPattern(value))
    throw std::invalid_argument("Not a number format with one real-number conversion: \"" + value + "\"");
  FDisplayFormat = std::move(value);
  SettingChanged();
}

void TRealEditLogic::SetEditFormat(std::string value) {
  if (!IsValidNumberPattern(value))
    throw std::invalid_argument("Not a number format with one real-number conversion: \"" + value + "\"");
  fEditFormat = std::move(value);
  if (!IsBlank()) RewriteText();
}

void TRealEditLogic::SetLocale(TNumberLocale value) {
  fLocale = std::move(value);
  SettingChanged();
}

void TRealEditLogic::SetFormatWithAccuracy(bool value, TAccuracyFormatter formatter) {
  fFormatWithAccuracy = value;
  if (formatter) fAccuracyFormatter = std::move(formatter);
  if (!IsBlank()) RewriteText();
}

void TRealEditLogic::SetValidColor(TColorRef value) {
  FValidColor = value;
  ShowColor();
}

void TRealEditLogic::SetInValidColor(TColorRef value) {
  FInValidColor = value;
  ShowColor();
}

}  // namespace zorvik
