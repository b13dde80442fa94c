#include "cli/pclxl/PclXlReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "w4util/pdl/PCLXLEmitter.h"

namespace {

using w4pclxl::DataType;
using w4pclxl::Operator;
using w4pclxl::Shape;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> v;
  for (int b : list) v.push_back(static_cast<std::uint8_t>(b));
  return v;
}

TEST(PclXlReader, DecodesTypedValues) {
  // Every shape and type once, with whitespace between the tokens.
  const auto body = Bytes({
      0xC0, 0x07, 0xF8, 0x01,                                   // ubyte 7
      0xC3, 0xFE, 0xFF, 0xF8, 0x02,                             // sint16 -2
      0xC4, 0xFF, 0xFF, 0xFF, 0x7F, 0xF8, 0x03,                 // sint32 max
      0xC2, 0x00, 0x00, 0x00, 0x80, 0xF8, 0x04,                 // uint32 2^31
      0xC5, 0x00, 0x00, 0xC0, 0x3F, 0xF8, 0x05,                 // real32 1.5
      0x20, 0x0A,                                               // whitespace
      0xD3, 0x01, 0x00, 0xFF, 0xFF, 0xF9, 0x00, 0x01,           // sint16 xy, attribute 0x100
      0xE1, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0xF8, 0x42,  // uint16 box
      0xCB, 0xC0, 0x02, 0x05, 0x00, 0xFB, 0xFF, 0xF8, 0x4A,     // sint16 array
      0xC8, 0xC1, 0x02, 0x00, 0x41, 0x42, 0xF8, 0xA8,           // ubyte array, uint16 count
      0x6F, 0xFB, 0x02, 0x09, 0x08, 0xFA, 0x01, 0x00, 0x00, 0x00, 0x07, 0x00, 0x42,
  });
  std::vector<Operator> ops;
  std::string error;
  ASSERT_TRUE(w4pclxl::DecodeBody(body.data(), body.size(), ops, error)) << error;
  ASSERT_EQ(ops.size(), 2u);
  const Operator& op = ops[0];
  EXPECT_EQ(op.tag, 0x6F);
  ASSERT_EQ(op.attributes.size(), 9u);
  EXPECT_EQ(op.find(1)->integer(), 7);
  EXPECT_EQ(op.find(2)->integer(), -2);
  EXPECT_EQ(op.find(3)->integer(), 2147483647);
  EXPECT_EQ(op.find(4)->integer(), 2147483648LL);
  EXPECT_EQ(op.find(5)->at(0), 1.5);
  EXPECT_EQ(op.find(5)->type, DataType::kReal32);
  EXPECT_EQ(op.find(0x100)->shape, Shape::kXy);
  EXPECT_EQ(op.find(0x100)->integer(1), -1);
  EXPECT_EQ(op.find(0x42)->numbers, (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(op.find(0x4A)->numbers, (std::vector<double>{5, -5}));
  EXPECT_EQ(op.find(0xA8)->text(), "AB");
  ASSERT_EQ(op.data.size(), 2u);
  EXPECT_EQ(op.joinedData(), Bytes({9, 8, 7}));
  EXPECT_EQ(ops[1].tag, 0x42);
  EXPECT_NE(w4pclxl::Disassemble(ops).find("SetFont"), std::string::npos);
}

TEST(PclXlReader, IntegerViewOfAnyNumber) {
  // Real32 values outside the int64 range (a fuzz finding): max, -inf, NaN.
  const auto body = Bytes({0xC5, 0xFF, 0xFF, 0x7F, 0x7F, 0xF8, 0x73, 0xC5, 0x00, 0x00, 0x80, 0xFF, 0xF8, 0x4B,
                           0xC5, 0xFF, 0xFF, 0xFF, 0x7F, 0xF8, 0x4C, 0xB9});
  std::vector<Operator> ops;
  std::string error;
  ASSERT_TRUE(w4pclxl::DecodeBody(body.data(), body.size(), ops, error)) << error;
  EXPECT_EQ(ops[0].find(0x73)->integer(), INT64_MAX);
  EXPECT_EQ(ops[0].find(0x4B)->integer(), INT64_MIN);
  EXPECT_EQ(ops[0].find(0x4C)->integer(), 0);
}

TEST(PclXlReader, RejectsMalformedBodies) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"unknown tag", Bytes({0xC6, 0x00})},
      {"reserved operator byte", Bytes({0x40})},
      {"escape that is no UEL", Bytes({0x1B, 0x25})},
      {"value cut short", Bytes({0xC1, 0x05})},
      {"box cut short", Bytes({0xE3, 0x01, 0x00, 0x02})},
      {"array without length", Bytes({0xC8})},
      {"array length not an integer", Bytes({0xC8, 0xC5, 0x01, 0x00, 0x00, 0x00})},
      {"array length cut short", Bytes({0xC8, 0xC1, 0x05})},
      {"array past the end", Bytes({0xC8, 0xC0, 0x05, 0x01, 0x02})},
      {"uint32 array past the end", Bytes({0xCA, 0xC1, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0x04})},
      {"embedded data past the end", Bytes({0x50, 0xFB, 0x05, 0x01})},
      {"huge embedded length", Bytes({0x50, 0xFA, 0xFF, 0xFF, 0xFF, 0xFF, 0x00})},
      {"embedded length cut short", Bytes({0x50, 0xFA, 0x01, 0x00})},
      {"embedded data without operator", Bytes({0xFB, 0x01, 0x00})},
      {"embedded data after a value", Bytes({0x50, 0xC0, 0x01, 0xFB, 0x01, 0x00})},
      {"attribute without value", Bytes({0xF8, 0x4B, 0x7A})},
      {"value without attribute", Bytes({0xC0, 0x01, 0x7A})},
      {"two values", Bytes({0xC0, 0x01, 0xC0, 0x02, 0xF8, 0x4B, 0x7A})},
      {"attribute id cut short", Bytes({0xC0, 0x01, 0xF8})},
      {"two-byte attribute id cut short", Bytes({0xC0, 0x01, 0xF9, 0x01})},
      {"attributes without operator", Bytes({0xC0, 0x01, 0xF8, 0x4B})},
      {"UEL inside a body", Bytes({0x1B, '%', '-', '1', '2', '3', '4', '5', 'X'})},
  };
  for (const Case& c : cases) {
    std::vector<Operator> ops;
    std::string error;
    EXPECT_FALSE(w4pclxl::DecodeBody(c.bytes.data(), c.bytes.size(), ops, error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
  }
}

TEST(PclXlReader, HeaderLines) {
  struct Case {
    std::string text;
    bool ok;
  } cases[] = {
      {") HP-PCL XL;2;0;Comment x\n\x42", true},
      {"\x1b%-12345X@PJL ENTER LANGUAGE = PCLXL\r\n) HP-PCL XL;3;0\n\x41\x42\x1b%-12345X", true},
      {") HP-PCL XL;2;0", false},  // no line end
      {"' HP-PCL XL;2;0\n", false},
      {"%!PS-Adobe-3.0\n", false},
      {"", false},
      {"@PJL only\n", false},
  };
  for (const Case& c : cases) {
    w4pclxl::Stream s;
    std::string error;
    const auto* p = reinterpret_cast<const std::uint8_t*>(c.text.data());
    EXPECT_EQ(w4pclxl::DecodeStream(p, c.text.size(), s, error), c.ok) << c.text << ": " << error;
  }
  // High byte first binding.
  const std::string big = "( HP-PCL XL;2;0\n\xC1\x01\x02\xF8\x4B\x7A";
  w4pclxl::Stream s;
  std::string error;
  ASSERT_TRUE(w4pclxl::DecodeStream(reinterpret_cast<const std::uint8_t*>(big.data()), big.size(), s, error));
  EXPECT_EQ(s.binding, '(');
  EXPECT_EQ(s.operators.at(0).find(0x4B)->integer(), 258);
}

TEST(PclXlReader, EveryCutOfAStreamFailsCleanly) {
  PCLXLEmitter e;
  ByteBuffer b;
  const std::uint8_t data[300] = {1, 2, 3};
  e.xl_beginsession(600, 600, 0, 0, b);
  e.xl_beginpage(0, 1, 2, CXString(u"Plain"), -1, false, 0, 0, b);
  e.xl_setfillmode(1, b);
  e.xl_rectangle({-100000, 0}, {100000, 5}, b);
  e.xl_Text(CXString(u"Hello"), nullptr, nullptr, b);
  e.xl_beginimage(0, 0, 300, 1, 300, 1, b);
  e.xl_readimage(0, 1, 0, 0, 300, data, b);
  e.xl_readimage(0, 1, 0, 0, 3, data, b);
  e.xl_endimage(b);
  e.xl_endpage(1, b);
  e.xl_endsession(b);
  std::vector<Operator> ops;
  std::string error;
  ASSERT_TRUE(w4pclxl::DecodeBody(b.data(), b.size(), ops, error)) << error;
  const std::size_t whole = ops.size();
  std::size_t failures = 0;
  for (std::size_t n = 0; n < b.size(); ++n) {
    // A copy of exactly n bytes, so that the sanitizer sees any overread.
    std::vector<std::uint8_t> cut(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
    if (!w4pclxl::DecodeBody(cut.data(), cut.size(), ops, error)) {
      ++failures;
    } else {
      EXPECT_LE(ops.size(), whole);
    }
  }
  EXPECT_GT(failures, b.size() / 2);
}

TEST(PclXlReader, ScanLineData) {
  std::vector<w4pclxl::ScanLine> lines;
  std::string error;
  EXPECT_TRUE(w4pclxl::DecodeScanLines(Bytes({3, 1, 0, 2, 0, 1, 0, 0, 4, 5}), 1, lines, error)) << error;
  EXPECT_EQ(lines.at(0).values, (std::vector<std::uint32_t>{4, 5}));
  EXPECT_FALSE(w4pclxl::DecodeScanLines(Bytes({3, 1, 0, 2, 0, 9, 0, 0, 4, 5}), 1, lines, error));
  EXPECT_FALSE(w4pclxl::DecodeScanLines(Bytes({3, 1, 0, 2, 0, 1, 0, 5, 4, 5}), 1, lines, error));
  EXPECT_FALSE(w4pclxl::DecodeScanLines(Bytes({3, 1, 0, 2, 0, 1, 0, 0, 4, 5, 6}), 1, lines, error));
  EXPECT_FALSE(w4pclxl::DecodeScanLines(Bytes({}), 0, lines, error));
}

}  // namespace
