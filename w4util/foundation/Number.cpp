#include "w4util/foundation/Number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <locale>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr double kTolerance = 1e-6;
constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr std::int32_t kMaxDecimals = 308;  // 10^309 is no longer a double

// A count of 2^31 and above comes from a negative int handed over as unsigned.
std::int32_t SignedDecimals(unsigned decimals) {
  const std::int32_t d = static_cast<std::int32_t>(decimals);
  return std::clamp(d, -kMaxDecimals, kMaxDecimals);
}

// 10^k, exact as far as a double can hold it (k <= 22).
double PowerOfTen(std::int32_t k) {
  static constexpr double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (k < 0) return 1.0 / PowerOfTen(-k);
  if (k <= 22) return kExact[k];
  return std::pow(10.0, static_cast<double>(k));
}

// Truncation toward zero, clamped to the 64-bit range; NaN gives 0.
std::int64_t TruncateToInt64(double x) {
  if (std::isnan(x)) return 0;
  if (x >= kTwoTo63) return std::numeric_limits<std::int64_t>::max();
  if (x < -kTwoTo63) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(x);
}

void AppendDecimal(std::u16string& out, std::int64_t value) {
  char digits[24] = {};
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  for (const char* p = digits; p != result.ptr; ++p) out.push_back(static_cast<char16_t>(*p));
}

CXString ToCXString(const std::u16string& text) {
  return CXString(text.data(), static_cast<std::int32_t>(text.size()));
}

bool IsWhitespace(char16_t ch) {
  return ch == u' ' || (ch >= u'\t' && ch <= u'\r') || ch == 0x85 || ch == 0xA0 || ch == 0x1680 ||
         (ch >= 0x2000 && ch <= 0x200A) || ch == 0x2028 || ch == 0x2029 || ch == 0x202F ||
         ch == 0x205F || ch == 0x3000;
}

std::u16string_view Trimmed(const CXString& text) {
  std::u16string_view view(static_cast<const char16_t*>(text),
                           static_cast<std::size_t>(text.GetLength()));
  while (!view.empty() && IsWhitespace(view.front())) view.remove_prefix(1);
  while (!view.empty() && IsWhitespace(view.back())) view.remove_suffix(1);
  return view;
}

bool IsDigit(char16_t ch) { return ch >= u'0' && ch <= u'9'; }

char16_t FromLocale(bool decimalPoint, char16_t fallback) {
  try {
    const std::locale user("");
    const auto& punct = std::use_facet<std::numpunct<wchar_t>>(user);
    const wchar_t ch = decimalPoint ? punct.decimal_point() : punct.thousands_sep();
    if (ch > 0 && static_cast<std::uint32_t>(ch) < 0xD800) return static_cast<char16_t>(ch);
  } catch (...) {
    // An unknown locale name in the environment: keep the default.
  }
  return fallback;
}

// The user's separators, read once (function-local statics are initialised
// once even when two threads get here first together).
char16_t LocalizedDecimalSeparator() {
  static const char16_t separator = FromLocale(true, u'.');
  return separator;
}

char16_t LocalizedGroupSeparator() {
  static const char16_t separator = FromLocale(false, u',');
  return separator;
}

}  // namespace

Number::Number(const CXString& text, bool localized) : m_value(0) {
  SetStringValue(text, localized);
}

double Number::GetDoubleValue(unsigned decimals, double threshold) const {
  return Round(m_value, decimals, threshold);
}

double Number::GetValue(unsigned decimals, double threshold) const {
  return Round(m_value, decimals, threshold);
}

std::int32_t Number::GetIntValue(double threshold) const {
  const double r = Round(m_value, 0, threshold);
  if (std::isnan(r)) return 0;
  if (r >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
  if (r <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(r);
}

// The steps follow the driver's rounding exactly, but in double precision
// throughout: the single-precision power and product it used to form lost
// digits above a few million.
double Number::Round(double value, unsigned decimals, double threshold) {
  if (std::isnan(value)) return value;
  const double sign = value < 0 ? -1.0 : 1.0;
  const double magnitude = value * sign;
  const std::int32_t d = SignedDecimals(decimals);
  const double p = PowerOfTen(d);
  const double x = p * magnitude;

  // The driver's truncation overflowed to a negative number there and it
  // substituted 2147483646; keep that answer without the undefined cast.
  std::int64_t n = x >= kTwoTo63 ? 2147483646 : static_cast<std::int64_t>(x);

  const double fraction = std::trunc(100000.0 * x) - std::trunc(static_cast<double>(n) * 100000.0);
  const double limit = std::trunc(100000.0 * threshold);
  if (limit < fraction) ++n;

  const double r = d != 0 ? static_cast<double>(n) / p : static_cast<double>(n);
  return (r + 0.0000001) * sign;
}

CXString Number::GetStringValue(unsigned decimals, double threshold, bool localized,
                                bool groupThousands, bool trimTrailingZeros) const {
  const double r = Round(m_value, decimals, threshold);
  if (std::isnan(r)) return CXString(u"NaN");
  const std::int32_t d = SignedDecimals(decimals);
  const double p = PowerOfTen(d);
  const std::int64_t i = TruncateToInt64(r);

  std::u16string text;
  if (r < 0 && i == 0) text.push_back(u'-');  // a negative fraction keeps its sign
  AppendDecimal(text, i);

  bool hasSeparator = false;
  const char16_t separator = localized ? LocalizedDecimalSeparator() : u'.';
  if (d > 0) {
    const double scaled = std::trunc(p * r) - static_cast<double>(i) * p;
    const double magnitude = std::fabs(std::trunc(scaled));
    const std::int64_t digits =
        !(magnitude <= 2147483647.0) ? 2147483647 : static_cast<std::int64_t>(magnitude);

    std::u16string fraction;
    AppendDecimal(fraction, digits);
    const std::size_t width = static_cast<std::size_t>(d);
    for (std::int32_t k = 0; k < d && fraction.size() < width; ++k) {
      if (PowerOfTen(k) > static_cast<double>(digits)) fraction.insert(fraction.begin(), u'0');
    }
    while (fraction.size() < width) fraction.push_back(u'0');
    if (trimTrailingZeros) {
      while (!fraction.empty() && fraction.back() == u'0') fraction.pop_back();
    }
    if (!fraction.empty()) {
      text.push_back(separator);
      text += fraction;
      hasSeparator = true;
    }
  }

  if (groupThousands) {
    const char16_t group = localized ? LocalizedGroupSeparator() : u',';
    std::reverse(text.begin(), text.end());
    std::size_t position = 3;
    if (hasSeparator) position = text.find(separator) + 4;
    std::size_t length = text.size();
    const std::size_t end = r < 0 ? 1 : 0;
    while (position < length - end) {
      text.insert(text.begin() + static_cast<std::ptrdiff_t>(position), group);
      position += 4;
      ++length;
    }
    std::reverse(text.begin(), text.end());
  }
  return ToCXString(text);
}

CXString Number::GetDumpDisplayString(unsigned decimals, double threshold) const {
  return GetStringValue(decimals, threshold, false, false, false);
}

// "[+|-][digits][separator[digits]]", stopping at the first character that
// does not continue the number; the separator is the localized one, or the
// first "." or "," when the text has none of it.
void Number::SetStringValue(const CXString& text, bool localized) {
  const std::u16string_view view = Trimmed(text);
  const bool hex = view.find(u"0x") != std::u16string_view::npos ||
                   view.find(u"0X") != std::u16string_view::npos;

  char16_t separator = localized ? LocalizedDecimalSeparator() : u'.';
  if (view.find(separator) == std::u16string_view::npos) {
    separator = view.find(u'.') != std::u16string_view::npos ? u'.' : u',';
  }
  const bool hasSeparator = view.find(separator) != std::u16string_view::npos;

  if (hex) {
    m_value = hasSeparator ? 0 : ConvertHexStringToDecimalInt(text);
    return;
  }

  std::string number;
  std::size_t at = 0;
  bool negative = false;
  if (at < view.size() && (view[at] == u'+' || view[at] == u'-')) {
    negative = view[at] == u'-';
    ++at;
  }
  bool significant = false;  // a non-zero digit before the separator
  for (; at < view.size() && IsDigit(view[at]); ++at) {
    number.push_back(static_cast<char>(view[at]));
    significant = significant || view[at] != u'0';
  }
  if (number.empty()) number.push_back('0');
  bool fraction = false;
  if (at < view.size() && view[at] == separator) {
    for (++at; at < view.size() && IsDigit(view[at]); ++at) {
      if (!fraction) number.push_back('.');
      fraction = true;
      number.push_back(static_cast<char>(view[at]));
    }
  }
  // number is now "D+(.D+)?", which from_chars rounds correctly.
  double magnitude = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), magnitude,
                                      std::chars_format::fixed);
  if (result.ec == std::errc::result_out_of_range) {
    magnitude = significant ? std::numeric_limits<double>::max() : 0.0;
  } else if (result.ec != std::errc()) {
    magnitude = 0;
  }
  m_value = negative ? -magnitude : magnitude;
}

bool Number::operator==(const Number& other) const {
  return std::fabs(m_value - other.m_value) < kTolerance;
}
bool Number::operator!=(const Number& other) const { return !(*this == other); }
bool Number::operator<(const Number& other) const { return m_value - other.m_value < -kTolerance; }
bool Number::operator>(const Number& other) const { return m_value - other.m_value > kTolerance; }
bool Number::operator<=(const Number& other) const { return m_value - other.m_value < kTolerance; }
bool Number::operator>=(const Number& other) const { return m_value - other.m_value > -kTolerance; }

bool Number::IsEquivalent(const Number& a, const Number& b, unsigned decimals, double threshold) {
  const double scale = decimals == 0 ? 1.0 : PowerOfTen(SignedDecimals(decimals));
  const std::int64_t left = TruncateToInt64(Round(a.m_value, decimals, threshold) * scale);
  const std::int64_t right = TruncateToInt64(Round(b.m_value, decimals, threshold) * scale);
  return left == right;
}

std::int32_t Number::ConvertHexStringToDecimalInt(const CXString& text) {
  std::u16string_view view = Trimmed(text);
  bool negative = false;
  if (!view.empty() && view.front() == u'-') {
    negative = true;
    view.remove_prefix(1);
  }
  if (view.find(u'-') != std::u16string_view::npos) return 0;
  if (view.size() >= 2 && view[0] == u'0' && (view[1] == u'x' || view[1] == u'X'))
    view.remove_prefix(2);
  if (view.find(u"0x") != std::u16string_view::npos ||
      view.find(u"0X") != std::u16string_view::npos)
    return 0;
  if (view.empty()) return 0;

  std::uint32_t value = 0;
  for (const char16_t ch : view) {
    std::uint32_t digit = 0;
    if (ch >= u'0' && ch <= u'9') {
      digit = ch - u'0';
    } else if (ch >= u'a' && ch <= u'f') {
      digit = ch - u'a' + 10;
    } else if (ch >= u'A' && ch <= u'F') {
      digit = ch - u'A' + 10;
    } else {
      return 0;
    }
    value = value * 16 + digit;
  }
  // Negate in unsigned arithmetic: "-80000000" is the smallest int, not an overflow.
  return static_cast<std::int32_t>(negative ? 0u - value : value);
}

CXString Number::ConvertColorRefToHexString(const std::uint32_t& color) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string text(u"#");
  for (int byte = 0; byte < 3; ++byte) {
    const std::uint32_t value = (color >> (8 * byte)) & 0xFF;
    text.push_back(kHex[value >> 4]);
    text.push_back(kHex[value & 0xF]);
  }
  return ToCXString(text);
}
