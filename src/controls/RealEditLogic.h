#pragma once

// The logic of the real-number edit: its value (NaN while blank), the text it shows in edit form (focused) and
// display form (not focused), the typing and paste filters, the colour and validity of the text, and the
// difference between a change the user typed and one the code made. No GUI toolkit: the widget forwards its
// events (text changed, key typed, paste, focus in and out) here and carries out what TRealEditView is told.

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "controls/NumberSyntax.h"

namespace zorvik {

// A colour as a Windows colour value: 0x00BBGGRR.
using TColorRef = std::uint32_t;
constexpr int ColorRed(TColorRef c) { return static_cast<int>(c & 0xFF); }
constexpr int ColorGreen(TColorRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int ColorBlue(TColorRef c) { return static_cast<int>((c >> 16) & 0xFF); }

// What the logic asks of the widget. Every operation has a do-nothing default, so a test fakes only what it
// looks at and a logic object works without any view.
class TRealEditView {
 public:
  virtual ~TRealEditView() = default;
  // Shows text without reporting it back as a change of the user and without touching the modified flag (the
  // logic ignores the TextChanged this may cause). selectAll: keep the whole text selected; else caret to end.
  virtual void SetEditText(const std::string& text, bool selectAll) { (void)text; (void)selectAll; }
  // Whether the whole text is selected just now.
  virtual bool IsAllSelected() const { return false; }
  // Clears the edit's modified flag.
  virtual void ClearModified() {}
  virtual void SetTextColor(TColorRef color) { (void)color; }
  // The tooltip hint and whether hints show (bounded edit).
  virtual void SetHint(const std::string& hint, bool showHint) { (void)hint; (void)showHint; }
  // A modal information box with an OK button (bounded edit, value out of range).
  virtual void ShowRangeError(const std::string& message) { (void)message; }
  // Gives the keyboard focus back to the edit (bounded edit, value out of range).
  virtual void FocusBack() {}
};

// TRealEditValidEvent: after every change, whether the text is a complete number.
using TRealEditValidEvent = std::function<void(bool controlIsValid)>;
// TGetTextEvent: formats aValue into text; displayText is true for the unfocused display, false for editing.
using TGetTextEvent = std::function<void(double aValue, std::string& text, bool displayText)>;
using TUserChangeEvent = std::function<void()>;
// The significant-digits formatter that FormatWithAccuracy selects (the PLOTFILE value formatting).
using TAccuracyFormatter = std::function<std::string(double value)>;

class TRealEditLogic {
 public:
  static constexpr TColorRef kDefaultInValidColor = 16711680;  // 0xFF0000 as 0x00BBGGRR: pure blue
  static constexpr TColorRef kDefaultBackColor = 16777215;     // white

  // validColor: the font colour of the widget when it is created.
  explicit TRealEditLogic(TRealEditView* view = nullptr, TColorRef validColor = 0);
  virtual ~TRealEditLogic() = default;
  TRealEditLogic(const TRealEditLogic&) = delete;
  TRealEditLogic& operator=(const TRealEditLogic&) = delete;

  void SetView(TRealEditView* view) { fView = view; }

  // ---- events from the widget ----
  // Every change of the widget's text, whoever made it; changes the logic made itself are ignored.
  void TextChanged(const std::string& text);
  // A typed key (UTF-8 character or control character); before/after: the text before and after the
  // selection. Returns the character to insert in place of the selection, or nothing to drop the key.
  std::optional<std::string> KeyPress(std::string_view key, std::string_view before, std::string_view after) const;
  // A paste; returns the text to put in place of the selection, or nothing to drop the paste.
  std::optional<std::string> Paste(std::string_view clipboard, std::string_view before, std::string_view after) const;
  // Focus in: the text is rewritten in edit form.
  void Enter();
  // Focus out: returns whether the focus may leave (the exit event then fires); the text is then rewritten in
  // display form.
  virtual bool Exit();

  // ---- value ----
  double GetDouble() const;  // 0 when blank
  float GetSingle() const { return static_cast<float>(GetDouble()); }
  // From code, not a user change: rewrites the text and clears the modified flag. NaN or an infinity blanks.
  void SetDouble(double newValue);
  void SetSingle(float newValue) { SetDouble(newValue); }
  void Blank();
  bool IsBlank() const;

  // ---- state ----
  const std::string& Text() const { return fText; }
  bool Focused() const { return fFocused; }
  bool ModifiedByUser() const { return fModifiedByUser; }
  // Whether the text is a complete number, and the colour it is drawn in.
  bool TextIsComplete() const;
  TColorRef TextColor() const { return TextIsComplete() ? FValidColor : FInValidColor; }
  bool Enabled() const { return fEnabled; }
  void SetEnabled(bool value) { fEnabled = value; }

  // ---- settings (each rewrites the text unless the value is blank) ----
  int NumDecimal() const { return FnumDP; }
  void SetNumDecimal(int value);
  double FmtMinC() const { return FFmtMinC; }
  void SetFmtMinC(double value);
  double FmtMaxC() const { return FFmtMaxC; }
  void SetFmtMaxC(double value);
  // Formats: a printf-style pattern when they contain "%", a float pattern otherwise (see FormatByPattern).
  // A pattern that cannot format a real number throws std::invalid_argument and leaves the old one.
  const std::string& DisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(std::string value);
  const std::string& EditFormat() const { return fEditFormat; }
  void SetEditFormat(std::string value);
  const TNumberLocale& Locale() const { return fLocale; }
  void SetLocale(TNumberLocale value);

  bool FormatWithAccuracy() const { return fFormatWithAccuracy; }
  void SetFormatWithAccuracy(bool value, TAccuracyFormatter formatter = {});
  bool NonNegative() const { return fNonNegative; }
  void SetNonNegative(bool value) { fNonNegative = value; }
  TColorRef ValidColor() const { return FValidColor; }
  void SetValidColor(TColorRef value);
  TColorRef InValidColor() const { return FInValidColor; }
  void SetInValidColor(TColorRef value);
  TColorRef BackColor() const { return FBackColor; }  // stored only
  void SetBackColor(TColorRef value) { FBackColor = value; }

  void SetOnGetText(TGetTextEvent handler) { fOnGetText = std::move(handler); }
  void SetOnUserChange(TUserChangeEvent handler) { FOnUserChange = std::move(handler); }
  void SetOnEditValid(TRealEditValidEvent handler) { fOnEditValid = std::move(handler); }

  // The text of a value in edit form (displayText false) or display form (true); empty for NaN.
  std::string FormatValue(double value, bool displayText) const;

 protected:
  // Called after NumDecimal, FmtMinC, FmtMaxC, DisplayFormat or the locale changed.
  virtual void DisplaySettingsChanged() {}
  // Rewrites the text from the value in the form the focus calls for.
  void RewriteText();
  void BlankValue() { fInternalValue = kBlank; }
  void SetModifiedByUser(bool value) { fModifiedByUser = value; }
  TRealEditView* View() const { return fView; }

 private:
  static constexpr double kBlank = std::numeric_limits<double>::quiet_NaN();
  void SettingChanged();
  void ShowColor();

  double fInternalValue = kBlank;
  bool fFormatWithAccuracy = false;
  bool fUpdating = false;
  bool fNoChange = false;
  std::string fEditFormat;
  TGetTextEvent fOnGetText;
  TUserChangeEvent FOnUserChange;
  bool fNonNegative = false;
  int FnumDP = 2;
  double FFmtMinC = 0;
  double FFmtMaxC = 100000;
  TColorRef FValidColor;
  TColorRef FInValidColor = kDefaultInValidColor;
  TColorRef FBackColor = kDefaultBackColor;
  std::string FDisplayFormat;
  TRealEditValidEvent fOnEditValid;
  bool fModifiedByUser = false;

  TRealEditView* fView;
  std::string fText;
  bool fFocused = false;
  bool fEnabled = true;
  TNumberLocale fLocale;
  TAccuracyFormatter fAccuracyFormatter;
};

}  // namespace zorvik
