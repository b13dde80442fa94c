#include "w4util/foundation/Utf8.h"

#include "w4util/foundation/Endian.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void PutUtf8(ByteBuffer& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<unsigned char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<unsigned char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<unsigned char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<unsigned char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<unsigned char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<unsigned char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<unsigned char>(0x80 | (c & 0x3F)));
  }
}

void PutUtf16Le(ByteBuffer& out, char32_t c) {
  unsigned char unit[2];
  if (c >= 0x10000) {
    c -= 0x10000;
    w4util::little_endian::Store16(unit, static_cast<std::uint16_t>(0xD800 | (c >> 10)));
    out.insert(out.end(), unit, unit + 2);
    c = 0xDC00 | (c & 0x3FF);
  }
  w4util::little_endian::Store16(unit, static_cast<std::uint16_t>(c));
  out.insert(out.end(), unit, unit + 2);
}

// Length of the sequence a lead byte opens and the allowed range of its
// second byte (well-formed UTF-8 excludes overlongs, surrogates and values
// above U+10FFFF through that range); 0 for a byte that opens nothing.
struct Lead {
  unsigned length;
  unsigned char secondLow;
  unsigned char secondHigh;
};

Lead ClassifyLead(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
  if (b == 0xE0) return {3, 0xA0, 0xBF};
  if (b == 0xED) return {3, 0x80, 0x9F};
  if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
  if (b == 0xF0) return {4, 0x90, 0xBF};
  if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
  if (b == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

}  // namespace

namespace ZelvoUtilities {

ByteBuffer UTF8_Encode(const char16_t* text, std::uint32_t count) {
  ByteBuffer out;
  if (text == nullptr) {
    return out;
  }
  out.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const char16_t u = text[i];
    if (IsHighSurrogate(u) && i + 1 < count && IsLowSurrogate(text[i + 1])) {
      PutUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      PutUtf8(out, kReplacement);
    } else {
      PutUtf8(out, u);
    }
  }
  return out;
}

ByteBuffer UTF8_Decode(const char* text, std::uint32_t count) {
  ByteBuffer out;
  if (text == nullptr) {
    return out;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  if (count >= 2 && bytes[0] < 0x80 && bytes[1] == 0) {
    // The character as a signed 8-bit value widened to an Int: for ASCII,
    // the character and one 0 unit.
    return ByteBuffer::createFromIntValue(static_cast<std::int8_t>(bytes[0]));
  }
  out.reserve(2 * std::size_t{count});
  std::uint32_t i = 0;
  while (i < count) {
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      PutUtf16Le(out, b);
      ++i;
      continue;
    }
    const Lead lead = ClassifyLead(b);
    if (lead.length == 0) {
      PutUtf16Le(out, kReplacement);
      ++i;
      continue;
    }
    // Take continuation bytes while they fit the sequence; a shortfall
    // replaces what was taken with one U+FFFD and resumes at the byte that
    // did not fit.
    char32_t c = b & (0xFF >> (lead.length + 1));
    unsigned taken = 1;
    while (taken < lead.length && i + taken < count) {
      const unsigned char next = bytes[i + taken];
      const unsigned char low = taken == 1 ? lead.secondLow : 0x80;
      const unsigned char high = taken == 1 ? lead.secondHigh : 0xBF;
      if (next < low || next > high) {
        break;
      }
      c = (c << 6) | (next & 0x3F);
      ++taken;
    }
    PutUtf16Le(out, taken == lead.length ? c : kReplacement);
    i += taken;
  }
  return out;
}

}  // namespace ZelvoUtilities
