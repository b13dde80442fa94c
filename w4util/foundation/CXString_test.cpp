#include "w4util/foundation/CXString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::u16string Str(const CXString& s) {
  return std::u16string(static_cast<const char16_t*>(s), static_cast<std::size_t>(s.GetLength()));
}

std::int32_t Refs(const CXString& s) { return s.GetData()->nRefs; }

TEST(CXString, EmptyRepresentationIsSharedAndUncounted) {
  CXString a;
  CXString b(static_cast<const char16_t*>(nullptr));
  CXString c(u'x', 0);
  CXString d(static_cast<const char*>(nullptr));
  EXPECT_EQ(a.GetData(), b.GetData());
  EXPECT_EQ(a.GetData(), c.GetData());
  EXPECT_EQ(a.GetData(), d.GetData());
  EXPECT_EQ(Refs(a), -1);
  EXPECT_EQ(a.GetLength(), 0);
  EXPECT_EQ(a.GetAllocLength(), 0);
  EXPECT_EQ(a[0], 0);
  CXString e(a);
  EXPECT_EQ(Refs(a), -1);
}

TEST(CXString, CapacityClasses) {
  const std::pair<std::int32_t, std::int32_t> cases[] = {
      {1, 6}, {6, 6}, {7, 12}, {13, 16}, {17, 20}, {21, 24}, {25, 32},
      {33, 64}, {65, 128}, {129, 256}, {257, 512}, {512, 512}, {513, 513}, {1000, 1000}};
  for (auto [n, capacity] : cases) {
    CXString s(u'a', n);
    EXPECT_EQ(s.GetLength(), n);
    EXPECT_EQ(s.GetAllocLength(), capacity) << n;
    EXPECT_EQ(s[n], 0);
    EXPECT_EQ(Refs(s), 1);
  }
}

TEST(CXString, Construction) {
  const char16_t embedded[] = {u'a', 0, u'b'};
  CXString withZero(embedded, 3);
  EXPECT_EQ(withZero.GetLength(), 3);
  EXPECT_EQ(Str(withZero), std::u16string(embedded, 3));
  EXPECT_EQ(Str(CXString("caf\xE9")), u"caf\u00E9");  // Windows-1252
  EXPECT_EQ(Str(CXString("abcdef", 3)), u"abc");
  EXPECT_EQ(Str(CXString(u'z', 3)), u"zzz");
  CXString s;
  s = u'q';
  EXPECT_EQ(Str(s), u"q");
  s = "narrow";
  EXPECT_EQ(Str(s), u"narrow");
  s = static_cast<const char16_t*>(nullptr);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CXString, CopySharesAndWriteCopies) {
  CXString a(u"shared text");
  CXString b(a);
  EXPECT_EQ(a.GetData(), b.GetData());
  EXPECT_EQ(Refs(a), 2);
  b.SetAt(0, u'S');
  EXPECT_NE(a.GetData(), b.GetData());
  EXPECT_EQ(Str(a), u"shared text");
  EXPECT_EQ(Str(b), u"Shared text");
  EXPECT_EQ(Refs(a), 1);
  EXPECT_EQ(Refs(b), 1);
}

TEST(CXString, SelfAndSharedAssignmentAllocateNothing) {
  CXString a(u"abc");
  CXString b(a);
  const CXStringData* block = a.GetData();
  CXString& alias = a;
  a = alias;
  a = b;
  EXPECT_EQ(a.GetData(), block);
  EXPECT_EQ(Refs(a), 2);
  EXPECT_EQ(Str(a), u"abc");
}

TEST(CXString, LockedBufferIsNeverShared) {
  CXString locked(u"locked");
  locked.LockBuffer();
  EXPECT_EQ(Refs(locked), -1);
  CXString copy(locked);
  EXPECT_NE(copy.GetData(), locked.GetData());
  copy.SetAt(0, u'L');
  EXPECT_EQ(Str(locked), u"locked");
  CXString other(u"xy");
  other = locked;
  EXPECT_NE(other.GetData(), locked.GetData());
  // Assigning into a locked string copies into its own block.
  const CXStringData* block = locked.GetData();
  locked = CXString(u"new");
  EXPECT_EQ(locked.GetData(), block);
  EXPECT_EQ(Str(locked), u"new");
  locked.Empty();
  EXPECT_EQ(locked.GetData(), block);
  EXPECT_EQ(locked.GetLength(), 0);
  locked.UnlockBuffer();
  EXPECT_EQ(Refs(locked), 1);
  CXString empty;
  empty.LockBuffer();
  EXPECT_EQ(Refs(empty), -1);
  EXPECT_EQ(empty.GetData(), CXString().GetData());
}

TEST(CXString, Concatenation) {
  CXString a(u"ab");
  EXPECT_EQ(Str(a + CXString(u"cd")), u"abcd");
  EXPECT_EQ(Str(a + u"cd"), u"abcd");
  EXPECT_EQ(Str(u"cd" + a), u"cdab");
  EXPECT_EQ(Str(a + u'c'), u"abc");
  EXPECT_EQ(Str(u'c' + a), u"cab");
  CXString grow(u"x");
  const CXStringData* block = grow.GetData();
  for (int i = 0; i < 5; ++i) grow += u'y';  // capacity 6: stays in place
  EXPECT_EQ(grow.GetData(), block);
  EXPECT_EQ(Str(grow), u"xyyyyy");
  grow += grow;  // appending its own text
  EXPECT_EQ(Str(grow), u"xyyyyyxyyyyy");
}

TEST(CXString, SlicesAndSearch) {
  CXString s(u"hello");
  struct Case {
    CXString got;
    const char16_t* want;
  };
  const Case cases[] = {
      {s.Mid(-3, 2), u"he"}, {s.Mid(10, 2), u""}, {s.Mid(1, -1), u""}, {s.Mid(3, 10), u"lo"},
      {s.Mid(2), u"llo"},    {s.Left(-1), u""},   {s.Left(2), u"he"},   {s.Right(99), u"hello"},
      {s.Right(2), u"lo"},   {s.SpanIncluding(u"eh"), u"he"}, {s.SpanExcluding(u"l"), u"he"},
  };
  for (const Case& c : cases) EXPECT_EQ(Str(c.got), c.want);
  EXPECT_EQ(s.Right(99).GetData(), s.GetData());
  EXPECT_EQ(s.Find(u'l'), 2);
  EXPECT_EQ(s.Find(u'l', 3), 3);
  EXPECT_EQ(s.Find(u'o', 5), -1);
  EXPECT_EQ(s.Find(u"lo"), 3);
  EXPECT_EQ(s.Find(u"", 5), 5);
  EXPECT_EQ(s.Find(u"x", 6), -1);
  EXPECT_EQ(s.ReverseFind(u'l'), 3);
  EXPECT_EQ(s.ReverseFind(u'z'), -1);
}

TEST(CXString, Comparison) {
  CXString s(u"abc");
  EXPECT_EQ(s.Compare(u"abc"), 0);
  EXPECT_LT(s.Compare(u"abd"), 0);
  EXPECT_GT(s.compare(u"ab"), 0);
  EXPECT_EQ(s.CompareNoCase(u"ABC"), 0);
  EXPECT_EQ(CXString(u"\u00C9T\u00C9").CompareNoCase(u"\u00E9t\u00E9"), 0);
  EXPECT_LT(s.CompareNoCase(u"ABD"), 0);
  EXPECT_EQ(CXString(u"ab").GetHashValue(), 3105u);
  EXPECT_EQ(CXString().GetHashValue(), 0u);
}

TEST(CXString, CaseTrimAndReverse) {
  CXString s(u"Stra\u00DFe \u00E9\u00FF\u0101\u0441");
  s.MakeUpper();
  EXPECT_EQ(Str(s), u"STRA\u00DFE \u00C9\u0178\u0100\u0421");
  s.MakeLower();
  EXPECT_EQ(Str(s), u"stra\u00DFe \u00E9\u00FF\u0101\u0441");
  CXString r(u"abc");
  r.MakeReverse();
  EXPECT_EQ(Str(r), u"cba");

  CXString t(u" \t\r\n x y \u00A0\n");
  t.TrimRight();
  EXPECT_EQ(Str(t), u" \t\r\n x y");
  t.TrimLeft();
  EXPECT_EQ(Str(t), u"x y");
  CXString u(u"--a--");
  u.TrimLeft(u'-');
  EXPECT_EQ(Str(u), u"a--");
  u.TrimRight(u"-+");
  EXPECT_EQ(Str(u), u"a");
  u.TrimLeft(static_cast<const char16_t*>(nullptr));
  u.TrimLeft(u"");
  EXPECT_EQ(Str(u), u"a");
}

TEST(CXString, TrimOfSharedTextLeavesTheOtherCopy) {
  CXString a(u"  x  ");
  CXString b(a);
  b.TrimLeft();
  b.TrimRight();
  EXPECT_EQ(Str(a), u"  x  ");
  EXPECT_EQ(Str(b), u"x");
}

TEST(CXString, DeleteInsertReplaceRemove) {
  CXString s(u"abcdef");
  EXPECT_EQ(s.Delete(-1, 2), 6);
  EXPECT_EQ(Str(s), u"cdef");
  EXPECT_EQ(s.Delete(4, 1), 4);
  EXPECT_EQ(s.Delete(1, 0), 4);
  EXPECT_EQ(s.Delete(2, 100), 4);  // cut at the end
  EXPECT_EQ(Str(s), u"cd");
  EXPECT_EQ(s.Insert(-5, u'x'), 3);
  EXPECT_EQ(s.Insert(99, u"yz"), 5);
  EXPECT_EQ(s.Insert(1, u""), 5);
  EXPECT_EQ(s.Insert(1, static_cast<const char16_t*>(nullptr)), 5);
  EXPECT_EQ(Str(s), u"xcdyz");
  EXPECT_EQ(s.Insert(2, static_cast<const char16_t*>(s)), 10);  // its own text
  EXPECT_EQ(Str(s), u"xcxcdyzdyz");
  EXPECT_EQ(s.Insert(0, u'\0'), 11);

  CXString a(u"aaaa");
  EXPECT_EQ(a.Replace(u"aa", u"a"), 2);
  EXPECT_EQ(Str(a), u"aa");
  EXPECT_EQ(a.Replace(u"", u"b"), 0);
  EXPECT_EQ(a.Replace(static_cast<const char16_t*>(nullptr), u"b"), 0);
  EXPECT_EQ(a.Replace(u"a", static_cast<const char16_t*>(nullptr)), 2);
  EXPECT_TRUE(a.IsEmpty());
  const char16_t embedded[] = {u'x', 0, u'x'};
  CXString z(embedded, 3);
  EXPECT_EQ(z.Replace(u"x", u"yy"), 2);
  EXPECT_EQ(z.GetLength(), 5);
  CXString c(u"banana");
  EXPECT_EQ(c.Replace(u'a', u'a'), 0);
  EXPECT_EQ(c.Replace(u'a', u'o'), 3);
  EXPECT_EQ(Str(c), u"bonono");
  EXPECT_EQ(c.Remove(u'o'), 3);
  EXPECT_EQ(Str(c), u"bnn");
}

TEST(CXString, Filters) {
  CXString set(u"ab");
  CXString s(u"abcab");
  EXPECT_EQ(s.Filter(set), 1);
  EXPECT_EQ(Str(s), u"c");
  CXString none;
  CXString t(u"a1-b");
  EXPECT_EQ(t.Filter(true, false, none), 2);
  EXPECT_EQ(Str(t), u"ab");
  CXString dash(u"-");
  CXString v(u"a1-b\u00E9");
  EXPECT_EQ(v.Filter(false, true, dash), 2);
  EXPECT_EQ(Str(v), u"1-");
}

TEST(CXString, Tests) {
  EXPECT_TRUE(CXString(u"   ").IsBlank());
  EXPECT_TRUE(CXString().IsBlank());
  EXPECT_FALSE(CXString(u" \t").IsBlank());
  const char16_t blankThenText[] = {u' ', 0, u'x'};
  EXPECT_TRUE(CXString(blankThenText, 3).IsBlank());
  EXPECT_FALSE(CXString().IsContainNumericCharsOnly());
  EXPECT_TRUE(CXString(u"0123456789").IsContainNumericCharsOnly());
  EXPECT_FALSE(CXString(u"12a").IsContainNumericCharsOnly());
}

TEST(CXString, Tokenize) {
  auto tokens = CXString(u",a,,b,").Tokenize(u',');
  ASSERT_EQ(tokens.size(), 5u);
  const char16_t* want[] = {u"", u"a", u"", u"b", u""};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(Str(tokens[i]), want[i]);
  EXPECT_EQ(CXString().Tokenize(u',').size(), 1u);
  auto words = CXString(u"  a \t b  ").TokenizeUsingWhitespace();
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(Str(words[0]), u"a");
  EXPECT_EQ(Str(words[1]), u"b");
  auto blank = CXString(u" \t ").TokenizeUsingWhitespace();
  ASSERT_EQ(blank.size(), 1u);
  EXPECT_TRUE(blank[0].IsEmpty());
}

TEST(CXString, BufferAccess) {
  CXString s(u"abc");
  CXString shared(s);
  char16_t* p = s.GetBuffer(40);
  EXPECT_GE(s.GetAllocLength(), 40);
  EXPECT_EQ(std::u16string(p), u"abc");
  p[3] = u'd';
  p[4] = 0;
  s.ReleaseBuffer();
  EXPECT_EQ(Str(s), u"abcd");
  EXPECT_EQ(Str(shared), u"abc");
  s.GetBufferSetLength(2);
  EXPECT_EQ(Str(s), u"ab");
  s.ReleaseBuffer(1000);  // clamped to the block
  EXPECT_EQ(s.GetLength(), s.GetAllocLength());
  s.ReleaseBuffer(1);
  s.FreeExtra();
  EXPECT_EQ(s.GetAllocLength(), 1);
  EXPECT_EQ(Str(s), u"a");
}

TEST(CXString, NarrowConversion) {
  CXString s(u"caf\u00E9\u20AC");
  char out[16];
  EXPECT_EQ(s.GetAsMultiByte(nullptr, 0), 6);
  EXPECT_EQ(s.GetAsMultiByte(out, 0), 0);
  EXPECT_EQ(s.GetAsMultiByte(out, sizeof out), 6);
  EXPECT_STREQ(out, "caf\xE9\x80");
  EXPECT_EQ(s.GetAsMultiByte(out, 3), 0);
  EXPECT_STREQ(out, "");
  std::vector<char> v = s.GetAsMultiByte();
  EXPECT_EQ(std::string(v.data()), "caf\xE9\x80");
  EXPECT_EQ(v.size(), 6u);
  // Not representable in Windows-1252: the host's default character.
  EXPECT_EQ(std::string(CXString(u"\u0416x").GetAsMultiByte().data()), "?x");
}

TEST(CXString, FormatSizesItselfAndHandlesAliasing) {
  CXString s;
  s.Format(u"%s-%d", u"abc", 42);
  EXPECT_EQ(Str(s), u"abc-42");
  s.Format(u"%s", static_cast<const char16_t*>(nullptr));
  EXPECT_EQ(Str(s), u"(null)");
  CXString self(u"self");
  self.Format(u"[%s|%s]", static_cast<const char16_t*>(self), static_cast<const char16_t*>(self));
  EXPECT_EQ(Str(self), u"[self|self]");
  CXString fmt(u"%d%s");
  fmt.Format(fmt, 7, static_cast<const char16_t*>(fmt));
  EXPECT_EQ(Str(fmt), u"7%d%s");
  CXString big;
  big.Format(u"%-3000s|", u"x");
  EXPECT_EQ(big.GetLength(), 3001);
  s.Format(u"");
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CXString, FormatMessage) {
  CXString s;
  s.FormatMessageW(u"%2 then %1%%%. %3!5.1f!|%4!-4s!|", u"one", u"two", 3.21, u"ab");
  EXPECT_EQ(Str(s), u"two then one%.   3.2|ab  |");
  s.FormatMessageW(u"%1!*.*s!|%4", 5, 2, u"abcdef", u"next");
  EXPECT_EQ(Str(s), u"   ab|next");
  s.FormatMessageW(u"%1 and %2!S!", u"wide", "narrow");
  EXPECT_EQ(Str(s), u"wide and narrow");
  s.FormatMessageW(u"%1!d!:%2!03x!%t%3!s!%n", 5, 10, u"x");
  EXPECT_EQ(Str(s), u"5:00a\tx\r\n");
  s.FormatMessageW(u"stop%0here");
  EXPECT_EQ(Str(s), u"stop");
  const char16_t* bad[] = {nullptr, u"", u"%0", u"abc%", u"%1!d"};
  for (const char16_t* format : bad) {
    try {
      s.FormatMessageW(format, 1);
      ADD_FAILURE() << "no throw";
    } catch (const char* text) {
      EXPECT_STREQ(text, "CXString::FormatMessage(LPCTSTR...): Failed call to FormatMessage() API!\r\n");
    }
  }
  try {
    s.FormatMessageW(static_cast<HINSTANCE>(nullptr), 12u);
    ADD_FAILURE() << "no throw";
  } catch (const char* text) {
    EXPECT_STREQ(text, "CXString::FormatMessage(HINSTANCE,UINT,...): Failed call to FormatMessage() API!\r\n");
  }
}

TEST(CXString, PlatformBoundOperationsAnswerFailure) {
  CXString s(u"before");
  EXPECT_FALSE(s.LoadStringW(nullptr, 1));
  EXPECT_TRUE(s.IsEmpty());
  s = u"x";
  s.Format(static_cast<HINSTANCE>(nullptr), 5u, 1);
  EXPECT_TRUE(s.IsEmpty());
  s = u"x";
  EXPECT_EQ(s.GetWindowTextW(nullptr), 0);
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.SetWindowTextW(nullptr), 0);
}

// Copies of one block made and dropped on several threads leave the count
// exact: back at 1 when every thread is done.
TEST(CXStringThreads, SharedBlockCountStaysExact) {
  const CXString original(u"a text shared by every thread");
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  std::vector<std::thread> threads;
  std::vector<CXString> kept(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&original, &kept, t] {
      for (int i = 0; i < kRounds; ++i) {
        CXString copy(original);
        CXString second;
        second = copy;
        if (second.GetLength() != original.GetLength()) std::abort();
      }
      kept[static_cast<std::size_t>(t)] = original;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(Refs(original), 1 + kThreads);
  kept.clear();
  EXPECT_EQ(Refs(original), 1);
  EXPECT_EQ(Str(original), u"a text shared by every thread");
}

}  // namespace
