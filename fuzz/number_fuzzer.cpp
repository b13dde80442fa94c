// Text to Number (and hexadecimal text to int): any text gives a finite
// value without faults, and the library's own text of a value reads back to
// the same text. Also drives Dimension's text constructor and its 32-bit
// count, which must either fit or throw ExceptionInvalidArgument.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/foundation/CXString.h"
#include "w4util/foundation/Dimension.h"
#include "w4util/foundation/Number.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::u16string Units(const CXString& text) {
  return std::u16string(static_cast<const char16_t*>(text),
                        static_cast<std::size_t>(text.GetLength()));
}

// "-0", "-0.00": a negative fraction rounded away reads back as zero.
std::u16string WithoutNegativeZero(std::u16string text) {
  if (!text.empty() && text[0] == u'-' && text.find_first_not_of(u"-0.") == std::u16string::npos)
    text.erase(0, 1);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string units(data, data + size);
  const CXString text(units.data(), static_cast<std::int32_t>(units.size()));

  // One reading of the text per run: the length picks localized or not and
  // the count of decimals, so that the seeds (plain texts) reach each.
  const bool localized = size % 2 == 1;
  const Number number(text, localized);
  const double value = number.GetDoubleValue();
  Check(std::isfinite(value));

  const unsigned decimals = static_cast<unsigned>(size / 2 % 7);
  const CXString first = number.GetStringValue(decimals, 0.5, false, false, false);
  // Beyond 2^36 scaled units the double has too few digits left for the
  // 0.0000001 offset of Round to survive.
  if (std::fabs(value) * std::pow(10.0, decimals) < 68719476736.0) {
    const CXString second = Number(first, false).GetStringValue(decimals, 0.5, false, false, false);
    Check(Units(second) == WithoutNegativeZero(Units(first)));
  }
  Check(!number.GetStringValue(decimals, 0.499999, localized, true, decimals % 2 == 1).IsEmpty());

  // Odd counts of decimals and thresholds: defined, whatever they give.
  const unsigned anyDecimals = size > 0 ? data[0] : 0;
  const double threshold = size > 1 ? data[1] / 255.0 : 0.5;
  (void)Number::Round(value, anyDecimals, threshold);
  (void)number.GetStringValue(anyDecimals % 40, threshold, localized, true, true);
  (void)number.GetIntValue(threshold);
  (void)Number::IsEquivalent(number, Number(value * 3), anyDecimals, threshold);

  const std::int32_t hex = Number::ConvertHexStringToDecimalInt(text);
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string canonical = u"0x";
  for (int shift = 28; shift >= 0; shift -= 4)
    canonical.push_back(kDigits[(static_cast<std::uint32_t>(hex) >> shift) & 0xF]);
  Check(Number::ConvertHexStringToDecimalInt(CXString(canonical.data(), 10)) == hex);

  const Dimension dimension(text, static_cast<Dimension::UnitsEnum>(size % 13));
  try {
    const std::int32_t count = dimension.GetThousandthsOfMMs();
    Check(Dimension(static_cast<double>(count), Dimension::ZLV_THOUSANDTHS_OF_MMS) == dimension);
  } catch (const ExceptionInvalidArgument&) {
    Check(!(std::fabs(dimension.GetDoubleValue(Dimension::ZLV_THOUSANDTHS_OF_MMS)) < 2147483647.0));
  }
  Check(!dimension.GetDumpDisplayString(false).IsEmpty());
  return 0;
}
