// Walks arbitrary bytes with a random program of ByteBuffer reads.
//
// Input: byte 0 sets the program length (1..16), the next bytes are the
// program (one operation each, run in a loop), the rest is the range the
// program walks. The range sits in a heap block of exactly its size, so any
// read past its end is caught by AddressSanitizer. Every read is checked
// against a plain decode of the same bytes, and the cursor against what the
// read was allowed to consume; a mismatch traps.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/Utf8.h"

namespace {

void Check(bool ok) {
  if (!ok) {
    __builtin_trap();
  }
}

struct Cursor {
  unsigned char* p;
  unsigned int left;
};

std::uint64_t PlainLittleEndian(const unsigned char* p, unsigned width) {
  std::uint64_t v = 0;
  for (unsigned i = width; i-- > 0;) {
    v = (v << 8) | p[i];
  }
  return v;
}

// A fixed-width read: the value matches, the cursor moves by the width, or
// the read throws with the cursor where it was.
template <typename T, typename Read>
void Fixed(Cursor& c, Read read) {
  const Cursor before = c;
  try {
    const T value = read(c.p, c.left);
    Check(before.left >= sizeof(T));
    if constexpr (std::is_same_v<T, bool>) {
      Check(value == (before.p[0] != 0));
    } else {
      Check(value == static_cast<T>(PlainLittleEndian(before.p, sizeof(T))));
    }
    Check(c.p == before.p + sizeof(T) && c.left == before.left - sizeof(T));
  } catch (const ExceptionNotEnoughBytesForDesiredDataType&) {
    Check(before.left < sizeof(T));
    Check(c.p == before.p && c.left == before.left);
  }
}

// A counted read: on success the consumed bytes re-encode to themselves; on
// failure only the count field is consumed (nothing when it did not fit).
template <typename Read, typename Encode>
void Counted(Cursor& c, unsigned countWidth, Read read, Encode encode) {
  const Cursor before = c;
  try {
    const ByteBuffer again = encode(read(c));
    const auto consumed = static_cast<std::size_t>(c.p - before.p);
    Check(consumed == before.left - c.left);
    Check(again.size() == consumed && std::memcmp(again.data(), before.p, consumed) == 0);
  } catch (const ExceptionNotEnoughBytesForDesiredDataType&) {
    if (before.left < countWidth) {
      Check(c.p == before.p && c.left == before.left);
    } else {
      Check(c.p == before.p + countWidth && c.left == before.left - countWidth);
    }
  }
}

// Takes up to n bytes off the front of the range.
ByteBuffer Slice(Cursor& c, unsigned n) {
  if (n > c.left) {
    n = c.left;
  }
  ByteBuffer out(c.p, n);
  c.p += n;
  c.left -= n;
  return out;
}

template <typename Read>
void Whole(const ByteBuffer& b, Read read) {
  try {
    read(b);
  } catch (const ExceptionNotEnoughBytesForDesiredDataType&) {
  }
}

bool IsOneCharacterForm(const ByteBuffer& utf8) {
  return utf8.size() >= 2 && utf8[0] < 0x80 && utf8[1] == 0;
}

// decode(encode(t)) == t for UTF-16 that came out of the decoder (it emits
// only well-formed text), unless the decoder's one-character form applies.
void Utf8RoundTrip(const ByteBuffer& utf16le) {
  std::vector<char16_t> units(utf16le.size() / 2);
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(utf16le[2 * i] | (utf16le[2 * i + 1] << 8));
  }
  const ByteBuffer utf8 =
      ZelvoUtilities::UTF8_Encode(units.data(), static_cast<std::uint32_t>(units.size()));
  const ByteBuffer back = ZelvoUtilities::UTF8_Decode(reinterpret_cast<const char*>(utf8.data()),
                                                      static_cast<std::uint32_t>(utf8.size()));
  if (!IsOneCharacterForm(utf8)) {
    Check(back == utf16le);
  }
}

void Step(unsigned char op, Cursor& c) {
  switch (op % 14) {
    case 0:
      Fixed<std::int32_t>(c, ByteBuffer::WalkBufferToGetLong);
      break;
    case 1:
      Fixed<std::int32_t>(c, ByteBuffer::WalkBufferToGetInt);
      break;
    case 2:
      Fixed<std::int16_t>(c, ByteBuffer::WalkBufferToGetShort);
      break;
    case 3:
      Fixed<std::uint16_t>(c, ByteBuffer::WalkBufferToGetWord);
      break;
    case 4:
      Fixed<unsigned char>(c, ByteBuffer::WalkBufferToGetByte);
      break;
    case 5:
      Fixed<bool>(c, ByteBuffer::WalkBufferToGetBool);
      break;
    case 6:
      Fixed<std::int64_t>(c, ByteBuffer::WalkBufferToGetTime64);
      break;
    case 7:
      Counted(
          c, 2, [](Cursor& k) { return ByteBuffer::WalkBufferToGetCountedString(k.p, k.left); },
          [](const CXString& s) { return ByteBuffer::createCountedStringFormatFromString(s); });
      break;
    case 8:
      Counted(
          c, 4,
          [](Cursor& k) {
            ByteBuffer out(3, 0xEE);
            ByteBuffer::WalkBufferToGetCountedBytes(k.p, k.left, out);
            return out;
          },
          [](const ByteBuffer& b) { return ByteBuffer::createCountedBytesFormat(b); });
      break;
    case 9: {
      // Whole-buffer readers over a short slice.
      const ByteBuffer b = Slice(c, op >> 4);
      Whole(b, [](const ByteBuffer& x) { return x.getAsLongValue(); });
      Whole(b, [](const ByteBuffer& x) { return x.getAsShortValue(); });
      Whole(b, [](const ByteBuffer& x) { return x.getAsBoolValue(); });
      Whole(b, [](const ByteBuffer& x) { return x.getAsTime64Value(); });
      Whole(b, [](const ByteBuffer& x) { return x.getAsStringValueFromCountedStringFormat(); });
      const CXString text = b.getAsStringValue();
      Check(static_cast<std::size_t>(text.GetLength()) <= b.size() / 2);
      b.getAsStringValueFromAnsiBuffer();
      break;
    }
    case 10: {
      // Hex text both ways, and the slice taken as (mostly invalid) hex text.
      const ByteBuffer b = Slice(c, 4 * (op >> 4));
      ByteBuffer back;
      Check(ByteBuffer::ConvertHexBinaryStringToByteBuffer(
          ByteBuffer::ConvertByteBufferToHexBinaryString(b), back));
      Check(back == b);
      const CXString asText = b.getAsStringValue();
      const ByteBuffer parsed = ByteBuffer::createFromHexBinaryString(asText);
      Check(parsed.size() == (static_cast<std::size_t>(asText.GetLength()) + 1) / 2 ||
            parsed.empty());
      break;
    }
    case 11: {
      // A byte-stream record, when one fits; its form must re-encode.
      if (c.left >= 2 && 2u + (c.p[0] | (c.p[1] << 8)) <= c.left) {
        unsigned char* p = c.p;
        ByteBuffer b;
        b.initializeFromByteStream(p);
        const auto consumed = static_cast<unsigned int>(p - c.p);
        ByteBuffer again;
        Check(b.persistToByteStream(again));
        Check(again.size() == consumed && std::memcmp(again.data(), c.p, consumed) == 0);
        c.p = p;
        c.left -= consumed;
      } else {
        Slice(c, 1);
      }
      break;
    }
    case 12: {
      const ByteBuffer b = Slice(c, 8 * (op >> 4) + 1);
      const ByteBuffer utf16 = ZelvoUtilities::UTF8_Decode(reinterpret_cast<const char*>(b.data()),
                                                           static_cast<std::uint32_t>(b.size()));
      Check(utf16.size() % 2 == 0 && utf16.size() <= 2 * b.size());
      Utf8RoundTrip(utf16);
      break;
    }
    case 13: {
      const ByteBuffer b = Slice(c, 8 * (op >> 4) + 2);
      std::vector<char16_t> units(b.size() / 2);
      if (!units.empty()) {
        std::memcpy(units.data(), b.data(), 2 * units.size());
      }
      const ByteBuffer utf8 =
          ZelvoUtilities::UTF8_Encode(units.data(), static_cast<std::uint32_t>(units.size()));
      Check(utf8.size() <= 3 * units.size());
      const ByteBuffer utf16 = ZelvoUtilities::UTF8_Decode(
          reinterpret_cast<const char*>(utf8.data()), static_cast<std::uint32_t>(utf8.size()));
      Utf8RoundTrip(utf16);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const std::size_t programLength = 1 + data[0] % 16;
  if (size < 1 + programLength) {
    return 0;
  }
  const std::uint8_t* program = data + 1;
  std::vector<unsigned char> range(data + 1 + programLength, data + size);
  Cursor c{range.data(), static_cast<unsigned int>(range.size())};
  // Stop when a whole pass of the program consumed nothing: the reads left
  // all fail on the short rest, and repeating them only repeats the throws.
  for (unsigned int passStart = c.left + 1; c.left > 0 && c.left < passStart;) {
    passStart = c.left;
    for (std::size_t i = 0; i < programLength; ++i) {
      Step(program[i], c);
      Check(c.p >= range.data() && c.p + c.left == range.data() + range.size());
    }
  }
  return 0;
}
