// Dimension: a length, a value in one of twelve units (inches, millimetres,
// points and their decimal fractions). Conversions go through thousandths of
// a millimetre; a unit outside the twelve has factor 0, so converting from or
// to it gives 0, and it displays as "UNKNOWN!".
//
// Comparisons round both sides to whole thousandths of a millimetre (0
// decimals, threshold 0.499999) and compare those counts without narrowing
// them, so lengths beyond the 32-bit (and 64-bit) range still order. The
// 32-bit count that attribute bytes carry comes from GetThousandthsOfMMs,
// which refuses a length that does not fit.
//
// A plain value: copyable, no sharing.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"
#include "w4util/foundation/Number.h"

class W4UTIL_EXPORT Dimension {
 public:
  enum UnitsEnum : std::int32_t {
    ZLV_INCHES = 0,
    ZLV_TENTHS_OF_INCHES = 1,
    ZLV_HUNDREDTHS_OF_INCHES = 2,
    ZLV_THOUSANDTHS_OF_INCHES = 3,
    ZLV_TEN_THOUSANDTHS_OF_INCHES = 4,
    ZLV_MMS = 5,
    ZLV_TENTHS_OF_MMS = 6,
    ZLV_HUNDREDTHS_OF_MMS = 7,
    ZLV_THOUSANDTHS_OF_MMS = 8,
    ZLV_POINTS = 9,
    ZLV_TENTHS_OF_POINTS = 10,
    ZLV_HUNDREDTHS_OF_POINTS = 11,
  };

  // 0 hundredths of a millimetre.
  Dimension() = default;
  Dimension(const Number& value, UnitsEnum units);
  Dimension(double value, UnitsEnum units);
  // The text is read as a Number, not localized.
  Dimension(const CXString& text, UnitsEnum units);
  Dimension(const Dimension& other) = default;
  Dimension& operator=(const Dimension& other) = default;

  Number GetValue() const { return Number(m_value); }
  UnitsEnum GetUnits() const { return m_units; }
  Number GetValue(UnitsEnum units) const;
  double GetDoubleValue(UnitsEnum units) const;
  // Converted, then Number::Round(decimals, threshold).
  Number GetValue(UnitsEnum units, unsigned decimals, double threshold) const;
  double GetDoubleValue(UnitsEnum units, unsigned decimals, double threshold) const;
  // Number::GetStringValue of the converted value, not localized.
  CXString GetStringValue(UnitsEnum units, unsigned decimals, double threshold, bool groupThousands,
                          bool trimTrailingZeros) const;

  // The length as whole thousandths of a millimetre (0 decimals, threshold
  // 0.499999), the form attribute bytes carry. Throws ExceptionInvalidArgument
  // when that count lies outside the signed 32-bit range (or the value is
  // not a number).
  std::int32_t GetThousandthsOfMMs() const;

  void SetValue(const Number& value, UnitsEnum units);
  void SetDoubleValue(double value) { m_value = value; }  // units unchanged
  void SetStringValue(const CXString& text);              // units unchanged
  void SetStringValue(const CXString& text, UnitsEnum units);
  // Converts the value into units and keeps both.
  void SetUnits(UnitsEnum units);
  void ReverseSign() { m_value *= -1; }

  bool operator==(const Dimension& other) const;
  bool operator!=(const Dimension& other) const;
  bool operator<(const Dimension& other) const;
  bool operator>(const Dimension& other) const;
  bool operator<=(const Dimension& other) const;
  bool operator>=(const Dimension& other) const;

  // Both converted into units, then Number::IsEquivalent.
  static bool IsEquivalent(const Dimension& a, const Dimension& b, UnitsEnum units,
                           unsigned decimals, double threshold);
  // "[Inches]", "[MMs]", ... or "UNKNOWN!".
  static CXString GetDebugDisplayString(UnitsEnum units);
  // Thousandths of a millimetre per unit; 0 for an unknown unit.
  static double GetThousandthsOfMMsPerUnit(UnitsEnum units);
  CXString GetUnitsDebugDisplayString() const { return GetDebugDisplayString(m_units); }
  // "<value to 2 decimals> <units text>".
  CXString GetDumpDisplayString(bool withDetails = false) const;

 private:
  // Whole thousandths of a millimetre for comparisons: the truncated count,
  // held in a double so that no length is out of its range.
  double ComparisonKey() const;

  double m_value = 0;
  UnitsEnum m_units = ZLV_HUNDREDTHS_OF_MMS;
};
