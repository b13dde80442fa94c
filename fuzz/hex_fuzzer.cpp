// Hex text to bytes: arbitrary UTF-16 units read by
// ConvertHexBinaryStringToByteBuffer, checked against a plain decode.
//
// The plain decode: every unit must be 0-9, a-f or A-F; an odd count reads
// as if a "0" led the text. On success the bytes encode back to the text's
// upper-case form (with the leading "0" of an odd text) and that decodes to
// the same bytes; on failure the output is empty, whatever it held before.
// createFromHexBinaryString must agree with the two-argument form.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

int Digit(char16_t ch) {
  if (ch >= u'0' && ch <= u'9') return ch - u'0';
  if (ch >= u'a' && ch <= u'f') return ch - u'a' + 10;
  if (ch >= u'A' && ch <= u'F') return ch - u'A' + 10;
  return -1;
}

std::optional<std::vector<unsigned char>> PlainDecode(std::u16string text) {
  if (text.size() % 2 != 0) text.insert(text.begin(), u'0');
  std::vector<unsigned char> out;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = Digit(text[i]);
    const int low = Digit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<unsigned char>(high * 16 + low));
  }
  return out;
}

std::vector<unsigned char> Bytes(const ByteBuffer& buffer) {
  return std::vector<unsigned char>(buffer.begin(), buffer.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  // The first byte picks the flavour of unit: odd, one unit per byte
  // (mostly ASCII); even, two bytes a unit (any UTF-16 value).
  std::u16string units;
  if (size > 0 && (data[0] & 1) != 0) {
    units.assign(data + 1, data + size);
  } else {
    for (std::size_t i = 1; i + 1 < size; i += 2)
      units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  const CXString text(units.data(), static_cast<std::int32_t>(units.size()));

  ByteBuffer out;
  out.push_back(0x5A);  // must be cleared on both outcomes
  const bool ok = ByteBuffer::ConvertHexBinaryStringToByteBuffer(text, out);
  const auto expected = PlainDecode(units);
  Check(ok == expected.has_value());
  Check(Bytes(ByteBuffer::createFromHexBinaryString(text)) == Bytes(out));
  if (!ok) {
    Check(out.empty());
    return 0;
  }
  Check(Bytes(out) == *expected);

  const CXString hex = ByteBuffer::ConvertByteBufferToHexBinaryString(out);
  std::u16string upper = units.size() % 2 != 0 ? u"0" + units : units;
  for (char16_t& ch : upper)
    if (ch >= u'a' && ch <= u'f') ch = static_cast<char16_t>(ch - u'a' + u'A');
  Check(std::u16string(static_cast<const char16_t*>(hex),
                       static_cast<std::size_t>(hex.GetLength())) == upper);
  ByteBuffer again;
  Check(ByteBuffer::ConvertHexBinaryStringToByteBuffer(hex, again));
  Check(Bytes(again) == Bytes(out));
  return 0;
}
