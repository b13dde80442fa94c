// ByteBuffer: the library's container of raw bytes and the owner of the wire
// primitives that every binary format shares.
//
// Writers append little-endian primitives to a buffer; the static
// WalkBufferToGet* readers consume them again from a cursor that the caller
// holds: a byte pointer and the count of bytes left, advanced together. A
// reader checks the count before it touches a byte, so no read passes the
// end whatever a count field in the data claims; when too few bytes are
// left it throws ExceptionNotEnoughBytesForDesiredDataType. A fixed-width
// reader that throws leaves the cursor unchanged; a counted reader that
// throws has consumed its count field only.
//
// Wire forms (no alignment, no padding):
//   Long, Int   4 bytes, signed, least significant byte first
//   Short/Word  2 bytes, signed / unsigned
//   Byte/Bool   1 byte (Bool: any non-zero byte reads as true, writes 1 or 0)
//   Time64      8 bytes, signed
//   counted string  Short n, then n UTF-16LE code units   (n <= 32767)
//   counted bytes   Long n, then n bytes
//   byte stream     Word n, then n bytes                  (n <= 65535)
// Writing a value that the form cannot count (a longer string or stream)
// throws ExceptionInvalidArgument instead of writing a count that lies.
//
// A ByteBuffer is a std::vector<unsigned char> with no state of its own;
// like the vector it is not safe for concurrent change. The static readers
// and converters are thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"
#include "w4util/foundation/Endian.h"

class W4UTIL_EXPORT ByteBuffer : public std::vector<unsigned char> {
 public:
  using Base = std::vector<unsigned char>;

  // Limits of the counted forms.
  static constexpr std::uint32_t kMaxCountedStringUnits = 32767;
  static constexpr std::uint32_t kMaxByteStreamBytes = 65535;

  ByteBuffer() = default;
  explicit ByteBuffer(const std::allocator<unsigned char>& allocator);
  ByteBuffer(std::uint64_t count, const unsigned char& value,
             const std::allocator<unsigned char>& allocator = std::allocator<unsigned char>());
  // A null pointer gives an empty buffer.
  ByteBuffer(const unsigned char* bytes, std::uint32_t length);
  // The string's UTF-16LE code units, no terminator.
  explicit ByteBuffer(const CXString& text);
  ByteBuffer(const_iterator first, const_iterator last,
             const std::allocator<unsigned char>& allocator = std::allocator<unsigned char>());
  ByteBuffer(const ByteBuffer&) = default;
  ByteBuffer(ByteBuffer&&) noexcept = default;
  ByteBuffer& operator=(const ByteBuffer&) = default;
  ByteBuffer& operator=(ByteBuffer&&) noexcept = default;
  ~ByteBuffer() = default;

  // Buffers holding exactly one primitive.
  static ByteBuffer createFromIntValue(std::int32_t value);
  static ByteBuffer createFromLongValue(std::int32_t value);
  static ByteBuffer createFromShortValue(std::int16_t value);
  static ByteBuffer createFromWordValue(std::uint16_t value);
  static ByteBuffer createFromByteValue(unsigned char value);
  static ByteBuffer createFromBoolValue(bool value);
  static ByteBuffer createFromTime64Value(const std::int64_t& value);
  // Throws ExceptionInvalidArgument when the text is longer than
  // kMaxCountedStringUnits code units.
  static ByteBuffer createCountedStringFormatFromString(const CXString& text);
  // Throws ExceptionInvalidArgument when bytes holds 4 GiB or more.
  static ByteBuffer createCountedBytesFormat(const ByteBuffer& bytes);
  // Empty when the text is not hex.
  static ByteBuffer createFromHexBinaryString(const CXString& text);

  // Number of bytes held (saturates at 0xFFFFFFFF).
  std::uint32_t getDword() const;
  // The first byte; null when the buffer has never held storage.
  unsigned char* getLpbyte();
  const unsigned char* getLpbyte() const;

  // Read one primitive from the start of the buffer; surplus bytes are
  // ignored. Throw as the walking readers do, naming the walking reader.
  std::int32_t getAsLongValue() const;
  std::int32_t getAsIntValue() const;
  std::int16_t getAsShortValue() const;
  std::uint16_t getAsWordValue() const;
  unsigned char getAsByteValue() const;
  bool getAsBoolValue() const;
  std::int64_t getAsTime64Value() const;
  CXString getAsStringValueFromCountedStringFormat() const;

  // The bytes as UTF-16LE text: an odd last byte is ignored and one trailing
  // 0 unit is dropped. Never throws.
  CXString getAsStringValue() const;
  // The bytes as ANSI text, every byte converted (0 bytes too). Never throws.
  CXString getAsStringValueFromAnsiBuffer() const;

  // Writers return the buffer so that calls chain.
  ByteBuffer& setWithLpbyte(const unsigned char* bytes, std::uint32_t length);
  ByteBuffer& appendLpbyte(const unsigned char* bytes, std::uint32_t length);
  ByteBuffer& append(const ByteBuffer& other);
  ByteBuffer& append(const CXString& text);
  ByteBuffer& appendAscii(const CXString& text);
  ByteBuffer& appendNullChar();

  // Byte-stream form (Word count, then the bytes). The pointer form requires
  // room for 2 + size bytes at p and advances p past them. Both return true;
  // both throw ExceptionInvalidArgument, writing nothing, when the buffer
  // holds more than kMaxByteStreamBytes bytes.
  bool persistToByteStream(unsigned char*& p) const;
  bool persistToByteStream(ByteBuffer& out) const;
  // Requires a complete record at p (nothing here knows where it ends);
  // advances p past it. Readers of untrusted bytes use a walking cursor.
  void initializeFromByteStream(unsigned char*& p);

  // A new[] array with a copy of the bytes; the caller owns it and frees it
  // with delete[]. An empty buffer gives one 0 byte and size 0.
  unsigned char* copyAsLpbyte(std::uint32_t& size) const;

  CXString getAsHexBinaryString() const;
  CXString GetDumpDisplayString() const;
  void DumpAsHexBinary() const {}
  void dumpAsCharacters() const {}

  // Walking readers: check, read at cursor, advance cursor and lower left.
  static std::int32_t WalkBufferToGetLong(unsigned char*& cursor, unsigned int& left) {
    return static_cast<std::int32_t>(WalkFixed<std::uint32_t>(cursor, left, Reader::Long));
  }
  static std::int32_t WalkBufferToGetInt(unsigned char*& cursor, unsigned int& left) {
    return static_cast<std::int32_t>(WalkFixed<std::uint32_t>(cursor, left, Reader::Int));
  }
  static std::int16_t WalkBufferToGetShort(unsigned char*& cursor, unsigned int& left) {
    return static_cast<std::int16_t>(WalkFixed<std::uint16_t>(cursor, left, Reader::Short));
  }
  static std::uint16_t WalkBufferToGetWord(unsigned char*& cursor, unsigned int& left) {
    return WalkFixed<std::uint16_t>(cursor, left, Reader::Word);
  }
  static unsigned char WalkBufferToGetByte(unsigned char*& cursor, unsigned int& left) {
    return WalkFixed<std::uint8_t>(cursor, left, Reader::Byte);
  }
  static bool WalkBufferToGetBool(unsigned char*& cursor, unsigned int& left) {
    return WalkFixed<std::uint8_t>(cursor, left, Reader::Bool) != 0;
  }
  static std::int64_t WalkBufferToGetTime64(unsigned char*& cursor, unsigned int& left) {
    return static_cast<std::int64_t>(WalkFixed<std::uint64_t>(cursor, left, Reader::Time64));
  }
  static CXString WalkBufferToGetCountedString(unsigned char*& cursor, unsigned int& left);
  // Replaces out's content with the counted bytes.
  static void WalkBufferToGetCountedBytes(unsigned char*& cursor, unsigned int& left,
                                          ByteBuffer& out);

  // Hex text: two upper-case digits a byte, high nibble first.
  static CXString ConvertByteBufferToHexBinaryString(const ByteBuffer& bytes);
  // Accepts either case; an odd-length text reads as if it had a leading
  // "0". Returns false, out empty, on any non-hex character.
  static bool ConvertHexBinaryStringToByteBuffer(const CXString& text, ByteBuffer& out,
                                                 bool unused = false);
  // Returns false (ch = "0") for a value above 15.
  static bool ConvertValueToSingleHexChar(unsigned char value, std::uint16_t& ch, bool lowerCase,
                                          bool unused = false);
  // Returns false (value = 0) for a character that is not a hex digit.
  static bool ConvertSingleHexCharToValue(std::uint16_t ch, unsigned char& value,
                                          bool unused = false);

 private:
  // Which reader failed: names the throw site's method.
  enum class Reader { Long, Int, Short, Word, Byte, Bool, Time64, CountedString, CountedBytes };

  [[noreturn]] static void ThrowNotEnoughBytes(Reader reader);

  template <typename T>
  static T WalkFixed(unsigned char*& cursor, unsigned int& left, Reader reader) {
    if (left < sizeof(T)) [[unlikely]] {
      ThrowNotEnoughBytes(reader);
    }
    T value;
    if constexpr (sizeof(T) == 1) {
      value = *cursor;
    } else if constexpr (sizeof(T) == 2) {
      value = w4util::little_endian::Load16(cursor);
    } else if constexpr (sizeof(T) == 4) {
      value = w4util::little_endian::Load32(cursor);
    } else {
      value = w4util::little_endian::Load64(cursor);
    }
    cursor += sizeof(T);
    left -= static_cast<unsigned int>(sizeof(T));
    return value;
  }
};
