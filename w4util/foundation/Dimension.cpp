#include "w4util/foundation/Dimension.h"

#include <cmath>
#include <limits>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"

namespace {

constexpr double kCountThreshold = 0.499999;

struct UnitInfo {
  double thousandthsOfMMs;
  const char16_t* text;
};

// Indexed by Dimension::UnitsEnum.
constexpr UnitInfo kUnits[] = {
    {25400, u"[Inches]"},
    {2540, u"[10ths of Inches]"},
    {254, u"[100ths of Inches]"},
    {25.4, u"[1,000ths of Inches]"},
    {2.54, u"[10,000ths of Inches]"},
    {1000, u"[MMs]"},
    {100, u"[10ths of MMs]"},
    {10, u"[100ths of MMs]"},
    {1, u"[1,000ths of MMs]"},
    {352.77777777777777, u"[Pts]"},
    {35.27777777777778, u"[10ths of Pts]"},
    {3.5277777777777777, u"[100ths of Pts]"},
};

const UnitInfo* Find(Dimension::UnitsEnum units) {
  const auto index = static_cast<std::int32_t>(units);
  if (index < 0 || index >= static_cast<std::int32_t>(std::size(kUnits))) return nullptr;
  return &kUnits[index];
}

double Convert(double value, Dimension::UnitsEnum from, Dimension::UnitsEnum to) {
  const double fromFactor = Dimension::GetThousandthsOfMMsPerUnit(from);
  const double toFactor = Dimension::GetThousandthsOfMMsPerUnit(to);
  if (fromFactor == 0 || toFactor == 0) return 0;
  if (from == to) return value;
  return value * fromFactor / toFactor;
}

}  // namespace

Dimension::Dimension(const Number& value, UnitsEnum units)
    : m_value(value.GetDoubleValue()), m_units(units) {}

Dimension::Dimension(double value, UnitsEnum units) : m_value(value), m_units(units) {}

Dimension::Dimension(const CXString& text, UnitsEnum units)
    : m_value(Number(text, false).GetDoubleValue()), m_units(units) {}

Number Dimension::GetValue(UnitsEnum units) const { return Number(GetDoubleValue(units)); }

double Dimension::GetDoubleValue(UnitsEnum units) const { return Convert(m_value, m_units, units); }

Number Dimension::GetValue(UnitsEnum units, unsigned decimals, double threshold) const {
  return Number(GetDoubleValue(units, decimals, threshold));
}

double Dimension::GetDoubleValue(UnitsEnum units, unsigned decimals, double threshold) const {
  return Number::Round(GetDoubleValue(units), decimals, threshold);
}

CXString Dimension::GetStringValue(UnitsEnum units, unsigned decimals, double threshold,
                                   bool groupThousands, bool trimTrailingZeros) const {
  return Number(GetDoubleValue(units))
      .GetStringValue(decimals, threshold, false, groupThousands, trimTrailingZeros);
}

double Dimension::ComparisonKey() const {
  const double thousandths = GetDoubleValue(ZLV_THOUSANDTHS_OF_MMS);
  if (std::isnan(thousandths)) return 0;
  // Round folds magnitudes from 2^63 on to 2^31 - 1; beyond that the value
  // itself is already a whole number and orders as it is.
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (!(std::fabs(thousandths) < kTwoTo63)) return thousandths;
  return std::trunc(Number::Round(thousandths, 0, kCountThreshold));
}

std::int32_t Dimension::GetThousandthsOfMMs() const {
  const double thousandths = GetDoubleValue(ZLV_THOUSANDTHS_OF_MMS);
  const double rounded = Number::Round(thousandths, 0, kCountThreshold);
  // Compare the unrounded value too: Round folds huge magnitudes to 2^31 - 1.
  if (!(std::fabs(thousandths) < 2147483649.0) || !(rounded < 2147483648.0) ||
      !(rounded > -2147483649.0)) {
    ZELVO_THROW(ExceptionInvalidArgument, "Dimension::GetThousandthsOfMMs",
                "The length %s does not fit a 32-bit count of thousandths of millimetres.",
                static_cast<const char16_t*>(GetDumpDisplayString(false)));
  }
  return static_cast<std::int32_t>(rounded);
}

void Dimension::SetValue(const Number& value, UnitsEnum units) {
  m_value = value.GetDoubleValue();
  m_units = units;
}

void Dimension::SetStringValue(const CXString& text) {
  m_value = Number(text, false).GetDoubleValue();
}

void Dimension::SetStringValue(const CXString& text, UnitsEnum units) {
  SetStringValue(text);
  m_units = units;
}

void Dimension::SetUnits(UnitsEnum units) {
  m_value = GetDoubleValue(units);
  m_units = units;
}

bool Dimension::operator==(const Dimension& other) const {
  return ComparisonKey() == other.ComparisonKey();
}
bool Dimension::operator!=(const Dimension& other) const {
  return ComparisonKey() != other.ComparisonKey();
}
bool Dimension::operator<(const Dimension& other) const {
  return ComparisonKey() < other.ComparisonKey();
}
bool Dimension::operator>(const Dimension& other) const {
  return ComparisonKey() > other.ComparisonKey();
}
bool Dimension::operator<=(const Dimension& other) const {
  return ComparisonKey() <= other.ComparisonKey();
}
bool Dimension::operator>=(const Dimension& other) const {
  return ComparisonKey() >= other.ComparisonKey();
}

bool Dimension::IsEquivalent(const Dimension& a, const Dimension& b, UnitsEnum units,
                             unsigned decimals, double threshold) {
  return Number::IsEquivalent(a.GetValue(units), b.GetValue(units), decimals, threshold);
}

CXString Dimension::GetDebugDisplayString(UnitsEnum units) {
  const UnitInfo* info = Find(units);
  return CXString(info ? info->text : u"UNKNOWN!");
}

double Dimension::GetThousandthsOfMMsPerUnit(UnitsEnum units) {
  const UnitInfo* info = Find(units);
  return info ? info->thousandthsOfMMs : 0;
}

CXString Dimension::GetDumpDisplayString(bool /*withDetails*/) const {
  const CXString value = Number(m_value).GetDumpDisplayString(2, kCountThreshold);
  const CXString units = GetUnitsDebugDisplayString();
  return ZelvoUtilities::formatString(u"%s %s", static_cast<const char16_t*>(value),
                                      static_cast<const char16_t*>(units));
}
