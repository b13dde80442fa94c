#include "cli/ValueText.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/Commands.h"
#include "w4util/platform/CodePage.h"
#include "w4util/platform/RegistryTypes.h"

namespace w4cli {

using namespace w4platform;

std::u16string Utf16FromUtf8(const std::string& text) {
  std::u16string wide;
  if (!text.empty() && !MultiByteToUtf16(kCodePageUtf8, text.data(), text.size(), wide)) {
    throw UsageError{"not UTF-8 text: " + text};
  }
  return wide;
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  if (!text.empty()) Utf16ToMultiByte(kCodePageUtf8, text.data(), text.size(), out);
  return out;
}

std::uint32_t ParseValueType(const std::string& name) {
  if (name == "sz") return REG_SZ;
  if (name == "expand_sz") return REG_EXPAND_SZ;
  if (name == "multi_sz") return REG_MULTI_SZ;
  if (name == "dword") return REG_DWORD;
  if (name == "qword") return REG_QWORD;
  if (name == "binary") return REG_BINARY;
  if (name == "none") return REG_NONE;
  throw UsageError{"unknown value type: " + name};
}

namespace {

std::uint64_t ParseNumber(const std::string& text, std::uint64_t max) {
  errno = 0;
  char* end = nullptr;
  const bool negative = !text.empty() && text[0] == '-';
  std::uint64_t value = 0;
  if (negative) {
    const long long signedValue = std::strtoll(text.c_str(), &end, 0);
    value = static_cast<std::uint64_t>(signedValue) & max;
    if (max == 0xFFFFFFFFu && signedValue < INT32_MIN) errno = ERANGE;
  } else {
    value = std::strtoull(text.c_str(), &end, 0);
    if (value > max) errno = ERANGE;
  }
  if (text.empty() || end == nullptr || *end != '\0' || errno != 0) {
    throw UsageError{"not a number for this type: " + text};
  }
  return value;
}

void AppendUnits(std::vector<std::uint8_t>& out, const std::u16string& text) {
  for (char16_t unit : text) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
}

}  // namespace

std::vector<std::uint8_t> ParseValueData(std::uint32_t type, const std::string& data) {
  std::vector<std::uint8_t> out;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      AppendUnits(out, Utf16FromUtf8(data) + u'\0');
      return out;
    case REG_MULTI_SZ: {
      std::string rest = data;
      for (std::size_t at; (at = rest.find("\\0")) != std::string::npos;) {
        AppendUnits(out, Utf16FromUtf8(rest.substr(0, at)) + u'\0');
        rest = rest.substr(at + 2);
      }
      if (!rest.empty()) AppendUnits(out, Utf16FromUtf8(rest) + u'\0');
      AppendUnits(out, std::u16string(1, u'\0'));
      return out;
    }
    case REG_DWORD:
    case REG_QWORD: {
      const unsigned width = type == REG_DWORD ? 4 : 8;
      const std::uint64_t value =
          ParseNumber(data, width == 4 ? 0xFFFFFFFFull : ~std::uint64_t{0});
      for (unsigned i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
      return out;
    }
    default: {
      std::string digits;
      for (char c : data) {
        if (c == ',' || c == ' ' || c == ':') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
          throw UsageError{"not hex bytes: " + data};
        }
        digits += c;
      }
      if (digits.size() % 2 != 0) throw UsageError{"odd count of hex digits: " + data};
      for (std::size_t i = 0; i < digits.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
      }
      return out;
    }
  }
}

std::string TypeName(std::uint32_t type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return "REG_LINK";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_TYPE_" + std::to_string(type);
  }
}

std::string ShowValue(std::uint32_t type, const std::uint8_t* data, std::size_t size) {
  if ((type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) && size % 2 == 0) {
    std::u16string text(size / 2, u'\0');
    if (size != 0) std::memcpy(text.data(), data, size);
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    // Items of a multi-string show as "\0" between them.
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i == text.size() || text[i] == u'\0') {
        if (start != 0) out += "\\0";
        out += Utf8FromUtf16(std::u16string_view(text).substr(start, i - start));
        start = i + 1;
      }
    }
    return out;
  }
  if (type == REG_DWORD && size == 4) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | data[i];
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%08x (%u)", v, v);
    return buffer;
  }
  if (type == REG_QWORD && size == 8) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | data[i];
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "0x%016llx (%llu)", static_cast<unsigned long long>(v),
                  static_cast<unsigned long long>(v));
    return buffer;
  }
  std::string out;
  char hex[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(hex, sizeof hex, "%02x", data[i]);
    if (i != 0) out += ' ';
    out += hex;
  }
  return out;
}

}  // namespace w4cli
