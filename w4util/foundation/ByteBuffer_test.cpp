#include "w4util/foundation/ByteBuffer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "w4util/errors/ExceptionCatalogue.h"

namespace {

using Bytes = std::vector<unsigned char>;

ByteBuffer B(std::initializer_list<unsigned char> bytes) {
  return ByteBuffer(Bytes(bytes).data(), bytes.size());
}

Bytes V(const ByteBuffer& b) { return Bytes(b.begin(), b.end()); }

std::u16string U(const CXString& s) {
  return std::u16string(static_cast<const char16_t*>(s), s.GetLength());
}

// Runs a read that must run short; returns the method the exception names.
template <typename Read>
std::u16string ShortfallMethod(Read read) {
  try {
    read();
  } catch (const ExceptionNotEnoughBytesForDesiredDataType& e) {
    EXPECT_EQ(U(e.GetExceptionTypeByNumericCode()), u"003:000");
    EXPECT_EQ(U(e.GetExceptionMesage()), u"");
    return U(e.GetExceptionLocationFunctionName());
  }
  ADD_FAILURE() << "no ExceptionNotEnoughBytesForDesiredDataType";
  return u"";
}

// One row per fixed-width primitive: how it is written, how it is read back
// (as a 64-bit value for comparison), its width and its reader's name.
struct Primitive {
  const char* name;
  std::function<ByteBuffer()> write;
  std::function<std::int64_t(unsigned char*&, unsigned int&)> walk;
  std::function<std::int64_t(const ByteBuffer&)> whole;
  Bytes wire;
  std::int64_t value;
  const char16_t* method;
};

std::vector<Primitive> Primitives() {
  return {
      {"Int",
       [] { return ByteBuffer::createFromIntValue(0x01020304); },
       [](unsigned char*& c, unsigned int& l) { return ByteBuffer::WalkBufferToGetInt(c, l); },
       [](const ByteBuffer& b) { return b.getAsIntValue(); },
       {0x04, 0x03, 0x02, 0x01},
       0x01020304,
       u"ByteBuffer::WalkBufferToGetInt"},
      {"Long",
       [] { return ByteBuffer::createFromLongValue(-2); },
       [](unsigned char*& c, unsigned int& l) { return ByteBuffer::WalkBufferToGetLong(c, l); },
       [](const ByteBuffer& b) { return b.getAsLongValue(); },
       {0xFE, 0xFF, 0xFF, 0xFF},
       -2,
       u"ByteBuffer::WalkBufferToGetLong"},
      {"Short",
       [] { return ByteBuffer::createFromShortValue(-1); },
       [](unsigned char*& c, unsigned int& l) { return ByteBuffer::WalkBufferToGetShort(c, l); },
       [](const ByteBuffer& b) { return b.getAsShortValue(); },
       {0xFF, 0xFF},
       -1,
       u"ByteBuffer::WalkBufferToGetShort"},
      {"Word",
       [] { return ByteBuffer::createFromWordValue(65535); },
       [](unsigned char*& c, unsigned int& l) { return ByteBuffer::WalkBufferToGetWord(c, l); },
       [](const ByteBuffer& b) { return b.getAsWordValue(); },
       {0xFF, 0xFF},
       65535,
       u"ByteBuffer::WalkBufferToGetWord"},
      {"Byte",
       [] { return ByteBuffer::createFromByteValue(0xA5); },
       [](unsigned char*& c, unsigned int& l) { return ByteBuffer::WalkBufferToGetByte(c, l); },
       [](const ByteBuffer& b) { return b.getAsByteValue(); },
       {0xA5},
       0xA5,
       u"ByteBuffer::WalkBufferToGetByte"},
      {"Bool",
       [] { return ByteBuffer::createFromBoolValue(true); },
       [](unsigned char*& c, unsigned int& l) { return ByteBuffer::WalkBufferToGetBool(c, l); },
       [](const ByteBuffer& b) { return b.getAsBoolValue(); },
       {0x01},
       1,
       u"ByteBuffer::WalkBufferToGetBool"},
      {"Time64",
       [] { return ByteBuffer::createFromTime64Value(-0x0102030405060708LL); },
       [](unsigned char*& c, unsigned int& l) { return ByteBuffer::WalkBufferToGetTime64(c, l); },
       [](const ByteBuffer& b) { return b.getAsTime64Value(); },
       {0xF8, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE},
       -0x0102030405060708LL,
       u"ByteBuffer::WalkBufferToGetTime64"},
  };
}

TEST(ByteBufferPrimitives, WriteLittleEndianAndWalkBack) {
  for (const Primitive& p : Primitives()) {
    SCOPED_TRACE(p.name);
    const ByteBuffer written = p.write();
    EXPECT_EQ(V(written), p.wire);

    // Surplus bytes after the value stay for the next read.
    ByteBuffer range = written;
    range.push_back(0x77);
    unsigned char* cursor = range.data();
    unsigned int left = range.getDword();
    EXPECT_EQ(p.walk(cursor, left), p.value);
    EXPECT_EQ(cursor, range.data() + p.wire.size());
    EXPECT_EQ(left, 1u);
    EXPECT_EQ(p.whole(range), p.value);
  }
}

TEST(ByteBufferPrimitives, ShortfallThrowsAndLeavesCursor) {
  for (const Primitive& p : Primitives()) {
    SCOPED_TRACE(p.name);
    ByteBuffer range = p.write();
    range.pop_back();
    unsigned char* cursor = range.data();
    unsigned int left = range.getDword();
    EXPECT_EQ(ShortfallMethod([&] { p.walk(cursor, left); }), p.method);
    EXPECT_EQ(cursor, range.data());
    EXPECT_EQ(left, range.getDword());
    // The whole-buffer reader names the walking reader, also when empty.
    EXPECT_EQ(ShortfallMethod([&] { p.whole(range); }), p.method);
    EXPECT_EQ(ShortfallMethod([&] { p.whole(ByteBuffer()); }), p.method);
  }
}

TEST(ByteBufferPrimitives, BoolReadsAnyNonZeroAsTrue) {
  EXPECT_TRUE(B({0x80}).getAsBoolValue());
  EXPECT_FALSE(B({0x00}).getAsBoolValue());
  EXPECT_EQ(V(ByteBuffer::createFromBoolValue(false)), Bytes{0x00});
}

TEST(ByteBufferCounted, StringForm) {
  EXPECT_EQ(V(ByteBuffer::createCountedStringFormatFromString(u"AB")),
            (Bytes{0x02, 0x00, 0x41, 0x00, 0x42, 0x00}));
  EXPECT_EQ(V(ByteBuffer::createCountedStringFormatFromString(CXString())), (Bytes{0x00, 0x00}));

  // Units outside ASCII, a surrogate pair and an embedded 0 survive.
  const char16_t units[] = {u'\u00E9', 0xD83D, 0xDE00, 0, u'z'};
  const CXString text(units, 5);
  ByteBuffer form = ByteBuffer::createCountedStringFormatFromString(text);
  form.push_back(0x99);
  unsigned char* cursor = form.data();
  unsigned int left = form.getDword();
  EXPECT_EQ(U(ByteBuffer::WalkBufferToGetCountedString(cursor, left)), std::u16string(units, 5));
  EXPECT_EQ(left, 1u);
  EXPECT_EQ(U(form.getAsStringValueFromCountedStringFormat()), std::u16string(units, 5));
}

TEST(ByteBufferCounted, StringShortfallConsumesOnlyTheCount) {
  struct Case {
    const char* name;
    ByteBuffer range;
  };
  ByteBuffer fiveUnitsEightBytes = ByteBuffer::createFromShortValue(5);
  fiveUnitsEightBytes.append(ByteBuffer(8, 0x41));
  ByteBuffer negative = ByteBuffer::createFromShortValue(-1);
  negative.append(ByteBuffer(64, 0x41));
  ByteBuffer mostNegative = ByteBuffer::createFromShortValue(-32768);
  mostNegative.append(ByteBuffer(64, 0x41));
  const Case cases[] = {{"five units, eight bytes", fiveUnitsEightBytes},
                        {"negative count", negative},
                        {"most negative count", mostNegative}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteBuffer range = c.range;
    unsigned char* cursor = range.data();
    unsigned int left = range.getDword();
    EXPECT_EQ(ShortfallMethod([&] { ByteBuffer::WalkBufferToGetCountedString(cursor, left); }),
              u"ByteBuffer::WalkBufferToGetCountedString");
    EXPECT_EQ(cursor, range.data() + 2);
    EXPECT_EQ(left, range.getDword() - 2);
  }
  // No count at all: the Short reader is the one that ran short.
  ByteBuffer one = B({0x01});
  unsigned char* cursor = one.data();
  unsigned int left = 1;
  EXPECT_EQ(ShortfallMethod([&] { ByteBuffer::WalkBufferToGetCountedString(cursor, left); }),
            u"ByteBuffer::WalkBufferToGetShort");
  EXPECT_EQ(left, 1u);
}

TEST(ByteBufferCounted, BytesForm) {
  const ByteBuffer three = B({0x0A, 0x0B, 0x0C});
  ByteBuffer form = ByteBuffer::createCountedBytesFormat(three);
  EXPECT_EQ(V(form), (Bytes{0x03, 0x00, 0x00, 0x00, 0x0A, 0x0B, 0x0C}));

  form.push_back(0x99);
  unsigned char* cursor = form.data();
  unsigned int left = form.getDword();
  ByteBuffer out = B({0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
  ByteBuffer::WalkBufferToGetCountedBytes(cursor, left, out);
  EXPECT_EQ(V(out), V(three));
  EXPECT_EQ(left, 1u);

  // A count above the bytes left, also one that is negative as a Long or
  // that would wrap a 32-bit end pointer, fails with the count consumed.
  for (const std::int32_t count : {4, -1, static_cast<std::int32_t>(0x80000000u), 0x7FFFFFFF}) {
    SCOPED_TRACE(count);
    ByteBuffer range = ByteBuffer::createFromLongValue(count);
    range.append(three);
    cursor = range.data();
    left = range.getDword();
    EXPECT_EQ(ShortfallMethod([&] { ByteBuffer::WalkBufferToGetCountedBytes(cursor, left, out); }),
              u"ByteBuffer::WalkBufferToGetCountedBytes");
    EXPECT_EQ(cursor, range.data() + 4);
    EXPECT_EQ(left, 3u);
  }
}

TEST(ByteBufferCounted, StringOverTheLimitIsRejected) {
  const CXString longest(u'x', 32767);
  EXPECT_EQ(ByteBuffer::createCountedStringFormatFromString(longest).size(), 2u + 2u * 32767u);
  EXPECT_THROW(ByteBuffer::createCountedStringFormatFromString(CXString(u'x', 32768)),
               ExceptionInvalidArgument);
}

TEST(ByteBufferByteStream, PersistAndRestore) {
  const ByteBuffer three = B({0x0A, 0x0B, 0x0C});
  unsigned char area[8] = {};
  unsigned char* p = area;
  EXPECT_TRUE(three.persistToByteStream(p));
  EXPECT_EQ(p, area + 5);
  EXPECT_EQ(Bytes(area, area + 6), (Bytes{0x03, 0x00, 0x0A, 0x0B, 0x0C, 0x00}));

  ByteBuffer restored = B({0x55});
  p = area;
  restored.initializeFromByteStream(p);
  EXPECT_EQ(V(restored), V(three));
  EXPECT_EQ(p, area + 5);

  ByteBuffer out = B({0xEE});
  EXPECT_TRUE(three.persistToByteStream(out));
  EXPECT_EQ(V(out), (Bytes{0xEE, 0x03, 0x00, 0x0A, 0x0B, 0x0C}));

  // Into itself: the record is built from the bytes as they were.
  ByteBuffer self = three;
  EXPECT_TRUE(self.persistToByteStream(self));
  EXPECT_EQ(V(self), (Bytes{0x0A, 0x0B, 0x0C, 0x03, 0x00, 0x0A, 0x0B, 0x0C}));
}

TEST(ByteBufferByteStream, OverTheLimitIsRejectedWritingNothing) {
  const ByteBuffer largest(65535, 0x11);
  ByteBuffer out;
  EXPECT_TRUE(largest.persistToByteStream(out));
  EXPECT_EQ(out.size(), 65537u);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xFF);

  const ByteBuffer tooLarge(65536, 0x11);
  out.clear();
  EXPECT_THROW(tooLarge.persistToByteStream(out), ExceptionInvalidArgument);
  EXPECT_TRUE(out.empty());
  unsigned char area[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  unsigned char* p = area;
  EXPECT_THROW(tooLarge.persistToByteStream(p), ExceptionInvalidArgument);
  EXPECT_EQ(p, area);
  EXPECT_EQ(area[0], 0xEE);
}

TEST(ByteBufferText, StringValueDropsOneTrailingZeroUnit) {
  struct Case {
    ByteBuffer bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {B({0x41, 0x00, 0x42, 0x00, 0x00, 0x00}), u"AB"},
      {B({0x41, 0x00, 0x00, 0x00, 0x00, 0x00}), std::u16string(u"A\0", 2)},
      {B({0x41, 0x00, 0x42}), u"A"},  // odd last byte ignored
      {B({0x41}), u""},
      {B({0x00, 0x00}), u""},
      {ByteBuffer(), u""},
      {B({0x3D, 0xD8, 0x00, 0xDE}), u"\U0001F600"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(U(c.bytes.getAsStringValue()), c.text);
  }
  EXPECT_EQ(V(ByteBuffer(CXString(u"AB"))), (Bytes{0x41, 0x00, 0x42, 0x00}));
  EXPECT_TRUE(ByteBuffer(CXString()).empty());
  EXPECT_EQ(V(ByteBuffer().append(CXString(u"A")).appendNullChar()),
            (Bytes{0x41, 0x00, 0x00, 0x00}));
}

TEST(ByteBufferText, AnsiTextBothWays) {
  // Windows-1252: 0xE9 is e-acute, 0x80 the euro sign; 0 bytes convert too.
  EXPECT_EQ(U(B({0x41, 0x00, 0xE9, 0x80}).getAsStringValueFromAnsiBuffer()),
            std::u16string(u"A\0\u00E9\u20AC", 4));
  EXPECT_EQ(U(ByteBuffer().getAsStringValueFromAnsiBuffer()), u"");
  EXPECT_EQ(V(ByteBuffer().appendAscii(u"A\u00E9\u20AC")), (Bytes{0x41, 0xE9, 0x80}));
  EXPECT_TRUE(ByteBuffer().appendAscii(CXString()).empty());
}

TEST(ByteBufferHex, EncodeAndDecode) {
  EXPECT_EQ(U(ByteBuffer::ConvertByteBufferToHexBinaryString(B({0x00, 0xAB, 0x1F}))), u"00AB1F");
  EXPECT_EQ(U(B({0xFE}).getAsHexBinaryString()), u"FE");
  EXPECT_EQ(U(B({0x01}).GetDumpDisplayString()), u"01");
  EXPECT_EQ(U(ByteBuffer().getAsHexBinaryString()), u"");

  struct Case {
    const char16_t* text;
    bool ok;
    Bytes bytes;
  };
  const Case cases[] = {
      {u"", true, {}},
      {u"00AB1F", true, {0x00, 0xAB, 0x1F}},
      {u"abc", true, {0x0A, 0xBC}},
      {u"F", true, {0x0F}},
      {u"0G", false, {}},
      {u"G", false, {}},
      {u"0:", false, {}},
      {u"1@", false, {}},
      {u"AB ", false, {}},
      {u"a0g0", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text, c.text + std::u16string(c.text).size()));
    ByteBuffer out = B({0xEE});
    EXPECT_EQ(ByteBuffer::ConvertHexBinaryStringToByteBuffer(c.text, out, true), c.ok);
    EXPECT_EQ(V(out), c.bytes);
    EXPECT_EQ(V(ByteBuffer::createFromHexBinaryString(c.text)), c.bytes);
  }
}

TEST(ByteBufferHex, SingleCharacters) {
  for (unsigned ch = 0; ch < 0x10000; ++ch) {
    unsigned char value = 0xEE;
    const bool digit =
        (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
    ASSERT_EQ(ByteBuffer::ConvertSingleHexCharToValue(static_cast<std::uint16_t>(ch), value), digit)
        << ch;
    if (!digit) {
      ASSERT_EQ(value, 0);
    }
  }
  for (unsigned v = 0; v < 16; ++v) {
    std::uint16_t upper = 0;
    std::uint16_t lower = 0;
    ASSERT_TRUE(
        ByteBuffer::ConvertValueToSingleHexChar(static_cast<unsigned char>(v), upper, false));
    ASSERT_TRUE(
        ByteBuffer::ConvertValueToSingleHexChar(static_cast<unsigned char>(v), lower, true, true));
    EXPECT_EQ(upper, u"0123456789ABCDEF"[v]);
    EXPECT_EQ(lower, u"0123456789abcdef"[v]);
    unsigned char back = 0;
    ASSERT_TRUE(ByteBuffer::ConvertSingleHexCharToValue(lower, back));
    EXPECT_EQ(back, v);
  }
  std::uint16_t ch = 0;
  EXPECT_FALSE(ByteBuffer::ConvertValueToSingleHexChar(16, ch, false));
  EXPECT_EQ(ch, u'0');
}

TEST(ByteBufferStorage, ConstructionAndCopies) {
  EXPECT_EQ(ByteBuffer().getLpbyte(), nullptr);
  EXPECT_EQ(ByteBuffer().getDword(), 0u);
  EXPECT_TRUE(ByteBuffer(nullptr, 5).empty());
  EXPECT_EQ(V(ByteBuffer(3, 0x7F)), (Bytes{0x7F, 0x7F, 0x7F}));
  const ByteBuffer source = B({1, 2, 3, 4});
  EXPECT_EQ(V(ByteBuffer(source.begin() + 1, source.end())), (Bytes{2, 3, 4}));

  ByteBuffer b;
  b.setWithLpbyte(source.data(), 2).appendLpbyte(source.data() + 3, 1).appendLpbyte(nullptr, 9);
  EXPECT_EQ(V(b), (Bytes{1, 2, 4}));
  b.append(b);
  EXPECT_EQ(V(b), (Bytes{1, 2, 4, 1, 2, 4}));
  b.setWithLpbyte(source.data(), 0);
  EXPECT_TRUE(b.empty());
}

TEST(ByteBufferStorage, CopyAsLpbyte) {
  std::uint32_t size = 99;
  std::unique_ptr<unsigned char[]> empty(ByteBuffer().copyAsLpbyte(size));
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(empty[0], 0);

  std::unique_ptr<unsigned char[]> copy(B({5, 6, 7}).copyAsLpbyte(size));
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(Bytes(copy.get(), copy.get() + 3), (Bytes{5, 6, 7}));
}

}  // namespace
