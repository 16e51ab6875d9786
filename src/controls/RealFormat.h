#pragma once

// Number formatting of the real-number edits: float patterns ("0.0#", "#,##0.00", "0.0##E+00"), printf-style
// patterns with one floating conversion ("%8.3f"), the general form shown while editing and the compact default
// display. Every result uses the decimal separator of the locale passed in and never the process locale.

#include <string>
#include <string_view>

#include "controls/NumberSyntax.h"

namespace zorvik {

// Formats value with a float pattern: digit placeholders "0" (always a digit) and "#" (a digit when needed),
// one "." for the decimal separator, "," anywhere before it for thousands grouping, "E+00" / "E-00" (or "e")
// for scientific form with at least as many exponent digits as zeros ("+" always shows the exponent's sign),
// text in single or double quotes and any other character copied as is, and up to three sections separated by
// ";" for positive, negative (shown without its own minus sign) and zero values.
std::string FormatFloatPattern(std::string_view pattern, double value, const TNumberLocale& locale);

// True when pattern is a printf-style pattern that FormatPrintfPattern accepts: text, "%%", and exactly one
// conversion %[flags][width][.precision] of type e, E, f, F, g or G.
bool IsValidPrintfPattern(std::string_view pattern);

// Formats value with a printf-style pattern; throws std::invalid_argument when IsValidPrintfPattern is false.
std::string FormatPrintfPattern(std::string_view pattern, double value, const TNumberLocale& locale);

// A user-given format: a printf-style pattern when it contains "%", a float pattern otherwise; blanks at both
// ends of the result are removed.
std::string FormatByPattern(std::string_view pattern, double value, const TNumberLocale& locale);

// True when FormatByPattern can use pattern (every float pattern can; printf-style ones as IsValidPrintfPattern).
bool IsValidNumberPattern(std::string_view pattern);

// The general form shown while editing when no edit format is set: up to 15 significant digits, fixed or
// scientific whichever is shorter, as "%g" does with that precision ("98", "0.5", "1e-05").
std::string GeneralText(double value, const TNumberLocale& locale);

// The compact display of a value: fixed point with numDP decimals (general form when numDP < 0) when
// fmtMinC < |value| < fmtMaxC or value is 0, otherwise scientific ("0.0" with numDP - 1 optional decimals,
// "E+00"); then leading zeros are dropped and, without an exponent, trailing decimal zeros down to one.
// With numDP 2 and the window 1 .. 100: 98 gives "98.0", 99.99 "99.99", 0.5 "5.0E-01".
std::string DefaultDisplayText(double value, int numDP, double fmtMinC, double fmtMaxC, const TNumberLocale& locale);

}  // namespace zorvik
