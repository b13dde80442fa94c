// Number: a real number with the driver's own rounding and text conversion.
//
// Rounding (Round) works on the magnitude and adds 0.0000001 before the sign
// is put back, so a rounded value never lies just below the decimal it
// stands for; the fraction decides against a threshold in hundred-
// thousandths (with 0.5 a half does not round up, with 0.499999 it does).
// Comparisons allow a tolerance of 1e-6.
//
// Text: GetStringValue writes the rounded value with a "." (or, localized,
// the user's decimal separator) and optional "," grouping; SetStringValue
// reads "[sign]digits[separator digits]" and stops at the first character
// that is not part of the number, or a hexadecimal "0x..." integer.
// Localized separators come from the user's locale (LANG / LC_NUMERIC); the
// decimal separator is read once per process.
//
// A plain value: copyable, no sharing; thread-safe as any double.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT Number {
 public:
  Number(double value) : m_value(value) {}
  Number(std::int32_t value) : m_value(value) {}
  // Parsed as by SetStringValue.
  Number(const CXString& text, bool localized);
  Number(const Number& other) = default;
  Number& operator=(const Number& other) = default;

  double GetDoubleValue() const { return m_value; }
  // Round(value, decimals, threshold).
  double GetDoubleValue(unsigned decimals, double threshold) const;
  double GetValue(unsigned decimals, double threshold) const;
  // Rounded to 0 decimals, then truncated; a result beyond the 32-bit range
  // is clamped to it.
  std::int32_t GetIntValue(double threshold) const;

  CXString GetStringValue(unsigned decimals, double threshold, bool localized, bool groupThousands,
                          bool trimTrailingZeros) const;
  // GetStringValue with the three flags false.
  CXString GetDumpDisplayString(unsigned decimals, double threshold) const;

  // Text without a number (empty, letters first) gives 0.
  void SetStringValue(const CXString& text, bool localized);
  void ReverseSign() { m_value *= -1; }

  bool operator==(const Number& other) const;
  bool operator!=(const Number& other) const;
  bool operator<(const Number& other) const;
  bool operator>(const Number& other) const;
  bool operator<=(const Number& other) const;
  bool operator>=(const Number& other) const;

  // decimals above 308 count as 308; a count of 2^31 and above is taken as
  // negative (rounding to tens, hundreds, ...). A magnitude whose scaled
  // value reaches 2^63 rounds to 2147483647 (or 2147483646 and the fraction
  // step), as the driver always did. NaN stays NaN.
  static double Round(double value, unsigned decimals, double threshold);
  // Both rounded, scaled by 10^decimals and truncated to 64-bit integers
  // (clamped to their range), then compared.
  static bool IsEquivalent(const Number& a, const Number& b, unsigned decimals, double threshold);
  // "[-][0x]hexdigits", whitespace around it allowed; anything else gives 0.
  // The digits wrap modulo 2^32 and the sign applies to the 32-bit result
  // ("-80000000" gives -2147483648, "FFFFFFFF" gives -1).
  static std::int32_t ConvertHexStringToDecimalInt(const CXString& text);
  // "#RRGGBB" from the colour's bytes 0 (red), 1 (green), 2 (blue).
  static CXString ConvertColorRefToHexString(const std::uint32_t& color);

 private:
  double m_value;
};
