#include "cli/pclxl/PclXlReader.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace w4pclxl {
namespace {

// Tag ranges of the binary binding.
constexpr std::uint8_t kScalarFirst = 0xC0;   // ubyte .. real32: C0..C5
constexpr std::uint8_t kArrayFirst = 0xC8;    // C8..CD
constexpr std::uint8_t kXyFirst = 0xD0;       // D0..D5
constexpr std::uint8_t kBoxFirst = 0xE0;      // E0..E5
constexpr std::uint8_t kAttrUByte = 0xF8;
constexpr std::uint8_t kAttrUInt16 = 0xF9;
constexpr std::uint8_t kDataLength = 0xFA;    // four-byte length
constexpr std::uint8_t kDataLengthByte = 0xFB;
constexpr char kUel[] = "\x1b%-12345X";
constexpr std::size_t kUelLength = sizeof(kUel) - 1;

constexpr std::size_t kElementSize[] = {1, 2, 4, 2, 4, 4};

struct NameEntry {
  std::uint16_t code;
  const char* name;
};

constexpr NameEntry kOperators[] = {
    {0x41, "BeginSession"}, {0x42, "EndSession"}, {0x43, "BeginPage"}, {0x44, "EndPage"},
    {0x46, "VendorUnique"}, {0x47, "Comment"}, {0x48, "OpenDataSource"},
    {0x49, "CloseDataSource"}, {0x4A, "EchoComment"}, {0x4B, "Query"}, {0x4C, "Diagnostic3"},
    {0x4F, "BeginFontHeader"}, {0x50, "ReadFontHeader"}, {0x51, "EndFontHeader"},
    {0x52, "BeginChar"}, {0x53, "ReadChar"}, {0x54, "EndChar"}, {0x55, "RemoveFont"},
    {0x56, "SetCharAttributes"}, {0x57, "SetDefaultGS"}, {0x58, "SetColorTreatment"},
    {0x5B, "BeginStream"}, {0x5C, "ReadStream"}, {0x5D, "EndStream"}, {0x5E, "ExecStream"},
    {0x5F, "RemoveStream"}, {0x60, "PopGS"}, {0x61, "PushGS"}, {0x62, "SetClipReplace"},
    {0x63, "SetBrushSource"}, {0x64, "SetCharAngle"}, {0x65, "SetCharScale"},
    {0x66, "SetCharShear"}, {0x67, "SetClipIntersect"}, {0x68, "SetClipRectangle"},
    {0x69, "SetClipToPage"}, {0x6A, "SetColorSpace"}, {0x6B, "SetCursor"},
    {0x6C, "SetCursorRel"}, {0x6D, "SetHalftoneMethod"}, {0x6E, "SetFillMode"},
    {0x6F, "SetFont"}, {0x70, "SetLineDash"}, {0x71, "SetLineCap"}, {0x72, "SetLineJoin"},
    {0x73, "SetMiterLimit"}, {0x74, "SetPageDefaultCTM"}, {0x75, "SetPageOrigin"},
    {0x76, "SetPageRotation"}, {0x77, "SetPageScale"}, {0x78, "SetPaintTxMode"},
    {0x79, "SetPenSource"}, {0x7A, "SetPenWidth"}, {0x7B, "SetROP"},
    {0x7C, "SetSourceTxMode"}, {0x7D, "SetCharBoldValue"}, {0x7E, "SetNeutralAxis"},
    {0x7F, "SetClipMode"}, {0x80, "SetPathToClip"}, {0x81, "SetCharSubMode"},
    {0x82, "BeginUserDefinedLineCap"}, {0x83, "EndUserDefinedLineCap"},
    {0x84, "CloseSubPath"}, {0x85, "NewPath"}, {0x86, "PaintPath"}, {0x91, "ArcPath"},
    {0x92, "SetColorTrapping"}, {0x93, "BezierPath"}, {0x94, "SetAdaptiveHalftoning"},
    {0x95, "BezierRelPath"}, {0x96, "Chord"}, {0x97, "ChordPath"}, {0x98, "Ellipse"},
    {0x99, "EllipsePath"}, {0x9B, "LinePath"}, {0x9D, "LineRelPath"}, {0x9E, "Pie"},
    {0x9F, "PiePath"}, {0xA0, "Rectangle"}, {0xA1, "RectanglePath"},
    {0xA2, "RoundRectangle"}, {0xA3, "RoundRectanglePath"}, {0xA8, "Text"},
    {0xA9, "TextPath"}, {0xB0, "BeginImage"}, {0xB1, "ReadImage"}, {0xB2, "EndImage"},
    {0xB3, "BeginRastPattern"}, {0xB4, "ReadRastPattern"}, {0xB5, "EndRastPattern"},
    {0xB6, "BeginScan"}, {0xB8, "EndScan"}, {0xB9, "ScanLineRel"}, {0xBF, "PassThrough"},
};

constexpr NameEntry kAttributes[] = {
    {0x02, "PaletteDepth"}, {0x03, "ColorSpace"}, {0x04, "NullBrush"}, {0x05, "NullPen"},
    {0x06, "PaletteData"}, {0x08, "PatternSelectID"}, {0x09, "GrayLevel"},
    {0x0B, "RGBColor"}, {0x0C, "PatternOrigin"}, {0x0D, "NewDestinationSize"},
    {0x0E, "PrimaryArray"}, {0x0F, "PrimaryDepth"}, {0x1D, "AllObjectTypes"},
    {0x1E, "TextObjects"}, {0x1F, "VectorObjects"}, {0x20, "RasterObjects"},
    {0x21, "DeviceMatrix"}, {0x22, "DitherMatrixDataType"}, {0x23, "DitherOrigin"},
    {0x24, "MediaDestination"}, {0x25, "MediaSize"}, {0x26, "MediaSource"},
    {0x27, "MediaType"}, {0x28, "Orientation"}, {0x29, "PageAngle"}, {0x2A, "PageOrigin"},
    {0x2B, "PageScale"}, {0x2C, "ROP3"}, {0x2D, "TxMode"}, {0x2F, "CustomMediaSize"},
    {0x30, "CustomMediaSizeUnits"}, {0x31, "PageCopies"}, {0x32, "DitherMatrixSize"},
    {0x33, "DitherMatrixDepth"}, {0x34, "SimplexPageMode"}, {0x35, "DuplexPageMode"},
    {0x36, "DuplexPageSide"}, {0x41, "ArcDirection"}, {0x42, "BoundingBox"},
    {0x43, "DashOffset"}, {0x44, "EllipseDimension"}, {0x45, "EndPoint"},
    {0x46, "FillMode"}, {0x47, "LineCapStyle"}, {0x48, "LineJoinStyle"},
    {0x49, "MiterLength"}, {0x4A, "LineDashStyle"}, {0x4B, "PenWidth"}, {0x4C, "Point"},
    {0x4D, "NumberOfPoints"}, {0x4E, "SolidLine"}, {0x4F, "StartPoint"},
    {0x50, "PointType"}, {0x51, "ControlPoint1"}, {0x52, "ControlPoint2"},
    {0x53, "ClipRegion"}, {0x54, "ClipMode"}, {0x62, "ColorDepth"}, {0x63, "BlockHeight"},
    {0x64, "ColorMapping"}, {0x65, "CompressMode"}, {0x66, "DestinationBox"},
    {0x67, "DestinationSize"}, {0x68, "PatternPersistence"}, {0x69, "PatternDefineID"},
    {0x6B, "SourceHeight"}, {0x6C, "SourceWidth"}, {0x6D, "StartLine"},
    {0x6E, "PadBytesMultiple"}, {0x6F, "BlockByteLength"}, {0x73, "NumberOfScanLines"},
    {0x78, "ColorTreatment"}, {0x81, "CommentData"}, {0x82, "DataOrg"}, {0x86, "Measure"},
    {0x88, "SourceType"}, {0x89, "UnitsPerMeasure"}, {0x8A, "QueryKey"},
    {0x8B, "StreamName"}, {0x8C, "StreamDataLength"}, {0x8F, "ErrorReport"},
    {0xA1, "CharAngle"}, {0xA2, "CharCode"}, {0xA3, "CharDataSize"}, {0xA4, "CharScale"},
    {0xA5, "CharShear"}, {0xA6, "CharSize"}, {0xA7, "FontHeaderLength"},
    {0xA8, "FontName"}, {0xA9, "FontFormat"}, {0xAA, "SymbolSet"}, {0xAB, "TextData"},
    {0xAC, "CharSubModeArray"}, {0xAD, "WritingMode"}, {0xAF, "XSpacingData"},
    {0xB0, "YSpacingData"}, {0xB1, "CharBoldValue"},
};

const char* Lookup(const NameEntry* table, std::size_t n, std::uint16_t code) {
  for (std::size_t i = 0; i < n; ++i) {
    if (table[i].code == code) return table[i].name;
  }
  return nullptr;
}

bool IsWhitespace(std::uint8_t b) {
  return b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0B || b == 0x0C || b == 0x0D ||
         b == 0x20;
}

// A bounds-checked cursor; every read checks the bytes left first.
class Cursor {
 public:
  Cursor(const std::uint8_t* p, std::size_t n, bool bigEndian)
      : base_(p), size_(n), big_(bigEndian) {}
  std::size_t offset() const { return pos_; }
  std::size_t left() const { return size_ - pos_; }
  bool atEnd() const { return pos_ >= size_; }
  std::uint8_t peek() const { return base_[pos_]; }
  const std::uint8_t* here() const { return base_ + pos_; }
  void skip(std::size_t n) { pos_ += n; }

  bool unsignedValue(std::size_t width, std::uint32_t& v) {
    if (left() < width) return false;
    v = 0;
    for (std::size_t i = 0; i < width; ++i) {
      std::size_t k = big_ ? i : width - 1 - i;
      v = (v << 8) | base_[pos_ + k];
    }
    pos_ += width;
    return true;
  }

  bool element(DataType t, double& out) {
    std::uint32_t raw = 0;
    if (!unsignedValue(kElementSize[static_cast<int>(t)], raw)) return false;
    switch (t) {
      case DataType::kUByte:
      case DataType::kUInt16:
      case DataType::kUInt32: out = raw; break;
      case DataType::kSInt16: out = static_cast<std::int16_t>(static_cast<std::uint16_t>(raw)); break;
      case DataType::kSInt32: out = static_cast<std::int32_t>(raw); break;
      case DataType::kReal32: {
        float f;
        std::memcpy(&f, &raw, sizeof f);
        out = f;
        break;
      }
    }
    return true;
  }

 private:
  const std::uint8_t* base_;
  std::size_t size_;
  bool big_;
  std::size_t pos_ = 0;
};

std::string At(std::size_t offset, const std::string& what) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "offset %zu: ", offset);
  return buf + what;
}

bool ReadValue(Cursor& c, std::uint8_t tag, Value& v, std::string& error) {
  std::size_t start = c.offset() - 1;
  auto fail = [&](const char* what) {
    error = At(start, what);
    return false;
  };
  std::size_t count = 1;
  if (tag >= kScalarFirst && tag <= kScalarFirst + 5) {
    v.type = static_cast<DataType>(tag - kScalarFirst);
    v.shape = Shape::kScalar;
  } else if (tag >= kXyFirst && tag <= kXyFirst + 5) {
    v.type = static_cast<DataType>(tag - kXyFirst);
    v.shape = Shape::kXy;
    count = 2;
  } else if (tag >= kBoxFirst && tag <= kBoxFirst + 5) {
    v.type = static_cast<DataType>(tag - kBoxFirst);
    v.shape = Shape::kBox;
    count = 4;
  } else {
    v.type = static_cast<DataType>(tag - kArrayFirst);
    v.shape = Shape::kArray;
    if (c.atEnd()) return fail("array without its length");
    std::uint8_t lengthTag = c.peek();
    c.skip(1);
    std::uint32_t n = 0;
    if (lengthTag == kScalarFirst) {
      if (!c.unsignedValue(1, n)) return fail("array length cut short");
    } else if (lengthTag == kScalarFirst + 1) {
      if (!c.unsignedValue(2, n)) return fail("array length cut short");
    } else {
      return fail("array length is not a ubyte or uint16 value");
    }
    count = n;
    if (static_cast<std::uint64_t>(count) * kElementSize[static_cast<int>(v.type)] > c.left()) {
      return fail("array runs past the end of the input");
    }
  }
  v.numbers.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!c.element(v.type, v.numbers[i])) return fail("value cut short");
  }
  return true;
}

}  // namespace

std::int64_t Value::integer(std::size_t i) const {
  const double d = at(i);
  if (!(d == d)) return 0;
  // Real32 values reach far beyond int64; 2^63 itself does not fit.
  if (d >= 9223372036854775807.0) return INT64_MAX;
  if (d <= -9223372036854775807.0) return INT64_MIN;
  return static_cast<std::int64_t>(d);
}

std::string Value::text() const {
  std::string s;
  s.reserve(numbers.size());
  for (double d : numbers) s.push_back(static_cast<char>(static_cast<std::uint8_t>(d)));
  return s;
}

const Value* Operator::find(std::uint16_t id) const {
  for (const Attribute& a : attributes) {
    if (a.id == id) return &a.value;
  }
  return nullptr;
}

std::vector<std::uint8_t> Operator::joinedData() const {
  std::vector<std::uint8_t> all;
  for (const auto& block : data) all.insert(all.end(), block.begin(), block.end());
  return all;
}

std::string OperatorName(std::uint8_t tag) {
  if (const char* n = Lookup(kOperators, std::size(kOperators), tag)) return n;
  char buf[16];
  std::snprintf(buf, sizeof buf, "Op_%02X", tag);
  return buf;
}

std::string AttributeName(std::uint16_t id) {
  if (const char* n = Lookup(kAttributes, std::size(kAttributes), id)) return n;
  char buf[16];
  std::snprintf(buf, sizeof buf, "Attr_%02X", id);
  return buf;
}

bool IsKnownOperator(std::uint8_t tag) {
  return Lookup(kOperators, std::size(kOperators), tag) != nullptr;
}

namespace {

// Decodes tokens until the end or a UEL; *uel reports which.
bool DecodeTokens(const std::uint8_t* bytes, std::size_t size, std::size_t base,
                  std::vector<Operator>& out, std::string& error, char binding, bool* uel) {
  Cursor c(bytes, size, binding == '(');
  std::vector<Attribute> pending;
  Value value;
  bool haveValue = false;
  bool canTakeData = false;
  auto fail = [&](std::size_t at, const std::string& what) {
    error = At(base + at, what);
    return false;
  };
  while (!c.atEnd()) {
    std::size_t at = c.offset();
    std::uint8_t tag = c.peek();
    if (tag == 0x1B) {
      if (c.left() >= kUelLength && std::memcmp(c.here(), kUel, kUelLength) == 0) {
        if (haveValue || !pending.empty()) return fail(at, "attributes without an operator");
        if (uel) *uel = true;
        return true;
      }
      return fail(at, "unknown tag 0x1B");
    }
    c.skip(1);
    if (IsWhitespace(tag)) continue;
    if ((tag >= kScalarFirst && tag <= kScalarFirst + 5) ||
        (tag >= kArrayFirst && tag <= kArrayFirst + 5) ||
        (tag >= kXyFirst && tag <= kXyFirst + 5) || (tag >= kBoxFirst && tag <= kBoxFirst + 5)) {
      if (haveValue) return fail(at, "value without its attribute identifier");
      value = Value{};
      if (!ReadValue(c, tag, value, error)) {
        error.insert(0, At(base, ""));
        return false;
      }
      haveValue = true;
      canTakeData = false;
    } else if (tag == kAttrUByte || tag == kAttrUInt16) {
      std::uint32_t id = 0;
      if (!c.unsignedValue(tag == kAttrUByte ? 1 : 2, id)) return fail(at, "attribute identifier cut short");
      if (!haveValue) return fail(at, "attribute identifier without a value");
      pending.push_back(Attribute{static_cast<std::uint16_t>(id), std::exchange(value, Value{})});
      haveValue = false;
      canTakeData = false;
    } else if (tag == kDataLength || tag == kDataLengthByte) {
      std::uint32_t length = 0;
      if (!c.unsignedValue(tag == kDataLength ? 4 : 1, length)) return fail(at, "data length cut short");
      if (!canTakeData) return fail(at, "embedded data not after an operator");
      if (length > c.left()) return fail(at, "embedded data runs past the end of the input");
      out.back().data.emplace_back(c.here(), c.here() + length);
      c.skip(length);
    } else if (IsKnownOperator(tag)) {
      if (haveValue) return fail(at, "value without its attribute identifier");
      Operator op;
      op.tag = tag;
      op.offset = base + at;
      op.attributes = std::move(pending);
      pending.clear();
      out.push_back(std::move(op));
      canTakeData = true;
    } else {
      char buf[40];
      std::snprintf(buf, sizeof buf, "unknown tag 0x%02X", tag);
      return fail(at, buf);
    }
  }
  if (haveValue || !pending.empty()) return fail(size, "attributes without an operator at the end");
  return true;
}

}  // namespace

bool DecodeBody(const std::uint8_t* bytes, std::size_t size, std::vector<Operator>& out,
                std::string& error, char binding) {
  out.clear();
  bool uel = false;
  if (!DecodeTokens(bytes, size, 0, out, error, binding, &uel)) return false;
  if (uel) {
    error = "UEL inside a body";
    return false;
  }
  return true;
}

bool DecodeStream(const std::uint8_t* bytes, std::size_t size, Stream& out, std::string& error) {
  out = Stream{};
  std::size_t pos = 0;
  auto lineEnd = [&](std::size_t from) -> std::size_t {
    const void* nl = std::memchr(bytes + from, '\n', size - from);
    return nl ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nl) - bytes) : size;
  };
  for (;;) {
    if (pos >= size) {
      error = "no PCL XL stream header";
      return false;
    }
    if (size - pos >= kUelLength && std::memcmp(bytes + pos, kUel, kUelLength) == 0) {
      pos += kUelLength;
      continue;
    }
    std::size_t end = lineEnd(pos);
    if (end == size) {
      error = At(pos, "header line without its line end");
      return false;
    }
    std::string line(reinterpret_cast<const char*>(bytes + pos), end - pos);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\0')) line.pop_back();
    if (line.rfind("@PJL", 0) == 0) {
      out.pjl.push_back(line);
      pos = end + 1;
      continue;
    }
    if (line.size() >= 11 && (line[0] == ')' || line[0] == '(') &&
        line.compare(1, 10, " HP-PCL XL") == 0) {
      out.binding = line[0];
      out.headerLine = line;
      pos = end + 1;
      break;
    }
    error = At(pos, line.size() >= 1 && line[0] == '\''
                        ? "ASCII binding is not supported"
                        : "not a PCL XL stream header");
    return false;
  }
  bool uel = false;
  if (!DecodeTokens(bytes + pos, size - pos, pos, out.operators, error, out.binding, &uel)) {
    return false;
  }
  out.endedWithUel = uel;
  return true;
}

namespace {

const char* TypeName(DataType t) {
  static const char* const names[] = {"ubyte", "uint16", "uint32", "sint16", "sint32", "real32"};
  return names[static_cast<int>(t)];
}

void AppendNumber(std::string& s, const Value& v, double d) {
  char buf[48];
  if (v.type == DataType::kReal32) {
    std::snprintf(buf, sizeof buf, "%g", d);
  } else {
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(d));
  }
  s += buf;
}

std::string Describe(const Value& v) {
  std::string s = TypeName(v.type);
  switch (v.shape) {
    case Shape::kScalar: s += " "; break;
    case Shape::kXy: s += "_xy "; break;
    case Shape::kBox: s += "_box "; break;
    case Shape::kArray: s += "_array[" + std::to_string(v.numbers.size()) + "] "; break;
  }
  bool printable = v.shape == Shape::kArray && v.type == DataType::kUByte && !v.numbers.empty();
  for (double d : v.numbers) printable = printable && d >= 0x20 && d < 0x7F;
  if (printable) return s + "\"" + v.text() + "\"";
  const std::size_t shown = v.numbers.size() > 16 ? 16 : v.numbers.size();
  s += "(";
  for (std::size_t i = 0; i < shown; ++i) {
    if (i) s += ",";
    AppendNumber(s, v, v.numbers[i]);
  }
  if (shown < v.numbers.size()) s += ",...";
  return s + ")";
}

}  // namespace

std::string Disassemble(const std::vector<Operator>& ops) {
  std::string s;
  for (const Operator& op : ops) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%08zx  ", op.offset);
    s += buf;
    s += OperatorName(op.tag);
    for (const Attribute& a : op.attributes) {
      s += " " + AttributeName(a.id) + "=" + Describe(a.value);
    }
    for (const auto& block : op.data) s += " [data " + std::to_string(block.size()) + "]";
    s += "\n";
  }
  return s;
}

std::string Disassemble(const Stream& stream) {
  std::string s;
  for (const std::string& line : stream.pjl) s += "# " + line + "\n";
  s += "# " + stream.headerLine + "\n";
  s += Disassemble(stream.operators);
  if (stream.endedWithUel) s += "# UEL\n";
  return s;
}

bool DecodeScanLines(const std::vector<std::uint8_t>& data, std::uint32_t lines,
                     std::vector<ScanLine>& out, std::string& error) {
  out.clear();
  Cursor c(data.data(), data.size(), false);
  std::uint32_t lead = 0;
  if (!c.unsignedValue(1, lead)) {
    error = "scan-line data without its lead byte";
    return false;
  }
  for (std::uint32_t i = 0; i < lines; ++i) {
    ScanLine line;
    std::uint32_t x = 0, y = 0, n = 0, type = 0;
    if (!c.unsignedValue(2, x) || !c.unsignedValue(2, y) || !c.unsignedValue(2, n) ||
        !c.unsignedValue(1, type)) {
      error = "scan line " + std::to_string(i) + " header cut short";
      return false;
    }
    if (type != 0 && type != 2) {
      error = "scan line " + std::to_string(i) + " has pair type " + std::to_string(type);
      return false;
    }
    std::size_t width = type == 0 ? 1 : 2;
    if (static_cast<std::uint64_t>(n) * 2 * width > c.left()) {
      error = "scan line " + std::to_string(i) + " pairs run past the end";
      return false;
    }
    line.x = static_cast<std::uint16_t>(x);
    line.y = static_cast<std::uint16_t>(y);
    line.pairType = static_cast<std::uint8_t>(type);
    line.values.resize(static_cast<std::size_t>(n) * 2);
    for (auto& v : line.values) c.unsignedValue(width, v);
    out.push_back(std::move(line));
  }
  if (!c.atEnd()) {
    error = std::to_string(c.left()) + " bytes after the last scan line";
    return false;
  }
  return true;
}

}  // namespace w4pclxl
