// CXString: the library's text type, a reference-counted copy-on-write string
// of UTF-16 code units (char16_t).
//
// Layout: the object holds one pointer, to the first character of a block
// whose header (reference count, length, capacity; three signed 32-bit fields)
// lies just in front of the text. The text is always 0-terminated at its
// length. Every empty string points at one static header whose count is -1;
// it is never freed or counted. Capacities come in classes (6, 12, 16, 20,
// 24, 32, 64, 128, 256, 512, then exact) so that short strings reuse a few
// block sizes and repeated appends grow in place.
//
// Thread-safety: count changes are atomic, so strings sharing a block may be
// copied and destroyed on different threads. One CXString object is not safe
// for concurrent use; changing it while another thread reads it needs the
// caller's lock. Tokenize writes a temporary terminator into the shared text.
//
// Locking: LockBuffer sets the block's count to -1; a locked block is never
// shared (copies from it are private, assignment into it copies the text).
//
// Narrow text is the ANSI code page of the platform layer (Windows-1252 unless
// configured); conversions never throw, they answer an empty result.
//
// Formatting follows the reference platform's wide conventions, whatever the
// C runtime does: in a wide format "%s" is UTF-16 text (const char16_t*), "%S"
// narrow text (const char*), "h" forces narrow, "l" forces wide, "%c" a wide
// character (passed as int), "%C" a narrow one, "%ld"/"%lx" 32-bit, "%I64d"
// 64-bit. See WideFormat.h for the full set and for what a malformed format
// prints.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "w4util/Export.h"
#include "w4util/platform/Handles.h"

// Header in front of every string's text. The block is one allocation of
// sizeof(CXStringData) + (nAllocLength + 1) characters.
struct CXStringData {
  std::int32_t nRefs;         // -1: the static empty block or a locked block
  std::int32_t nDataLength;   // characters, terminator excluded
  std::int32_t nAllocLength;  // characters, terminator excluded

  char16_t* data() noexcept { return reinterpret_cast<char16_t*>(this + 1); }
  const char16_t* data() const noexcept { return reinterpret_cast<const char16_t*>(this + 1); }
  std::atomic_ref<std::int32_t> refs() noexcept { return std::atomic_ref<std::int32_t>(nRefs); }
};
static_assert(sizeof(CXStringData) == 12, "three 32-bit header fields");

class W4UTIL_EXPORT CXString {
 public:
  // --- construction and assignment ---
  CXString() noexcept;
  CXString(const CXString& other);
  CXString(CXString&& other) noexcept;
  CXString(const char16_t* text);                       // null gives empty
  CXString(const char16_t* text, std::int32_t count);   // exactly count units
  CXString(char16_t ch, std::int32_t repeat);           // repeat < 1 gives empty
  CXString(const char* narrow);                         // ANSI; null gives empty
  CXString(const char* narrow, std::int32_t count);     // exactly count bytes
  ~CXString();

  CXString& operator=(const CXString& other);
  CXString& operator=(CXString&& other) noexcept;
  CXString& operator=(const char16_t* text);
  CXString& operator=(char16_t ch);
  CXString& operator=(const char* narrow);

  CXString& operator+=(const CXString& text);
  CXString& operator+=(const char16_t* text);
  CXString& operator+=(char16_t ch);

  // --- access and size ---
  std::int32_t GetLength() const noexcept { return GetData()->nDataLength; }
  std::int32_t GetAllocLength() const noexcept { return GetData()->nAllocLength; }
  bool IsEmpty() const noexcept { return GetData()->nDataLength == 0; }
  // No range check: the caller keeps index inside the text.
  char16_t GetAt(std::int32_t index) const noexcept { return m_pchData[index]; }
  char16_t operator[](std::int32_t index) const noexcept { return m_pchData[index]; }
  void SetAt(std::int32_t index, char16_t ch);
  operator const char16_t*() const noexcept { return m_pchData; }
  // h = h * 31 + unit over the text up to its first 0 unit.
  std::uint64_t GetHashValue() const noexcept;

  // --- comparison (only the sign is meaningful) ---
  std::int32_t Compare(const char16_t* other) const noexcept;
  std::int32_t compare(const char16_t* other) const noexcept { return Compare(other); }
  std::int32_t CompareNoCase(const char16_t* other) const noexcept;

  // --- slices ---
  CXString Mid(std::int32_t first, std::int32_t count) const;
  CXString Mid(std::int32_t first) const;
  CXString Left(std::int32_t count) const;
  CXString Right(std::int32_t count) const;
  CXString SpanIncluding(const char16_t* set) const;
  CXString SpanExcluding(const char16_t* set) const;

  // --- search: positions, -1 when not found ---
  std::int32_t Find(char16_t ch) const noexcept;
  std::int32_t Find(char16_t ch, std::int32_t start) const noexcept;
  std::int32_t Find(const char16_t* text) const noexcept;
  std::int32_t Find(const char16_t* text, std::int32_t start) const noexcept;
  std::int32_t ReverseFind(char16_t ch) const noexcept;

  // --- in-place changes (copy before write) ---
  void MakeUpper();
  void MakeLower();
  void MakeReverse();
  void TrimRight();
  void TrimRight(char16_t ch);
  void TrimRight(const char16_t* set);  // requires a non-null set
  void TrimLeft();
  void TrimLeft(char16_t ch);
  void TrimLeft(const char16_t* set);   // null or empty set: nothing happens
  // Returns the length before the call.
  std::int32_t Delete(std::int32_t index, std::int32_t count = 1);
  // Return the new length.
  std::int32_t Insert(std::int32_t index, char16_t ch);
  std::int32_t Insert(std::int32_t index, const char16_t* text);
  // Return the number of replacements / removals.
  std::int32_t Replace(char16_t oldCh, char16_t newCh);
  std::int32_t Replace(const char16_t* oldText, const char16_t* newText);
  std::int32_t Remove(char16_t ch);
  // Removes the characters of set; returns the new length.
  std::int32_t Filter(CXString& set);
  // Keeps ASCII letters (when letters), ASCII digits (when digits) and the
  // characters of set; returns the new length.
  std::int32_t Filter(bool letters, bool digits, CXString& set);
  void Empty();

  // --- buffer access ---
  // Writable pointer into a private block of at least minLength characters;
  // content kept. Valid until the next change of this string.
  char16_t* GetBuffer(std::int32_t minLength);
  char16_t* GetBufferSetLength(std::int32_t length);
  // Sets the length (-1: up to the first 0 unit) and writes the terminator.
  void ReleaseBuffer(std::int32_t length = -1);
  void FreeExtra();
  char16_t* LockBuffer();
  void UnlockBuffer();

  // --- tests ---
  bool IsContainNumericCharsOnly() const noexcept;
  bool IsBlank() const noexcept;

  // --- tokenising: always at least one token ---
  std::vector<CXString> Tokenize(char16_t separator) const;
  std::vector<CXString> TokenizeUsingWhitespace() const;

  // --- conversion to narrow (ANSI) text, terminator included ---
  // out == nullptr && size == 0: returns the size needed. Otherwise returns
  // the bytes written (0 on failure or size 0); out[n-1] is always 0.
  std::int32_t GetAsMultiByte(char* out, std::size_t size) const noexcept;
  std::vector<char> GetAsMultiByte() const;

  // --- formatting: the result replaces the content ---
  void Format(const char16_t* format, ...);
  void FormatV(const char16_t* format, va_list args);
  // There are no string resources on this host: the load fails and the
  // string becomes empty.
  void Format(HINSTANCE module, std::uint32_t id, ...);
  // Message-insert formatting (%1..%99, %1!spec!, %0, %%, %n, %t, %., %!,
  // %space). An insert without !spec! takes a const char16_t* argument; one
  // with a !spec! takes the argument its printf specification names. Throws
  // the narrow text (const char*) "CXString::FormatMessage(LPCTSTR...):
  // Failed call to FormatMessage() API!\r\n" when the format is null,
  // malformed or yields nothing.
  void FormatMessageW(const char16_t* format, ...);
  // Always throws "CXString::FormatMessage(HINSTANCE,UINT,...): Failed call
  // to FormatMessage() API!\r\n": no resources here.
  void FormatMessageW(HINSTANCE module, std::uint32_t id, ...);

  // --- platform-bound operations (no host objects on Linux) ---
  // Empties the string and returns false.
  bool LoadStringW(HINSTANCE module, std::uint32_t id);
  // Empties the string and returns 0.
  std::int32_t GetWindowTextW(HWND window);
  // Returns 0 (failure).
  std::int32_t SetWindowTextW(HWND window) const;

  // Internal: the header of this string's block.
  CXStringData* GetData() const noexcept {
    return reinterpret_cast<CXStringData*>(m_pchData) - 1;
  }

 private:
  void Init() noexcept;
  void Release() noexcept;
  void AllocBuffer(std::int32_t length);
  void AllocBeforeWrite(std::int32_t length);
  void CopyBeforeWrite();
  void AssignCopy(std::int32_t length, const char16_t* text);
  void ConcatCopy(std::int32_t len1, const char16_t* text1, std::int32_t len2, const char16_t* text2);
  void ConcatInPlace(std::int32_t length, const char16_t* text);
  void AssignNarrow(const char* narrow, std::int32_t count);

  char16_t* m_pchData;
};

W4UTIL_EXPORT CXString operator+(const CXString& a, const CXString& b);
W4UTIL_EXPORT CXString operator+(const CXString& a, const char16_t* b);
W4UTIL_EXPORT CXString operator+(const char16_t* a, const CXString& b);
W4UTIL_EXPORT CXString operator+(const CXString& a, char16_t b);
W4UTIL_EXPORT CXString operator+(char16_t a, const CXString& b);

// Code-unit comparisons (the implicit pointer conversion would otherwise
// compare addresses).
inline bool operator==(const CXString& a, const CXString& b) noexcept {
  return a.GetLength() == b.GetLength() && a.Compare(b) == 0;
}
inline bool operator==(const CXString& a, const char16_t* b) noexcept { return a.Compare(b) == 0; }
inline bool operator<(const CXString& a, const CXString& b) noexcept { return a.Compare(b) < 0; }

namespace ZelvoUtilities {

enum NegativeNumAllowedEnum : std::int32_t {
  NegativeNumNotAllowed = 1,
  NegativeNumAllowed = 2,
};

// Formats into a 2,048-character scratch area; larger results go through
// CXString::FormatV. The va_list& forms consume the list: they va_end it, and
// the caller must not use it again (a va_list cannot portably be nulled).
W4UTIL_EXPORT CXString formatString(const char16_t* format, ...);
W4UTIL_EXPORT CXString formatString(const char16_t* format, va_list& args);
// The narrow format is converted to wide text and follows the wide conventions.
W4UTIL_EXPORT CXString formatString(const char* format, ...);

// Never throws: any exception raised while formatting gives an empty string.
W4UTIL_EXPORT CXString SafeFormatString(const char* format, ...) noexcept;
W4UTIL_EXPORT CXString SafeFormatString(const char16_t* format, ...) noexcept;
W4UTIL_EXPORT CXString SafeFormatString(const char16_t* format, va_list& args) noexcept;

// The format text itself, or "!" when it is null or cannot be converted.
W4UTIL_EXPORT CXString GetFormatStringSpecificationFromVariableArgList(const char* format);
W4UTIL_EXPORT CXString GetFormatStringSpecificationFromVariableArgList(const char16_t* format);

// Terminated text, terminator included, between wide and narrow (ANSI).
// out == nullptr && size == 0 returns the units needed; a non-null out with
// size 0 returns 0; otherwise returns the n units written, out[n-1] == 0.
W4UTIL_EXPORT std::int32_t WideCharStrToMultiByteStr(const char16_t* text, char* out, std::size_t size) noexcept;
W4UTIL_EXPORT std::int32_t MultiByteStrToWideCharStr(const char* text, char16_t* out, std::size_t size) noexcept;

// Replaces the first occurrence of find until none is left; text unchanged
// when find is empty or replacement contains find.
W4UTIL_EXPORT CXString replaceSubString(const CXString& text, const CXString& find, const CXString& replacement);

// A writable pointer to the string's text, made private first. Valid until
// the string next changes. For an empty string it is the shared empty text,
// whose one unit (the terminator) must not be changed.
W4UTIL_EXPORT char16_t* getCharPtr(const CXString& text);

// Appends the pieces of text between separators to out, taken from the end
// of text towards its start; inTextOrder then reverses the whole of out.
W4UTIL_EXPORT void parseCharacterSeparatedStrings(std::vector<CXString>& out, const CXString& text,
                                                  char16_t separator, bool inTextOrder, bool trim);

// find within the first limit bytes of text (and not past its terminator).
// Empty find returns text; no match returns null. The result points into text.
W4UTIL_EXPORT const char* SafeStrStrA(const char* text, const char* find, std::size_t limit) noexcept;

// Checked walkers: never read more than left units from p.
W4UTIL_EXPORT bool WalkBufferToGetNextCharacter(const char16_t*& p, std::int32_t& left, char16_t& ch) noexcept;
W4UTIL_EXPORT bool WalkBufferToParseWholeDecimalNumber(const char16_t*& p, std::int32_t& left,
                                                       NegativeNumAllowedEnum negative,
                                                       std::int32_t& value) noexcept;

}  // namespace ZelvoUtilities
