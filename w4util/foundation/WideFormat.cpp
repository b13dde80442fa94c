#include "w4util/foundation/WideFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "w4util/platform/CodePage.h"

namespace ZelvoUtilities {
namespace {

constexpr char16_t kNullMarker[] = u"(null)";
constexpr std::size_t kNullMarkerLength = 6;
// Large enough for any number at the clamped precision ("%.512f" of the
// largest double is about 830 characters).
constexpr std::size_t kNumberBufferSize = 1100;

enum Flags : unsigned {
  kLeft = 1,
  kPlus = 2,
  kZero = 4,
  kSpace = 8,
  kAlternate = 16,
};

enum class Size { kDefault, kShort, kLong, kInt32, kInt64, kWide };

// What one conversion takes and prints.
enum class Kind {
  kLiteral,  // unknown or cut-off specification: printed as written
  kPercent,
  kWideChar,
  kNarrowChar,
  kWideText,
  kNarrowText,
  kSigned,
  kUnsigned,
  kFloat,  // f: formatted to count it exactly
  kFloatOther,
  kPointer,
  kCount,
};

struct Spec {
  const char16_t* begin = nullptr;  // the '%'
  const char16_t* end = nullptr;    // one past the conversion character
  unsigned flags = 0;
  std::int32_t width = 0;
  std::int32_t precision = -1;  // -1: none
  Size size = Size::kDefault;
  char16_t conversion = 0;
  Kind kind = Kind::kLiteral;
};

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::int32_t ClampedDigits(const char16_t*& p, std::int32_t limit) {
  std::int64_t value = 0;
  while (IsDigit(*p)) {
    if (value <= limit) value = value * 10 + (*p - u'0');
    ++p;
  }
  return static_cast<std::int32_t>(value > limit ? limit : value);
}

Kind Classify(char16_t conversion, Size size) {
  switch (conversion) {
    case u'%': return Kind::kPercent;
    case u'c': return size == Size::kShort ? Kind::kNarrowChar : Kind::kWideChar;
    case u'C': return (size == Size::kLong || size == Size::kWide) ? Kind::kWideChar : Kind::kNarrowChar;
    case u's': return size == Size::kShort ? Kind::kNarrowText : Kind::kWideText;
    case u'S': return (size == Size::kLong || size == Size::kWide) ? Kind::kWideText : Kind::kNarrowText;
    case u'd':
    case u'i': return Kind::kSigned;
    case u'u':
    case u'x':
    case u'X':
    case u'o': return Kind::kUnsigned;
    case u'f': return Kind::kFloat;
    case u'e':
    case u'E':
    case u'g':
    case u'G':
    case u'a':
    case u'A': return Kind::kFloatOther;
    case u'p': return Kind::kPointer;
    case u'n': return Kind::kCount;
    default: return Kind::kLiteral;
  }
}

// Parses the conversion after the '%' at p; '*' fields take their int
// arguments here. On return p is past what was parsed.
void ParseSpec(const char16_t*& p, FormatArgSource& args, Spec& spec) {
  spec.begin = p - 1;
  for (;; ++p) {
    if (*p == u'-') spec.flags |= kLeft;
    else if (*p == u'+') spec.flags |= kPlus;
    else if (*p == u'0') spec.flags |= kZero;
    else if (*p == u' ') spec.flags |= kSpace;
    else if (*p == u'#') spec.flags |= kAlternate;
    else break;
  }
  if (*p == u'*') {
    ++p;
    std::int64_t w = args.NextInt();
    if (w < 0) {
      spec.flags |= kLeft;
      w = -w;
    }
    spec.width = static_cast<std::int32_t>(w > kMaxFormatWidth ? kMaxFormatWidth : w);
  } else {
    spec.width = ClampedDigits(p, kMaxFormatWidth);
  }
  if (*p == u'.') {
    ++p;
    if (*p == u'*') {
      ++p;
      std::int32_t prec = args.NextInt();
      spec.precision = prec < 0 ? -1 : prec;
    } else {
      spec.precision = ClampedDigits(p, 0x7FFFFFFF / 10);
    }
  }
  for (bool more = true; more;) {
    switch (*p) {
      case u'I':
        if (p[1] == u'6' && p[2] == u'4') {
          spec.size = Size::kInt64;
          p += 3;
        } else if (p[1] == u'3' && p[2] == u'2') {
          spec.size = Size::kInt32;
          p += 3;
        } else {
          spec.size = Size::kInt64;
          ++p;
        }
        break;
      case u'h':
        spec.size = Size::kShort;
        ++p;
        break;
      case u'l':
        spec.size = (spec.size == Size::kLong) ? Size::kInt64 : Size::kLong;
        ++p;
        break;
      case u'w':
        spec.size = Size::kWide;
        ++p;
        break;
      case u'j':
      case u'z':
      case u't':
        spec.size = Size::kInt64;
        ++p;
        break;
      case u'L':
      case u'F':
      case u'N':
        ++p;
        break;
      default: more = false;
    }
  }
  if (*p == 0) {
    spec.end = p;
    spec.kind = Kind::kLiteral;
    return;
  }
  spec.conversion = *p++;
  spec.end = p;
  spec.kind = Classify(spec.conversion, spec.size);
}

bool Is64(const Spec& spec) { return spec.size == Size::kInt64; }

// Reads the integer argument of a d/i/u/x/X/o conversion, narrowed to the
// width its prefix names.
std::int64_t ReadSigned(const Spec& spec, FormatArgSource& args) {
  if (Is64(spec)) return args.NextInt64();
  std::int32_t v = args.NextInt();
  if (spec.size == Size::kShort) return static_cast<std::int16_t>(v);
  return v;
}

std::uint64_t ReadUnsigned(const Spec& spec, FormatArgSource& args) {
  if (Is64(spec)) return static_cast<std::uint64_t>(args.NextInt64());
  auto v = static_cast<std::uint32_t>(args.NextInt());
  if (spec.size == Size::kShort) return static_cast<std::uint16_t>(v);
  return v;
}

std::size_t WideLength(const char16_t* s, std::int32_t precision) {
  std::size_t n = 0;
  if (precision < 0) {
    while (s[n] != 0) ++n;
  } else {
    const auto limit = static_cast<std::size_t>(precision);
    while (n < limit && s[n] != 0) ++n;
  }
  return n;
}

std::size_t NarrowLength(const char* s, std::int32_t precision) {
  if (precision < 0) return std::strlen(s);
  return strnlen(s, static_cast<std::size_t>(precision));
}

// Integers are converted here rather than by snprintf: they are most of
// what the library formats, and this keeps a conversion to a few divisions.
std::size_t IntegerBody(const Spec& spec, FormatArgSource& args, char* buf) {
  const std::int32_t precision = spec.precision > kMaxFormatPrecision ? kMaxFormatPrecision : spec.precision;
  std::uint64_t magnitude = 0;
  char sign = 0;
  if (spec.kind == Kind::kSigned) {
    const std::int64_t v = ReadSigned(spec, args);
    magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    if (v < 0) sign = '-';
    else if (spec.flags & kPlus) sign = '+';
    else if (spec.flags & kSpace) sign = ' ';
  } else {
    magnitude = ReadUnsigned(spec, args);
  }
  const char16_t c = spec.conversion;
  const unsigned base = (c == u'x' || c == u'X') ? 16 : (c == u'o' ? 8 : 10);
  const char* digitSet = c == u'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  char digits[24];
  std::size_t count = 0;
  for (std::uint64_t m = magnitude; m != 0; m /= base) digits[count++] = digitSet[m % base];
  std::size_t zeros = 0;
  if (precision >= 0) {
    zeros = static_cast<std::size_t>(precision) > count ? static_cast<std::size_t>(precision) - count : 0;
  } else if (count == 0) {
    zeros = 1;  // a plain 0
  }
  if (base == 8 && (spec.flags & kAlternate) && zeros == 0) zeros = 1;
  std::size_t n = 0;
  if (sign != 0) buf[n++] = sign;
  if (base == 16 && (spec.flags & kAlternate) && magnitude != 0) {
    buf[n++] = '0';
    buf[n++] = static_cast<char>(c);
  }
  for (std::size_t i = 0; i < zeros; ++i) buf[n++] = '0';
  while (count > 0) buf[n++] = digits[--count];
  return n;
}

// Formats a number with snprintf; width is applied by the caller so that
// the local buffer stays small.
std::size_t NumberBody(const Spec& spec, FormatArgSource& args, char* buf) {
  if (spec.kind == Kind::kSigned || spec.kind == Kind::kUnsigned) return IntegerBody(spec, args, buf);
  char fmt[16];
  std::size_t f = 0;
  fmt[f++] = '%';
  if (spec.flags & kPlus) fmt[f++] = '+';
  if (spec.flags & kSpace) fmt[f++] = ' ';
  if (spec.flags & kAlternate) fmt[f++] = '#';
  const std::int32_t precision = spec.precision > kMaxFormatPrecision ? kMaxFormatPrecision : spec.precision;
  if (precision >= 0) {
    fmt[f++] = '.';
    fmt[f++] = '*';
  }
  int n = 0;
  switch (spec.kind) {
    case Kind::kFloat:
    case Kind::kFloatOther: {
      fmt[f++] = static_cast<char>(spec.conversion);
      fmt[f] = 0;
      double v = args.NextDouble();
      n = precision >= 0 ? std::snprintf(buf, kNumberBufferSize, fmt, precision, v)
                         : std::snprintf(buf, kNumberBufferSize, fmt, v);
      break;
    }
    case Kind::kPointer: {
      auto v = reinterpret_cast<std::uintptr_t>(args.NextPointer());
      n = std::snprintf(buf, kNumberBufferSize, "%016llX", static_cast<unsigned long long>(v));
      break;
    }
    default: break;
  }
  if (n < 0) n = 0;
  if (static_cast<std::size_t>(n) >= kNumberBufferSize) n = kNumberBufferSize - 1;
  return static_cast<std::size_t>(n);
}

// Bounded output: everything past capacity is dropped and remembered.
class Sink {
 public:
  Sink(char16_t* out, std::size_t capacity) : out_(out), capacity_(capacity) {}
  void Put(char16_t c) {
    if (n_ < capacity_) out_[n_++] = c;
    else truncated_ = true;
  }
  void Fill(char16_t c, std::size_t count) {
    std::size_t room = capacity_ - n_;
    if (count > room) {
      truncated_ = true;
      count = room;
    }
    for (std::size_t i = 0; i < count; ++i) out_[n_++] = c;
  }
  void Put(const char16_t* s, std::size_t count) {
    std::size_t room = capacity_ - n_;
    if (count > room) {
      truncated_ = true;
      count = room;
    }
    std::memcpy(out_ + n_, s, count * sizeof(char16_t));
    n_ += count;
  }
  void PutAscii(const char* s, std::size_t count) {
    std::size_t room = capacity_ - n_;
    if (count > room) {
      truncated_ = true;
      count = room;
    }
    for (std::size_t i = 0; i < count; ++i) out_[n_++] = static_cast<unsigned char>(s[i]);
  }
  std::size_t size() const { return n_; }
  bool truncated() const { return truncated_; }

 private:
  char16_t* out_;
  std::size_t capacity_;
  std::size_t n_ = 0;
  bool truncated_ = false;
};

std::size_t PadFor(const Spec& spec, std::size_t bodyLength) {
  auto width = static_cast<std::size_t>(spec.width);
  return width > bodyLength ? width - bodyLength : 0;
}

void EmitText(Sink& sink, const Spec& spec, const char16_t* text, std::size_t length) {
  std::size_t pad = PadFor(spec, length);
  if (!(spec.flags & kLeft)) sink.Fill(u' ', pad);
  sink.Put(text, length);
  if (spec.flags & kLeft) sink.Fill(u' ', pad);
}

void EmitNarrow(Sink& sink, const Spec& spec, const char* text, std::size_t length) {
  bool ascii = true;
  for (std::size_t i = 0; ascii && i < length; ++i) ascii = static_cast<unsigned char>(text[i]) < 0x80;
  std::u16string converted;
  std::size_t units = length;
  if (!ascii) {
    // A text the code page cannot convert prints nothing.
    if (!w4platform::MultiByteToUtf16(w4platform::kCodePageAnsi, text, length, converted)) converted.clear();
    units = converted.size();
  }
  std::size_t pad = PadFor(spec, units);
  if (!(spec.flags & kLeft)) sink.Fill(u' ', pad);
  if (ascii) sink.PutAscii(text, length);
  else sink.Put(converted.data(), converted.size());
  if (spec.flags & kLeft) sink.Fill(u' ', pad);
}

char16_t NarrowCharToWide(std::int32_t value) {
  char byte = static_cast<char>(value);
  if (static_cast<unsigned char>(byte) < 0x80) return static_cast<unsigned char>(byte);
  std::u16string converted;
  if (w4platform::MultiByteToUtf16(w4platform::kCodePageAnsi, &byte, 1, converted) && converted.size() == 1) {
    return converted[0];
  }
  return u'?';
}

void EmitNumber(Sink& sink, const Spec& spec, const char* body, std::size_t length) {
  std::size_t pad = PadFor(spec, length);
  if (spec.flags & kLeft) {
    sink.PutAscii(body, length);
    sink.Fill(u' ', pad);
    return;
  }
  const bool integer = spec.kind == Kind::kSigned || spec.kind == Kind::kUnsigned;
  bool zeroPad = (spec.flags & kZero) && !(integer && spec.precision >= 0) && spec.kind != Kind::kPointer;
  if (zeroPad && !integer) {
    // inf and nan are never zero-padded.
    for (std::size_t i = 0; i < length; ++i) {
      char c = body[i];
      if (c == 'i' || c == 'I' || c == 'n' || c == 'N') zeroPad = false;
    }
  }
  if (!zeroPad) {
    sink.Fill(u' ', pad);
    sink.PutAscii(body, length);
    return;
  }
  std::size_t prefix = 0;
  if (length > 0 && (body[0] == '-' || body[0] == '+' || body[0] == ' ')) prefix = 1;
  if (length >= prefix + 2 && body[prefix] == '0' && (body[prefix + 1] == 'x' || body[prefix + 1] == 'X')) {
    prefix += 2;
  }
  sink.PutAscii(body, prefix);
  sink.Fill(u'0', pad);
  sink.PutAscii(body + prefix, length - prefix);
}

bool Inside(const void* p, const void* begin, const void* end) {
  auto v = reinterpret_cast<std::uintptr_t>(p);
  return v >= reinterpret_cast<std::uintptr_t>(begin) && v < reinterpret_cast<std::uintptr_t>(end);
}

// Consumes the value of a conversion without printing it.
FormatArgKind ConsumeKind(const Spec& spec) {
  switch (spec.kind) {
    case Kind::kWideChar:
    case Kind::kNarrowChar: return FormatArgKind::kInt;
    case Kind::kWideText: return FormatArgKind::kWideText;
    case Kind::kNarrowText: return FormatArgKind::kNarrowText;
    case Kind::kSigned:
    case Kind::kUnsigned: return Is64(spec) ? FormatArgKind::kInt64 : FormatArgKind::kInt;
    case Kind::kFloat:
    case Kind::kFloatOther: return FormatArgKind::kDouble;
    default: return FormatArgKind::kPointer;
  }
}

// Records what a format takes instead of supplying real arguments.
class RecordingArgSource final : public FormatArgSource {
 public:
  explicit RecordingArgSource(std::vector<FormatArgKind>& kinds) : kinds_(kinds) {}
  std::int32_t NextInt() override {
    kinds_.push_back(FormatArgKind::kInt);
    return 0;
  }
  std::int64_t NextInt64() override { return 0; }
  double NextDouble() override { return 0; }
  const void* NextPointer() override { return nullptr; }

 private:
  std::vector<FormatArgKind>& kinds_;
};

}  // namespace

std::vector<FormatArgKind> GetFormatArgumentKinds(const char16_t* format) {
  std::vector<FormatArgKind> kinds;
  if (format == nullptr) return kinds;
  RecordingArgSource stars(kinds);
  for (const char16_t* p = format; *p != 0;) {
    if (*p++ != u'%') continue;
    Spec spec;
    ParseSpec(p, stars, spec);
    if (spec.kind != Kind::kLiteral && spec.kind != Kind::kPercent) kinds.push_back(ConsumeKind(spec));
  }
  return kinds;
}

std::size_t EstimateFormatLength(const char16_t* format, FormatArgSource& args, const void* ownBegin,
                                 const void* ownEnd, bool& aliases) {
  aliases = false;
  if (format == nullptr) return 0;
  if (Inside(format, ownBegin, ownEnd)) aliases = true;
  std::size_t total = 0;
  for (const char16_t* p = format; *p != 0;) {
    if (*p++ != u'%') {
      ++total;
      continue;
    }
    Spec spec;
    ParseSpec(p, args, spec);
    const auto width = static_cast<std::size_t>(spec.width);
    const std::size_t precision =
        spec.precision < 0 ? 0 : static_cast<std::size_t>(spec.precision > kMaxFormatPrecision ? kMaxFormatPrecision : spec.precision);
    std::size_t count = 0;
    switch (spec.kind) {
      case Kind::kLiteral: count = static_cast<std::size_t>(spec.end - spec.begin); break;
      case Kind::kPercent: count = std::max<std::size_t>(width, 1); break;
      case Kind::kWideChar:
      case Kind::kNarrowChar:
        args.NextInt();
        count = std::max<std::size_t>(width, 2);
        break;
      case Kind::kWideText:
      case Kind::kNarrowText: {
        const void* text = args.NextPointer();
        std::size_t length = kNullMarkerLength;
        if (text != nullptr) {
          if (Inside(text, ownBegin, ownEnd)) aliases = true;
          length = spec.kind == Kind::kWideText ? WideLength(static_cast<const char16_t*>(text), spec.precision)
                                                : NarrowLength(static_cast<const char*>(text), spec.precision);
          if (length == 0) length = 1;
        } else if (spec.precision >= 0 && static_cast<std::size_t>(spec.precision) < length) {
          length = static_cast<std::size_t>(spec.precision);
        }
        count = std::max(width, length);
        break;
      }
      case Kind::kSigned:
      case Kind::kUnsigned:
      case Kind::kPointer:
        if (spec.kind == Kind::kPointer) args.NextPointer();
        else if (Is64(spec)) args.NextInt64();
        else args.NextInt();
        count = std::max<std::size_t>(width + precision + 4, 32) + ((spec.flags & kAlternate) ? 2 : 0);
        break;
      case Kind::kFloat: {
        // Integer digits from the binary exponent, plus sign, point and
        // decimals: a bound without formatting the value.
        const double v = args.NextDouble();
        int exponent = 0;
        if (std::isfinite(v)) std::frexp(v, &exponent);
        const std::size_t integerDigits = exponent > 0 ? static_cast<std::size_t>(exponent) * 30103 / 100000 + 2 : 1;
        const std::size_t decimals = spec.precision < 0 ? 6 : precision;
        count = std::max(width, integerDigits + decimals + 4);
        break;
      }
      case Kind::kFloatOther:
        args.NextDouble();
        count = std::max<std::size_t>(width + precision + 16, 128);
        break;
      case Kind::kCount:
        args.NextPointer();
        break;
    }
    total += count;
  }
  return total;
}

std::size_t FormatToBuffer(char16_t* out, std::size_t capacity, const char16_t* format, FormatArgSource& args,
                           bool& truncated) {
  Sink sink(out, capacity);
  if (format != nullptr) {
    char number[kNumberBufferSize];
    for (const char16_t* p = format; *p != 0;) {
      // Copy the run of ordinary characters in one go.
      const char16_t* run = p;
      while (*p != 0 && *p != u'%') ++p;
      if (p != run) sink.Put(run, static_cast<std::size_t>(p - run));
      if (*p == 0) break;
      ++p;
      if (*p == u'%') {
        sink.Put(u'%');
        ++p;
        continue;
      }
      Spec spec;
      ParseSpec(p, args, spec);
      switch (spec.kind) {
        case Kind::kLiteral: sink.Put(spec.begin, static_cast<std::size_t>(spec.end - spec.begin)); break;
        case Kind::kPercent: {
          const char16_t percent = u'%';
          EmitText(sink, spec, &percent, 1);
          break;
        }
        case Kind::kWideChar:
        case Kind::kNarrowChar: {
          std::int32_t v = args.NextInt();
          const char16_t ch = spec.kind == Kind::kWideChar ? static_cast<char16_t>(v) : NarrowCharToWide(v);
          EmitText(sink, spec, &ch, 1);
          break;
        }
        case Kind::kWideText: {
          const auto* text = static_cast<const char16_t*>(args.NextPointer());
          if (text == nullptr) text = kNullMarker;
          EmitText(sink, spec, text, WideLength(text, spec.precision));
          break;
        }
        case Kind::kNarrowText: {
          const auto* text = static_cast<const char*>(args.NextPointer());
          if (text == nullptr) {
            EmitText(sink, spec, kNullMarker, WideLength(kNullMarker, spec.precision));
          } else {
            EmitNarrow(sink, spec, text, NarrowLength(text, spec.precision));
          }
          break;
        }
        case Kind::kSigned:
        case Kind::kUnsigned:
        case Kind::kFloat:
        case Kind::kFloatOther:
        case Kind::kPointer: EmitNumber(sink, spec, number, NumberBody(spec, args, number)); break;
        case Kind::kCount: args.NextPointer(); break;
      }
    }
  }
  out[sink.size()] = 0;
  truncated = sink.truncated();
  return sink.size();
}

CXString SafeFormatString(const char16_t* format, FormatArgSource& args) noexcept {
  try {
    bool aliases = false;
    // The estimate and the formatting both walk the arguments, so they need
    // a source that can be read twice: collect the values first.
    std::vector<FormatArgKind> kinds = GetFormatArgumentKinds(format);
    struct Value {
      std::int64_t i = 0;
      double d = 0;
      const void* p = nullptr;
    };
    std::vector<Value> values(kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      switch (kinds[i]) {
        case FormatArgKind::kInt: values[i].i = args.NextInt(); break;
        case FormatArgKind::kInt64: values[i].i = args.NextInt64(); break;
        case FormatArgKind::kDouble: values[i].d = args.NextDouble(); break;
        default: values[i].p = args.NextPointer(); break;
      }
    }
    class Replay final : public FormatArgSource {
     public:
      explicit Replay(const std::vector<Value>& v) : v_(v) {}
      std::int32_t NextInt() override { return static_cast<std::int32_t>(Next().i); }
      std::int64_t NextInt64() override { return Next().i; }
      double NextDouble() override { return Next().d; }
      const void* NextPointer() override { return Next().p; }

     private:
      const Value& Next() {
        static const Value none;
        return i_ < v_.size() ? v_[i_++] : none;
      }
      const std::vector<Value>& v_;
      std::size_t i_ = 0;
    };
    Replay estimateArgs(values);
    std::size_t estimate = EstimateFormatLength(format, estimateArgs, nullptr, nullptr, aliases);
    CXString result;
    if (estimate == 0) return result;
    char16_t* buffer = result.GetBuffer(static_cast<std::int32_t>(estimate));
    Replay formatArgs(values);
    bool truncated = false;
    FormatToBuffer(buffer, estimate, format, formatArgs, truncated);
    result.ReleaseBuffer(-1);
    return result;
  } catch (...) {
    return CXString();
  }
}

}  // namespace ZelvoUtilities
