// CXString::FormatMessageW: the host's message-insert syntax.
//
//   %1 .. %99      insert n; without a !spec! its argument is a const char16_t*
//   %n!spec!       insert n formatted by the printf specification spec (wide
//                  conventions); "*" in spec takes the width / precision from
//                  inserts n, n+1 and the value from the one after
//   %0             ends the output (no further text)
//   %%  %.  %!  %space  the character itself;  %n (letter) "\r\n";  %t tab;  %r CR
//   % followed by any other character: that character
//
// Arguments are the inserts in numeric order: every insert number up to the
// highest one used must name an argument, and an insert never referenced is
// read as a pointer. A null format, a "%" at the end, an unterminated !spec!
// or an empty result fail.
#include <cstring>
#include <string>
#include <vector>

#include "w4util/foundation/CXString.h"
#include "w4util/foundation/WideFormat.h"

namespace {

constexpr const char* kFormatFailure = "CXString::FormatMessage(LPCTSTR...): Failed call to FormatMessage() API!\r\n";
constexpr const char* kResourceFailure =
    "CXString::FormatMessage(HINSTANCE,UINT,...): Failed call to FormatMessage() API!\r\n";
constexpr int kMaxInserts = 99;

struct Insert {
  int number = 0;            // 1..99
  std::u16string spec;       // printf specification without '%', "s" by default
  const char16_t* end = nullptr;
};

struct Slot {
  ZelvoUtilities::FormatArgKind kind = ZelvoUtilities::FormatArgKind::kPointer;
  bool typed = false;
  std::int64_t i = 0;
  double d = 0;
  const void* p = nullptr;
};

// Reads the values of consecutive slots as the printf specification asks.
class SlotSource final : public ZelvoUtilities::FormatArgSource {
 public:
  SlotSource(const std::vector<Slot>& slots, std::size_t first) : slots_(slots), next_(first) {}
  std::int32_t NextInt() override { return static_cast<std::int32_t>(Next().i); }
  std::int64_t NextInt64() override { return Next().i; }
  double NextDouble() override { return Next().d; }
  const void* NextPointer() override { return Next().p; }

 private:
  const Slot& Next() {
    static const Slot none;
    return next_ < slots_.size() ? slots_[next_++] : none;
  }
  const std::vector<Slot>& slots_;
  std::size_t next_;
};

// Parses "%<digits>[!spec!]" after the '%'; false when the !spec! is open.
bool ParseInsert(const char16_t* p, Insert& insert) {
  int number = *p++ - u'0';
  if (*p >= u'0' && *p <= u'9') number = number * 10 + (*p++ - u'0');
  insert.number = number;
  insert.spec.assign(1, u's');  // not = u"s": GCC 12 -O3 warns falsely (-Wrestrict)
  if (*p == u'!') {
    const char16_t* close = p + 1;
    while (*close != 0 && *close != u'!') ++close;
    if (*close == 0 || close == p + 1) return false;
    insert.spec.assign(p + 1, close);
    p = close + 1;
  }
  insert.end = p;
  return true;
}

bool FormatMessageText(const char16_t* format, va_list args, CXString& result) {
  if (format == nullptr) return false;
  // Pass 1: the type of every slot, from the inserts that use it.
  std::vector<Slot> slots;
  for (const char16_t* p = format; *p != 0;) {
    if (*p++ != u'%') continue;
    if (*p == 0) return false;
    if (*p < u'1' || *p > u'9') {
      ++p;
      continue;
    }
    Insert insert;
    if (!ParseInsert(p, insert)) return false;
    p = insert.end;
    const std::u16string printf = u"%" + insert.spec;
    std::vector<ZelvoUtilities::FormatArgKind> kinds = ZelvoUtilities::GetFormatArgumentKinds(printf.c_str());
    const std::size_t first = static_cast<std::size_t>(insert.number - 1);
    if (first + kinds.size() > static_cast<std::size_t>(kMaxInserts) + 2) return false;
    if (slots.size() < first + kinds.size()) slots.resize(first + kinds.size());
    for (std::size_t k = 0; k < kinds.size(); ++k) {
      Slot& slot = slots[first + k];
      if (!slot.typed) {
        slot.kind = kinds[k];
        slot.typed = true;
      }
    }
  }
  for (Slot& slot : slots) {
    // The branches differ in the type va_arg reads, which the check does not see.
    switch (slot.kind) {
      case ZelvoUtilities::FormatArgKind::kInt: slot.i = va_arg(args, int); break;  // NOLINT(bugprone-branch-clone)
      case ZelvoUtilities::FormatArgKind::kInt64: slot.i = va_arg(args, long long); break;
      case ZelvoUtilities::FormatArgKind::kDouble: slot.d = va_arg(args, double); break;
      default: slot.p = va_arg(args, const void*); break;
    }
  }
  // Pass 2: the text.
  std::u16string out;
  for (const char16_t* p = format; *p != 0;) {
    if (*p != u'%') {
      out.push_back(*p++);
      continue;
    }
    ++p;
    const char16_t c = *p;
    if (c == u'0') break;
    if (c >= u'1' && c <= u'9') {
      Insert insert;
      ParseInsert(p, insert);
      p = insert.end;
      const std::u16string printf = u"%" + insert.spec;
      SlotSource source(slots, static_cast<std::size_t>(insert.number - 1));
      CXString piece = ZelvoUtilities::SafeFormatString(printf.c_str(), source);
      out.append(static_cast<const char16_t*>(piece), static_cast<std::size_t>(piece.GetLength()));
      continue;
    }
    ++p;
    if (c == u'n') out.append(u"\r\n");
    else if (c == u't') out.push_back(u'\t');
    else if (c == u'r') out.push_back(u'\r');
    else out.push_back(c);
  }
  if (out.empty()) return false;
  result = CXString(out.data(), static_cast<std::int32_t>(out.size()));
  return true;
}

}  // namespace

void CXString::FormatMessageW(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  bool ok = false;
  try {
    ok = FormatMessageText(format, args, *this);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  if (!ok) throw kFormatFailure;
}

void CXString::FormatMessageW(HINSTANCE module, std::uint32_t id, ...) {
  // The format would come from the module's string resources; there are none.
  CXString format;
  if (!format.LoadStringW(module, id)) throw kResourceFailure;
  va_list args;
  va_start(args, id);
  bool ok = false;
  try {
    ok = FormatMessageText(format, args, *this);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  if (!ok) throw kResourceFailure;
}
