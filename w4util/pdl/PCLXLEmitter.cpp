#include "w4util/pdl/PCLXLEmitter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Binary binding tags.
constexpr std::uint8_t kUByte = 0xC0, kUInt16 = 0xC1, kUInt32 = 0xC2, kSInt16 = 0xC3,
                       kSInt32 = 0xC4, kReal32 = 0xC5;
constexpr std::uint8_t kArrayOffset = 0x08;  // C8.. arrays
constexpr std::uint8_t kXyOffset = 0x10;     // D0.. pairs
constexpr std::uint8_t kBoxOffset = 0x20;    // E0.. boxes
constexpr std::uint8_t kAttrUByte = 0xF8, kAttrUInt16 = 0xF9;
constexpr std::uint8_t kDataLength = 0xFA, kDataLengthByte = 0xFB;

// Attribute identifiers.
enum : std::uint16_t {
  aPaletteDepth = 0x02, aColorSpace = 0x03, aNullBrush = 0x04, aNullPen = 0x05, aPaletteData = 0x06,
  aPatternSelectID = 0x08, aGrayLevel = 0x09, aRGBColor = 0x0B, aPatternOrigin = 0x0C,
  aNewDestinationSize = 0x0D, aAllObjectTypes = 0x1D, aTextObjects = 0x1E, aVectorObjects = 0x1F,
  aRasterObjects = 0x20, aMediaDestination = 0x24, aMediaSize = 0x25, aMediaSource = 0x26,
  aMediaType = 0x27, aOrientation = 0x28, aPageAngle = 0x29, aPageOrigin = 0x2A, aPageScale = 0x2B,
  aROP3 = 0x2C, aTxMode = 0x2D, aCustomMediaSize = 0x2F, aCustomMediaSizeUnits = 0x30,
  aPageCopies = 0x31, aSimplexPageMode = 0x34, aDuplexPageMode = 0x35, aDuplexPageSide = 0x36,
  aArcDirection = 0x41, aBoundingBox = 0x42, aDashOffset = 0x43, aEllipseDimension = 0x44,
  aEndPoint = 0x45, aFillMode = 0x46, aLineCapStyle = 0x47, aLineJoinStyle = 0x48,
  aMiterLength = 0x49, aLineDashStyle = 0x4A, aPenWidth = 0x4B, aPoint = 0x4C,
  aNumberOfPoints = 0x4D, aSolidLine = 0x4E, aStartPoint = 0x4F, aPointType = 0x50,
  aControlPoint1 = 0x51, aControlPoint2 = 0x52, aClipRegion = 0x53, aClipMode = 0x54,
  aColorDepth = 0x62, aBlockHeight = 0x63, aColorMapping = 0x64, aCompressMode = 0x65,
  aDestinationSize = 0x67, aPatternPersistence = 0x68, aPatternDefineID = 0x69,
  aSourceHeight = 0x6B, aSourceWidth = 0x6C, aStartLine = 0x6D, aPadBytesMultiple = 0x6E,
  aNumberOfScanLines = 0x73, aColorTreatment = 0x78, aCommentData = 0x81, aDataOrg = 0x82,
  aMeasure = 0x86, aSourceType = 0x88, aUnitsPerMeasure = 0x89, aStreamName = 0x8B,
  aStreamDataLength = 0x8C, aErrorReport = 0x8F, aCharAngle = 0xA1, aCharCode = 0xA2,
  aCharDataSize = 0xA3, aCharScale = 0xA4, aCharShear = 0xA5, aCharSize = 0xA6,
  aFontHeaderLength = 0xA7, aFontName = 0xA8, aFontFormat = 0xA9, aSymbolSet = 0xAA,
  aTextData = 0xAB, aCharSubModeArray = 0xAC, aWritingMode = 0xAD, aXSpacingData = 0xAF,
  aYSpacingData = 0xB0, aCharBoldValue = 0xB1,
};

// Operators.
enum : std::uint8_t {
  oBeginSession = 0x41, oEndSession = 0x42, oBeginPage = 0x43, oEndPage = 0x44, oComment = 0x47,
  oOpenDataSource = 0x48, oCloseDataSource = 0x49, oBeginFontHeader = 0x4F, oReadFontHeader = 0x50,
  oEndFontHeader = 0x51, oBeginChar = 0x52, oReadChar = 0x53, oEndChar = 0x54, oRemoveFont = 0x55,
  oSetCharAttributes = 0x56, oSetColorTreatment = 0x58, oBeginStream = 0x5B, oReadStream = 0x5C,
  oEndStream = 0x5D, oExecStream = 0x5E, oRemoveStream = 0x5F, oPopGS = 0x60, oPushGS = 0x61,
  oSetClipReplace = 0x62, oSetBrushSource = 0x63, oSetCharAngle = 0x64, oSetCharScale = 0x65,
  oSetCharShear = 0x66, oSetClipIntersect = 0x67, oSetClipRectangle = 0x68, oSetClipToPage = 0x69,
  oSetColorSpace = 0x6A, oSetCursor = 0x6B, oSetCursorRel = 0x6C, oSetHalftoneMethod = 0x6D,
  oSetFillMode = 0x6E, oSetFont = 0x6F, oSetLineDash = 0x70, oSetLineCap = 0x71,
  oSetLineJoin = 0x72, oSetMiterLimit = 0x73, oSetPageDefaultCTM = 0x74, oSetPageOrigin = 0x75,
  oSetPageRotation = 0x76, oSetPageScale = 0x77, oSetPaintTxMode = 0x78, oSetPenSource = 0x79,
  oSetPenWidth = 0x7A, oSetROP = 0x7B, oSetSourceTxMode = 0x7C, oSetCharBoldValue = 0x7D,
  oSetNeutralAxis = 0x7E, oSetClipMode = 0x7F, oSetPathToClip = 0x80, oSetCharSubMode = 0x81,
  oCloseSubPath = 0x84, oNewPath = 0x85, oPaintPath = 0x86, oArcPath = 0x91,
  oSetColorTrapping = 0x92, oBezierPath = 0x93, oSetAdaptiveHalftoning = 0x94,
  oBezierRelPath = 0x95, oChord = 0x96, oChordPath = 0x97, oEllipse = 0x98, oEllipsePath = 0x99,
  oLinePath = 0x9B, oLineRelPath = 0x9D, oPie = 0x9E, oRectangle = 0xA0, oRectanglePath = 0xA1,
  oRoundRectangle = 0xA2, oRoundRectanglePath = 0xA3, oText = 0xA8, oTextPath = 0xA9,
  oBeginImage = 0xB0, oReadImage = 0xB1, oEndImage = 0xB2, oBeginRastPattern = 0xB3,
  oReadRastPattern = 0xB4, oEndRastPattern = 0xB5, oBeginScan = 0xB6, oEndScan = 0xB8,
  oScanLineRel = 0xB9,
};

// Colour spaces whose palette entries have three components.
constexpr std::uint8_t eRGB = 2, eSRGB = 6;
// First byte of the data of one ScanLineRel operator.
constexpr std::uint8_t kScanLineLead = 3;

inline void Put8(ByteBuffer& b, std::uint8_t v) { b.push_back(v); }
inline void Put16(ByteBuffer& b, std::uint16_t v) {
  const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
  b.insert(b.end(), bytes, bytes + 2);
}
inline void Put32(ByteBuffer& b, std::uint32_t v) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                 static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  b.insert(b.end(), bytes, bytes + 4);
}
void PutReal(ByteBuffer& b, float f) {
  std::uint32_t v;
  std::memcpy(&v, &f, sizeof v);
  Put32(b, v);
}
void PutBytes(ByteBuffer& b, const std::uint8_t* p, std::size_t n) {
  if (n) b.insert(b.end(), p, p + n);
}

// Up to 24 bytes gathered on the stack and appended in one step: most
// operators are a handful of short values, and one append each is what
// keeps the emitter close to a copy.
class Small {
 public:
  Small& u8(std::uint8_t v) {
    b_[n_++] = v;
    return *this;
  }
  Small& u16(std::uint16_t v) {
    b_[n_++] = static_cast<std::uint8_t>(v);
    b_[n_++] = static_cast<std::uint8_t>(v >> 8);
    return *this;
  }
  Small& u32(std::uint32_t v) {
    u16(static_cast<std::uint16_t>(v));
    return u16(static_cast<std::uint16_t>(v >> 16));
  }
  Small& attr(std::uint16_t id) {
    if (id < 256) return u8(kAttrUByte).u8(static_cast<std::uint8_t>(id));
    return u8(kAttrUInt16).u16(id);
  }
  void to(ByteBuffer& b) const { b.insert(b.end(), b_, b_ + n_); }

 private:
  std::uint8_t b_[24];
  std::size_t n_ = 0;
};

inline void Attr(ByteBuffer& b, std::uint16_t id) {
  if (id < 256) {
    const std::uint8_t bytes[2] = {kAttrUByte, static_cast<std::uint8_t>(id)};
    b.insert(b.end(), bytes, bytes + 2);
  } else {
    Put8(b, kAttrUInt16);
    Put16(b, id);
  }
}

void UByteAttr(ByteBuffer& b, std::uint8_t v, std::uint16_t id) {
  const std::uint8_t bytes[2] = {kUByte, v};
  b.insert(b.end(), bytes, bytes + 2);
  Attr(b, id);
}
void UInt16Attr(ByteBuffer& b, std::uint16_t v, std::uint16_t id) { Small().u8(kUInt16).u16(v).attr(id).to(b); }
void SInt16Attr(ByteBuffer& b, std::int16_t v, std::uint16_t id) {
  Small().u8(kSInt16).u16(static_cast<std::uint16_t>(v)).attr(id).to(b);
}
void RealAttr(ByteBuffer& b, float v, std::uint16_t id) {
  Put8(b, kReal32);
  PutReal(b, v);
  Attr(b, id);
}
void ArrayHeader(ByteBuffer& b, std::uint8_t tag, std::uint32_t count) {
  Put8(b, tag);
  if (count < 256) {
    Put8(b, kUByte);
    Put8(b, static_cast<std::uint8_t>(count));
  } else {
    Put8(b, kUInt16);
    Put16(b, static_cast<std::uint16_t>(count));
  }
}
void EmbeddedHeader(ByteBuffer& b, std::uint32_t length) {
  if (length < 256) {
    Small().u8(kDataLengthByte).u8(static_cast<std::uint8_t>(length)).to(b);
  } else {
    Small().u8(kDataLength).u32(length).to(b);
  }
}

// Narrow form of a string as the language carries it.
bool Narrow(const CXString& text, ByteBuffer& out) {
  out.clear();
  out.appendAscii(text);
  return out.size() <= PCLXLEmitter::kMaxCount;
}

void StringAttr(ByteBuffer& b, const ByteBuffer& narrow, std::uint16_t id) {
  ArrayHeader(b, kUByte + kArrayOffset, static_cast<std::uint32_t>(narrow.size()));
  PutBytes(b, narrow.data(), narrow.size());
  Attr(b, id);
}

bool Fits16(std::int64_t v) { return v >= -32768 && v <= 32767; }
std::int16_t Clamp16(std::int64_t v) {
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -32768, 32767));
}
bool IsByte(std::int32_t v) { return v >= 0 && v <= 255; }

// A point attribute: ubyte xy when both fit 0..255, else sint16 xy.
void PointAttr(ByteBuffer& b, std::int16_t x, std::int16_t y, std::uint16_t id) {
  Small out;
  if (IsByte(x) && IsByte(y)) {
    out.u8(kUByte + kXyOffset).u8(static_cast<std::uint8_t>(x)).u8(static_cast<std::uint8_t>(y));
  } else {
    out.u8(kSInt16 + kXyOffset).u16(static_cast<std::uint16_t>(x)).u16(static_cast<std::uint16_t>(y));
  }
  out.attr(id).to(b);
}

// Restores a buffer to its length at entry unless told the write succeeded.
class Mark {
 public:
  explicit Mark(ByteBuffer& b) : buf_(b), size_(b.size()) {}
  ~Mark() {
    if (!kept_) buf_.resize(size_);
  }
  bool keep() {
    kept_ = true;
    return true;
  }
  Mark(const Mark&) = delete;
  Mark& operator=(const Mark&) = delete;

 private:
  ByteBuffer& buf_;
  std::size_t size_;
  bool kept_ = false;
};

}  // namespace

PCLXLEmitter::PCLXLEmitter() { xl_initcgs(); }

void PCLXLEmitter::xl_initcgs() {
  m_fillMode = m_miterLimit = m_lineCap = m_lineJoin = kUnknown;
  m_paintTxMode = m_sourceTxMode = m_rop = m_clipMode = m_penWidth = kUnknown;
  m_pageDefaultCtm = false;
  xl_initfontcgs();
  m_clipState = kClipUnknown;
  m_clipRegion = kUnknown;
  m_clipP1 = m_clipP2 = POINTS{0, 0};
  m_colorSpace = m_paletteDepth = kUnknown;
  m_palette.clear();
  m_brush = SourceState{};
  m_pen = SourceState{};
  m_dashKnown = false;
  m_dash.clear();
  m_dashOffset = 0;
  m_scanLeadPending = false;
}

void PCLXLEmitter::xl_initfontcgs() { m_font = FontState{}; }

// ---------------------------------------------------------------- primitives

bool PCLXLEmitter::xl_attribute(std::uint16_t id, ByteBuffer& buf) {
  Attr(buf, id);
  return true;
}
bool PCLXLEmitter::xl_tag(std::uint8_t tag, ByteBuffer& buf) {
  Put8(buf, tag);
  return true;
}
bool PCLXLEmitter::xlputubyte(std::uint8_t value, ByteBuffer& buf) {
  Put8(buf, value);
  return true;
}
bool PCLXLEmitter::xlputsint16(std::int16_t value, ByteBuffer& buf) {
  Put16(buf, static_cast<std::uint16_t>(value));
  return true;
}
bool PCLXLEmitter::xlputsint32(std::int32_t value, ByteBuffer& buf) {
  Put32(buf, static_cast<std::uint32_t>(value));
  return true;
}
bool PCLXLEmitter::xlputreal32(float value, ByteBuffer& buf) {
  PutReal(buf, value);
  return true;
}
bool PCLXLEmitter::xlputbulkdata(std::uint32_t length, const std::uint8_t* bytes, ByteBuffer& buf) {
  if (length && !bytes) return false;
  PutBytes(buf, bytes, length);
  return true;
}
bool PCLXLEmitter::xlputstring(const CXString& text, ByteBuffer& buf) {
  ByteBuffer narrow;
  if (!Narrow(text, narrow)) return false;
  PutBytes(buf, narrow.data(), narrow.size());
  return true;
}

bool PCLXLEmitter::xl_data_ubyte(std::uint8_t v, ByteBuffer& buf) {
  Put8(buf, kUByte);
  Put8(buf, v);
  return true;
}
bool PCLXLEmitter::xl_data_uint16(std::uint16_t v, ByteBuffer& buf) {
  Put8(buf, kUInt16);
  Put16(buf, v);
  return true;
}
bool PCLXLEmitter::xl_data_uint32(std::uint32_t v, ByteBuffer& buf) {
  Put8(buf, kUInt32);
  Put32(buf, v);
  return true;
}
bool PCLXLEmitter::xl_data_sint16(std::int16_t v, ByteBuffer& buf) {
  Put8(buf, kSInt16);
  Put16(buf, static_cast<std::uint16_t>(v));
  return true;
}
bool PCLXLEmitter::xl_data_sint32(std::int32_t v, ByteBuffer& buf) {
  Put8(buf, kSInt32);
  Put32(buf, static_cast<std::uint32_t>(v));
  return true;
}
bool PCLXLEmitter::xl_data_real32(float v, ByteBuffer& buf) {
  Put8(buf, kReal32);
  PutReal(buf, v);
  return true;
}

bool PCLXLEmitter::xl_data_ubyte_xy(std::uint8_t x, std::uint8_t y, ByteBuffer& buf) {
  Put8(buf, kUByte + kXyOffset);
  Put8(buf, x);
  Put8(buf, y);
  return true;
}
bool PCLXLEmitter::xl_data_uint16_xy(std::uint16_t x, std::uint16_t y, ByteBuffer& buf) {
  Put8(buf, kUInt16 + kXyOffset);
  Put16(buf, x);
  Put16(buf, y);
  return true;
}
bool PCLXLEmitter::xl_data_uint32_xy(std::uint32_t x, std::uint32_t y, ByteBuffer& buf) {
  Put8(buf, kUInt32 + kXyOffset);
  Put32(buf, x);
  Put32(buf, y);
  return true;
}
bool PCLXLEmitter::xl_data_sint16_xy(std::int16_t x, std::int16_t y, ByteBuffer& buf) {
  Small().u8(kSInt16 + kXyOffset).u16(static_cast<std::uint16_t>(x)).u16(static_cast<std::uint16_t>(y)).to(buf);
  return true;
}
bool PCLXLEmitter::xl_data_sint32_xy(std::int32_t x, std::int32_t y, ByteBuffer& buf) {
  Put8(buf, kSInt32 + kXyOffset);
  Put32(buf, static_cast<std::uint32_t>(x));
  Put32(buf, static_cast<std::uint32_t>(y));
  return true;
}
bool PCLXLEmitter::xl_data_real32_xy(float x, float y, ByteBuffer& buf) {
  Put8(buf, kReal32 + kXyOffset);
  PutReal(buf, x);
  PutReal(buf, y);
  return true;
}

bool PCLXLEmitter::xl_data_ubyte_box(std::uint8_t l, std::uint8_t t, std::uint8_t r, std::uint8_t b,
                                     ByteBuffer& buf) {
  const std::uint8_t bytes[5] = {static_cast<std::uint8_t>(kUByte + kBoxOffset), l, t, r, b};
  buf.insert(buf.end(), bytes, bytes + 5);
  return true;
}
bool PCLXLEmitter::xl_data_uint16_box(std::uint16_t l, std::uint16_t t, std::uint16_t r,
                                      std::uint16_t b, ByteBuffer& buf) {
  Put8(buf, kUInt16 + kBoxOffset);
  Put16(buf, l);
  Put16(buf, t);
  Put16(buf, r);
  Put16(buf, b);
  return true;
}
bool PCLXLEmitter::xl_data_uint32_box(std::uint32_t l, std::uint32_t t, std::uint32_t r,
                                      std::uint32_t b, ByteBuffer& buf) {
  Put8(buf, kUInt32 + kBoxOffset);
  Put32(buf, l);
  Put32(buf, t);
  Put32(buf, r);
  Put32(buf, b);
  return true;
}
bool PCLXLEmitter::xl_data_sint16_box(std::int16_t l, std::int16_t t, std::int16_t r, std::int16_t b,
                                      ByteBuffer& buf) {
  Small()
      .u8(kSInt16 + kBoxOffset)
      .u16(static_cast<std::uint16_t>(l))
      .u16(static_cast<std::uint16_t>(t))
      .u16(static_cast<std::uint16_t>(r))
      .u16(static_cast<std::uint16_t>(b))
      .to(buf);
  return true;
}
bool PCLXLEmitter::xl_data_sint32_box(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b,
                                      ByteBuffer& buf) {
  Put8(buf, kSInt32 + kBoxOffset);
  Put32(buf, static_cast<std::uint32_t>(l));
  Put32(buf, static_cast<std::uint32_t>(t));
  Put32(buf, static_cast<std::uint32_t>(r));
  Put32(buf, static_cast<std::uint32_t>(b));
  return true;
}
bool PCLXLEmitter::xl_data_real32_box(float l, float t, float r, float b, ByteBuffer& buf) {
  Put8(buf, kReal32 + kBoxOffset);
  PutReal(buf, l);
  PutReal(buf, t);
  PutReal(buf, r);
  PutReal(buf, b);
  return true;
}

#define W4_ARRAY_HDR(name, tag)                                               \
  bool PCLXLEmitter::name(std::uint32_t count, ByteBuffer& buf) {             \
    if (count > kMaxCount) return false;                                      \
    ArrayHeader(buf, static_cast<std::uint8_t>((tag) + kArrayOffset), count); \
    return true;                                                              \
  }
W4_ARRAY_HDR(xl_data_ubyte_array_hdr, kUByte)
W4_ARRAY_HDR(xl_data_uint16_array_hdr, kUInt16)
W4_ARRAY_HDR(xl_data_uint32_array_hdr, kUInt32)
W4_ARRAY_HDR(xl_data_sint16_array_hdr, kSInt16)
W4_ARRAY_HDR(xl_data_sint32_array_hdr, kSInt32)
W4_ARRAY_HDR(xl_data_real32_array_hdr, kReal32)
#undef W4_ARRAY_HDR

bool PCLXLEmitter::xl_data_ubyte_array_data(std::uint32_t count, const std::uint8_t* values,
                                            ByteBuffer& buf) {
  if (count && !values) return false;
  PutBytes(buf, values, count);
  return true;
}
bool PCLXLEmitter::xl_data_sint16_array_data(std::uint32_t count, const std::int16_t* values,
                                             ByteBuffer& buf) {
  if (count && !values) return false;
  for (std::uint32_t i = 0; i < count; ++i) Put16(buf, static_cast<std::uint16_t>(values[i]));
  return true;
}
bool PCLXLEmitter::xl_data_sint32_array_data(std::uint32_t count, const std::int32_t* values,
                                             ByteBuffer& buf) {
  if (count && !values) return false;
  for (std::uint32_t i = 0; i < count; ++i) Put32(buf, static_cast<std::uint32_t>(values[i]));
  return true;
}
bool PCLXLEmitter::xl_data_real32_array_data(std::uint32_t count, const float* values, ByteBuffer& buf) {
  if (count && !values) return false;
  for (std::uint32_t i = 0; i < count; ++i) PutReal(buf, values[i]);
  return true;
}

#define W4_ARRAY(name, hdr, data, type)                                                   \
  bool PCLXLEmitter::name(std::uint32_t count, const type* values, ByteBuffer& buf) {     \
    if (count > kMaxCount || (count && !values)) return false;                            \
    return hdr(count, buf) && data(count, values, buf);                                   \
  }
W4_ARRAY(xl_data_ubyte_array, xl_data_ubyte_array_hdr, xl_data_ubyte_array_data, std::uint8_t)
W4_ARRAY(xl_data_uint16_array, xl_data_uint16_array_hdr, xl_data_sint16_array_data, std::int16_t)
W4_ARRAY(xl_data_uint32_array, xl_data_uint32_array_hdr, xl_data_sint32_array_data, std::int32_t)
W4_ARRAY(xl_data_sint16_array, xl_data_sint16_array_hdr, xl_data_sint16_array_data, std::int16_t)
W4_ARRAY(xl_data_sint32_array, xl_data_sint32_array_hdr, xl_data_sint32_array_data, std::int32_t)
W4_ARRAY(xl_data_real32_array, xl_data_real32_array_hdr, xl_data_real32_array_data, float)
#undef W4_ARRAY

bool PCLXLEmitter::xl_data_u16or8_xy(std::uint16_t x, std::uint16_t y, ByteBuffer& buf) {
  if (x < 256 && y < 256) {
    return xl_data_ubyte_xy(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), buf);
  }
  return xl_data_uint16_xy(x, y, buf);
}
bool PCLXLEmitter::xl_data_u16or8_box(std::uint16_t l, std::uint16_t t, std::uint16_t r,
                                      std::uint16_t b, ByteBuffer& buf) {
  if (l < 256 && t < 256 && r < 256 && b < 256) {
    return xl_data_ubyte_box(static_cast<std::uint8_t>(l), static_cast<std::uint8_t>(t),
                             static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(b), buf);
  }
  return xl_data_uint16_box(l, t, r, b, buf);
}
bool PCLXLEmitter::xl_data_s16or8_xy(std::int16_t x, std::int16_t y, ByteBuffer& buf) {
  if (IsByte(x) && IsByte(y)) {
    return xl_data_ubyte_xy(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), buf);
  }
  return xl_data_sint16_xy(x, y, buf);
}
bool PCLXLEmitter::xl_data_s16or8_box(std::int16_t l, std::int16_t t, std::int16_t r, std::int16_t b,
                                      ByteBuffer& buf) {
  if (IsByte(l) && IsByte(t) && IsByte(r) && IsByte(b)) {
    return xl_data_ubyte_box(static_cast<std::uint8_t>(l), static_cast<std::uint8_t>(t),
                             static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(b), buf);
  }
  return xl_data_sint16_box(l, t, r, b, buf);
}

bool PCLXLEmitter::xl_embeddeddata_hdr(std::uint32_t length, ByteBuffer& buf) {
  EmbeddedHeader(buf, length);
  return true;
}
bool PCLXLEmitter::xl_embeddeddata(std::uint32_t length, const std::uint8_t* bytes, ByteBuffer& buf) {
  if (length && !bytes) return false;
  EmbeddedHeader(buf, length);
  PutBytes(buf, bytes, length);
  return true;
}

bool PCLXLEmitter::xl_data_stream_array_hdr(std::uint32_t count, ByteBuffer& buf) {
  if (count > kMaxCount) return false;
  Put8(buf, kUByte + kArrayOffset);
  Put8(buf, kUInt16);
  Put16(buf, static_cast<std::uint16_t>(count));
  return true;
}
bool PCLXLEmitter::xl_data_stream_array(std::uint32_t count, const std::uint8_t* bytes, ByteBuffer& buf) {
  if (count > kMaxCount || (count && !bytes)) return false;
  xl_data_stream_array_hdr(count, buf);
  PutBytes(buf, bytes, count);
  return true;
}

// -------------------------------------------------------- session and page

bool PCLXLEmitter::xl_beginsession(std::uint16_t unitsX, std::uint16_t unitsY, std::uint8_t measure,
                                   std::uint8_t errorReport, ByteBuffer& buf) {
  xl_data_uint16_xy(unitsX, unitsY, buf);
  Attr(buf, aUnitsPerMeasure);
  UByteAttr(buf, measure, aMeasure);
  UByteAttr(buf, errorReport, aErrorReport);
  Put8(buf, oBeginSession);
  return true;
}
bool PCLXLEmitter::xl_endsession(ByteBuffer& buf) { return xl_tag(oEndSession, buf); }

namespace {
// Attributes common to the three BeginPage forms, after the media size.
bool PageTail(ByteBuffer& buf, const CXString& mediaType, std::int32_t mediaDestination, bool duplex,
              std::int32_t duplexMode, std::int32_t duplexSide) {
  if (!mediaType.IsEmpty()) {
    ByteBuffer narrow;
    if (!Narrow(mediaType, narrow)) return false;
    StringAttr(buf, narrow, aMediaType);
  }
  if (mediaDestination >= 0) UByteAttr(buf, static_cast<std::uint8_t>(mediaDestination), aMediaDestination);
  if (duplex) {
    UByteAttr(buf, static_cast<std::uint8_t>(duplexMode), aDuplexPageMode);
    if (duplexSide >= 0) UByteAttr(buf, static_cast<std::uint8_t>(duplexSide), aDuplexPageSide);
  } else {
    UByteAttr(buf, 0, aSimplexPageMode);
  }
  Put8(buf, oBeginPage);
  return true;
}
void PageHead(ByteBuffer& buf, std::int32_t orientation, std::int32_t mediaSource) {
  if (orientation >= 0) UByteAttr(buf, static_cast<std::uint8_t>(orientation), aOrientation);
  if (mediaSource >= 0) UByteAttr(buf, static_cast<std::uint8_t>(mediaSource), aMediaSource);
}
}  // namespace

bool PCLXLEmitter::xl_beginpage(std::int32_t orientation, std::int32_t mediaSource, std::int32_t mediaSize,
                                const CXString& mediaType, std::int32_t mediaDestination, bool duplex,
                                std::int32_t duplexMode, std::int32_t duplexSide, ByteBuffer& buf) {
  Mark mark(buf);
  PageHead(buf, orientation, mediaSource);
  if (mediaSize >= 0) UByteAttr(buf, static_cast<std::uint8_t>(mediaSize), aMediaSize);
  return PageTail(buf, mediaType, mediaDestination, duplex, duplexMode, duplexSide) && mark.keep();
}
bool PCLXLEmitter::xl_beginpage(std::int32_t orientation, std::int32_t mediaSource,
                                const CXString& mediaSizeName, const CXString& mediaType,
                                std::int32_t mediaDestination, bool duplex, std::int32_t duplexMode,
                                std::int32_t duplexSide, ByteBuffer& buf) {
  Mark mark(buf);
  PageHead(buf, orientation, mediaSource);
  ByteBuffer narrow;
  if (!Narrow(mediaSizeName, narrow)) return false;
  StringAttr(buf, narrow, aMediaSize);
  return PageTail(buf, mediaType, mediaDestination, duplex, duplexMode, duplexSide) && mark.keep();
}
bool PCLXLEmitter::xl_beginpage(std::int32_t orientation, std::int32_t mediaSource, float customWidth,
                                float customHeight, std::uint8_t customUnits, const CXString& mediaType,
                                std::int32_t mediaDestination, bool duplex, std::int32_t duplexMode,
                                std::int32_t duplexSide, ByteBuffer& buf) {
  Mark mark(buf);
  PageHead(buf, orientation, mediaSource);
  xl_data_real32_xy(customWidth, customHeight, buf);
  Attr(buf, aCustomMediaSize);
  UByteAttr(buf, customUnits, aCustomMediaSizeUnits);
  return PageTail(buf, mediaType, mediaDestination, duplex, duplexMode, duplexSide) && mark.keep();
}
bool PCLXLEmitter::xl_endpage(std::uint16_t copies, ByteBuffer& buf) {
  if (copies != 0) UInt16Attr(buf, copies, aPageCopies);
  Put8(buf, oEndPage);
  return true;
}
bool PCLXLEmitter::xl_comment(const CXString& text, ByteBuffer& buf) {
  if (text.IsEmpty()) return true;
  ByteBuffer narrow;
  if (!Narrow(text, narrow)) return false;
  StringAttr(buf, narrow, aCommentData);
  Put8(buf, oComment);
  return true;
}
bool PCLXLEmitter::xl_opendatasource(std::uint8_t sourceType, std::uint8_t dataOrg, ByteBuffer& buf) {
  UByteAttr(buf, sourceType, aSourceType);
  UByteAttr(buf, dataOrg, aDataOrg);
  Put8(buf, oOpenDataSource);
  return true;
}
bool PCLXLEmitter::xl_closedatasource(ByteBuffer& buf) { return xl_tag(oCloseDataSource, buf); }

// ------------------------------------------------------------------- fonts

namespace {
bool NamedOp(ByteBuffer& buf, const CXString& name, std::uint8_t op, bool fontFormat) {
  ByteBuffer narrow;
  if (!Narrow(name, narrow)) return false;
  StringAttr(buf, narrow, aFontName);
  if (fontFormat) UByteAttr(buf, 0, aFontFormat);
  Put8(buf, op);
  return true;
}
}  // namespace

bool PCLXLEmitter::xl_BeginFontHeader(const CXString& name, ByteBuffer& buf) {
  return NamedOp(buf, name, oBeginFontHeader, true);
}
bool PCLXLEmitter::xl_ReadFontHeader(std::uint16_t length, const std::uint8_t* bytes, ByteBuffer& buf) {
  if (length && !bytes) return false;
  UInt16Attr(buf, length, aFontHeaderLength);
  Put8(buf, oReadFontHeader);
  return xl_embeddeddata(length, bytes, buf);
}
bool PCLXLEmitter::xl_EndFontHeader(ByteBuffer& buf) { return xl_tag(oEndFontHeader, buf); }
bool PCLXLEmitter::xl_BeginChar(const CXString& name, ByteBuffer& buf) {
  return NamedOp(buf, name, oBeginChar, false);
}
bool PCLXLEmitter::xl_ReadChar(std::uint16_t code, std::uint32_t size, const std::uint8_t* bytes,
                               ByteBuffer& buf) {
  if (size && !bytes) return false;
  UInt16Attr(buf, code, aCharCode);
  Put8(buf, kUInt32);
  Put32(buf, size);
  Attr(buf, aCharDataSize);
  Put8(buf, oReadChar);
  return xl_embeddeddata(size, bytes, buf);
}
bool PCLXLEmitter::xl_EndChar(ByteBuffer& buf) { return xl_tag(oEndChar, buf); }
bool PCLXLEmitter::xl_RemoveFont(const CXString& name, ByteBuffer& buf) {
  return NamedOp(buf, name, oRemoveFont, false);
}

bool PCLXLEmitter::xl_SetCharAttributes(std::uint8_t writingMode, ByteBuffer& buf) {
  if (!m_font.dirty && m_font.attributes == writingMode) return true;
  UByteAttr(buf, writingMode, aWritingMode);
  Put8(buf, oSetCharAttributes);
  m_font.attributes = writingMode;
  return true;
}

bool PCLXLEmitter::xl_SetCharAngle(std::int16_t angle, ByteBuffer& buf) {
  if (!m_font.dirty && m_font.angle == angle) return true;
  // The angle is signed: -90 must not turn into 65446.
  SInt16Attr(buf, angle, aCharAngle);
  Put8(buf, oSetCharAngle);
  m_font.angle = angle;
  return true;
}

bool PCLXLEmitter::CharPairOp(float& cacheX, float& cacheY, float x, float y, std::uint16_t attr,
                              std::uint8_t op, ByteBuffer& buf) {
  if (!m_font.dirty && cacheX == x && cacheY == y) return true;
  xl_data_real32_xy(x, y, buf);
  Attr(buf, attr);
  Put8(buf, op);
  cacheX = x;
  cacheY = y;
  if (!m_font.dirty) {
    SInt16Attr(buf, m_font.angle, aCharAngle);
    Put8(buf, oSetCharAngle);
  }
  return true;
}

bool PCLXLEmitter::xl_SetCharScale(float x, float y, ByteBuffer& buf) {
  return CharPairOp(m_font.scaleX, m_font.scaleY, x, y, aCharScale, oSetCharScale, buf);
}

bool PCLXLEmitter::xl_SetCharShear(float x, float y, ByteBuffer& buf) {
  return CharPairOp(m_font.shearX, m_font.shearY, x, y, aCharShear, oSetCharShear, buf);
}

bool PCLXLEmitter::xl_SetCharBoldValue(float value, ByteBuffer& buf) {
  if (!m_font.dirty && m_font.bold == value) return true;
  RealAttr(buf, value, aCharBoldValue);
  Put8(buf, oSetCharBoldValue);
  m_font.bold = value;
  return true;
}

bool PCLXLEmitter::xl_SetCharSubMode(std::uint32_t count, const std::uint8_t* modes, ByteBuffer& buf) {
  if (count == 0 || !modes || count > kMaxCount) return false;
  if (!m_font.dirty && m_font.subMode == modes[0]) return true;
  ArrayHeader(buf, kUByte + kArrayOffset, count);
  PutBytes(buf, modes, count);
  Attr(buf, aCharSubModeArray);
  Put8(buf, oSetCharSubMode);
  m_font.subMode = modes[0];
  return true;
}

bool PCLXLEmitter::xl_SetFont(const CXString& name, float size, std::uint16_t symbolSet, ByteBuffer& buf) {
  ByteBuffer narrow;
  if (!Narrow(name, narrow)) return false;
  if (!m_font.dirty && m_font.size == size && m_font.symbolSet == symbolSet &&
      m_font.name.size() == narrow.size() &&
      std::equal(narrow.begin(), narrow.end(), m_font.name.begin())) {
    return false;  // already in force: reported as "nothing written"
  }
  StringAttr(buf, narrow, aFontName);
  RealAttr(buf, size, aCharSize);
  UInt16Attr(buf, symbolSet, aSymbolSet);
  Put8(buf, oSetFont);
  m_font.name.assign(narrow.begin(), narrow.end());
  m_font.size = size;
  m_font.symbolSet = symbolSet;
  return true;
}

bool PCLXLEmitter::TextOp(std::uint8_t op, std::uint32_t count, const std::uint16_t* codes,
                          const std::uint8_t* narrow, const std::int16_t* xSpacing,
                          const std::int16_t* ySpacing, ByteBuffer& buf) {
  if (count > kMaxCount || (count && !codes && !narrow)) return false;
  if (codes) {
    ArrayHeader(buf, kUInt16 + kArrayOffset, count);
    for (std::uint32_t i = 0; i < count; ++i) Put16(buf, codes[i]);
  } else {
    ArrayHeader(buf, kUByte + kArrayOffset, count);
    PutBytes(buf, narrow, count);
  }
  Attr(buf, aTextData);
  if (xSpacing) {
    ArrayHeader(buf, kSInt16 + kArrayOffset, count);
    xl_data_sint16_array_data(count, xSpacing, buf);
    Attr(buf, aXSpacingData);
  }
  if (ySpacing) {
    ArrayHeader(buf, kSInt16 + kArrayOffset, count);
    xl_data_sint16_array_data(count, ySpacing, buf);
    Attr(buf, aYSpacingData);
  }
  Put8(buf, op);
  m_font.dirty = false;
  return true;
}

bool PCLXLEmitter::TextOp(std::uint8_t op, const CXString& text, const std::int16_t* xSpacing,
                          const std::int16_t* ySpacing, ByteBuffer& buf) {
  ByteBuffer narrow;
  if (!Narrow(text, narrow)) return false;
  static const std::uint8_t kNone = 0;
  return TextOp(op, static_cast<std::uint32_t>(narrow.size()), nullptr,
                narrow.empty() ? &kNone : narrow.data(), xSpacing, ySpacing, buf);
}

bool PCLXLEmitter::xl_Text(std::uint32_t count, const std::uint16_t* codes, const std::int16_t* xSpacing,
                           const std::int16_t* ySpacing, ByteBuffer& buf) {
  if (count && !codes) return false;
  static const std::uint16_t kNone = 0;
  return TextOp(oText, count, codes ? codes : &kNone, nullptr, xSpacing, ySpacing, buf);
}
bool PCLXLEmitter::xl_Text(const CXString& text, const std::int16_t* xSpacing, const std::int16_t* ySpacing,
                           ByteBuffer& buf) {
  return TextOp(oText, text, xSpacing, ySpacing, buf);
}
bool PCLXLEmitter::xl_TextPath(std::uint32_t count, const std::uint16_t* codes,
                               const std::int16_t* xSpacing, const std::int16_t* ySpacing,
                               ByteBuffer& buf) {
  if (count && !codes) return false;
  static const std::uint16_t kNone = 0;
  return TextOp(oTextPath, count, codes ? codes : &kNone, nullptr, xSpacing, ySpacing, buf);
}
bool PCLXLEmitter::xl_TextPath(const CXString& text, const std::int16_t* xSpacing,
                               const std::int16_t* ySpacing, ByteBuffer& buf) {
  return TextOp(oTextPath, text, xSpacing, ySpacing, buf);
}

// ----------------------------------------------------------------- streams

bool PCLXLEmitter::StreamNameOp(const CXString& name, std::uint8_t op, ByteBuffer& buf) {
  ByteBuffer narrow;
  if (!Narrow(name, narrow) || narrow.empty()) return false;
  xl_data_stream_array(static_cast<std::uint32_t>(narrow.size()), narrow.data(), buf);
  Attr(buf, aStreamName);
  Put8(buf, op);
  return true;
}
bool PCLXLEmitter::xl_beginstream(const CXString& name, ByteBuffer& buf) {
  return StreamNameOp(name, oBeginStream, buf);
}
bool PCLXLEmitter::xl_readstream(std::uint32_t length, ByteBuffer& buf) {
  Put8(buf, kUInt32);
  Put32(buf, length);
  Attr(buf, aStreamDataLength);
  Put8(buf, oReadStream);
  return true;
}
bool PCLXLEmitter::xl_endstream(ByteBuffer& buf) { return xl_tag(oEndStream, buf); }
bool PCLXLEmitter::xl_execstream(const CXString& name, ByteBuffer& buf) {
  return StreamNameOp(name, oExecStream, buf);
}
bool PCLXLEmitter::xl_removestream(const CXString& name, ByteBuffer& buf) {
  return StreamNameOp(name, oRemoveStream, buf);
}

// ---------------------------------------------------------- graphics state

bool PCLXLEmitter::xl_popgs(ByteBuffer& buf) { return xl_tag(oPopGS, buf); }
bool PCLXLEmitter::xl_pushgs(ByteBuffer& buf) { return xl_tag(oPushGS, buf); }

bool PCLXLEmitter::xl_setclipreplace(std::uint8_t region, ByteBuffer& buf) {
  UByteAttr(buf, region, aClipRegion);
  Put8(buf, oSetClipReplace);
  m_clipState = kClipReplaced;
  m_clipRegion = region;
  return true;
}
bool PCLXLEmitter::xl_setclipintersect(std::uint8_t region, ByteBuffer& buf) {
  UByteAttr(buf, region, aClipRegion);
  Put8(buf, oSetClipIntersect);
  m_clipState = kClipIntersected;
  m_clipRegion = region;
  return true;
}
bool PCLXLEmitter::xl_setcliprectangle(std::uint8_t region, const POINTS& p1, const POINTS& p2,
                                       ByteBuffer& buf) {
  if (m_clipState == kClipRectangle && m_clipRegion == region && m_clipP1.x == p1.x &&
      m_clipP1.y == p1.y && m_clipP2.x == p2.x && m_clipP2.y == p2.y) {
    return true;
  }
  UByteAttr(buf, region, aClipRegion);
  xl_data_s16or8_box(p1.x, p1.y, p2.x, p2.y, buf);
  Attr(buf, aBoundingBox);
  Put8(buf, oSetClipRectangle);
  m_clipState = kClipRectangle;
  m_clipRegion = region;
  m_clipP1 = p1;
  m_clipP2 = p2;
  return true;
}
bool PCLXLEmitter::xl_setcliptopage(ByteBuffer& buf) {
  if (m_clipState == kClipPage) return true;
  Put8(buf, oSetClipToPage);
  m_clipState = kClipPage;
  return true;
}
bool PCLXLEmitter::xl_setclipmode(std::uint8_t mode, ByteBuffer& buf) {
  return CachedUByteOp(m_clipMode, mode, aClipMode, oSetClipMode, buf);
}
bool PCLXLEmitter::xl_setpathtoclip(ByteBuffer& buf) {
  Put8(buf, oSetPathToClip);
  m_clipState = kClipReplaced;
  return true;
}
bool PCLXLEmitter::xl_setcolortreatment(std::uint8_t value, ByteBuffer& buf) {
  UByteAttr(buf, value, aColorTreatment);
  Put8(buf, oSetColorTreatment);
  return true;
}
bool PCLXLEmitter::xl_setcolortrapping(std::uint8_t value, ByteBuffer& buf) {
  UByteAttr(buf, value, aAllObjectTypes);
  Put8(buf, oSetColorTrapping);
  return true;
}

bool PCLXLEmitter::CachedUByteOp(std::int32_t& cache, std::uint8_t value, std::uint8_t attr,
                                 std::uint8_t op, ByteBuffer& buf) {
  if (cache == value) return true;
  UByteAttr(buf, value, attr);
  Put8(buf, op);
  cache = value;
  return true;
}

bool PCLXLEmitter::SourceNull(SourceState& s, std::uint8_t attr, std::uint8_t op, ByteBuffer& buf) {
  if (s.kind == kSourceNull) return true;
  UByteAttr(buf, 0, attr);
  Put8(buf, op);
  s.kind = kSourceNull;
  return true;
}
bool PCLXLEmitter::SourceGray(SourceState& s, std::uint8_t level, std::uint8_t op, ByteBuffer& buf) {
  if (s.kind == kSourceGray && s.gray == level) return true;
  UByteAttr(buf, level, aGrayLevel);
  Put8(buf, op);
  s.kind = kSourceGray;
  s.gray = level;
  return true;
}
bool PCLXLEmitter::SourceRgb(SourceState& s, COLORREF color, std::uint8_t op, ByteBuffer& buf) {
  if (s.kind == kSourceRgb && s.rgb == color) return true;
  const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(color), static_cast<std::uint8_t>(color >> 8),
                               static_cast<std::uint8_t>(color >> 16)};
  ArrayHeader(buf, kUByte + kArrayOffset, 3);
  PutBytes(buf, rgb, 3);
  Attr(buf, aRGBColor);
  Put8(buf, op);
  s.kind = kSourceRgb;
  s.rgb = color;
  return true;
}
bool PCLXLEmitter::SourcePattern(SourceState& s, std::int16_t id, std::int16_t ox, std::int16_t oy,
                                 std::uint16_t w, std::uint16_t h, std::uint8_t op, ByteBuffer& buf) {
  SInt16Attr(buf, id, aPatternSelectID);
  if (ox != 0 || oy != 0) {
    xl_data_sint16_xy(ox, oy, buf);
    Attr(buf, aPatternOrigin);
  }
  if (w != 0 && h != 0) {
    xl_data_uint16_xy(w, h, buf);
    Attr(buf, aNewDestinationSize);
  }
  Put8(buf, op);
  s.kind = kSourcePattern;
  return true;
}

bool PCLXLEmitter::xl_setbrushsource_null(ByteBuffer& buf) { return SourceNull(m_brush, aNullBrush, oSetBrushSource, buf); }
bool PCLXLEmitter::xl_setbrushsource_gray(std::uint8_t level, ByteBuffer& buf) {
  return SourceGray(m_brush, level, oSetBrushSource, buf);
}
bool PCLXLEmitter::xl_setbrushsource_rgb(COLORREF color, ByteBuffer& buf) {
  return SourceRgb(m_brush, color, oSetBrushSource, buf);
}
bool PCLXLEmitter::xl_setbrushsource_pattern(std::int16_t id, std::int16_t originX, std::int16_t originY,
                                             std::uint16_t width, std::uint16_t height, ByteBuffer& buf) {
  m_brush.pattern.clear();  // not the cached pattern any more
  return SourcePattern(m_brush, id, originX, originY, width, height, oSetBrushSource, buf);
}
bool PCLXLEmitter::xl_setpensource_null(ByteBuffer& buf) { return SourceNull(m_pen, aNullPen, oSetPenSource, buf); }
bool PCLXLEmitter::xl_setpensource_gray(std::uint8_t level, ByteBuffer& buf) {
  return SourceGray(m_pen, level, oSetPenSource, buf);
}
bool PCLXLEmitter::xl_setpensource_rgb(COLORREF color, ByteBuffer& buf) {
  return SourceRgb(m_pen, color, oSetPenSource, buf);
}
bool PCLXLEmitter::xl_setpensource_pattern(std::int16_t id, std::int16_t originX, std::int16_t originY,
                                           std::uint16_t width, std::uint16_t height, ByteBuffer& buf) {
  m_pen.pattern.clear();
  return SourcePattern(m_pen, id, originX, originY, width, height, oSetPenSource, buf);
}

bool PCLXLEmitter::xl_setcolorspace_simple(std::uint8_t space, ByteBuffer& buf) {
  if (m_colorSpace == space && m_paletteDepth == kUnknown && m_palette.empty()) return true;
  UByteAttr(buf, space, aColorSpace);
  Put8(buf, oSetColorSpace);
  if (m_colorSpace != space) {
    m_brush.kind = kSourceUnknown;
    m_pen.kind = kSourceUnknown;
  }
  m_colorSpace = space;
  m_paletteDepth = kUnknown;
  m_palette.clear();
  return true;
}

bool PCLXLEmitter::xl_setcolorspace_palette(std::uint8_t space, std::uint8_t depth, std::uint32_t length,
                                            const std::uint8_t* palette, ByteBuffer& buf) {
  if (length && !palette) return false;
  const bool three = space == eRGB || space == eSRGB;
  static constexpr std::uint32_t kThree[] = {6, 48, 768};
  static constexpr std::uint32_t kOne[] = {2, 16, 256};
  const std::uint32_t* sizes = three ? kThree : kOne;
  std::uint32_t padded = 0;
  for (int i = 0; i < 3 && !padded; ++i) {
    if (length <= sizes[i]) padded = sizes[i];
  }
  if (!padded) return false;
  std::vector<std::uint8_t> bytes(padded, 0);
  if (length) std::memcpy(bytes.data(), palette, length);
  if (m_colorSpace == space && m_paletteDepth == depth && m_palette == bytes) return true;
  UByteAttr(buf, space, aColorSpace);
  UByteAttr(buf, depth, aPaletteDepth);
  ArrayHeader(buf, kUByte + kArrayOffset, padded);
  PutBytes(buf, bytes.data(), padded);
  Attr(buf, aPaletteData);
  Put8(buf, oSetColorSpace);
  if (m_colorSpace != space) {
    m_brush.kind = kSourceUnknown;
    m_pen.kind = kSourceUnknown;
  }
  m_colorSpace = space;
  m_paletteDepth = depth;
  m_palette = std::move(bytes);
  return true;
}

bool PCLXLEmitter::xl_setcursor(const POINT& point, ByteBuffer& buf) {
  POINT p = point;
  CONVERSION_CTM ctm;
  if (!xl_check_range(1, &p, &ctm)) return false;
  xl_set_convctm(&ctm, buf);
  PointAttr(buf, static_cast<std::int16_t>(p.x), static_cast<std::int16_t>(p.y), aPoint);
  Put8(buf, oSetCursor);
  return xl_restore_convctm(&ctm, buf);
}
bool PCLXLEmitter::xl_setcursorrel(const POINTS& point, ByteBuffer& buf) {
  PointAttr(buf, point.x, point.y, aPoint);
  Put8(buf, oSetCursorRel);
  return true;
}

bool PCLXLEmitter::ObjectTypesOp(std::uint8_t op, std::uint8_t t, std::uint8_t v, std::uint8_t r,
                                 ByteBuffer& buf) {
  UByteAttr(buf, t, aTextObjects);
  UByteAttr(buf, v, aVectorObjects);
  UByteAttr(buf, r, aRasterObjects);
  Put8(buf, op);
  return true;
}
bool PCLXLEmitter::xl_sethalftonemethod(std::uint8_t value, std::uint16_t attributeId, ByteBuffer& buf) {
  UByteAttr(buf, value, attributeId);
  Put8(buf, oSetHalftoneMethod);
  return true;
}
bool PCLXLEmitter::xl_sethalftonemethod(std::uint16_t x, std::uint16_t y, std::uint16_t attributeId,
                                        ByteBuffer& buf) {
  xl_data_uint16_xy(x, y, buf);
  Attr(buf, attributeId);
  Put8(buf, oSetHalftoneMethod);
  return true;
}
bool PCLXLEmitter::xl_sethalftonemethod_text_vector_raster(std::uint8_t t, std::uint8_t v, std::uint8_t r,
                                                           ByteBuffer& buf) {
  return ObjectTypesOp(oSetHalftoneMethod, t, v, r, buf);
}
bool PCLXLEmitter::xl_setneutralaxis(std::uint8_t value, std::uint16_t attributeId, ByteBuffer& buf) {
  UByteAttr(buf, value, attributeId);
  Put8(buf, oSetNeutralAxis);
  return true;
}
bool PCLXLEmitter::xl_setneutralaxis_text_vector_raster(std::uint8_t t, std::uint8_t v, std::uint8_t r,
                                                        ByteBuffer& buf) {
  return ObjectTypesOp(oSetNeutralAxis, t, v, r, buf);
}
bool PCLXLEmitter::xl_setadaptivehalftoning(std::uint8_t value, std::uint16_t attributeId, ByteBuffer& buf) {
  UByteAttr(buf, value, attributeId);
  Put8(buf, oSetAdaptiveHalftoning);
  return true;
}
bool PCLXLEmitter::xl_setadaptivehalftoning_text_vector_raster(std::uint8_t t, std::uint8_t v,
                                                               std::uint8_t r, ByteBuffer& buf) {
  return ObjectTypesOp(oSetAdaptiveHalftoning, t, v, r, buf);
}

bool PCLXLEmitter::xl_setfillmode(std::uint8_t mode, ByteBuffer& buf) {
  return CachedUByteOp(m_fillMode, mode, aFillMode, oSetFillMode, buf);
}
bool PCLXLEmitter::xl_setlinedash(ByteBuffer& buf) {
  if (m_dashKnown && m_dash.empty()) return true;
  UByteAttr(buf, 0, aSolidLine);
  Put8(buf, oSetLineDash);
  m_dashKnown = true;
  m_dash.clear();
  m_dashOffset = 0;
  return true;
}
bool PCLXLEmitter::xl_setlinedash(const std::vector<std::uint16_t>& pattern, std::uint16_t offset,
                                  ByteBuffer& buf) {
  if (pattern.empty()) return xl_setlinedash(buf);
  if (pattern.size() > kMaxCount) return false;
  if (m_dashKnown && m_dash == pattern && m_dashOffset == offset) return true;
  ArrayHeader(buf, kUInt16 + kArrayOffset, static_cast<std::uint32_t>(pattern.size()));
  for (std::uint16_t v : pattern) Put16(buf, v);
  Attr(buf, aLineDashStyle);
  if (offset != 0) UInt16Attr(buf, offset, aDashOffset);
  Put8(buf, oSetLineDash);
  m_dashKnown = true;
  m_dash = pattern;
  m_dashOffset = offset;
  return true;
}
bool PCLXLEmitter::xl_setlinecap(std::uint8_t cap, ByteBuffer& buf) {
  return CachedUByteOp(m_lineCap, cap, aLineCapStyle, oSetLineCap, buf);
}
bool PCLXLEmitter::xl_setlinejoin(std::uint8_t join, ByteBuffer& buf) {
  return CachedUByteOp(m_lineJoin, join, aLineJoinStyle, oSetLineJoin, buf);
}
bool PCLXLEmitter::xl_setmiterlimit(std::uint16_t limit, ByteBuffer& buf) {
  if (m_miterLimit == limit) return true;
  UInt16Attr(buf, limit, aMiterLength);
  Put8(buf, oSetMiterLimit);
  m_miterLimit = limit;
  return true;
}
bool PCLXLEmitter::xl_setpenwidth(std::uint16_t width, ByteBuffer& buf) {
  if (m_penWidth == width) return true;
  UInt16Attr(buf, width, aPenWidth);
  Put8(buf, oSetPenWidth);
  m_penWidth = width;
  return true;
}
bool PCLXLEmitter::xl_setrop(std::uint8_t rop, ByteBuffer& buf) {
  return CachedUByteOp(m_rop, rop, aROP3, oSetROP, buf);
}
bool PCLXLEmitter::xl_setpainttxmode(std::uint8_t mode, ByteBuffer& buf) {
  return CachedUByteOp(m_paintTxMode, mode, aTxMode, oSetPaintTxMode, buf);
}
bool PCLXLEmitter::xl_setsourcetxmode(std::uint8_t mode, ByteBuffer& buf) {
  return CachedUByteOp(m_sourceTxMode, mode, aTxMode, oSetSourceTxMode, buf);
}

// ------------------------------------------------- page coordinate system

bool PCLXLEmitter::PageCtmChanged() {
  if (m_clipState != kClipPage) m_clipState = kClipUnknown;
  m_pageDefaultCtm = false;
  return true;
}
bool PCLXLEmitter::xl_setpagedefaultctm(ByteBuffer& buf) {
  Put8(buf, oSetPageDefaultCTM);
  PageCtmChanged();
  m_pageDefaultCtm = true;
  return true;
}
bool PCLXLEmitter::xl_setpageorigin(std::int16_t x, std::int16_t y, ByteBuffer& buf) {
  xl_data_sint16_xy(x, y, buf);
  Attr(buf, aPageOrigin);
  Put8(buf, oSetPageOrigin);
  return PageCtmChanged();
}
bool PCLXLEmitter::xl_setpageorigin(std::int32_t x, std::int32_t y, ByteBuffer& buf) {
  std::int64_t rx = x, ry = y;
  do {
    const std::int16_t sx = Clamp16(rx), sy = Clamp16(ry);
    xl_setpageorigin(sx, sy, buf);
    rx -= sx;
    ry -= sy;
  } while (rx != 0 || ry != 0);
  return true;
}
bool PCLXLEmitter::xl_setpagerotation(std::int32_t angle, ByteBuffer& buf) {
  if (angle > 360 || angle < -360) angle %= 360;
  SInt16Attr(buf, static_cast<std::int16_t>(angle), aPageAngle);
  Put8(buf, oSetPageRotation);
  return PageCtmChanged();
}
bool PCLXLEmitter::xl_setpagescale(float x, float y, ByteBuffer& buf) {
  xl_data_real32_xy(x, y, buf);
  Attr(buf, aPageScale);
  Put8(buf, oSetPageScale);
  return PageCtmChanged();
}

float PCLXLEmitter::fHypot(float a, float b) {
  float p = std::fabs(a), q = std::fabs(b);
  if (p < q) std::swap(p, q);
  if (q == 0.0f) return p;
  for (int i = 0; i < 3; ++i) {
    const float r = (q / p) * (q / p);
    const float s = r / (4.0f + r);
    p = p + 2.0f * s * p;
    q = q * s;
  }
  return p;
}

bool PCLXLEmitter::xl_setcoordinate(E_PAPER_DIRECTION direction, const XFORM& x, ByteBuffer& buf) {
  std::int32_t angle = 0;
  float sx, sy;
  if (x.eM12 == 0.0f && x.eM21 == 0.0f) {
    angle = (x.eM11 < 0.0f && x.eM22 < 0.0f) ? 180 : 0;
    sx = std::fabs(x.eM11);
    sy = std::fabs(x.eM22);
  } else if (x.eM11 == 0.0f && x.eM22 == 0.0f) {
    angle = (x.eM12 > 0.0f && x.eM21 < 0.0f) ? 270 : 90;
    sx = std::fabs(x.eM12);
    sy = std::fabs(x.eM21);
  } else {
    sx = fHypot(x.eM11, x.eM12);
    sy = fHypot(x.eM21, x.eM22);
  }
  std::int32_t paper = 0;
  switch (direction) {
    case ePaperDirection180: paper = 180; break;
    case ePaperDirection90: paper = 90; break;
    case ePaperDirection270: paper = 270; break;
    default: paper = 0; break;
  }
  auto toInt = [](float f) -> std::int32_t {
    if (!(f == f)) return 0;
    if (f >= 2147483647.0f) return std::numeric_limits<std::int32_t>::max();
    if (f <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(f);
  };
  xl_setpagerotation(paper, buf);
  xl_setpagedefaultctm(buf);
  xl_setpageorigin(toInt(x.eDx), toInt(x.eDy), buf);
  xl_setpagescale(sx, sy, buf);
  return xl_setpagerotation(angle, buf);
}

// ---------------------------------------------------------------- drawing

bool PCLXLEmitter::xl_newpath(ByteBuffer& buf) { return xl_tag(oNewPath, buf); }
bool PCLXLEmitter::xl_closesubpath(ByteBuffer& buf) { return xl_tag(oCloseSubPath, buf); }
bool PCLXLEmitter::xl_paintpath(ByteBuffer& buf) { return xl_tag(oPaintPath, buf); }

bool PCLXLEmitter::BoxOp(const POINTS& p1, const POINTS& p2, const POINTS* start, const POINTS* end,
                         std::uint8_t op, ByteBuffer& buf) {
  xl_data_s16or8_box(p1.x, p1.y, p2.x, p2.y, buf);
  Attr(buf, aBoundingBox);
  if (start) PointAttr(buf, start->x, start->y, aStartPoint);
  if (end) PointAttr(buf, end->x, end->y, aEndPoint);
  Put8(buf, op);
  return true;
}

bool PCLXLEmitter::xl_arcpath(const POINTS& p1, const POINTS& p2, const POINTS& start, const POINTS& end,
                              std::uint8_t direction, ByteBuffer& buf) {
  xl_data_s16or8_box(p1.x, p1.y, p2.x, p2.y, buf);
  Attr(buf, aBoundingBox);
  PointAttr(buf, start.x, start.y, aStartPoint);
  PointAttr(buf, end.x, end.y, aEndPoint);
  UByteAttr(buf, direction, aArcDirection);
  Put8(buf, oArcPath);
  return true;
}
bool PCLXLEmitter::xl_bezierpath(const POINTS& c1, const POINTS& c2, const POINTS& end, ByteBuffer& buf) {
  PointAttr(buf, c1.x, c1.y, aControlPoint1);
  PointAttr(buf, c2.x, c2.y, aControlPoint2);
  PointAttr(buf, end.x, end.y, aEndPoint);
  Put8(buf, oBezierPath);
  return true;
}
bool PCLXLEmitter::xl_linepath(const POINTS& end, ByteBuffer& buf) {
  PointAttr(buf, end.x, end.y, aEndPoint);
  Put8(buf, oLinePath);
  return true;
}
bool PCLXLEmitter::xl_chord(const POINTS& p1, const POINTS& p2, const POINTS& start, const POINTS& end,
                            ByteBuffer& buf) {
  return BoxOp(p1, p2, &start, &end, oChord, buf);
}
bool PCLXLEmitter::xl_chordpath(const POINTS& p1, const POINTS& p2, const POINTS& start, const POINTS& end,
                                ByteBuffer& buf) {
  return BoxOp(p1, p2, &start, &end, oChordPath, buf);
}
bool PCLXLEmitter::xl_ellipse(const POINTS& p1, const POINTS& p2, ByteBuffer& buf) {
  return BoxOp(p1, p2, nullptr, nullptr, oEllipse, buf);
}
bool PCLXLEmitter::xl_ellipsepath(const POINTS& p1, const POINTS& p2, ByteBuffer& buf) {
  return BoxOp(p1, p2, nullptr, nullptr, oEllipsePath, buf);
}

bool PCLXLEmitter::ConvertedBoxOp(std::uint8_t op, const POINT& p1, const POINT& p2, const POINT* start,
                                  const POINT* end, const std::uint16_t* ellipse, ByteBuffer& buf) {
  POINT pts[4] = {p1, p2, start ? *start : p1, end ? *end : p1};
  const std::uint32_t n = start ? 4 : 2;
  CONVERSION_CTM ctm;
  if (!xl_check_range(n, pts, &ctm)) return false;
  xl_set_convctm(&ctm, buf);
  const POINTS q1{static_cast<std::int16_t>(pts[0].x), static_cast<std::int16_t>(pts[0].y)};
  const POINTS q2{static_cast<std::int16_t>(pts[1].x), static_cast<std::int16_t>(pts[1].y)};
  xl_data_s16or8_box(q1.x, q1.y, q2.x, q2.y, buf);
  Attr(buf, aBoundingBox);
  if (start) {
    PointAttr(buf, static_cast<std::int16_t>(pts[2].x), static_cast<std::int16_t>(pts[2].y), aStartPoint);
    PointAttr(buf, static_cast<std::int16_t>(pts[3].x), static_cast<std::int16_t>(pts[3].y), aEndPoint);
  }
  if (ellipse) {
    // The corner ellipse shrinks with the page scale.
    std::uint16_t ex = ellipse[0], ey = ellipse[1];
    if (ctm.fXScale != 1.0f) ex = static_cast<std::uint16_t>(ex / ctm.fXScale);
    if (ctm.fYScale != 1.0f) ey = static_cast<std::uint16_t>(ey / ctm.fYScale);
    xl_data_u16or8_xy(ex, ey, buf);
    Attr(buf, aEllipseDimension);
  }
  Put8(buf, op);
  return xl_restore_convctm(&ctm, buf);
}

bool PCLXLEmitter::xl_pie(const POINT& p1, const POINT& p2, const POINT& start, const POINT& end,
                          ByteBuffer& buf) {
  return ConvertedBoxOp(oPie, p1, p2, &start, &end, nullptr, buf);
}
bool PCLXLEmitter::xl_rectangle(const POINT& p1, const POINT& p2, ByteBuffer& buf) {
  return ConvertedBoxOp(oRectangle, p1, p2, nullptr, nullptr, nullptr, buf);
}
bool PCLXLEmitter::xl_rectanglepath(const POINT& p1, const POINT& p2, ByteBuffer& buf) {
  return ConvertedBoxOp(oRectanglePath, p1, p2, nullptr, nullptr, nullptr, buf);
}
bool PCLXLEmitter::xl_roundrectangle(const POINT& p1, const POINT& p2, std::uint16_t ellipseX,
                                     std::uint16_t ellipseY, ByteBuffer& buf) {
  const std::uint16_t e[2] = {ellipseX, ellipseY};
  return ConvertedBoxOp(oRoundRectangle, p1, p2, nullptr, nullptr, e, buf);
}
bool PCLXLEmitter::xl_roundrectanglepath(const POINT& p1, const POINT& p2, std::uint16_t ellipseX,
                                         std::uint16_t ellipseY, ByteBuffer& buf) {
  const std::uint16_t e[2] = {ellipseX, ellipseY};
  return ConvertedBoxOp(oRoundRectanglePath, p1, p2, nullptr, nullptr, e, buf);
}

namespace {

// Point-type sets: bit 1 ubyte, 2 sbyte, 4 uint16, 8 sint16.
inline std::uint8_t TypeMask(std::int32_t v) {
  if (v >= 0) return v <= 127 ? 15 : v <= 255 ? 13 : v <= 32767 ? 12 : v <= 65535 ? 4 : 0;
  return v >= -128 ? 10 : v >= -32768 ? 8 : 0;
}

inline bool TypeOf(std::uint8_t mask, std::uint8_t& pointType, std::uint32_t& pointSize) {
  if (mask & 2) {
    pointType = PCLXLEmitter::eSByte;
    pointSize = 2;
  } else if (mask & 1) {
    pointType = PCLXLEmitter::eUByte;
    pointSize = 2;
  } else if (mask & 8) {
    pointType = PCLXLEmitter::eSInt16;
    pointSize = 4;
  } else if (mask & 4) {
    pointType = PCLXLEmitter::eUInt16;
    pointSize = 4;
  } else {
    return false;
  }
  return true;
}

struct PointRun {
  std::uint32_t taken = 0;
  std::uint8_t type = 0;
  bool relative = false;
  std::uint32_t size = 0;
};

// The longest run of points one point type holds, absolute or relative.
bool AnalysePoints(const PCLXLEmitter::POINT& current, std::uint32_t count, const PCLXLEmitter::POINT* points,
                   bool curve, PointRun& run) {
  if (count > PCLXLEmitter::kMaxCount) count = PCLXLEmitter::kMaxCount;
  std::uint8_t absMask = 15, relMask = 15;
  std::uint32_t absTaken = 0, relTaken = 0;
  bool absOpen = true, relOpen = true;
  PCLXLEmitter::POINT ref = current;
  for (std::uint32_t i = 0; i < count && (absOpen || relOpen); ++i) {
    const PCLXLEmitter::POINT& p = points[i];
    if (absOpen) {
      const std::uint8_t m =
          absMask & TypeMask(p.x) & TypeMask(p.y);
      if (m) {
        absMask = m;
        absTaken = i + 1;
      } else {
        absOpen = false;
      }
    }
    if (relOpen) {
      const std::int64_t dx = static_cast<std::int64_t>(p.x) - ref.x;
      const std::int64_t dy = static_cast<std::int64_t>(p.y) - ref.y;
      std::uint8_t m = 0;
      if (dx >= -32768 && dx <= 65535 && dy >= -32768 && dy <= 65535) {
        m = relMask & TypeMask(static_cast<std::int32_t>(dx)) & TypeMask(static_cast<std::int32_t>(dy));
      }
      if (m) {
        relMask = m;
        relTaken = i + 1;
      } else {
        relOpen = false;
      }
    }
    if (!curve || i % 3 == 2) ref = p;
  }
  if (curve) {
    // A curve run ends on a segment's end point.
    absTaken -= absTaken % 3;
    relTaken -= relTaken % 3;
  }
  std::uint8_t absType = 0, relType = 0;
  std::uint32_t absSize = 0, relSize = 0;
  const bool absOk = absTaken > 0 && TypeOf(absMask, absType, absSize);
  const bool relOk = relTaken > 0 && TypeOf(relMask, relType, relSize);
  if (!absOk && !relOk) return false;
  // Relative when absolute is impossible or is not smaller per point.
  run.relative = relOk && (!absOk || relSize <= absSize);
  run.taken = run.relative ? relTaken : absTaken;
  run.type = run.relative ? relType : absType;
  run.size = run.relative ? relSize : absSize;
  return true;
}

void EncodePoints(const PCLXLEmitter::POINT& current, const PCLXLEmitter::POINT* points, bool curve,
                  const PointRun& run, std::uint8_t* out) {
  PCLXLEmitter::POINT ref = current;
  for (std::uint32_t i = 0; i < run.taken; ++i) {
    const PCLXLEmitter::POINT& p = points[i];
    // Only values that passed the analysis arrive here, so the
    // differences fit.
    const std::int32_t vx = run.relative ? p.x - ref.x : p.x;
    const std::int32_t vy = run.relative ? p.y - ref.y : p.y;
    if (run.size == 2) {
      *out++ = static_cast<std::uint8_t>(vx);
      *out++ = static_cast<std::uint8_t>(vy);
    } else {
      *out++ = static_cast<std::uint8_t>(vx);
      *out++ = static_cast<std::uint8_t>(vx >> 8);
      *out++ = static_cast<std::uint8_t>(vy);
      *out++ = static_cast<std::uint8_t>(vy >> 8);
    }
    if (!curve || i % 3 == 2) ref = p;
  }
}

}  // namespace

bool PCLXLEmitter::PointListOp(const POINT& current, std::uint32_t count, const POINT* points, bool curve,
                               ByteBuffer& buf) {
  if (count == 0) return true;
  if (!points) return false;
  // Curves come in whole segments of three points.
  if (curve && count % 3 != 0) return false;
  Mark mark(buf);
  POINT ref = current;
  std::uint32_t done = 0;
  while (done < count) {
    PointRun run;
    if (!AnalysePoints(ref, count - done, points + done, curve, run)) return false;
    const std::uint32_t length = run.taken * run.size;
    Small head;
    head.u8(kUInt16).u16(static_cast<std::uint16_t>(run.taken)).attr(aNumberOfPoints);
    head.u8(kUByte).u8(run.type).attr(aPointType);
    head.u8(curve ? (run.relative ? oBezierRelPath : oBezierPath) : (run.relative ? oLineRelPath : oLinePath));
    if (length < 256) {
      head.u8(kDataLengthByte).u8(static_cast<std::uint8_t>(length));
    } else {
      head.u8(kDataLength).u32(length);
    }
    head.to(buf);
    const std::size_t at = buf.size();
    buf.resize(at + length);
    EncodePoints(ref, points + done, curve, run, buf.data() + at);
    done += run.taken;
    ref = points[done - 1];
  }
  return mark.keep();
}

bool PCLXLEmitter::xl_bezierpath(const POINT& current, std::uint32_t count, const POINT* points,
                                 ByteBuffer& buf) {
  return PointListOp(current, count, points, true, buf);
}
bool PCLXLEmitter::xl_linepath(const POINT& current, std::uint32_t count, const POINT* points,
                               ByteBuffer& buf) {
  return PointListOp(current, count, points, false, buf);
}

// --------------------------------------------------------- images, patterns

bool PCLXLEmitter::BeginRasterOp(std::uint8_t op, std::uint8_t colorMapping, std::uint8_t colorDepth,
                                 std::uint16_t sourceWidth, std::uint16_t sourceHeight,
                                 std::uint16_t destWidth, std::uint16_t destHeight,
                                 const std::int16_t* patternId, std::uint8_t persistence, ByteBuffer& buf) {
  UByteAttr(buf, colorMapping, aColorMapping);
  UByteAttr(buf, colorDepth, aColorDepth);
  UInt16Attr(buf, sourceWidth, aSourceWidth);
  UInt16Attr(buf, sourceHeight, aSourceHeight);
  xl_data_uint16_xy(destWidth, destHeight, buf);
  Attr(buf, aDestinationSize);
  if (patternId) {
    SInt16Attr(buf, *patternId, aPatternDefineID);
    UByteAttr(buf, persistence, aPatternPersistence);
  }
  Put8(buf, op);
  return true;
}
bool PCLXLEmitter::xl_beginimage(std::uint8_t colorMapping, std::uint8_t colorDepth, std::uint16_t sourceWidth,
                                 std::uint16_t sourceHeight, std::uint16_t destWidth, std::uint16_t destHeight,
                                 ByteBuffer& buf) {
  return BeginRasterOp(oBeginImage, colorMapping, colorDepth, sourceWidth, sourceHeight, destWidth,
                       destHeight, nullptr, 0, buf);
}
bool PCLXLEmitter::ReadDataOp(std::uint8_t op, std::uint16_t startLine, std::uint16_t blockHeight,
                              std::uint8_t compressMode, std::uint8_t padBytes, std::uint32_t length,
                              const std::uint8_t* bytes, ByteBuffer& buf) {
  UInt16Attr(buf, startLine, aStartLine);
  UInt16Attr(buf, blockHeight, aBlockHeight);
  UByteAttr(buf, compressMode, aCompressMode);
  if (padBytes != 0 && padBytes != 4) UByteAttr(buf, padBytes, aPadBytesMultiple);
  Put8(buf, op);
  if (bytes) {
    EmbeddedHeader(buf, length);
    PutBytes(buf, bytes, length);
  } else {
    EmbeddedHeader(buf, length);
  }
  return true;
}
bool PCLXLEmitter::xl_readimage_hdr(std::uint16_t startLine, std::uint16_t blockHeight, std::uint8_t compressMode,
                                    std::uint8_t padBytes, std::uint32_t length, ByteBuffer& buf) {
  return ReadDataOp(oReadImage, startLine, blockHeight, compressMode, padBytes, length, nullptr, buf);
}
bool PCLXLEmitter::xl_readimage(std::uint16_t startLine, std::uint16_t blockHeight, std::uint8_t compressMode,
                                std::uint8_t padBytes, std::uint32_t length, const std::uint8_t* bytes,
                                ByteBuffer& buf) {
  if (length && !bytes) return false;
  static const std::uint8_t kNone = 0;
  return ReadDataOp(oReadImage, startLine, blockHeight, compressMode, padBytes, length,
                    bytes ? bytes : &kNone, buf);
}
bool PCLXLEmitter::xl_endimage(ByteBuffer& buf) { return xl_tag(oEndImage, buf); }
bool PCLXLEmitter::xl_beginrastpattern(std::uint8_t colorMapping, std::uint8_t colorDepth,
                                       std::uint16_t sourceWidth, std::uint16_t sourceHeight,
                                       std::uint16_t destWidth, std::uint16_t destHeight,
                                       std::int16_t patternId, std::uint8_t persistence, ByteBuffer& buf) {
  return BeginRasterOp(oBeginRastPattern, colorMapping, colorDepth, sourceWidth, sourceHeight, destWidth,
                       destHeight, &patternId, persistence, buf);
}
bool PCLXLEmitter::xl_readrastpattern_hdr(std::uint16_t startLine, std::uint16_t blockHeight,
                                          std::uint8_t compressMode, std::uint8_t padBytes,
                                          std::uint32_t length, ByteBuffer& buf) {
  return ReadDataOp(oReadRastPattern, startLine, blockHeight, compressMode, padBytes, length, nullptr, buf);
}
bool PCLXLEmitter::xl_readrastpattern_data(std::uint32_t length, const std::uint8_t* bytes, ByteBuffer& buf) {
  return xlputbulkdata(length, bytes, buf);
}
bool PCLXLEmitter::xl_readrastpattern(std::uint16_t startLine, std::uint16_t blockHeight,
                                      std::uint8_t compressMode, std::uint8_t padBytes, std::uint32_t length,
                                      const std::uint8_t* bytes, ByteBuffer& buf) {
  if (length && !bytes) return false;
  static const std::uint8_t kNone = 0;
  return ReadDataOp(oReadRastPattern, startLine, blockHeight, compressMode, padBytes, length,
                    bytes ? bytes : &kNone, buf);
}
bool PCLXLEmitter::xl_endrastpattern(ByteBuffer& buf) { return xl_tag(oEndRastPattern, buf); }

bool PCLXLEmitter::PatternSource(SourceState& s, bool pen, std::uint8_t colorSpace, std::uint8_t paletteDepth,
                                 std::uint32_t paletteLength, const std::uint8_t* palette,
                                 std::uint8_t colorMapping, std::uint8_t colorDepth, std::uint16_t width,
                                 std::uint16_t height, std::uint16_t destWidth, std::uint16_t destHeight,
                                 std::int16_t patternId, std::uint8_t persistence, std::uint32_t length,
                                 const std::uint8_t* bytes, ByteBuffer& buf) {
  if ((length && !bytes) || (paletteLength && !palette)) return false;
  const std::int32_t depth = paletteLength ? paletteDepth : kUnknown;
  std::vector<std::uint8_t> pal(palette, palette + paletteLength);
  std::vector<std::uint8_t> data(bytes, bytes + length);
  if (s.kind == kSourcePattern && s.colorSpace == colorSpace && s.paletteDepth == depth && s.palette == pal &&
      s.pattern == data && m_colorSpace == colorSpace) {
    return true;
  }
  Mark mark(buf);
  const bool ok = paletteLength
                      ? xl_setcolorspace_palette(colorSpace, paletteDepth, paletteLength, palette, buf)
                      : xl_setcolorspace_simple(colorSpace, buf);
  if (!ok) return false;
  xl_beginrastpattern(colorMapping, colorDepth, width, height, destWidth, destHeight, patternId, persistence,
                      buf);
  xl_readrastpattern(0, height, 0, 0, length, bytes, buf);
  xl_endrastpattern(buf);
  SourcePattern(s, patternId, 0, 0, 0, 0, pen ? oSetPenSource : oSetBrushSource, buf);
  s.colorSpace = colorSpace;
  s.paletteDepth = depth;
  s.palette = std::move(pal);
  s.pattern = std::move(data);
  return mark.keep();
}
bool PCLXLEmitter::xl_setpatternbrush(std::uint8_t colorSpace, std::uint8_t paletteDepth,
                                      std::uint32_t paletteLength, const std::uint8_t* palette,
                                      std::uint8_t colorMapping, std::uint8_t colorDepth, std::uint16_t width,
                                      std::uint16_t height, std::uint16_t destWidth, std::uint16_t destHeight,
                                      std::int16_t patternId, std::uint8_t persistence, std::uint32_t length,
                                      const std::uint8_t* bytes, ByteBuffer& buf) {
  return PatternSource(m_brush, false, colorSpace, paletteDepth, paletteLength, palette, colorMapping,
                       colorDepth, width, height, destWidth, destHeight, patternId, persistence, length,
                       bytes, buf);
}
bool PCLXLEmitter::xl_setpatternpen(std::uint8_t colorSpace, std::uint8_t paletteDepth,
                                    std::uint32_t paletteLength, const std::uint8_t* palette,
                                    std::uint8_t colorMapping, std::uint8_t colorDepth, std::uint16_t width,
                                    std::uint16_t height, std::uint16_t destWidth, std::uint16_t destHeight,
                                    std::int16_t patternId, std::uint8_t persistence, std::uint32_t length,
                                    const std::uint8_t* bytes, ByteBuffer& buf) {
  return PatternSource(m_pen, true, colorSpace, paletteDepth, paletteLength, palette, colorMapping,
                       colorDepth, width, height, destWidth, destHeight, patternId, persistence, length,
                       bytes, buf);
}

// -------------------------------------------------------------- scan lines

bool PCLXLEmitter::xl_beginscan(ByteBuffer& buf) { return xl_tag(oBeginScan, buf); }
bool PCLXLEmitter::xl_endscan(ByteBuffer& buf) {
  m_scanLeadPending = false;
  return xl_tag(oEndScan, buf);
}
bool PCLXLEmitter::xl_scanlinerel(std::uint16_t count, ByteBuffer& buf) {
  if (count > 1) UInt16Attr(buf, count, aNumberOfScanLines);
  Put8(buf, oScanLineRel);
  m_scanLeadPending = true;
  return true;
}

bool PCLXLEmitter::xl_scanlinerel_data(const POINTS& point, std::uint32_t pairCount, const std::uint16_t* pairs,
                                       ByteBuffer& buf) {
  if (pairCount > kMaxCount || (pairCount && !pairs) || point.x < 0 || point.y < 0) return false;
  bool wide = false;
  for (std::uint32_t i = 0; i < 2 * pairCount && !wide; ++i) wide = pairs[i] > 255;
  const std::uint64_t size = (m_scanLeadPending ? 1 : 0) + 7 + std::uint64_t{2} * pairCount * (wide ? 2 : 1);
  EmbeddedHeader(buf, static_cast<std::uint32_t>(size));
  // The lead byte opens the data of the operator, not every scan line.
  if (m_scanLeadPending) Put8(buf, kScanLineLead);
  m_scanLeadPending = false;
  Put16(buf, static_cast<std::uint16_t>(point.x));
  Put16(buf, static_cast<std::uint16_t>(point.y));
  Put16(buf, static_cast<std::uint16_t>(pairCount));
  Put8(buf, wide ? eUInt16 : eUByte);
  for (std::uint32_t i = 0; i < 2 * pairCount; ++i) {
    if (wide) {
      Put16(buf, pairs[i]);
    } else {
      Put8(buf, static_cast<std::uint8_t>(pairs[i]));
    }
  }
  return true;
}

bool PCLXLEmitter::xl_scanline_data(const POINTS& point, std::uint32_t pairCount, const std::uint16_t* pairs,
                                    ByteBuffer& buf) {
  if (pairCount > kMaxCount || (pairCount && !pairs) || point.x < 0) return false;
  std::vector<std::uint16_t> rel(2 * static_cast<std::size_t>(pairCount));
  std::int32_t previous = point.x;
  for (std::uint32_t i = 0; i < pairCount; ++i) {
    const std::int32_t start = pairs[2 * i], end = pairs[2 * i + 1];
    if (start < previous || end < start) return false;
    rel[2 * i] = static_cast<std::uint16_t>(start - previous);
    rel[2 * i + 1] = static_cast<std::uint16_t>(end - start);
    previous = end;
  }
  return xl_scanlinerel_data(point, pairCount, rel.data(), buf);
}

// ------------------------------------------------------ coordinate helpers

bool PCLXLEmitter::xl_check_range(std::uint32_t count, POINT* points, CONVERSION_CTM* ctm) {
  if (!ctm || (count && !points)) return false;
  *ctm = CONVERSION_CTM{};
  if (count == 0) return true;
  std::int64_t minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
  bool fits = true;
  for (std::uint32_t i = 0; i < count; ++i) {
    fits = fits && Fits16(points[i].x) && Fits16(points[i].y);
    minX = std::min<std::int64_t>(minX, points[i].x);
    maxX = std::max<std::int64_t>(maxX, points[i].x);
    minY = std::min<std::int64_t>(minY, points[i].y);
    maxY = std::max<std::int64_t>(maxY, points[i].y);
  }
  if (fits) return true;
  // Spans are computed in 64 bits, and the centre is rounded up so that
  // the far side of a span of 65536*d - 1 still lands on 32767, not 32768.
  const std::int64_t w = maxX - minX, h = maxY - minY;
  const std::int64_t cx = minX + (w + 1) / 2, cy = minY + (h + 1) / 2;
  std::int64_t d = 1;
  if (w >= 65536 || h >= 65536) d = std::max(w / 65536 + 1, h / 65536 + 1);
  for (std::uint32_t i = 0; i < count; ++i) {
    points[i].x = static_cast<std::int32_t>((points[i].x - cx) / d);
    points[i].y = static_cast<std::int32_t>((points[i].y - cy) / d);
  }
  ctm->lXOffset = static_cast<std::int32_t>(cx);
  ctm->lYOffset = static_cast<std::int32_t>(cy);
  ctm->fXScale = ctm->fYScale = static_cast<float>(d);
  return true;
}

bool PCLXLEmitter::xl_set_convctm(const CONVERSION_CTM* ctm, ByteBuffer& buf) {
  if (!ctm) return false;
  if (ctm->lXOffset != 0 || ctm->lYOffset != 0) xl_setpageorigin(ctm->lXOffset, ctm->lYOffset, buf);
  if (ctm->sRotation != 0) xl_setpagerotation(ctm->sRotation, buf);
  if (ctm->fXScale != 1.0f || ctm->fYScale != 1.0f) xl_setpagescale(ctm->fXScale, ctm->fYScale, buf);
  return true;
}

bool PCLXLEmitter::xl_restore_convctm(const CONVERSION_CTM* ctm, ByteBuffer& buf) {
  if (!ctm) return false;
  if (ctm->fXScale != 1.0f || ctm->fYScale != 1.0f) {
    xl_setpagescale(1.0f / ctm->fXScale, 1.0f / ctm->fYScale, buf);
  }
  if (ctm->sRotation != 0) xl_setpagerotation(-static_cast<std::int32_t>(ctm->sRotation), buf);
  if (ctm->lXOffset != 0 || ctm->lYOffset != 0) {
    // Negating INT32_MIN needs the wider type; the steps take it in parts.
    const std::int64_t nx = -static_cast<std::int64_t>(ctm->lXOffset);
    const std::int64_t ny = -static_cast<std::int64_t>(ctm->lYOffset);
    std::int64_t rx = nx, ry = ny;
    do {
      const std::int16_t sx = Clamp16(rx), sy = Clamp16(ry);
      xl_setpageorigin(sx, sy, buf);
      rx -= sx;
      ry -= sy;
    } while (rx != 0 || ry != 0);
  }
  return true;
}

bool PCLXLEmitter::xl_convert_point(const CONVERSION_CTM* ctm, const POINT& in, POINT& out) {
  if (!ctm) return false;
  POINT origin{ctm->lXOffset, ctm->lYOffset};
  return xl_convert_point(ctm, in, origin, out);
}

bool PCLXLEmitter::xl_convert_point(const CONVERSION_CTM* ctm, const POINT& in, const POINT& previous,
                                    POINT& out) {
  if (!ctm) return false;
  double x = static_cast<double>(in.x) - previous.x;
  double y = static_cast<double>(in.y) - previous.y;
  if (ctm->fXScale != 1.0f && ctm->fXScale != 0.0f) x /= ctm->fXScale;
  if (ctm->fYScale != 1.0f && ctm->fYScale != 0.0f) y /= ctm->fYScale;
  x = std::clamp(std::trunc(x), -2147483648.0, 2147483647.0);
  y = std::clamp(std::trunc(y), -2147483648.0, 2147483647.0);
  out.x = static_cast<std::int32_t>(x);
  out.y = static_cast<std::int32_t>(y);
  return true;
}

std::uint8_t PCLXLEmitter::xl_make_typemask(std::int32_t v) { return TypeMask(v); }

bool PCLXLEmitter::xl_get_type(std::uint8_t mask, std::uint8_t& pointType, std::uint32_t& pointSize) {
  return TypeOf(mask, pointType, pointSize);
}

PCLXLEmitter::POINTS PCLXLEmitter::xl_point_to_bpoint(const POINT& point) {
  return POINTS{Clamp16(point.x), Clamp16(point.y)};
}

std::uint32_t PCLXLEmitter::xl_convert_points_range(const POINT& current, std::uint32_t count,
                                                    const POINT* points, bool curve, std::uint8_t& pointType,
                                                    bool& relative, ByteBuffer& bytes) {
  bytes.clear();
  if (!points || count == 0) return 0;
  PointRun run;
  if (!AnalysePoints(current, count, points, curve, run)) return 0;
  bytes.resize(static_cast<std::size_t>(run.taken) * run.size);
  EncodePoints(current, points, curve, run, bytes.data());
  pointType = run.type;
  relative = run.relative;
  return run.taken;
}

// ------------------------------------------------------------- raster rows

namespace {

// Index of the first non-zero byte of a word loaded from memory.
inline std::size_t FirstSetByte(std::uint64_t x) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<std::size_t>(std::countr_zero(x)) >> 3;
  } else {
    return static_cast<std::size_t>(std::countl_zero(x)) >> 3;
  }
}

// Length of the run of bytes equal to p[0] (n >= 1), eight at a time.
inline std::size_t RunOf(const std::uint8_t* p, std::size_t n) {
  const std::uint64_t pattern = 0x0101010101010101ull * p[0];
  std::size_t i = 1;
  while (i + 8 <= n) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (const std::uint64_t x = w ^ pattern) return i + FirstSetByte(x);
    i += 8;
  }
  while (i < n && p[i] == p[0]) ++i;
  return i;
}

// Number of leading bytes in which a and b agree.
inline std::size_t SameLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  std::size_t i = 0;
  while (i + 8 <= n) {
    std::uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) return i + FirstSetByte(x ^ y);
    i += 8;
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

}  // namespace


std::int32_t PCLXLEmitter::EncodeRunLengthRow(const std::uint8_t* row, std::int32_t length, std::uint8_t* out,
                                              std::int32_t capacity) {
  if (length <= 0) return 0;
  if (!row || !out || capacity < 0) return -length;
  std::int32_t o = 0, i = 0, literalStart = 0;
  auto flushLiteral = [&](std::int32_t end) -> bool {
    while (literalStart < end) {
      const std::int32_t n = std::min<std::int32_t>(128, end - literalStart);
      if (capacity - o < n + 1) return false;
      out[o++] = static_cast<std::uint8_t>(n - 1);
      std::memcpy(out + o, row + literalStart, static_cast<std::size_t>(n));
      o += n;
      literalStart += n;
    }
    return true;
  };
  while (i < length) {
    std::int32_t run = static_cast<std::int32_t>(RunOf(row + i, static_cast<std::size_t>(length - i)));
    if (run >= 3) {
      if (!flushLiteral(i)) return -length;
      while (run >= 3) {
        const std::int32_t n = std::min<std::int32_t>(128, run);
        if (capacity - o < 2) return -length;
        out[o++] = static_cast<std::uint8_t>(1 - n);
        out[o++] = row[i];
        i += n;
        run -= n;
      }
      // A remainder of one or two goes into the next literal.
      literalStart = i;
      i += run;
    } else {
      i += run;
    }
  }
  if (!flushLiteral(length)) return -length;
  return o;
}

std::int32_t PCLXLEmitter::EncodeDeltaRow(const std::uint8_t* row, const std::uint8_t* seed, std::int32_t length,
                                          std::uint8_t* out, std::int32_t capacity) {
  if (length <= 0) return 0;
  if (!row || !seed || !out || capacity < 0) return -length;
  std::int32_t o = 0, i = 0, last = 0;  // last: end of the previous replacement
  while (i < length) {
    if (row[i] == seed[i]) {
      i += static_cast<std::int32_t>(
          SameLength(row + i, seed + i, static_cast<std::size_t>(length - i)));
      continue;
    }
    std::int32_t n = 0;
    while (i + n < length && n < 8 && row[i + n] != seed[i + n]) ++n;
    std::int32_t offset = i - last;
    const std::int32_t extra = offset >= 31 ? (offset - 31) / 255 + 1 : 0;
    if (capacity - o < 1 + extra + n) return -length;
    out[o++] = static_cast<std::uint8_t>(((n - 1) << 5) | std::min<std::int32_t>(offset, 31));
    if (offset >= 31) {
      offset -= 31;
      while (offset >= 255) {
        out[o++] = 255;
        offset -= 255;
      }
      out[o++] = static_cast<std::uint8_t>(offset);
    }
    std::memcpy(out + o, row + i, static_cast<std::size_t>(n));
    o += n;
    i += n;
    last = i;
  }
  return o;
}

bool PCLXLEmitter::Compress(bool color, bool deltaRow, std::int32_t width, std::int32_t height,
                            const std::uint8_t* bits, ByteBuffer& out) {
  if (width < 0 || height < 0) return false;
  if (width == 0 || height == 0) return true;
  if (!bits) return false;
  const bool delta = color && deltaRow;
  const std::int64_t bpp = color ? 3 : 1;
  std::int64_t rowBytes = static_cast<std::int64_t>(width) * bpp;
  if (!delta) rowBytes = (rowBytes + 3) & ~std::int64_t{3};
  // A row must fit the row encoders and, for delta rows, its uint16 count.
  if (rowBytes > (delta ? 32767 : std::numeric_limits<std::int32_t>::max() / 2)) return false;
  const std::int32_t len = static_cast<std::int32_t>(rowBytes);
  // Worst cases: a literal header per 128 bytes; a command byte per byte
  // plus its offset bytes for delta rows. Sized from the row, not the count.
  const std::int32_t cap = delta ? 2 * len + len / 255 + 8 : len + len / 128 + 8;
  std::vector<std::uint8_t> scratch(static_cast<std::size_t>(cap));
  std::vector<std::uint8_t> seed(delta ? static_cast<std::size_t>(len) : 0, 0);
  Mark mark(out);
  for (std::int32_t r = 0; r < height; ++r) {
    const std::uint8_t* row = bits + static_cast<std::size_t>(r) * static_cast<std::size_t>(len);
    std::int32_t n;
    if (delta) {
      n = EncodeDeltaRow(row, seed.data(), len, scratch.data(), cap);
      if (n < 0 || n > 65535) return false;
      Put16(out, static_cast<std::uint16_t>(n));
      std::memcpy(seed.data(), row, static_cast<std::size_t>(len));
    } else {
      n = EncodeRunLengthRow(row, len, scratch.data(), cap);
      if (n < 0) return false;
    }
    PutBytes(out, scratch.data(), static_cast<std::size_t>(n));
  }
  return mark.keep();
}
