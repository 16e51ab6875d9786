#pragma once

// What may be typed into a real-number edit: the automaton that tells a complete number from a text that can
// still become one, the filters for typed keys and pasted text, and the conversion of an edit's text to a value.
// Plain functions over UTF-8 strings; the widget passes the locale's separators in.

#include <optional>
#include <string>
#include <string_view>

namespace zorvik {

// The separators of the user's locale, as UTF-8 text (one character each, possibly of several bytes).
struct TNumberLocale {
  std::string decimalSeparator = ".";
  std::string thousandSeparator = ",";
};

enum class TNumberTextState {
  ntsComplete,    // a number
  ntsIncomplete,  // can still become a number (the empty text, a lone sign, "1e", "1e-")
  ntsInvalid      // cannot become a number by typing more
};

// Classifies a text by reading it from the first character. With nonNegative a leading minus is invalid (a
// minus after the exponent letter stays allowed).
TNumberTextState ClassifyNumberText(std::string_view text, std::string_view decimalSeparator, bool nonNegative);

// The control keys that pass the typing filter untested: Ctrl+A, Ctrl+C, backspace, Ctrl+V, Ctrl+X, Ctrl+Z.
bool IsPassThroughKey(std::string_view key);

// The typing filter. key is the typed character (UTF-8); before and after are the texts before and after the
// selection that the key replaces. Returns the character to insert (a blank may come back as "E"), or nothing
// when the key is to be dropped. Control keys of IsPassThroughKey come back unchanged.
std::optional<std::string> FilterTypedKey(std::string_view key, std::string_view before, std::string_view after,
                                          const TNumberLocale& locale, bool nonNegative);

// Clipboard text without blanks, tabs, carriage returns, line feeds and the locale's thousands separator.
std::string CleanPastedText(std::string_view clipboard, std::string_view thousandSeparator);

// The paste filter: the cleaned clipboard text that is to replace the selection, or nothing when the text that
// would result is not a complete number (the paste is then dropped).
std::optional<std::string> FilterPaste(std::string_view clipboard, std::string_view before, std::string_view after,
                                       const TNumberLocale& locale, bool nonNegative);

// The value of an edit's text: the first decimal separator is read as ".", blanks at both ends are ignored, an
// optional leading "+" is allowed. Nothing when the text is not a finite number in full.
std::optional<double> TextToReal(std::string_view text, std::string_view decimalSeparator);

}  // namespace zorvik
