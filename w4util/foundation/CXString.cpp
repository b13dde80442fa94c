#include "w4util/foundation/CXString.h"

#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>

#include "w4util/foundation/TextClasses.h"
#include "w4util/foundation/WideFormat.h"
#include "w4util/foundation/internal/AnsiOut.h"
#include "w4util/platform/CodePage.h"

namespace {

// The one empty representation. Its fields are never written.
struct EmptyBlock {
  CXStringData header;
  char16_t text[2];
};
alignas(CXStringData) EmptyBlock g_empty = {{-1, 0, 0}, {0, 0}};

char16_t* EmptyText() noexcept { return g_empty.header.data(); }

bool IsEmptyBlock(const CXStringData* data) noexcept { return data == &g_empty.header; }

// Largest capacity a block may have; keeps byte sizes inside 32-bit lengths.
constexpr std::int64_t kMaxCapacity = std::numeric_limits<std::int32_t>::max() / 2 - 64;

std::int32_t CapacityFor(std::int32_t n) noexcept {
  static constexpr std::int32_t kClasses[] = {6, 12, 16, 20, 24, 32, 64, 128, 256, 512};
  for (std::int32_t c : kClasses) {
    if (n <= c) return c;
  }
  return n;
}

std::int32_t CheckedLength(std::int64_t n) {
  if (n < 0 || n > kMaxCapacity) throw std::bad_alloc();
  return static_cast<std::int32_t>(n);
}

CXStringData* NewBlock(std::int32_t capacity) {
  void* raw = ::operator new(sizeof(CXStringData) + (static_cast<std::size_t>(capacity) + 1) * sizeof(char16_t));
  auto* data = static_cast<CXStringData*>(raw);
  data->refs().store(1, std::memory_order_relaxed);
  data->nAllocLength = capacity;
  data->nDataLength = 0;
  return data;
}

void FreeBlock(CXStringData* data) noexcept { ::operator delete(static_cast<void*>(data)); }

// Counts are read atomically too: another thread may change a shared count.
std::int32_t RefsOf(CXStringData* data) noexcept { return data->refs().load(std::memory_order_relaxed); }

// Drops one reference of a block (locked blocks have a single owner).
void ReleaseBlock(CXStringData* data) noexcept {
  if (IsEmptyBlock(data)) return;
  if (RefsOf(data) < 0) {
    FreeBlock(data);
    return;
  }
  if (data->refs().fetch_sub(1, std::memory_order_acq_rel) == 1) FreeBlock(data);
}

std::int32_t WideLength(const char16_t* text) noexcept {
  if (text == nullptr) return 0;
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return CheckedLength(static_cast<std::int64_t>(n));
}

bool InSet(char16_t ch, const char16_t* set) noexcept {
  if (set == nullptr) return false;
  for (; *set != 0; ++set) {
    if (*set == ch) return true;
  }
  return false;
}

bool InSet(char16_t ch, const CXString& set) noexcept {
  const char16_t* p = set;
  for (std::int32_t i = 0; i < set.GetLength(); ++i) {
    if (p[i] == ch) return true;
  }
  return false;
}

}  // namespace

// --- block management ---

void CXString::Init() noexcept { m_pchData = EmptyText(); }

void CXString::Release() noexcept {
  ReleaseBlock(GetData());
  Init();
}

void CXString::AllocBuffer(std::int32_t length) {
  if (length == 0) {
    Init();
    return;
  }
  CXStringData* data = NewBlock(CapacityFor(CheckedLength(length)));
  data->nDataLength = length;
  data->data()[length] = 0;
  m_pchData = data->data();
}

// Content is discarded: only room for length characters is guaranteed.
void CXString::AllocBeforeWrite(std::int32_t length) {
  CXStringData* data = GetData();
  if (RefsOf(data) > 1 || length > data->nAllocLength) {
    Release();
    AllocBuffer(length);
  }
}

void CXString::CopyBeforeWrite() {
  CXStringData* old = GetData();
  if (RefsOf(old) <= 1) return;
  // Copy first, release after: another holder may drop the block meanwhile.
  CXString copy;
  copy.AllocBuffer(old->nDataLength);
  std::memcpy(copy.m_pchData, old->data(), static_cast<std::size_t>(old->nDataLength) * sizeof(char16_t));
  ReleaseBlock(old);
  m_pchData = copy.m_pchData;
  copy.Init();
}

void CXString::AssignCopy(std::int32_t length, const char16_t* text) {
  if (length == 0) {
    Empty();
    return;
  }
  // text may lie inside this string's own block.
  if (RefsOf(GetData()) <= 1 && length <= GetAllocLength()) {
    std::memmove(m_pchData, text, static_cast<std::size_t>(length) * sizeof(char16_t));
    GetData()->nDataLength = length;
    m_pchData[length] = 0;
    return;
  }
  CXString fresh;
  fresh.AllocBuffer(length);
  std::memcpy(fresh.m_pchData, text, static_cast<std::size_t>(length) * sizeof(char16_t));
  const bool locked = RefsOf(GetData()) < 0 && !IsEmptyBlock(GetData());
  std::swap(m_pchData, fresh.m_pchData);
  if (locked) GetData()->refs().store(-1, std::memory_order_relaxed);
}

void CXString::ConcatCopy(std::int32_t len1, const char16_t* text1, std::int32_t len2, const char16_t* text2) {
  const std::int32_t total = CheckedLength(static_cast<std::int64_t>(len1) + len2);
  if (total == 0) return;
  AllocBuffer(total);
  if (len1 > 0) std::memcpy(m_pchData, text1, static_cast<std::size_t>(len1) * sizeof(char16_t));
  if (len2 > 0) std::memcpy(m_pchData + len1, text2, static_cast<std::size_t>(len2) * sizeof(char16_t));
}

void CXString::ConcatInPlace(std::int32_t length, const char16_t* text) {
  if (length == 0) return;
  CXStringData* data = GetData();
  const std::int32_t total = CheckedLength(static_cast<std::int64_t>(data->nDataLength) + length);
  if (RefsOf(data) > 1 || total > data->nAllocLength) {
    // text may be this string's own text: keep the old block until copied.
    CXString combined;
    combined.ConcatCopy(data->nDataLength, m_pchData, length, text);
    const bool locked = RefsOf(data) < 0 && !IsEmptyBlock(data);
    std::swap(m_pchData, combined.m_pchData);
    if (locked) GetData()->refs().store(-1, std::memory_order_relaxed);
  } else {
    std::memmove(m_pchData + data->nDataLength, text, static_cast<std::size_t>(length) * sizeof(char16_t));
    data->nDataLength = total;
    m_pchData[total] = 0;
  }
}

void CXString::AssignNarrow(const char* narrow, std::int32_t count) {
  std::u16string wide;
  if (narrow == nullptr || count <= 0 ||
      !w4platform::MultiByteToUtf16(w4platform::kCodePageAnsi, narrow, static_cast<std::size_t>(count), wide)) {
    Empty();
    return;
  }
  AssignCopy(CheckedLength(static_cast<std::int64_t>(wide.size())), wide.data());
}

// --- construction and assignment ---

CXString::CXString() noexcept { Init(); }

CXString::CXString(const CXString& other) {
  CXStringData* data = other.GetData();
  if (RefsOf(data) >= 0) {
    data->refs().fetch_add(1, std::memory_order_relaxed);
    m_pchData = other.m_pchData;
  } else {
    Init();
    AssignCopy(data->nDataLength, other.m_pchData);
  }
}

CXString::CXString(CXString&& other) noexcept {
  CXStringData* data = other.GetData();
  if (RefsOf(data) >= 0 || IsEmptyBlock(data)) {
    m_pchData = other.m_pchData;
    other.Init();
  } else {
    // A locked block stays with its owner; this gets a private copy.
    Init();
    try {
      AssignCopy(data->nDataLength, other.m_pchData);
    } catch (...) {
      Init();
    }
  }
}

CXString::CXString(const char16_t* text) {
  Init();
  const std::int32_t length = WideLength(text);
  if (length > 0) AssignCopy(length, text);
}

CXString::CXString(const char16_t* text, std::int32_t count) {
  Init();
  if (text != nullptr && count > 0) AssignCopy(count, text);
}

CXString::CXString(char16_t ch, std::int32_t repeat) {
  Init();
  if (repeat < 1) return;
  AllocBuffer(repeat);
  for (std::int32_t i = 0; i < repeat; ++i) m_pchData[i] = ch;
}

CXString::CXString(const char* narrow) {
  Init();
  if (narrow != nullptr) AssignNarrow(narrow, CheckedLength(static_cast<std::int64_t>(std::strlen(narrow))));
}

CXString::CXString(const char* narrow, std::int32_t count) {
  Init();
  AssignNarrow(narrow, count);
}

CXString::~CXString() { ReleaseBlock(GetData()); }

// Self-assignment shares the text, so it returns at once.
// NOLINTNEXTLINE(bugprone-unhandled-self-assignment)
CXString& CXString::operator=(const CXString& other) {
  if (m_pchData == other.m_pchData) return *this;
  CXStringData* mine = GetData();
  CXStringData* theirs = other.GetData();
  if ((RefsOf(mine) < 0 && !IsEmptyBlock(mine)) || RefsOf(theirs) < 0) {
    AssignCopy(theirs->nDataLength, other.m_pchData);
  } else {
    theirs->refs().fetch_add(1, std::memory_order_relaxed);
    ReleaseBlock(mine);
    m_pchData = other.m_pchData;
  }
  return *this;
}

CXString& CXString::operator=(CXString&& other) noexcept {
  if (this == &other || m_pchData == other.m_pchData) return *this;
  CXStringData* mine = GetData();
  CXStringData* theirs = other.GetData();
  if ((RefsOf(mine) < 0 && !IsEmptyBlock(mine)) || (RefsOf(theirs) < 0 && !IsEmptyBlock(theirs))) {
    try {
      AssignCopy(theirs->nDataLength, other.m_pchData);
    } catch (...) {
      Empty();
    }
    return *this;
  }
  ReleaseBlock(mine);
  m_pchData = other.m_pchData;
  other.Init();
  return *this;
}

CXString& CXString::operator=(const char16_t* text) {
  AssignCopy(WideLength(text), text);
  return *this;
}

CXString& CXString::operator=(char16_t ch) {
  AssignCopy(1, &ch);
  return *this;
}

CXString& CXString::operator=(const char* narrow) {
  if (narrow == nullptr) {
    Empty();
  } else {
    AssignNarrow(narrow, CheckedLength(static_cast<std::int64_t>(std::strlen(narrow))));
  }
  return *this;
}

CXString& CXString::operator+=(const CXString& text) {
  ConcatInPlace(text.GetLength(), text.m_pchData);
  return *this;
}

CXString& CXString::operator+=(const char16_t* text) {
  ConcatInPlace(WideLength(text), text);
  return *this;
}

CXString& CXString::operator+=(char16_t ch) {
  ConcatInPlace(1, &ch);
  return *this;
}

CXString operator+(const CXString& a, const CXString& b) {
  CXString result(a);
  result += b;
  return result;
}

CXString operator+(const CXString& a, const char16_t* b) {
  CXString result(a);
  result += b;
  return result;
}

CXString operator+(const char16_t* a, const CXString& b) {
  CXString result(a);
  result += b;
  return result;
}

CXString operator+(const CXString& a, char16_t b) {
  CXString result(a);
  result += b;
  return result;
}

CXString operator+(char16_t a, const CXString& b) {
  CXString result(a, 1);
  result += b;
  return result;
}

// --- access ---

void CXString::SetAt(std::int32_t index, char16_t ch) {
  CopyBeforeWrite();
  m_pchData[index] = ch;
}

std::uint64_t CXString::GetHashValue() const noexcept {
  std::uint64_t h = 0;
  for (const char16_t* p = m_pchData; *p != 0; ++p) h = h * 31 + *p;
  return h;
}

std::int32_t CXString::Compare(const char16_t* other) const noexcept {
  if (other == nullptr) other = EmptyText();
  const char16_t* p = m_pchData;
  while (*p != 0 && *p == *other) {
    ++p;
    ++other;
  }
  return static_cast<std::int32_t>(*p) - static_cast<std::int32_t>(*other);
}

std::int32_t CXString::CompareNoCase(const char16_t* other) const noexcept {
  if (other == nullptr) other = EmptyText();
  const char16_t* p = m_pchData;
  for (;; ++p, ++other) {
    const std::int32_t a = w4text::FoldCase(*p);
    const std::int32_t b = w4text::FoldCase(*other);
    if (a != b || a == 0) return a - b;
  }
}

// --- slices ---

CXString CXString::Mid(std::int32_t first) const {
  if (first < 0) first = 0;
  return Mid(first, GetLength() - first);
}

CXString CXString::Mid(std::int32_t first, std::int32_t count) const {
  if (first < 0) first = 0;
  if (count < 0) count = 0;
  const std::int32_t length = GetLength();
  if (first >= length) return CXString();
  if (static_cast<std::int64_t>(first) + count > length) count = length - first;
  if (first == 0 && count == length) return *this;
  return CXString(m_pchData + first, count);
}

CXString CXString::Left(std::int32_t count) const {
  if (count < 0) count = 0;
  if (count >= GetLength()) return *this;
  return CXString(m_pchData, count);
}

CXString CXString::Right(std::int32_t count) const {
  if (count < 0) count = 0;
  const std::int32_t length = GetLength();
  if (count >= length) return *this;
  return CXString(m_pchData + length - count, count);
}

CXString CXString::SpanIncluding(const char16_t* set) const {
  std::int32_t n = 0;
  while (n < GetLength() && m_pchData[n] != 0 && InSet(m_pchData[n], set)) ++n;
  return Left(n);
}

CXString CXString::SpanExcluding(const char16_t* set) const {
  std::int32_t n = 0;
  while (n < GetLength() && m_pchData[n] != 0 && !InSet(m_pchData[n], set)) ++n;
  return Left(n);
}

// --- search ---

std::int32_t CXString::Find(char16_t ch) const noexcept { return Find(ch, 0); }

std::int32_t CXString::Find(char16_t ch, std::int32_t start) const noexcept {
  if (start < 0) start = 0;
  const std::int32_t length = GetLength();
  for (std::int32_t i = start; i < length; ++i) {
    if (m_pchData[i] == ch) return i;
  }
  return -1;
}

std::int32_t CXString::Find(const char16_t* text) const noexcept { return Find(text, 0); }

std::int32_t CXString::Find(const char16_t* text, std::int32_t start) const noexcept {
  if (text == nullptr) return -1;
  if (start < 0) start = 0;
  const std::int32_t length = GetLength();
  if (start > length) return -1;
  std::u16string_view haystack(m_pchData, static_cast<std::size_t>(length));
  std::size_t found = haystack.find(std::u16string_view(text), static_cast<std::size_t>(start));
  return found == std::u16string_view::npos ? -1 : static_cast<std::int32_t>(found);
}

std::int32_t CXString::ReverseFind(char16_t ch) const noexcept {
  for (std::int32_t i = GetLength() - 1; i >= 0; --i) {
    if (m_pchData[i] == ch) return i;
  }
  return -1;
}

// --- in-place changes ---

void CXString::MakeUpper() {
  CopyBeforeWrite();
  for (std::int32_t i = 0; i < GetLength(); ++i) m_pchData[i] = w4text::ToUpper(m_pchData[i]);
}

void CXString::MakeLower() {
  CopyBeforeWrite();
  for (std::int32_t i = 0; i < GetLength(); ++i) m_pchData[i] = w4text::ToLower(m_pchData[i]);
}

void CXString::MakeReverse() {
  CopyBeforeWrite();
  for (std::int32_t i = 0, j = GetLength() - 1; i < j; ++i, --j) std::swap(m_pchData[i], m_pchData[j]);
}

namespace {

template <typename Pred>
std::int32_t TrailingRun(const char16_t* text, std::int32_t length, Pred pred) {
  std::int32_t end = length;
  while (end > 0 && pred(text[end - 1])) --end;
  return end;
}

template <typename Pred>
std::int32_t LeadingRun(const char16_t* text, std::int32_t length, Pred pred) {
  std::int32_t start = 0;
  while (start < length && pred(text[start])) ++start;
  return start;
}

}  // namespace

#define W4_TRIM_RIGHT(pred)                                    \
  do {                                                         \
    const std::int32_t end = TrailingRun(m_pchData, GetLength(), pred); \
    if (end == GetLength()) return;                            \
    CopyBeforeWrite();                                         \
    GetData()->nDataLength = end;                              \
    m_pchData[end] = 0;                                        \
  } while (0)

#define W4_TRIM_LEFT(pred)                                                      \
  do {                                                                          \
    const std::int32_t start = LeadingRun(m_pchData, GetLength(), pred);       \
    if (start == 0) return;                                                     \
    CopyBeforeWrite();                                                          \
    const std::int32_t left = GetLength() - start;                             \
    std::memmove(m_pchData, m_pchData + start, static_cast<std::size_t>(left) * sizeof(char16_t)); \
    GetData()->nDataLength = left;                                              \
    m_pchData[left] = 0;                                                        \
  } while (0)

void CXString::TrimRight() { W4_TRIM_RIGHT([](char16_t c) { return w4text::IsSpace(c); }); }
void CXString::TrimRight(char16_t ch) { W4_TRIM_RIGHT([ch](char16_t c) { return c == ch; }); }
void CXString::TrimRight(const char16_t* set) {
  if (set == nullptr) return;
  W4_TRIM_RIGHT([set](char16_t c) { return InSet(c, set); });
}
void CXString::TrimLeft() { W4_TRIM_LEFT([](char16_t c) { return w4text::IsSpace(c); }); }
void CXString::TrimLeft(char16_t ch) { W4_TRIM_LEFT([ch](char16_t c) { return c == ch; }); }
void CXString::TrimLeft(const char16_t* set) {
  if (set == nullptr || *set == 0) return;
  W4_TRIM_LEFT([set](char16_t c) { return InSet(c, set); });
}

#undef W4_TRIM_RIGHT
#undef W4_TRIM_LEFT

std::int32_t CXString::Delete(std::int32_t index, std::int32_t count) {
  if (index < 0) index = 0;
  const std::int32_t length = GetLength();
  if (count < 1 || index >= length) return length;
  // A count past the end deletes the tail rather than reading beyond it.
  if (count > length - index) count = length - index;
  CopyBeforeWrite();
  const std::int32_t tail = length - index - count;
  std::memmove(m_pchData + index, m_pchData + index + count, static_cast<std::size_t>(tail) * sizeof(char16_t));
  GetData()->nDataLength = length - count;
  m_pchData[length - count] = 0;
  return length;
}

namespace {

// Inserts add units of text at index (clamped); returns the new length.
std::int32_t InsertUnits(CXString& s, std::int32_t index, const char16_t* text, std::int32_t add) {
  const std::int32_t length = s.GetLength();
  if (add == 0) return length;
  if (index < 0) index = 0;
  if (index > length) index = length;
  CXString result;
  char16_t* p = result.GetBufferSetLength(CheckedLength(static_cast<std::int64_t>(length) + add));
  const char16_t* old = s;
  std::memcpy(p, old, static_cast<std::size_t>(index) * sizeof(char16_t));
  std::memcpy(p + index, text, static_cast<std::size_t>(add) * sizeof(char16_t));
  std::memcpy(p + index + add, old + index, static_cast<std::size_t>(length - index) * sizeof(char16_t));
  s = std::move(result);
  return s.GetLength();
}

}  // namespace

std::int32_t CXString::Insert(std::int32_t index, char16_t ch) { return InsertUnits(*this, index, &ch, 1); }

std::int32_t CXString::Insert(std::int32_t index, const char16_t* text) {
  return InsertUnits(*this, index, text, WideLength(text));
}

std::int32_t CXString::Replace(char16_t oldCh, char16_t newCh) {
  if (oldCh == newCh) return 0;
  std::int32_t count = 0;
  for (std::int32_t i = 0; i < GetLength(); ++i) {
    if (m_pchData[i] != oldCh) continue;
    if (count++ == 0) CopyBeforeWrite();
    m_pchData[i] = newCh;
  }
  return count;
}

std::int32_t CXString::Replace(const char16_t* oldText, const char16_t* newText) {
  const std::int32_t oldLength = WideLength(oldText);
  if (oldLength == 0) return 0;
  const std::int32_t newLength = WideLength(newText);
  const std::u16string_view source(m_pchData, static_cast<std::size_t>(GetLength()));
  const std::u16string_view pattern(oldText, static_cast<std::size_t>(oldLength));
  std::int32_t count = 0;
  for (std::size_t at = source.find(pattern); at != std::u16string_view::npos;
       at = source.find(pattern, at + pattern.size())) {
    ++count;
  }
  if (count == 0) return 0;
  const std::int64_t total = static_cast<std::int64_t>(GetLength()) +
                             static_cast<std::int64_t>(count) * (newLength - oldLength);
  std::u16string result;
  result.reserve(static_cast<std::size_t>(CheckedLength(total)));
  std::size_t from = 0;
  for (std::size_t at = source.find(pattern); at != std::u16string_view::npos;
       at = source.find(pattern, at + pattern.size())) {
    result.append(source.substr(from, at - from));
    if (newLength > 0) result.append(newText, static_cast<std::size_t>(newLength));
    from = at + pattern.size();
  }
  result.append(source.substr(from));
  AssignCopy(static_cast<std::int32_t>(result.size()), result.data());
  return count;
}

std::int32_t CXString::Remove(char16_t ch) {
  const std::int32_t length = GetLength();
  if (Find(ch) < 0) return 0;
  CopyBeforeWrite();
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < length; ++i) {
    if (m_pchData[i] != ch) m_pchData[kept++] = m_pchData[i];
  }
  GetData()->nDataLength = kept;
  m_pchData[kept] = 0;
  return length - kept;
}

std::int32_t CXString::Filter(CXString& set) {
  const std::int32_t length = GetLength();
  std::u16string kept;
  kept.reserve(static_cast<std::size_t>(length));
  for (std::int32_t i = 0; i < length; ++i) {
    if (!InSet(m_pchData[i], set)) kept.push_back(m_pchData[i]);
  }
  if (static_cast<std::int32_t>(kept.size()) != length) AssignCopy(static_cast<std::int32_t>(kept.size()), kept.data());
  return GetLength();
}

std::int32_t CXString::Filter(bool letters, bool digits, CXString& set) {
  const std::int32_t length = GetLength();
  std::u16string kept;
  kept.reserve(static_cast<std::size_t>(length));
  for (std::int32_t i = 0; i < length; ++i) {
    const char16_t c = m_pchData[i];
    const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    const bool digit = c >= u'0' && c <= u'9';
    if ((letters && letter) || (digits && digit) || InSet(c, set)) kept.push_back(c);
  }
  if (static_cast<std::int32_t>(kept.size()) != length) AssignCopy(static_cast<std::int32_t>(kept.size()), kept.data());
  return GetLength();
}

void CXString::Empty() {
  CXStringData* data = GetData();
  if (IsEmptyBlock(data)) return;
  if (RefsOf(data) < 0) {
    data->nDataLength = 0;
    m_pchData[0] = 0;
    return;
  }
  Release();
}

// --- buffer access ---

char16_t* CXString::GetBuffer(std::int32_t minLength) {
  if (minLength < 0) minLength = 0;
  CXStringData* old = GetData();
  if (RefsOf(old) > 1 || minLength > old->nAllocLength) {
    const std::int32_t oldLength = old->nDataLength;
    const bool locked = RefsOf(old) < 0 && !IsEmptyBlock(old);
    CXString fresh;
    fresh.AllocBuffer(minLength < oldLength ? oldLength : minLength);
    std::memcpy(fresh.m_pchData, m_pchData, (static_cast<std::size_t>(oldLength) + 1) * sizeof(char16_t));
    fresh.GetData()->nDataLength = oldLength;
    std::swap(m_pchData, fresh.m_pchData);
    if (locked) GetData()->refs().store(-1, std::memory_order_relaxed);
  }
  return m_pchData;
}

char16_t* CXString::GetBufferSetLength(std::int32_t length) {
  if (length < 0) length = 0;
  GetBuffer(length);
  if (!IsEmptyBlock(GetData())) {
    GetData()->nDataLength = length;
    m_pchData[length] = 0;
  }
  return m_pchData;
}

void CXString::ReleaseBuffer(std::int32_t length) {
  CopyBeforeWrite();
  CXStringData* data = GetData();
  if (IsEmptyBlock(data)) return;
  // The length never leaves the block, whatever the caller wrote or asked.
  const std::int32_t capacity = data->nAllocLength;
  if (length == -1) {
    length = 0;
    while (length < capacity && m_pchData[length] != 0) ++length;
  }
  if (length < 0) length = 0;
  if (length > capacity) length = capacity;
  data->nDataLength = length;
  m_pchData[length] = 0;
}

void CXString::FreeExtra() {
  CXStringData* data = GetData();
  if (IsEmptyBlock(data) || data->nDataLength == data->nAllocLength) return;
  const bool locked = RefsOf(data) < 0;
  const std::int32_t length = data->nDataLength;
  if (length == 0 && !locked) {
    Release();
    return;
  }
  CXStringData* fresh = NewBlock(length);
  fresh->nDataLength = length;
  std::memcpy(fresh->data(), m_pchData, (static_cast<std::size_t>(length) + 1) * sizeof(char16_t));
  if (locked) fresh->refs().store(-1, std::memory_order_relaxed);
  ReleaseBlock(data);
  m_pchData = fresh->data();
}

char16_t* CXString::LockBuffer() {
  char16_t* text = GetBuffer(0);
  if (!IsEmptyBlock(GetData())) GetData()->refs().store(-1, std::memory_order_relaxed);
  return text;
}

void CXString::UnlockBuffer() {
  if (!IsEmptyBlock(GetData())) GetData()->refs().store(1, std::memory_order_relaxed);
}

// --- tests ---

bool CXString::IsContainNumericCharsOnly() const noexcept {
  const std::int32_t length = GetLength();
  if (length == 0) return false;
  for (std::int32_t i = 0; i < length; ++i) {
    if (m_pchData[i] < u'0' || m_pchData[i] > u'9') return false;
  }
  return true;
}

bool CXString::IsBlank() const noexcept {
  for (std::int32_t i = 0; i < GetLength() && m_pchData[i] != 0; ++i) {
    if (m_pchData[i] != u' ') return false;
  }
  return true;
}

// --- tokenising ---

std::vector<CXString> CXString::Tokenize(char16_t separator) const {
  // Works on the stored length; the shared text is never written.
  std::vector<CXString> tokens;
  const std::int32_t length = GetLength();
  std::int32_t start = 0;
  for (std::int32_t i = 0; i <= length; ++i) {
    if (i == length || m_pchData[i] == separator) {
      tokens.emplace_back(m_pchData + start, i - start);
      start = i + 1;
    }
  }
  return tokens;
}

std::vector<CXString> CXString::TokenizeUsingWhitespace() const {
  std::u16string squeezed;
  bool pendingSpace = false;
  for (std::int32_t i = 0; i < GetLength(); ++i) {
    const char16_t c = m_pchData[i];
    if (w4text::IsSpace(c)) {
      pendingSpace = !squeezed.empty();
      continue;
    }
    if (pendingSpace) squeezed.push_back(u' ');
    pendingSpace = false;
    squeezed.push_back(c);
  }
  return CXString(squeezed.data(), static_cast<std::int32_t>(squeezed.size())).Tokenize(u' ');
}

// --- conversion ---

std::int32_t CXString::GetAsMultiByte(char* out, std::size_t size) const noexcept {
  return w4util::foundation_internal::CopyOutAnsi(m_pchData, static_cast<std::size_t>(GetLength()), out, size);
}

std::vector<char> CXString::GetAsMultiByte() const {
  std::string narrow;
  if (!w4platform::Utf16ToMultiByte(w4platform::kCodePageAnsi, m_pchData, static_cast<std::size_t>(GetLength()),
                                    narrow)) {
    return {};
  }
  std::vector<char> result(narrow.begin(), narrow.end());
  result.push_back(0);
  return result;
}

// --- formatting ---

void CXString::Format(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    FormatV(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

void CXString::FormatV(const char16_t* format, va_list args) {
  CXStringData* old = GetData();
  bool aliases = false;
  std::size_t estimate = 0;
  {
    ZelvoUtilities::VaListArgSource estimateArgs(args);
    estimate = ZelvoUtilities::EstimateFormatLength(format, estimateArgs, old,
                                                    old->data() + old->nAllocLength + 1, aliases);
  }
  const std::int32_t room = CheckedLength(static_cast<std::int64_t>(estimate));
  if (room == 0) {
    Empty();
    return;
  }
  CXString keepAlive;
  if (aliases || RefsOf(old) > 1 || room > old->nAllocLength) {
    // The arguments may point into the old block: hold it until done.
    keepAlive.m_pchData = m_pchData;
    const bool locked = RefsOf(old) < 0 && !IsEmptyBlock(old);
    CXString fresh;
    fresh.AllocBuffer(room);
    m_pchData = fresh.m_pchData;
    fresh.Init();
    if (locked) {
      // A locked block has one owner: the string keeps the lock, and the
      // old block is freed by keepAlive.
      GetData()->refs().store(-1, std::memory_order_relaxed);
    }
  }
  ZelvoUtilities::VaListArgSource formatArgs(args);
  bool truncated = false;
  ZelvoUtilities::FormatToBuffer(m_pchData, static_cast<std::size_t>(GetAllocLength()), format, formatArgs,
                                 truncated);
  ReleaseBuffer(-1);
}

void CXString::Format(HINSTANCE module, std::uint32_t id, ...) {
  if (!LoadStringW(module, id)) return;
  va_list args;
  va_start(args, id);
  const CXString format(*this);
  try {
    FormatV(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

// --- platform-bound operations ---

bool CXString::LoadStringW(HINSTANCE /*module*/, std::uint32_t /*id*/) {
  Empty();
  return false;
}

std::int32_t CXString::GetWindowTextW(HWND /*window*/) {
  Empty();
  return 0;
}

std::int32_t CXString::SetWindowTextW(HWND /*window*/) const { return 0; }
