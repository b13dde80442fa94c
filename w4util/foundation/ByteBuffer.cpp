#include "w4util/foundation/ByteBuffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/platform/CodePage.h"

namespace {

using w4util::little_endian::Load16;
using w4util::little_endian::Store16;
using w4util::little_endian::Store32;
using w4util::little_endian::Store64;

// The cursor of a whole-buffer reader: the buffer itself, read in place.
struct WholeBufferCursor {
  explicit WholeBufferCursor(const ByteBuffer& buffer)
      : cursor(const_cast<unsigned char*>(buffer.data())), left(buffer.getDword()) {}
  unsigned char* cursor;
  unsigned int left;
};

template <std::size_t N>
ByteBuffer FromBytes(const unsigned char (&bytes)[N]) {
  return ByteBuffer(bytes, static_cast<std::uint32_t>(N));
}

void AppendUtf16Le(ByteBuffer& out, const char16_t* units, std::size_t count) {
  const std::size_t start = out.size();
  out.resize(start + 2 * count);
  for (std::size_t i = 0; i < count; ++i) {
    Store16(out.data() + start + 2 * i, static_cast<std::uint16_t>(units[i]));
  }
}

CXString TextFromUtf16Le(const unsigned char* bytes, std::uint32_t units) {
  CXString text;
  if (units == 0) {
    return text;
  }
  const auto length = static_cast<std::int32_t>(units);
  char16_t* out = text.GetBufferSetLength(length);
  for (std::uint32_t i = 0; i < units; ++i) {
    out[i] = static_cast<char16_t>(Load16(bytes + 2 * std::size_t{i}));
  }
  text.ReleaseBuffer(length);
  return text;
}

std::uint32_t TextLength(const CXString& text) {
  const std::int32_t length = text.GetLength();
  return length > 0 ? static_cast<std::uint32_t>(length) : 0;
}

}  // namespace

ByteBuffer::ByteBuffer(const std::allocator<unsigned char>& allocator) : Base(allocator) {}

ByteBuffer::ByteBuffer(std::uint64_t count, const unsigned char& value,
                       const std::allocator<unsigned char>& allocator)
    : Base(static_cast<size_type>(count), value, allocator) {}

ByteBuffer::ByteBuffer(const unsigned char* bytes, std::uint32_t length) {
  if (bytes != nullptr && length > 0) {
    Base::assign(bytes, bytes + length);
  }
}

ByteBuffer::ByteBuffer(const CXString& text) { append(text); }

ByteBuffer::ByteBuffer(const_iterator first, const_iterator last,
                       const std::allocator<unsigned char>& allocator)
    : Base(first, last, allocator) {}

ByteBuffer ByteBuffer::createFromIntValue(std::int32_t value) { return createFromLongValue(value); }

ByteBuffer ByteBuffer::createFromLongValue(std::int32_t value) {
  unsigned char bytes[4];
  Store32(bytes, static_cast<std::uint32_t>(value));
  return FromBytes(bytes);
}

ByteBuffer ByteBuffer::createFromShortValue(std::int16_t value) {
  return createFromWordValue(static_cast<std::uint16_t>(value));
}

ByteBuffer ByteBuffer::createFromWordValue(std::uint16_t value) {
  unsigned char bytes[2];
  Store16(bytes, value);
  return FromBytes(bytes);
}

ByteBuffer ByteBuffer::createFromByteValue(unsigned char value) {
  const unsigned char bytes[1] = {value};
  return FromBytes(bytes);
}

ByteBuffer ByteBuffer::createFromBoolValue(bool value) {
  return createFromByteValue(value ? 1 : 0);
}

ByteBuffer ByteBuffer::createFromTime64Value(const std::int64_t& value) {
  unsigned char bytes[8];
  Store64(bytes, static_cast<std::uint64_t>(value));
  return FromBytes(bytes);
}

ByteBuffer ByteBuffer::createCountedStringFormatFromString(const CXString& text) {
  const std::uint32_t units = TextLength(text);
  if (units > kMaxCountedStringUnits) {
    ZELVO_THROW(ExceptionInvalidArgument, "ByteBuffer::createCountedStringFormatFromString",
                u"A counted string holds at most 32767 code units; this text has %ld.",
                static_cast<std::int32_t>(units));
  }
  ByteBuffer out = createFromShortValue(static_cast<std::int16_t>(units));
  out.append(text);
  return out;
}

ByteBuffer ByteBuffer::createCountedBytesFormat(const ByteBuffer& bytes) {
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
    ZELVO_THROW(ExceptionInvalidArgument, "ByteBuffer::createCountedBytesFormat",
                u"Counted bytes hold less than 4 GiB; this buffer holds more.");
  }
  ByteBuffer out =
      createFromLongValue(static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes.size())));
  out.append(bytes);
  return out;
}

ByteBuffer ByteBuffer::createFromHexBinaryString(const CXString& text) {
  ByteBuffer out;
  ConvertHexBinaryStringToByteBuffer(text, out);
  return out;
}

std::uint32_t ByteBuffer::getDword() const {
  return static_cast<std::uint32_t>(
      std::min<size_type>(size(), std::numeric_limits<std::uint32_t>::max()));
}

unsigned char* ByteBuffer::getLpbyte() { return data(); }

const unsigned char* ByteBuffer::getLpbyte() const { return data(); }

std::int32_t ByteBuffer::getAsLongValue() const {
  WholeBufferCursor c(*this);
  return WalkBufferToGetLong(c.cursor, c.left);
}

std::int32_t ByteBuffer::getAsIntValue() const {
  WholeBufferCursor c(*this);
  return WalkBufferToGetInt(c.cursor, c.left);
}

std::int16_t ByteBuffer::getAsShortValue() const {
  WholeBufferCursor c(*this);
  return WalkBufferToGetShort(c.cursor, c.left);
}

std::uint16_t ByteBuffer::getAsWordValue() const {
  WholeBufferCursor c(*this);
  return WalkBufferToGetWord(c.cursor, c.left);
}

unsigned char ByteBuffer::getAsByteValue() const {
  WholeBufferCursor c(*this);
  return WalkBufferToGetByte(c.cursor, c.left);
}

bool ByteBuffer::getAsBoolValue() const {
  WholeBufferCursor c(*this);
  return WalkBufferToGetBool(c.cursor, c.left);
}

std::int64_t ByteBuffer::getAsTime64Value() const {
  WholeBufferCursor c(*this);
  return WalkBufferToGetTime64(c.cursor, c.left);
}

CXString ByteBuffer::getAsStringValueFromCountedStringFormat() const {
  WholeBufferCursor c(*this);
  return WalkBufferToGetCountedString(c.cursor, c.left);
}

CXString ByteBuffer::getAsStringValue() const {
  std::uint32_t units = getDword() / 2;
  if (units > 0 && Load16(data() + 2 * std::size_t{units - 1}) == 0) {
    --units;
  }
  return TextFromUtf16Le(data(), units);
}

CXString ByteBuffer::getAsStringValueFromAnsiBuffer() const {
  if (empty()) {
    return CXString();
  }
  return CXString(reinterpret_cast<const char*>(data()),
                  static_cast<std::int32_t>(std::min<std::uint32_t>(
                      getDword(), std::numeric_limits<std::int32_t>::max())));
}

ByteBuffer& ByteBuffer::setWithLpbyte(const unsigned char* bytes, std::uint32_t length) {
  clear();
  return appendLpbyte(bytes, length);
}

ByteBuffer& ByteBuffer::appendLpbyte(const unsigned char* bytes, std::uint32_t length) {
  if (bytes != nullptr && length > 0) {
    Base::insert(end(), bytes, bytes + length);
  }
  return *this;
}

ByteBuffer& ByteBuffer::append(const ByteBuffer& other) {
  // other may be this buffer: after the resize its first n bytes are still
  // the bytes to copy.
  const size_type n = other.size();
  if (n > 0) {
    const size_type start = size();
    resize(start + n);
    std::memcpy(data() + start, other.data(), n);
  }
  return *this;
}

ByteBuffer& ByteBuffer::append(const CXString& text) {
  const std::uint32_t units = TextLength(text);
  if (units > 0) {
    AppendUtf16Le(*this, static_cast<const char16_t*>(text), units);
  }
  return *this;
}

ByteBuffer& ByteBuffer::appendAscii(const CXString& text) {
  const std::uint32_t units = TextLength(text);
  std::string narrow;
  if (units > 0 && w4platform::Utf16ToMultiByte(w4platform::kCodePageAnsi, text, units, narrow)) {
    Base::insert(end(), narrow.begin(), narrow.end());
  }
  return *this;
}

ByteBuffer& ByteBuffer::appendNullChar() {
  Base::insert(end(), 2, 0);
  return *this;
}

bool ByteBuffer::persistToByteStream(unsigned char*& p) const {
  if (size() > kMaxByteStreamBytes) {
    ZELVO_THROW(ExceptionInvalidArgument, "ByteBuffer::persistToByteStream",
                u"The byte-stream form holds at most 65535 bytes; this buffer holds %ld.",
                static_cast<std::int32_t>(getDword()));
  }
  Store16(p, static_cast<std::uint16_t>(size()));
  p += 2;
  if (!empty()) {
    std::memcpy(p, data(), size());
    p += size();
  }
  return true;
}

bool ByteBuffer::persistToByteStream(ByteBuffer& out) const {
  if (size() > kMaxByteStreamBytes) {
    ZELVO_THROW(ExceptionInvalidArgument, "ByteBuffer::persistToByteStream",
                u"The byte-stream form holds at most 65535 bytes; this buffer holds %ld.",
                static_cast<std::int32_t>(getDword()));
  }
  // out may be this buffer: the bytes to copy stay at its front.
  const size_type n = size();
  const size_type start = out.size();
  out.resize(start + 2 + n);
  Store16(out.data() + start, static_cast<std::uint16_t>(n));
  if (n > 0) {
    std::memcpy(out.data() + start + 2, data(), n);
  }
  return true;
}

void ByteBuffer::initializeFromByteStream(unsigned char*& p) {
  clear();
  const std::uint16_t n = Load16(p);
  p += 2;
  appendLpbyte(p, n);
  p += n;
}

unsigned char* ByteBuffer::copyAsLpbyte(std::uint32_t& size) const {
  size = getDword();
  auto* copy = new unsigned char[std::max<std::uint32_t>(size, 1)];
  if (size > 0) {
    std::memcpy(copy, data(), size);
  } else {
    copy[0] = 0;
  }
  return copy;
}

CXString ByteBuffer::getAsHexBinaryString() const {
  return ConvertByteBufferToHexBinaryString(*this);
}

CXString ByteBuffer::GetDumpDisplayString() const {
  return ConvertByteBufferToHexBinaryString(*this);
}

CXString ByteBuffer::WalkBufferToGetCountedString(unsigned char*& cursor, unsigned int& left) {
  const std::int16_t count = WalkBufferToGetShort(cursor, left);
  // A negative count can never be satisfied: its byte length, sign-extended,
  // is above any count of bytes left.
  if (count < 0 || 2 * std::uint64_t(count) > left) {
    ThrowNotEnoughBytes(Reader::CountedString);
  }
  const auto units = static_cast<std::uint32_t>(count);
  CXString text = TextFromUtf16Le(cursor, units);
  cursor += 2 * units;
  left -= 2 * units;
  return text;
}

void ByteBuffer::WalkBufferToGetCountedBytes(unsigned char*& cursor, unsigned int& left,
                                             ByteBuffer& out) {
  const auto count = static_cast<std::uint32_t>(WalkBufferToGetLong(cursor, left));
  if (count > left) {
    ThrowNotEnoughBytes(Reader::CountedBytes);
  }
  out.setWithLpbyte(cursor, count);
  cursor += count;
  left -= count;
}

CXString ByteBuffer::ConvertByteBufferToHexBinaryString(const ByteBuffer& bytes) {
  if (bytes.empty()) {
    return CXString();
  }
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  text.reserve(2 * bytes.size());
  for (const unsigned char b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return CXString(text.data(), static_cast<std::int32_t>(text.size()));
}

bool ByteBuffer::ConvertHexBinaryStringToByteBuffer(const CXString& text, ByteBuffer& out, bool) {
  out.clear();
  const std::uint32_t length = TextLength(text);
  if (length == 0) {
    return true;
  }
  const char16_t* units = text;
  out.reserve((length + 1) / 2);
  // An odd text reads as if it had a leading "0": the first pair is "0" and
  // the first character.
  std::uint32_t i = 0;
  unsigned char high = 0;
  unsigned char low = 0;
  if (length % 2 != 0) {
    if (!ConvertSingleHexCharToValue(units[0], low)) {
      out.clear();
      return false;
    }
    out.push_back(low);
    i = 1;
  }
  for (; i < length; i += 2) {
    if (!ConvertSingleHexCharToValue(units[i], high) ||
        !ConvertSingleHexCharToValue(units[i + 1], low)) {
      out.clear();
      return false;
    }
    out.push_back(static_cast<unsigned char>(high * 16 + low));
  }
  return true;
}

bool ByteBuffer::ConvertValueToSingleHexChar(unsigned char value, std::uint16_t& ch, bool lowerCase,
                                             bool) {
  if (value > 15) {
    ch = u'0';
    return false;
  }
  if (value < 10) {
    ch = static_cast<std::uint16_t>(u'0' + value);
  } else {
    ch = static_cast<std::uint16_t>((lowerCase ? u'a' : u'A') + (value - 10));
  }
  return true;
}

bool ByteBuffer::ConvertSingleHexCharToValue(std::uint16_t ch, unsigned char& value, bool) {
  if (ch >= u'0' && ch <= u'9') {
    value = static_cast<unsigned char>(ch - u'0');
  } else if (ch >= u'a' && ch <= u'f') {
    value = static_cast<unsigned char>(ch - u'a' + 10);
  } else if (ch >= u'A' && ch <= u'F') {
    value = static_cast<unsigned char>(ch - u'A' + 10);
  } else {
    value = 0;
    return false;
  }
  return true;
}

void ByteBuffer::ThrowNotEnoughBytes(Reader reader) {
  // One throw site per reader, so that the report names the reader that
  // ran short. The message is empty by design.
  switch (reader) {
    case Reader::Long:
      ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType, "ByteBuffer::WalkBufferToGetLong",
                  u"");
    case Reader::Int:
      ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType, "ByteBuffer::WalkBufferToGetInt", u"");
    case Reader::Short:
      ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType, "ByteBuffer::WalkBufferToGetShort",
                  u"");
    case Reader::Word:
      ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType, "ByteBuffer::WalkBufferToGetWord",
                  u"");
    case Reader::Byte:
      ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType, "ByteBuffer::WalkBufferToGetByte",
                  u"");
    case Reader::Bool:
      ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType, "ByteBuffer::WalkBufferToGetBool",
                  u"");
    case Reader::Time64:
      ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType, "ByteBuffer::WalkBufferToGetTime64",
                  u"");
    case Reader::CountedString:
      ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType,
                  "ByteBuffer::WalkBufferToGetCountedString", u"");
    case Reader::CountedBytes:
      ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType,
                  "ByteBuffer::WalkBufferToGetCountedBytes", u"");
  }
  ZELVO_THROW(ExceptionNotEnoughBytesForDesiredDataType, "ByteBuffer::WalkBufferToGet", u"");
}
