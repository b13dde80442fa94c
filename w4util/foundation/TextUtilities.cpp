// The ZelvoUtilities text functions declared beside CXString.
#include <algorithm>
#include <cstring>
#include <string>

#include "w4util/foundation/CXString.h"
#include "w4util/foundation/TextClasses.h"
#include "w4util/foundation/WideFormat.h"
#include "w4util/foundation/internal/AnsiOut.h"
#include "w4util/platform/CodePage.h"

namespace ZelvoUtilities {
namespace {

constexpr std::size_t kScratchUnits = 2048;

// Formats into the scratch area first; only longer results reach the heap
// through FormatV.
CXString FormatWithScratch(const char16_t* format, va_list args) {
  char16_t scratch[kScratchUnits];
  bool truncated = false;
  std::size_t n = 0;
  {
    VaListArgSource source(args);
    n = FormatToBuffer(scratch, kScratchUnits - 1, format, source, truncated);
  }
  if (!truncated) return CXString(scratch, static_cast<std::int32_t>(n));
  CXString result;
  result.FormatV(format, args);
  return result;
}

CXString FormatNarrow(const char* format, va_list args) {
  char16_t scratch[kScratchUnits];
  if (format != nullptr && MultiByteStrToWideCharStr(format, scratch, kScratchUnits) > 0) {
    return FormatWithScratch(scratch, args);
  }
  const CXString wide(format);
  CXString result;
  result.FormatV(wide, args);
  return result;
}

}  // namespace

CXString formatString(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    CXString result = FormatWithScratch(format, args);
    va_end(args);
    return result;
  } catch (...) {
    va_end(args);
    throw;
  }
}

CXString formatString(const char16_t* format, va_list& args) {
  try {
    CXString result = FormatWithScratch(format, args);
    va_end(args);
    return result;
  } catch (...) {
    va_end(args);
    throw;
  }
}

CXString formatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    CXString result = FormatNarrow(format, args);
    va_end(args);
    return result;
  } catch (...) {
    va_end(args);
    throw;
  }
}

CXString SafeFormatString(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  CXString result;
  try {
    const CXString wide(format);
    result.FormatV(wide, args);
  } catch (...) {
    result.Empty();
  }
  va_end(args);
  return result;
}

CXString SafeFormatString(const char16_t* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  CXString result;
  try {
    result.FormatV(format, args);
  } catch (...) {
    result.Empty();
  }
  va_end(args);
  return result;
}

CXString SafeFormatString(const char16_t* format, va_list& args) noexcept {
  CXString result;
  try {
    result.FormatV(format, args);
  } catch (...) {
    result.Empty();
  }
  va_end(args);
  return result;
}

CXString GetFormatStringSpecificationFromVariableArgList(const char* format) {
  if (format == nullptr) return CXString(u"!");
  std::u16string wide;
  if (!w4platform::MultiByteToUtf16(w4platform::kCodePageAnsi, format, std::strlen(format), wide)) {
    return CXString(u"!");
  }
  return CXString(wide.data(), static_cast<std::int32_t>(wide.size()));
}

CXString GetFormatStringSpecificationFromVariableArgList(const char16_t* format) {
  if (format == nullptr) return CXString(u"!");
  return CXString(format);
}

std::int32_t WideCharStrToMultiByteStr(const char16_t* text, char* out, std::size_t size) noexcept {
  if (text == nullptr) return 0;
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return w4util::foundation_internal::CopyOutAnsi(text, length, out, size);
}

std::int32_t MultiByteStrToWideCharStr(const char* text, char16_t* out, std::size_t size) noexcept {
  if (out != nullptr && size == 0) return 0;
  if (text == nullptr) return 0;
  std::u16string wide;
  if (!w4platform::MultiByteToUtf16(w4platform::kCodePageAnsi, text, std::strlen(text), wide)) return 0;
  const std::size_t needed = wide.size() + 1;
  if (needed > 0x7FFFFFFF) return 0;
  if (out == nullptr) return static_cast<std::int32_t>(needed);
  if (needed > size) {
    out[0] = 0;
    return 0;
  }
  std::memcpy(out, wide.data(), wide.size() * sizeof(char16_t));
  out[needed - 1] = 0;
  return static_cast<std::int32_t>(needed);
}

CXString replaceSubString(const CXString& text, const CXString& find, const CXString& replacement) {
  // A replacement holding find would never terminate.
  if (find.IsEmpty() || replacement.Find(find) >= 0) return text;
  CXString result(text);
  for (std::int32_t at = result.Find(find); at >= 0; at = result.Find(find)) {
    result = result.Left(at) + replacement + result.Mid(at + find.GetLength());
  }
  return result;
}

char16_t* getCharPtr(const CXString& text) {
  auto& writable = const_cast<CXString&>(text);
  return writable.GetBuffer(0);
}

void parseCharacterSeparatedStrings(std::vector<CXString>& out, const CXString& text, char16_t separator,
                                    bool inTextOrder, bool trim) {
  const char16_t* p = text;
  std::int32_t end = text.GetLength();
  for (std::int32_t i = end - 1; i >= -1; --i) {
    if (i >= 0 && p[i] != separator) continue;
    CXString piece(p + i + 1, end - (i + 1));
    if (trim) {
      piece.TrimLeft();
      piece.TrimRight();
    }
    if (!piece.IsEmpty()) out.push_back(piece);
    end = i;
  }
  if (inTextOrder) std::reverse(out.begin(), out.end());
}

const char* SafeStrStrA(const char* text, const char* find, std::size_t limit) noexcept {
  if (text == nullptr || find == nullptr) return nullptr;
  if (*find == 0) return text;
  const std::size_t findLength = std::strlen(find);
  const std::size_t textLength = strnlen(text, limit);
  if (findLength > textLength) return nullptr;
  for (std::size_t i = 0; i + findLength <= textLength; ++i) {
    if (text[i] == find[0] && std::memcmp(text + i, find, findLength) == 0) return text + i;
  }
  return nullptr;
}

bool WalkBufferToGetNextCharacter(const char16_t*& p, std::int32_t& left, char16_t& ch) noexcept {
  if (left < 1) return false;
  ch = *p++;
  --left;
  return true;
}

bool WalkBufferToParseWholeDecimalNumber(const char16_t*& p, std::int32_t& left, NegativeNumAllowedEnum negative,
                                         std::int32_t& value) noexcept {
  if (left < 1) return false;
  bool negate = false;
  if (*p == u'+') {
    ++p;
    --left;
  } else if (*p == u'-' && negative == NegativeNumAllowed) {
    negate = true;
    ++p;
    --left;
  }
  // Wrapping arithmetic: the walkers do not check overflow.
  std::uint32_t accumulated = 0;
  bool digits = false;
  while (left > 0 && *p >= u'0' && *p <= u'9') {
    accumulated = accumulated * 10u + static_cast<std::uint32_t>(*p - u'0');
    digits = true;
    ++p;
    --left;
  }
  if (!digits) return false;
  if (negate) accumulated = 0u - accumulated;
  value = static_cast<std::int32_t>(accumulated);
  return true;
}

}  // namespace ZelvoUtilities
