#include "w4util/platform/CodePage.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>

namespace w4platform {
namespace {

constexpr const char* kUtf16Native =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

std::string NameOfCodePage(std::uint32_t codePage) {
  switch (codePage) {
    case kCodePageAnsi: return AnsiCodePageName();
    case kCodePageUtf8: return "UTF-8";
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    case 1200: return "UTF-16LE";
    default: return "CP" + std::to_string(codePage);
  }
}

std::string NameFromSetting(const char* setting) {
  if (setting == nullptr || *setting == '\0') return "WINDOWS-1252";
  char* end = nullptr;
  unsigned long number = std::strtoul(setting, &end, 10);
  if (end != setting && *end == '\0' && number != kCodePageAnsi) {
    return NameOfCodePage(static_cast<std::uint32_t>(number));
  }
  return setting;
}

bool IsWindows1252(const std::string& name) {
  return name == "WINDOWS-1252" || name == "CP1252" || name == "windows-1252";
}

// One converter per (direction, code page) and thread; iconv_t is not
// shareable between threads.
class Converters {
 public:
  ~Converters() {
    for (auto& entry : table_) {
      if (entry.second != reinterpret_cast<iconv_t>(-1)) iconv_close(entry.second);  // NOLINT(performance-no-int-to-ptr): iconv's failure value
    }
  }
  iconv_t Get(const std::string& to, const std::string& from) {
    std::string key = to + '\n' + from;
    auto found = table_.find(key);
    if (found != table_.end()) {
      iconv(found->second, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
      return found->second;
    }
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    table_.emplace(key, cd);
    return cd;
  }

 private:
  std::map<std::string, iconv_t> table_;
};

Converters& ThreadConverters() {
  thread_local Converters converters;
  return converters;
}

bool IsAscii(const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] >= 0x80) return false;
  }
  return true;
}

bool AsciiCompatible(const std::string& name) {
  return name.rfind("UTF-16", 0) != 0 && name.rfind("UTF-32", 0) != 0 &&
         name.rfind("UCS", 0) != 0 && name.rfind("UTF-7", 0) != 0;
}

// Runs `cd` over `inLeft` bytes at `in` into `result`, growing it as needed,
// and leaves it holding exactly the output. Input the converter refuses goes
// to `substitute(in, inLeft, unit)`, which sets the one unit written in its
// place and answers how many input bytes it stands for. `flush` appends the
// closing shift sequence of a stateful target. False on any other failure.
template <typename Text, typename Substitute>
bool Convert(iconv_t cd, char* in, std::size_t inLeft, Text& result, bool flush,
             Substitute substitute) {
  constexpr std::size_t kUnit = sizeof(typename Text::value_type);
  std::size_t produced = 0;
  while (inLeft > 0) {
    char* dst = reinterpret_cast<char*>(result.data() + produced);
    std::size_t outLeft = (result.size() - produced) * kUnit;
    std::size_t before = outLeft;
    const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    produced += (before - outLeft) / kUnit;
    if (rc != static_cast<std::size_t>(-1)) {
      if (flush) {
        dst = reinterpret_cast<char*>(result.data() + produced);
        outLeft = (result.size() - produced) * kUnit;
        before = outLeft;
        iconv(cd, nullptr, nullptr, &dst, &outLeft);
        produced += (before - outLeft) / kUnit;
      }
      break;
    }
    if (errno == E2BIG) {
      result.resize(result.size() * 2 + 8);
    } else if (errno == EILSEQ || errno == EINVAL) {
      if (produced + 1 > result.size()) result.resize(result.size() * 2 + 8);
      const std::size_t skip = substitute(in, inLeft, result[produced++]);
      in += skip;
      inLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else {
      return false;
    }
  }
  result.resize(produced);
  return true;
}

}  // namespace

const std::string& AnsiCodePageName() {
  static const std::string name = NameFromSetting(std::getenv("W4UTIL_ANSI_CODEPAGE"));
  return name;
}

bool MultiByteToUtf16(std::uint32_t codePage, const char* text, std::size_t length,
                      std::u16string& out) noexcept {
  try {
    out.clear();
    if (length == 0) return true;
    if (text == nullptr) return false;
    const std::string name = NameOfCodePage(codePage);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (AsciiCompatible(name) && IsAscii(bytes, length)) {
      out.assign(bytes, bytes + length);
      return true;
    }
    iconv_t cd = ThreadConverters().Get(kUtf16Native, name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;  // NOLINT(performance-no-int-to-ptr): iconv's failure value
    const bool cp1252 = IsWindows1252(name);
    std::u16string result(length + 4, u'\0');
    const bool converted = Convert(
        cd, const_cast<char*>(text), length, result, false,
        [cp1252](const char* in, std::size_t, char16_t& unit) -> std::size_t {
          // Undefined or truncated sequence: substitute and skip one byte.
          unit = cp1252 ? static_cast<char16_t>(static_cast<unsigned char>(*in)) : u'\uFFFD';
          return 1;
        });
    if (!converted) return false;
    out = std::move(result);
    return true;
  } catch (const std::bad_alloc&) {
    out.clear();
    return false;
  }
}

bool Utf16ToMultiByte(std::uint32_t codePage, const char16_t* text, std::size_t length,
                      std::string& out) noexcept {
  try {
    out.clear();
    if (length == 0) return true;
    if (text == nullptr) return false;
    const std::string name = NameOfCodePage(codePage);
    bool ascii = AsciiCompatible(name);
    for (std::size_t i = 0; ascii && i < length; ++i) ascii = text[i] < 0x80;
    if (ascii) {
      out.resize(length);
      for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<char>(text[i]);
      return true;
    }
    iconv_t cd = ThreadConverters().Get(name, kUtf16Native);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;  // NOLINT(performance-no-int-to-ptr): iconv's failure value
    std::string result(length * 2 + 8, '\0');
    const bool converted = Convert(
        cd, reinterpret_cast<char*>(const_cast<char16_t*>(text)), length * sizeof(char16_t),
        result, true, [](const char* in, std::size_t inLeft, char& unit) -> std::size_t {
          // Unrepresentable unit or lone surrogate: the host's default char.
          unit = '?';
          char16_t first;
          std::memcpy(&first, in, sizeof first);
          std::size_t skip = sizeof(char16_t);
          // A valid pair that cannot be represented is one '?', not two.
          if (first >= 0xD800 && first < 0xDC00 && inLeft >= 2 * sizeof(char16_t)) {
            char16_t next;
            std::memcpy(&next, in + sizeof(char16_t), sizeof next);
            if (next >= 0xDC00 && next < 0xE000) skip *= 2;
          }
          return skip;
        });
    if (!converted) return false;
    out = std::move(result);
    return true;
  } catch (const std::bad_alloc&) {
    out.clear();
    return false;
  }
}

}  // namespace w4platform
