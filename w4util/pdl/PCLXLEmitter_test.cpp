#include "w4util/pdl/PCLXLEmitter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "cli/pclxl/PclXlReader.h"

namespace {

using w4pclxl::DataType;
using w4pclxl::Operator;
using w4pclxl::Shape;
using POINT = PCLXLEmitter::POINT;
using POINTS = PCLXLEmitter::POINTS;

std::vector<Operator> Decode(const ByteBuffer& buf) {
  std::vector<Operator> ops;
  std::string error;
  EXPECT_TRUE(w4pclxl::DecodeBody(buf.data(), buf.size(), ops, error)) << error;
  return ops;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> v;
  for (int b : list) v.push_back(static_cast<std::uint8_t>(b));
  return v;
}

std::vector<std::uint8_t> Of(const ByteBuffer& b) { return std::vector<std::uint8_t>(b.begin(), b.end()); }

// ------------------------------------------------------------ exact bytes

TEST(PCLXLEmitter, ExactEncodings) {
  PCLXLEmitter e;
  std::vector<std::int16_t> many(300, 7);
  std::vector<std::uint8_t> data(300, 0x11);
  struct Case {
    const char* name;
    std::function<bool(ByteBuffer&)> write;
    std::vector<std::uint8_t> prefix;
    std::size_t size;
  } cases[] = {
      {"attribute below 256", [&](ByteBuffer& b) { return e.xl_attribute(0x4B, b); }, Bytes({0xF8, 0x4B}), 2},
      {"attribute 0100", [&](ByteBuffer& b) { return e.xl_attribute(0x100, b); }, Bytes({0xF9, 0x00, 0x01}), 3},
      {"uint16 array of 300", [&](ByteBuffer& b) { return e.xl_data_uint16_array(300, many.data(), b); },
       Bytes({0xC9, 0xC1, 0x2C, 0x01}), 4 + 600},
      {"uint16 array of 5", [&](ByteBuffer& b) { return e.xl_data_uint16_array(5, many.data(), b); },
       Bytes({0xC9, 0xC0, 0x05, 0x07, 0x00}), 3 + 10},
      {"embedded 300", [&](ByteBuffer& b) { return e.xl_embeddeddata(300, data.data(), b); },
       Bytes({0xFA, 0x2C, 0x01, 0x00, 0x00, 0x11}), 5 + 300},
      {"embedded 10", [&](ByteBuffer& b) { return e.xl_embeddeddata(10, data.data(), b); }, Bytes({0xFB, 0x0A}),
       12},
      {"stream array count is uint16", [&](ByteBuffer& b) { return e.xl_data_stream_array(2, data.data(), b); },
       Bytes({0xC8, 0xC1, 0x02, 0x00, 0x11, 0x11}), 6},
      {"beginsession", [&](ByteBuffer& b) { return e.xl_beginsession(600, 600, 0, 0, b); },
       Bytes({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89, 0xC0, 0x00, 0xF8, 0x86, 0xC0, 0x00, 0xF8, 0x8F, 0x41}),
       16},
      {"brush pure red", [&](ByteBuffer& b) { return e.xl_setbrushsource_rgb(0x0000FF, b); },
       Bytes({0xC8, 0xC0, 0x03, 0xFF, 0x00, 0x00, 0xF8, 0x0B, 0x63}), 9},
      {"s16or8 box takes the byte form", [&](ByteBuffer& b) { return e.xl_data_s16or8_box(0, 1, 255, 2, b); },
       Bytes({0xE0, 0, 1, 255, 2}), 5},
      {"s16or8 box with a negative value", [&](ByteBuffer& b) { return e.xl_data_s16or8_box(-1, 0, 0, 0, b); },
       Bytes({0xE3, 0xFF, 0xFF}), 9},
      {"u16or8 xy", [&](ByteBuffer& b) { return e.xl_data_u16or8_xy(256, 1, b); }, Bytes({0xD1, 0, 1, 1, 0}), 5},
  };
  for (const Case& c : cases) {
    ByteBuffer b;
    ASSERT_TRUE(c.write(b)) << c.name;
    ASSERT_EQ(b.size(), c.size) << c.name;
    EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), b.begin())) << c.name;
  }
}

TEST(PCLXLEmitter, PenWidthIsWrittenOnce) {
  PCLXLEmitter e;
  ByteBuffer b;
  EXPECT_TRUE(e.xl_setpenwidth(10, b));
  EXPECT_TRUE(e.xl_setpenwidth(10, b));
  EXPECT_EQ(Of(b), Bytes({0xC1, 0x0A, 0x00, 0xF8, 0x4B, 0x7A}));
}

TEST(PCLXLEmitter, RunLengthAndDeltaRowEncoders) {
  std::uint8_t out[64];
  const std::uint8_t four[4] = {9, 9, 9, 9};
  ASSERT_EQ(PCLXLEmitter::EncodeRunLengthRow(four, 4, out, sizeof out), 2);
  EXPECT_EQ(out[0], 0xFD);
  EXPECT_EQ(out[1], 9);
  // Two equal bytes stay literal; overflow answers the negated length.
  const std::uint8_t mixed[5] = {1, 2, 2, 3, 4};
  ASSERT_EQ(PCLXLEmitter::EncodeRunLengthRow(mixed, 5, out, sizeof out), 6);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(PCLXLEmitter::EncodeRunLengthRow(mixed, 5, out, 3), -5);
  // Delta row: one changed byte at offset 2 -> command (0<<5)|2.
  const std::uint8_t seed[4] = {0, 0, 0, 0};
  const std::uint8_t row[4] = {0, 0, 7, 0};
  ASSERT_EQ(PCLXLEmitter::EncodeDeltaRow(row, seed, 4, out, sizeof out), 2);
  EXPECT_EQ(out[0], 0x02);
  EXPECT_EQ(out[1], 7);
  EXPECT_EQ(PCLXLEmitter::EncodeDeltaRow(row, seed, 4, out, 1), -4);
}

// ------------------------------------------------------- operators by reader

TEST(PCLXLEmitter, OperatorsCarryTheirAttributes) {
  PCLXLEmitter e;
  ByteBuffer b;
  const std::uint8_t font[3] = {1, 2, 3};
  ASSERT_TRUE(e.xl_beginpage(0, 1, 2, CXString(u"Plain"), -1, false, 0, 0, b));
  ASSERT_TRUE(e.xl_beginpage(-1, -1, CXString(u"A4"), CXString(), 3, true, 1, -1, b));
  ASSERT_TRUE(e.xl_beginpage(1, -1, 8.5f, 11.0f, 0, CXString(), -1, true, 0, 1, b));
  ASSERT_TRUE(e.xl_endpage(0, b));
  ASSERT_TRUE(e.xl_endpage(3, b));
  ASSERT_TRUE(e.xl_comment(CXString(u"hello"), b));
  ASSERT_TRUE(e.xl_comment(CXString(), b));  // writes nothing
  ASSERT_TRUE(e.xl_opendatasource(0, 1, b));
  ASSERT_TRUE(e.xl_BeginFontHeader(CXString(u"F1"), b));
  ASSERT_TRUE(e.xl_ReadFontHeader(3, font, b));
  ASSERT_TRUE(e.xl_ReadChar(65, 3, font, b));
  ASSERT_TRUE(e.xl_beginstream(CXString(u"S"), b));
  ASSERT_TRUE(e.xl_readstream(1000, b));
  ASSERT_TRUE(e.xl_setbrushsource_pattern(5, 0, 0, 0, 0, b));
  ASSERT_TRUE(e.xl_setpensource_pattern(5, -3, 4, 10, 20, b));
  ASSERT_TRUE(e.xl_sethalftonemethod(2, 0x21, b));
  ASSERT_TRUE(e.xl_sethalftonemethod_text_vector_raster(1, 2, 3, b));
  ASSERT_TRUE(e.xl_setlinedash({4, 2}, 1, b));
  ASSERT_TRUE(e.xl_beginimage(1, 0, 300, 200, 600, 400, b));
  ASSERT_TRUE(e.xl_readimage(0, 1, 0, 0, 3, font, b));
  ASSERT_TRUE(e.xl_readimage(0, 1, 0, 2, 3, font, b));
  ASSERT_TRUE(e.xl_beginrastpattern(1, 0, 8, 8, 8, 8, 7, 1, b));
  ASSERT_TRUE(e.xl_arcpath({0, 0}, {100, 300}, {5, 5}, {-5, 5}, 1, b));
  const std::uint16_t codes[2] = {0x41, 0x142};
  const std::int16_t dx[2] = {10, -20};
  ASSERT_TRUE(e.xl_Text(2, codes, dx, nullptr, b));
  ASSERT_TRUE(e.xl_Text(CXString(u"Hi"), nullptr, dx, b));

  const auto ops = Decode(b);
  std::size_t i = 0;
  auto next = [&](std::uint8_t tag) -> const Operator& {
    EXPECT_LT(i, ops.size());
    const Operator& op = ops[i++];
    EXPECT_EQ(op.tag, tag) << w4pclxl::OperatorName(op.tag) << " at " << i - 1;
    return op;
  };
  {
    const Operator& p = next(0x43);
    EXPECT_EQ(p.find(0x28)->integer(), 0);
    EXPECT_EQ(p.find(0x26)->integer(), 1);
    EXPECT_EQ(p.find(0x25)->integer(), 2);
    EXPECT_EQ(p.find(0x27)->text(), "Plain");
    EXPECT_FALSE(p.has(0x24));
    EXPECT_EQ(p.find(0x34)->integer(), 0);
  }
  {
    const Operator& p = next(0x43);
    EXPECT_FALSE(p.has(0x28));
    EXPECT_EQ(p.find(0x25)->text(), "A4");
    EXPECT_EQ(p.find(0x24)->integer(), 3);
    EXPECT_EQ(p.find(0x35)->integer(), 1);
    EXPECT_FALSE(p.has(0x36));
    EXPECT_FALSE(p.has(0x34));
  }
  {
    const Operator& p = next(0x43);
    const auto* size = p.find(0x2F);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->type, DataType::kReal32);
    EXPECT_EQ(size->shape, Shape::kXy);
    EXPECT_FLOAT_EQ(static_cast<float>(size->at(1)), 11.0f);
    EXPECT_EQ(p.find(0x36)->integer(), 1);
  }
  EXPECT_TRUE(next(0x44).attributes.empty());
  EXPECT_EQ(next(0x44).find(0x31)->integer(), 3);
  EXPECT_EQ(next(0x47).find(0x81)->text(), "hello");
  EXPECT_EQ(next(0x48).find(0x82)->integer(), 1);
  {
    const Operator& h = next(0x4F);
    EXPECT_EQ(h.find(0xA8)->text(), "F1");
    EXPECT_EQ(h.find(0xA9)->integer(), 0);
  }
  {
    const Operator& r = next(0x50);
    EXPECT_EQ(r.find(0xA7)->integer(), 3);
    EXPECT_EQ(r.joinedData(), Bytes({1, 2, 3}));
  }
  {
    const Operator& r = next(0x53);
    EXPECT_EQ(r.find(0xA2)->integer(), 65);
    EXPECT_EQ(r.find(0xA3)->type, DataType::kUInt32);
    EXPECT_EQ(r.data.size(), 1u);
  }
  EXPECT_EQ(next(0x5B).find(0x8B)->text(), "S");
  EXPECT_EQ(next(0x5C).find(0x8C)->integer(), 1000);
  {
    const Operator& s = next(0x63);
    EXPECT_EQ(s.find(0x08)->type, DataType::kSInt16);
    EXPECT_FALSE(s.has(0x0C));
    EXPECT_FALSE(s.has(0x0D));
  }
  {
    const Operator& s = next(0x79);
    EXPECT_EQ(s.find(0x0C)->integer(0), -3);
    EXPECT_EQ(s.find(0x0D)->integer(1), 20);
  }
  EXPECT_EQ(next(0x6D).find(0x21)->integer(), 2);
  {
    const Operator& h = next(0x6D);
    EXPECT_EQ(h.find(0x1E)->integer(), 1);
    EXPECT_EQ(h.find(0x20)->integer(), 3);
  }
  {
    const Operator& d = next(0x70);
    EXPECT_EQ(d.find(0x4A)->type, DataType::kUInt16);
    EXPECT_EQ(d.find(0x4A)->numbers, (std::vector<double>{4, 2}));
    EXPECT_EQ(d.find(0x43)->integer(), 1);
  }
  {
    const Operator& im = next(0xB0);
    EXPECT_EQ(im.find(0x6C)->integer(), 300);
    EXPECT_EQ(im.find(0x6B)->integer(), 200);
    EXPECT_EQ(im.find(0x67)->integer(1), 400);
  }
  EXPECT_FALSE(next(0xB1).has(0x6E));
  EXPECT_EQ(next(0xB1).find(0x6E)->integer(), 2);
  {
    const Operator& rp = next(0xB3);
    EXPECT_EQ(rp.find(0x69)->integer(), 7);
    EXPECT_EQ(rp.find(0x68)->integer(), 1);
  }
  {
    const Operator& arc = next(0x91);
    EXPECT_EQ(arc.find(0x42)->type, DataType::kSInt16);  // 300 needs 16 bits
    EXPECT_EQ(arc.find(0x4F)->type, DataType::kUByte);
    EXPECT_EQ(arc.find(0x45)->integer(0), -5);
    EXPECT_EQ(arc.find(0x41)->integer(), 1);
  }
  {
    const Operator& t = next(0xA8);
    EXPECT_EQ(t.find(0xAB)->type, DataType::kUInt16);
    EXPECT_EQ(t.find(0xAB)->integer(1), 0x142);
    EXPECT_EQ(t.find(0xAF)->integer(1), -20);
    EXPECT_FALSE(t.has(0xB0));
  }
  {
    const Operator& t = next(0xA8);
    EXPECT_EQ(t.find(0xAB)->text(), "Hi");
    EXPECT_TRUE(t.has(0xB0));
  }
  EXPECT_EQ(i, ops.size());
}

// ------------------------------------------------------------------ caching

TEST(PCLXLEmitter, CachedSettingsAreWrittenOnceUntilReset) {
  PCLXLEmitter e;
  ByteBuffer b;
  for (int round = 0; round < 2; ++round) {
    e.xl_setcolorspace_simple(1, b);
    e.xl_setfillmode(1, b);
    e.xl_setlinecap(2, b);
    e.xl_setlinejoin(1, b);
    e.xl_setmiterlimit(10, b);
    e.xl_setrop(204, b);
    e.xl_setpainttxmode(0, b);
    e.xl_setsourcetxmode(0, b);
    e.xl_setclipmode(0, b);
    e.xl_setbrushsource_gray(128, b);
    e.xl_setpensource_null(b);
    e.xl_setlinedash(b);
    e.xl_setcliprectangle(0, {0, 0}, {100, 100}, b);
  }
  // Every operator above once; the second round wrote nothing.
  EXPECT_EQ(Decode(b).size(), 13u);
  ByteBuffer page;
  e.xl_setcliptopage(page);
  e.xl_setcliptopage(page);
  EXPECT_EQ(Decode(page).size(), 1u);
  // The colour space change made brush and pen unknown again.
  ByteBuffer c;
  e.xl_setcolorspace_simple(2, c);
  e.xl_setbrushsource_gray(128, c);
  EXPECT_EQ(Decode(c).size(), 2u);
  // A changed page CTM drops a clip rectangle from the cache.
  ByteBuffer d;
  e.xl_setcliprectangle(0, {1, 1}, {5, 5}, d);
  e.xl_setpagescale(1.0f, 1.0f, d);
  e.xl_setcliprectangle(0, {1, 1}, {5, 5}, d);
  EXPECT_EQ(Decode(d).size(), 3u);
  // A copy carries the cached state with it.
  PCLXLEmitter copy(e);
  ByteBuffer same;
  copy.xl_setfillmode(1, same);
  copy.xl_setrop(204, same);
  EXPECT_TRUE(same.empty());
  e.xl_initcgs();
  ByteBuffer r;
  e.xl_setfillmode(1, r);
  EXPECT_EQ(Decode(r).size(), 1u);
  copy = e;
  copy.xl_setrop(204, r);
  EXPECT_EQ(Decode(r).size(), 2u);
}

TEST(PCLXLEmitter, FontStateFollowsTheDirtyFlag) {
  PCLXLEmitter e;
  ByteBuffer b;
  ASSERT_TRUE(e.xl_SetFont(CXString(u"Courier"), 12.0f, 277, b));
  // Dirty: setters always write, SetFont too.
  ASSERT_TRUE(e.xl_SetFont(CXString(u"Courier"), 12.0f, 277, b));
  ASSERT_TRUE(e.xl_SetCharAngle(0, b));
  ASSERT_TRUE(e.xl_Text(CXString(u"A"), nullptr, nullptr, b));
  const std::size_t before = b.size();
  // Clean now: a hit writes nothing, and SetFont answers false.
  EXPECT_FALSE(e.xl_SetFont(CXString(u"Courier"), 12.0f, 277, b));
  EXPECT_TRUE(e.xl_SetCharAngle(0, b));
  EXPECT_TRUE(e.xl_SetCharBoldValue(0.0f, b));
  EXPECT_EQ(b.size(), before);
  // A new scale writes SetCharScale and restates the angle.
  ASSERT_TRUE(e.xl_SetCharAngle(-90, b));
  ASSERT_TRUE(e.xl_SetCharScale(2.0f, 1.0f, b));
  const auto ops = Decode(b);
  ASSERT_GE(ops.size(), 3u);
  const Operator& angle = ops[ops.size() - 3];
  EXPECT_EQ(angle.tag, 0x64);
  // The angle travels as sint16.
  EXPECT_EQ(angle.find(0xA1)->type, DataType::kSInt16);
  EXPECT_EQ(angle.find(0xA1)->integer(), -90);
  EXPECT_EQ(ops[ops.size() - 2].tag, 0x65);
  EXPECT_EQ(ops.back().tag, 0x64);
  EXPECT_EQ(ops.back().find(0xA1)->integer(), -90);
}

// ---------------------------------------------------- colour and patterns

TEST(PCLXLEmitter, PalettesArePaddedPerColourSpace) {
  struct Case {
    std::uint8_t space;
    std::uint32_t length;
    std::size_t padded;  // 0: rejected
  } cases[] = {
      {1, 2, 2}, {1, 3, 16}, {1, 256, 256}, {1, 257, 0}, {2, 3, 6},   {2, 7, 48},
      {2, 768, 768}, {2, 769, 0}, {6, 3, 6}, {6, 48, 48}, {6, 700, 768}, {6, 769, 0},
  };
  for (const Case& c : cases) {
    PCLXLEmitter e;
    ByteBuffer b;
    std::vector<std::uint8_t> palette(c.length, 0x80);
    const bool ok = e.xl_setcolorspace_palette(c.space, 8, c.length, palette.data(), b);
    if (c.padded == 0) {
      EXPECT_FALSE(ok) << int(c.space) << "/" << c.length;
      EXPECT_TRUE(b.empty());
      continue;
    }
    ASSERT_TRUE(ok);
    const auto ops = Decode(b);
    ASSERT_EQ(ops.size(), 1u);
    const auto* data = ops[0].find(0x06);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->numbers.size(), c.padded) << int(c.space) << "/" << c.length;
    EXPECT_EQ(data->at(c.length - 1), 0x80);
    if (c.length < c.padded) {
      EXPECT_EQ(data->at(c.length), 0);
    }
    EXPECT_EQ(ops[0].find(0x02)->integer(), 8);
    // Cached: the same palette again writes nothing.
    ByteBuffer again;
    EXPECT_TRUE(e.xl_setcolorspace_palette(c.space, 8, c.length, palette.data(), again));
    EXPECT_TRUE(again.empty());
  }
}

TEST(PCLXLEmitter, PatternBrushIsDefinedOnceAndSelected) {
  PCLXLEmitter e;
  ByteBuffer b;
  const std::uint8_t pattern[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
  const std::uint8_t palette[2] = {0, 255};
  ASSERT_TRUE(e.xl_setpatternbrush(1, 8, 2, palette, 1, 0, 8, 8, 8, 8, 3, 0, 8, pattern, b));
  const std::size_t first = b.size();
  ASSERT_TRUE(e.xl_setpatternbrush(1, 8, 2, palette, 1, 0, 8, 8, 8, 8, 3, 0, 8, pattern, b));
  EXPECT_EQ(b.size(), first);
  const auto ops = Decode(b);
  ASSERT_EQ(ops.size(), 5u);
  EXPECT_EQ(ops[0].tag, 0x6A);
  EXPECT_EQ(ops[1].tag, 0xB3);
  EXPECT_EQ(ops[2].tag, 0xB4);
  EXPECT_EQ(ops[2].joinedData().size(), 8u);
  EXPECT_EQ(ops[3].tag, 0xB5);
  EXPECT_EQ(ops[4].tag, 0x63);
  EXPECT_EQ(ops[4].find(0x08)->integer(), 3);
  // The pen keeps its own cache.
  ByteBuffer pen;
  ASSERT_TRUE(e.xl_setpatternpen(1, 8, 2, palette, 1, 0, 8, 8, 8, 8, 3, 0, 8, pattern, pen));
  EXPECT_EQ(Decode(pen).back().tag, 0x79);
}

// ---------------------------------------------- page coordinate system

// Follows the page coordinate system through a decoded stream: user to
// device as an affine map, composed as PCL XL composes it.
struct Ctm {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;  // x' = a x + c y + tx
  void Then(double na, double nb, double nc, double nd, double ntx, double nty) {
    Ctm m = *this;
    a = m.a * na + m.c * nb;
    b = m.b * na + m.d * nb;
    c = m.a * nc + m.c * nd;
    d = m.b * nc + m.d * nd;
    tx = m.a * ntx + m.c * nty + m.tx;
    ty = m.b * ntx + m.d * nty + m.ty;
  }
  void Apply(const Operator& op) {
    if (op.tag == 0x74) *this = Ctm{};
    if (op.tag == 0x75) Then(1, 0, 0, 1, op.find(0x2A)->at(0), op.find(0x2A)->at(1));
    if (op.tag == 0x77) Then(op.find(0x2B)->at(0), 0, 0, op.find(0x2B)->at(1), 0, 0);
    if (op.tag == 0x76) {
      const int deg = static_cast<int>(op.find(0x29)->integer());
      const int q = ((deg % 360) + 360) % 360;
      double cs = std::cos(deg * M_PI / 180), sn = std::sin(deg * M_PI / 180);
      if (q % 90 == 0) {
        cs = q == 0 ? 1 : q == 180 ? -1 : 0;
        sn = q == 90 ? 1 : q == 270 ? -1 : 0;
      }
      Then(cs, sn, -sn, cs, 0, 0);
    }
  }
  double X(double x, double y) const { return a * x + c * y + tx; }
  double Y(double x, double y) const { return b * x + d * y + ty; }
};

struct Drawn {
  std::vector<double> box;  // device coordinates of the drawn box corners
  std::vector<double> points;  // device start and end points (pies)
  double scale = 1;
  Ctm after;
};

Drawn Replay(const std::vector<Operator>& ops, std::uint8_t drawTag) {
  Drawn out;
  Ctm m;
  for (const Operator& op : ops) {
    m.Apply(op);
    if (op.tag == 0x77) out.scale = std::max(out.scale, std::fabs(op.find(0x2B)->at(0)));
    if (op.tag != drawTag) continue;
    const auto* box = op.find(0x42);
    EXPECT_NE(box, nullptr);
    if (!box) continue;
    for (const double v : box->numbers) EXPECT_TRUE(v >= -32768 && v <= 32767);
    out.box = {m.X(box->at(0), box->at(1)), m.Y(box->at(0), box->at(1)), m.X(box->at(2), box->at(3)),
               m.Y(box->at(2), box->at(3))};
    for (std::uint16_t id : {std::uint16_t{0x4F}, std::uint16_t{0x45}}) {
      if (const auto* p = op.find(id)) {
        out.points.push_back(m.X(p->at(0), p->at(1)));
        out.points.push_back(m.Y(p->at(0), p->at(1)));
      }
    }
  }
  out.after = m;
  return out;
}

TEST(PCLXLEmitter, FarCoordinatesLandWhereTheConversionSays) {
  const std::int32_t kMax = 2147483647, kMin = -2147483647 - 1;
  struct Case {
    POINT p1, p2;
    int pageRotation;
  } cases[] = {
      {{0, 0}, {100000, 10}, 0},                    // needs scale 2
      {{1000000, 2000000}, {1000500, 2000100}, 0},  // far away, small
      {{-3000000, 5000000}, {-2000000, 7000000}, 0},
      {{-900000, -800000}, {-100, -50}, 0},
      {{70000, -80000}, {900000, -100}, 0},
      {{kMin, kMin}, {kMax, kMax}, 0},  // the widest span there is
      {{0, 0}, {65535, 10}, 0},         // span 65535: 32768 must not appear
      {{-5, 0}, {2 * 65536 - 1 - 5, 3}, 0},  // 65536*2 - 1 with scale 2
      {{0, 0}, {3 * 65536 - 1, 3 * 65536 - 1}, 0},
      {{400000, 300000}, {500000, 600000}, 90},
      {{-400000, 300000}, {-500000, -600000}, 270},
      {{123456, -654321}, {-98765, 56789}, 180},
  };
  for (const Case& c : cases) {
    PCLXLEmitter e;
    ByteBuffer b;
    if (c.pageRotation) e.xl_setpagerotation(c.pageRotation, b);
    ASSERT_TRUE(e.xl_rectangle(c.p1, c.p2, b));
    const auto ops = Decode(b);
    const Drawn d = Replay(ops, 0xA0);
    ASSERT_EQ(d.box.size(), 4u);
    // Where the rectangle should be: the original points in the rotated page.
    Ctm page;
    if (c.pageRotation) page.Apply(ops.front());
    const double ex1 = page.X(c.p1.x, c.p1.y), ey1 = page.Y(c.p1.x, c.p1.y);
    const double ex2 = page.X(c.p2.x, c.p2.y), ey2 = page.Y(c.p2.x, c.p2.y);
    // Truncation by the scale loses less than one scale step per axis; the
    // float scale adds a relative error of about 1e-7.
    const double tol = d.scale + 1e-6 * (std::fabs(ex1) + std::fabs(ey1) + std::fabs(ex2) + std::fabs(ey2));
    EXPECT_NEAR(d.box[0], ex1, tol) << c.p1.x << "," << c.p1.y;
    EXPECT_NEAR(d.box[1], ey1, tol);
    EXPECT_NEAR(d.box[2], ex2, tol);
    EXPECT_NEAR(d.box[3], ey2, tol);
    // Undone afterwards: back to the page system in force before.
    EXPECT_NEAR(d.after.a, page.a, 1e-6);
    EXPECT_NEAR(d.after.d, page.d, 1e-6);
    // Only the float reciprocal of the scale is left over: far below a dot.
    EXPECT_NEAR(d.after.tx, page.tx, 0.5);
    EXPECT_NEAR(d.after.ty, page.ty, 0.5);
  }
}

TEST(PCLXLEmitter, RangeConversionOfTheEdgeSpans) {
  PCLXLEmitter e;
  PCLXLEmitter::CONVERSION_CTM ctm;
  POINT pts[2] = {{0, 0}, {65535, 0}};
  ASSERT_TRUE(e.xl_check_range(2, pts, &ctm));
  EXPECT_EQ(ctm.fXScale, 1.0f);
  EXPECT_EQ(pts[0].x, -32768);
  EXPECT_EQ(pts[1].x, 32767);
  POINT wide[2] = {{0, 0}, {65536 * 2 - 1, 0}};
  ASSERT_TRUE(e.xl_check_range(2, wide, &ctm));
  EXPECT_EQ(ctm.fXScale, 2.0f);
  EXPECT_GE(wide[0].x, -32768);
  EXPECT_LE(wide[1].x, 32767);
  POINT inside[2] = {{-32768, 32767}, {5, 6}};
  ASSERT_TRUE(e.xl_check_range(2, inside, &ctm));
  EXPECT_EQ(ctm.lXOffset, 0);
  EXPECT_EQ(inside[0].x, -32768);
  EXPECT_FALSE(e.xl_check_range(2, inside, nullptr));
  ByteBuffer unused;
  EXPECT_FALSE(e.xl_set_convctm(nullptr, unused));
}

TEST(PCLXLEmitter, ConversionWithRotationIsUndone) {
  PCLXLEmitter e;
  ByteBuffer b;
  PCLXLEmitter::CONVERSION_CTM ctm;
  ctm.lXOffset = 100000;
  ctm.lYOffset = -70000;
  ctm.sRotation = 90;
  ctm.fXScale = 4.0f;
  ctm.fYScale = 4.0f;
  ASSERT_TRUE(e.xl_set_convctm(&ctm, b));
  e.xl_rectangle({10, 10}, {20, 20}, b);
  ASSERT_TRUE(e.xl_restore_convctm(&ctm, b));
  const auto ops = Decode(b);
  const Drawn d = Replay(ops, 0xA0);
  // (10,10) scaled by 4, rotated by 90 and moved to the offset.
  EXPECT_NEAR(d.box[0], 100000 - 40, 1e-3);
  EXPECT_NEAR(d.box[1], -70000 + 40, 1e-3);
  EXPECT_NEAR(d.after.a, 1, 1e-6);
  EXPECT_NEAR(d.after.b, 0, 1e-6);
  EXPECT_NEAR(d.after.tx, 0, 1e-2);
  EXPECT_NEAR(d.after.ty, 0, 1e-2);
}

TEST(PCLXLEmitter, PieAndRoundRectangleGoThroughTheConversion) {
  PCLXLEmitter e;
  ByteBuffer b;
  ASSERT_TRUE(e.xl_pie({-200000, -200000}, {200000, 200000}, {200000, 0}, {0, 200000}, b));
  ASSERT_TRUE(e.xl_roundrectangle({0, 0}, {400000, 100}, 800, 800, b));
  const auto ops = Decode(b);
  const Drawn pie = Replay(ops, 0x9E);
  ASSERT_EQ(pie.points.size(), 4u);
  EXPECT_NEAR(pie.points[0], 200000, 8);
  EXPECT_NEAR(pie.points[3], 200000, 8);
  for (const Operator& op : ops) {
    if (op.tag == 0xA2) {
      EXPECT_LT(op.find(0x44)->at(0), 800);  // shrunk with the scale
    }
  }
}

TEST(PCLXLEmitter, SetCursorAndPageOperators) {
  PCLXLEmitter e;
  ByteBuffer b;
  ASSERT_TRUE(e.xl_setcursor({10, 20}, b));
  ASSERT_TRUE(e.xl_setcursor({-10, 20}, b));
  ASSERT_TRUE(e.xl_setpagerotation(-450, b));
  ASSERT_TRUE(e.xl_setpagerotation(450, b));
  ASSERT_TRUE(e.xl_setpageorigin(std::int32_t{100000}, std::int32_t{-5}, b));
  const auto ops = Decode(b);
  ASSERT_EQ(ops.size(), 2u + 2u + 4u);
  EXPECT_EQ(ops[0].find(0x4C)->type, DataType::kUByte);
  EXPECT_EQ(ops[1].find(0x4C)->type, DataType::kSInt16);
  EXPECT_EQ(ops[2].find(0x29)->integer(), -90);
  EXPECT_EQ(ops[3].find(0x29)->integer(), 90);
  double sx = 0, sy = 0;
  for (std::size_t i = 4; i < ops.size(); ++i) {
    sx += ops[i].find(0x2A)->at(0);
    sy += ops[i].find(0x2A)->at(1);
  }
  EXPECT_EQ(sx, 100000);
  EXPECT_EQ(sy, -5);
}

TEST(PCLXLEmitter, CoordinateFromTransform) {
  PCLXLEmitter e;
  ByteBuffer b;
  const PCLXLEmitter::XFORM x{0.0f, 2.0f, -3.0f, 0.0f, 1000.0f, 70000.0f};
  ASSERT_TRUE(e.xl_setcoordinate(PCLXLEmitter::ePaperDirection90, x, b));
  const auto ops = Decode(b);
  ASSERT_GE(ops.size(), 5u);
  EXPECT_EQ(ops[0].find(0x29)->integer(), 90);
  EXPECT_EQ(ops[1].tag, 0x74);
  EXPECT_EQ(ops.back().find(0x29)->integer(), 270);
  EXPECT_EQ(ops[ops.size() - 2].find(0x2B)->at(0), 2.0);
  EXPECT_EQ(ops[ops.size() - 2].find(0x2B)->at(1), 3.0);
  EXPECT_FLOAT_EQ(PCLXLEmitter::fHypot(3.0f, 4.0f), 5.0f);
  EXPECT_EQ(PCLXLEmitter::fHypot(0.0f, -2.0f), 2.0f);
}

// ----------------------------------------------------------- point lists

TEST(PCLXLEmitter, PointListsPickTheSmallestForm) {
  PCLXLEmitter e;
  {
    ByteBuffer b;
    const POINT pts[3] = {{1010, 1005}, {1000, 1100}, {1127, 972}};
    ASSERT_TRUE(e.xl_linepath({1000, 1000}, 3, pts, b));
    const auto ops = Decode(b);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].tag, 0x9D);  // LineRelPath
    EXPECT_EQ(ops[0].find(0x50)->integer(), 1);
    EXPECT_EQ(ops[0].find(0x4D)->integer(), 3);
    EXPECT_EQ(ops[0].joinedData(), Bytes({10, 5, 0xF6, 95, 127, 0x80}));
  }
  {
    ByteBuffer b;
    const POINT pts[2] = {{10, 250}, {200, 5}};
    ASSERT_TRUE(e.xl_linepath({0, 0}, 2, pts, b));
    const auto ops = Decode(b);
    EXPECT_EQ(ops[0].tag, 0x9B);  // absolute ubyte beats relative sint16
    EXPECT_EQ(ops[0].find(0x50)->integer(), 0);
  }
  {
    // Curves: deltas from each segment's end point.
    ByteBuffer b;
    const POINT pts[6] = {{110, 100}, {120, 100}, {130, 100}, {140, 100}, {150, 100}, {160, 100}};
    ASSERT_TRUE(e.xl_bezierpath({100, 100}, 6, pts, b));
    const auto ops = Decode(b);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].tag, 0x95);
    EXPECT_EQ(ops[0].joinedData(), Bytes({10, 0, 20, 0, 30, 0, 10, 0, 20, 0, 30, 0}));
  }
  {
    // More than one operator's worth of points, and a jump that breaks runs.
    std::vector<POINT> pts;
    for (int i = 0; i < 70000; ++i) pts.push_back({i % 100, i % 50});
    pts.push_back({60000, 100});
    ByteBuffer b;
    ASSERT_TRUE(e.xl_linepath({0, 0}, static_cast<std::uint32_t>(pts.size()), pts.data(), b));
    double total = 0;
    for (const Operator& op : Decode(b)) {
      total += op.find(0x4D)->at(0);
      EXPECT_LE(op.find(0x4D)->at(0), 65535);
    }
    EXPECT_EQ(total, 70001);
  }
  {
    ByteBuffer b;
    const POINT bad[2] = {{1, 1}, {70000, 1}};
    EXPECT_FALSE(e.xl_linepath({0, 0}, 2, bad, b));  // the second point fits no type
    EXPECT_TRUE(b.empty());
  }
  EXPECT_EQ(PCLXLEmitter::xl_make_typemask(-129), 8);
  EXPECT_EQ(PCLXLEmitter::xl_make_typemask(40000), 4);
  EXPECT_EQ(PCLXLEmitter::xl_make_typemask(65536), 0);
}

// -------------------------------------------------------------- scan lines

TEST(PCLXLEmitter, ScanLinesUseWidePairsWhenNeeded) {
  PCLXLEmitter e;
  ByteBuffer b;
  const std::uint16_t narrow[4] = {3, 4, 200, 255};
  const std::uint16_t wide[4] = {300, 2, 1, 1000};
  const std::uint16_t absolute[4] = {10, 20, 400, 700};
  ASSERT_TRUE(e.xl_beginscan(b));
  ASSERT_TRUE(e.xl_scanlinerel(3, b));
  ASSERT_TRUE(e.xl_scanlinerel_data({5, 6}, 2, narrow, b));
  ASSERT_TRUE(e.xl_scanlinerel_data({5, 7}, 2, wide, b));
  ASSERT_TRUE(e.xl_scanline_data({5, 8}, 2, absolute, b));
  ASSERT_TRUE(e.xl_scanlinerel(1, b));
  ASSERT_TRUE(e.xl_scanlinerel_data({0, 9}, 1, narrow, b));
  ASSERT_TRUE(e.xl_endscan(b));
  const auto ops = Decode(b);
  ASSERT_EQ(ops.size(), 4u);
  ASSERT_EQ(ops[1].tag, 0xB9);
  EXPECT_EQ(ops[1].find(0x73)->integer(), 3);
  EXPECT_EQ(ops[1].data.size(), 3u);
  std::vector<w4pclxl::ScanLine> lines;
  std::string error;
  ASSERT_TRUE(w4pclxl::DecodeScanLines(ops[1].joinedData(), 3, lines, error)) << error;
  EXPECT_EQ(lines[0].pairType, 0);
  EXPECT_EQ(lines[0].values, (std::vector<std::uint32_t>{3, 4, 200, 255}));
  EXPECT_EQ(lines[1].pairType, 2);
  EXPECT_EQ(lines[1].values, (std::vector<std::uint32_t>{300, 2, 1, 1000}));
  EXPECT_EQ(lines[2].y, 8);
  EXPECT_EQ(lines[2].values, (std::vector<std::uint32_t>{5, 10, 380, 300}));
  EXPECT_FALSE(ops[2].has(0x73));
  ASSERT_TRUE(w4pclxl::DecodeScanLines(ops[2].joinedData(), 1, lines, error)) << error;
  // Overlapping absolute pairs cannot be written as gaps.
  const std::uint16_t overlap[4] = {10, 20, 15, 30};
  const std::size_t size = b.size();
  EXPECT_FALSE(e.xl_scanline_data({0, 0}, 2, overlap, b));
  EXPECT_EQ(b.size(), size);
}

// ------------------------------------------------------------------ raster

std::vector<std::uint8_t> UnpackBits(const std::uint8_t* p, std::size_t n, std::size_t rowLength) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  while (i < n && out.size() < rowLength) {
    const auto c = static_cast<std::int8_t>(p[i++]);
    if (c >= 0) {
      out.insert(out.end(), p + i, p + i + c + 1);
      i += static_cast<std::size_t>(c) + 1;
    } else {
      out.insert(out.end(), static_cast<std::size_t>(1 - c), p[i++]);
    }
  }
  return out;
}

TEST(PCLXLEmitter, CompressedRowsDecodeBack) {
  const std::int32_t w = 203, h = 9;
  PCLXLEmitter e;
  {
    // Delta rows: colour, 3 bytes a pixel, each row after its uint16 length.
    std::vector<std::uint8_t> image(static_cast<std::size_t>(w) * 3 * h);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>((i / 7) % 5 == 0 ? i : 0);
    ByteBuffer out;
    ASSERT_TRUE(e.Compress(true, true, w, h, image.data(), out));
    std::vector<std::uint8_t> seed(static_cast<std::size_t>(w) * 3, 0);
    std::size_t pos = 0;
    for (std::int32_t r = 0; r < h; ++r) {
      ASSERT_LE(pos + 2, out.size());
      const std::size_t n = out[pos] | (out[pos + 1] << 8);
      pos += 2;
      ASSERT_LE(pos + n, out.size());
      const std::size_t end = pos + n;
      std::size_t col = 0;
      while (pos < end) {
        const std::uint8_t cmd = out[pos++];
        std::size_t count = (cmd >> 5) + 1, offset = cmd & 31;
        if (offset == 31) {
          std::uint8_t more;
          do {
            more = out[pos++];
            offset += more;
          } while (more == 255);
        }
        col += offset;
        for (std::size_t k = 0; k < count; ++k) seed[col++] = out[pos++];
      }
      EXPECT_TRUE(std::equal(seed.begin(), seed.end(), image.begin() + static_cast<std::ptrdiff_t>(r) * w * 3))
          << "row " << r;
    }
    EXPECT_EQ(pos, out.size());
  }
  {
    // Run-length rows padded to 4 bytes.
    const std::size_t row = (static_cast<std::size_t>(w) + 3) & ~std::size_t{3};
    std::vector<std::uint8_t> image(row * h, 0);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i % 300 < 150 ? 0xFF : i);
    ByteBuffer out;
    ASSERT_TRUE(e.Compress(false, true, w, h, image.data(), out));
    const auto back = UnpackBits(out.data(), out.size(), image.size());
    EXPECT_EQ(back, image);
  }
  ByteBuffer none;
  std::uint8_t pixel = 0;
  EXPECT_FALSE(e.Compress(true, true, -1, 1, &pixel, none));
  EXPECT_FALSE(e.Compress(false, false, 1, -1, &pixel, none));
  EXPECT_FALSE(e.Compress(true, true, 20000, 1, &pixel, none));  // a row the count cannot frame
  EXPECT_TRUE(none.empty());
}

TEST(PCLXLEmitter, DeltaRowOffsetsPastThirtyOne) {
  std::vector<std::uint8_t> seed(600, 0), row(600, 0), out(64);
  row[31 + 255] = 1;  // offset 286: 31, then 255, then 0
  row[599] = 2;
  const std::int32_t n = PCLXLEmitter::EncodeDeltaRow(row.data(), seed.data(), 600, out.data(), 64);
  ASSERT_GT(n, 0);
  EXPECT_EQ(out[0], 31);
  EXPECT_EQ(out[1], 255);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 1);
}

// ---------------------------------------------------------------- limits

TEST(PCLXLEmitter, ArgumentsTheLanguageCannotCarry) {
  PCLXLEmitter e;
  ByteBuffer b;
  std::vector<std::int16_t> big(70000, 1);
  std::vector<std::uint8_t> bytes(70000, 'a');
  const std::u16string longText(65536, u'x');
  const CXString tooLong(longText.c_str(), 65536);
  const CXString longest(longText.c_str(), 65535);
  EXPECT_FALSE(e.xl_data_sint16_array(65536, big.data(), b));
  EXPECT_FALSE(e.xl_data_ubyte_array_hdr(65536, b));
  EXPECT_FALSE(e.xl_data_stream_array(65536, bytes.data(), b));
  EXPECT_FALSE(e.xlputstring(tooLong, b));
  EXPECT_FALSE(e.xl_comment(tooLong, b));
  EXPECT_FALSE(e.xl_Text(tooLong, nullptr, nullptr, b));
  EXPECT_FALSE(e.xl_beginpage(0, 0, tooLong, CXString(), 0, false, 0, 0, b));
  EXPECT_FALSE(e.xl_beginpage(0, 0, 1, tooLong, 0, false, 0, 0, b));
  EXPECT_FALSE(e.xl_SetFont(tooLong, 10.0f, 1, b));
  EXPECT_FALSE(e.xl_beginstream(tooLong, b));
  EXPECT_FALSE(e.xl_beginstream(CXString(), b));
  EXPECT_FALSE(e.xl_execstream(CXString(), b));
  EXPECT_FALSE(e.xl_removestream(CXString(), b));
  EXPECT_FALSE(e.xl_setlinedash(std::vector<std::uint16_t>(65536, 1), 0, b));
  EXPECT_FALSE(e.xl_SetCharSubMode(65536, bytes.data(), b));
  std::vector<std::uint16_t> codes(65536, 1);
  EXPECT_FALSE(e.xl_Text(65536, codes.data(), nullptr, nullptr, b));
  EXPECT_FALSE(e.xl_scanlinerel_data({-1, 0}, 0, nullptr, b));
  EXPECT_TRUE(b.empty());
  // The longest string still goes out whole.
  ASSERT_TRUE(e.xl_comment(longest, b));
  const auto ops = Decode(b);
  EXPECT_EQ(ops[0].find(0x81)->numbers.size(), 65535u);
}

}  // namespace
