#pragma once
// Text <-> number and date conversions of the attribute records. They never look at the locale: '.' is
// always the decimal point, and the one repair of a ',' in place of the point is made here.
#include <cstdint>
#include <string>
#include <string_view>

#include "util/Exceptions.h"

namespace zorvik {

// A float outside the 32-bit integer range was converted to an integer.
ZORVIK_DECLARE_EXCEPTION(ERangeError, Exception);

// Reads a float: leading and trailing blanks, a sign, digits with '.', an exponent after 'E' or 'e'. When the
// text stops at a ',' that one character is read as '.' and the text is read again. False when it still
// does not read as a number (or lies outside the range of a double).
bool TryTextToFloat(std::string_view text, double& value);
// As TryTextToFloat; raises EConvertError "'text' is not a valid floating point value".
double TextToFloat(std::string_view text);

// Reads the leading integer of a text: blanks, a sign, decimal digits, or hexadecimal digits after '$', 'x',
// 'X' or "0x"; reading stops at the first other character and the digits so far make the value ("24 " is 24,
// "" is 0, "abc" is 0). A decimal value outside 32 bits raises ERangeError; hexadecimal digits give the
// 32-bit pattern ("$FFFFFFFF" is -1) and more than 8 of them raise ERangeError.
int32_t TextToInteger(std::string_view text);

// General format: up to 15 significant digits, shortest form, no trailing zeros; fixed notation for
// 1e-5 <= |x| < 1e15, otherwise d.dddE[-]x ("1.5E-7", "1E20"). NaN and infinities give "NAN", "INF", "-INF".
std::string FloatToText(double value);
// Fixed notation with the given number of decimals ("%.*f").
std::string FloatToFixed(double value, int decimals);

// Rounds to the nearest integer, ties to even; ERangeError outside the signed 32-bit range (and for NaN).
int32_t RoundToInt32(double value);
// Truncates towards zero; ERangeError outside the signed 32-bit range (and for NaN).
int32_t TruncToInt32(double value);

// Date-times count days since 1899-12-30 with the time of day as the fraction. Text form:
// "yyyy-mm-dd hh:nn:ss", the time left out when it is midnight.
std::string DateTimeToText(double dateTime);
// Reads "yyyy-mm-dd" with an optional " hh:nn" or " hh:nn:ss" (blanks around allowed); false when the text
// is not such a date or names no valid day or time.
bool TryTextToDateTime(std::string_view text, double& dateTime);
// As TryTextToDateTime; raises EConvertError "'text' is not a valid date and time".
double TextToDateTime(std::string_view text);

}  // namespace zorvik
