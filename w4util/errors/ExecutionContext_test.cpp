#include "w4util/errors/ExecutionContext.h"

#include <gtest/gtest.h>

#include <string>

#include "w4util/errors/UtilitiesDllPerThreadStorage.h"
#include "w4util/platform/Thread.h"

namespace {

std::u16string U(const CXString& s) {
  return std::u16string(static_cast<const char16_t*>(s), static_cast<std::size_t>(s.GetLength()));
}

BasicExecutionContext Frame(std::int32_t id, const char16_t* method, bool embedded,
                            const char16_t* details) {
  return BasicExecutionContext(id, CXString(u"C:\\src\\Work.cpp"), CXString(method), 7, embedded,
                               CXString(details));
}

TEST(ExecutionContext, IdNames) {
  struct Case {
    std::int32_t id;
    bool withPrefix;
    const char16_t* expected;
  };
  const Case cases[] = {
      {31500, false, u"NOT_SPECIFIED"},
      {31500, true, u"ECIE_NOT_SPECIFIED"},
      {31501, true, u"ECIE_OEMDM_CONVERT"},
      {ECIE_GENERATE_JTIF, true, u"ECIE_GENERATE_JTIF"},
      {31558, false, u"GENERATE_JTIF"},
      {31611, true, u"ECIE_THREAD_DLL_MANAGER"},
      {31647, true, u"ECIE_IMPORT_VELDT_IN_DO_VELDT_TESTING_OR_PROCESSING"},
      {31648, true, u"ECIE_UPDATE_DATAMODEL_WITH_BIDI_STATUS_DURING_DATAMODEL_INIT"},
      {31649, true, u""},
      {31499, false, u""},
      {0, true, u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(U(ExecutionContextBase::GetDebugDisplayString(c.id, c.withPrefix, true)), c.expected)
        << c.id;
  }
  EXPECT_EQ(ECIE_NO_MORE_ENUMS, 31649);
  EXPECT_FALSE(ExecutionContextBase::AssertValidContextIdType(31499));
  EXPECT_TRUE(ExecutionContextBase::AssertValidContextIdType(31500));
  EXPECT_TRUE(ExecutionContextBase::AssertValidContextIdType(31648));
  EXPECT_FALSE(ExecutionContextBase::AssertValidContextIdType(31649));
}

TEST(ExecutionContext, FrameDisplay) {
  struct Case {
    const char16_t* method;
    bool embedded;
    const char16_t* details;
    bool withDetails;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"A::B", false, u"", true, u"IMPORT_VELDT (A::B line 7)"},
      {u"B", false, u"", false, u"IMPORT_VELDT (C:\\src\\Work.cpp, B line 7)"},
      {u"A::B", false, u"loading", true, u"IMPORT_VELDT: loading (A::B line 7)"},
      {u"A::B", false, u"loading", false, u"IMPORT_VELDT (A::B line 7)"},
      {u"A::B", true, u"loading", true, u"IMPORT_VELDT: loading"},
      {u"A::B", true, u"loading", false, u"IMPORT_VELDT"},
      {u"A::B", true, u"", true, u"IMPORT_VELDT"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(U(Frame(ECIE_IMPORT_VELDT, c.method, c.embedded, c.details)
                    .GetDumpDisplayString(c.withDetails)),
              c.expected);
  }
  EXPECT_EQ(U(Frame(ECIE_IMPORT_VELDT, u"A::B", false, u"").GetContextDebugDisplayString(true)),
            u"ECIE_IMPORT_VELDT");
}

TEST(ExecutionContext, ComparisonAndClone) {
  const BasicExecutionContext a = Frame(31600, u"A::B", false, u"x");
  const BasicExecutionContext sameButDetails = Frame(31600, u"A::B", false, u"y");
  EXPECT_FALSE(a == sameButDetails);
  // Ordering ignores method, flag and details.
  EXPECT_FALSE(a < sameButDetails);
  EXPECT_FALSE(sameButDetails < a);
  EXPECT_TRUE(a < Frame(31601, u"A::B", false, u"x"));
  const BasicExecutionContext laterLine(31600, CXString(u"C:\\src\\Work.cpp"), CXString(u"A::B"), 8);
  EXPECT_TRUE(a < laterLine);
  const BasicExecutionContext otherFile(31600, CXString(u"A.cpp"), CXString(u"A::B"), 99);
  EXPECT_TRUE(otherFile < a);

  const std::unique_ptr<ExecutionContextBase> clone = a.Clone();
  EXPECT_TRUE(clone->IsEqual(a));
  EXPECT_TRUE(a.IsEqual(*clone));
  EXPECT_FALSE(a.IsEqual(sameButDetails));
}

TEST(ExecutionContext, StackOfThreeFramesIndentsEachLevel) {
  ExecutionContextStack stack;
  EXPECT_EQ(U(stack.GetMostRecentContextDisplayString(true)), u"<No Context>");
  ExecutionContextLifetime one(stack, std::make_unique<BasicExecutionContext>(
                                          Frame(31500, u"A::One", false, u"")));
  ExecutionContextLifetime two(stack, std::make_unique<BasicExecutionContext>(
                                          Frame(31501, u"A::Two", true, u"")));
  ExecutionContextLifetime three(stack, std::make_unique<BasicExecutionContext>(
                                            Frame(31502, u"A::Three", false, u"d")));
  CXString header;
  header.Format(u"Execution context (Thread=0x%04lx) (%ld levels deep):\r\n",
                w4platform::CurrentThreadId(), 3);
  EXPECT_EQ(U(stack.GetMultiLineDisplayString(true)),
            U(header) + u"  NOT_SPECIFIED (A::One line 7)\r\n"
                        u"    OEMDM_CONVERT\r\n"
                        u"      OEMDM_MERGE: d (A::Three line 7)\r\n");
  EXPECT_EQ(U(stack.GetMostRecentContextDisplayString(false)), u"OEMDM_MERGE (A::Three line 7)");

  // A copy shares the frames and outlives the scopes.
  ExecutionContextStack copy(stack);
  EXPECT_EQ(copy.GetSize(), 3u);
  EXPECT_EQ(copy.GetFrames()[0].Get(), stack.GetFrames()[0].Get());
}

TEST(ExecutionContext, LifetimePopsNewestAndIgnoresEmptyStack) {
  ExecutionContextStack stack;
  {
    ExecutionContextLifetime scope(stack, std::make_unique<BasicExecutionContext>(
                                              Frame(31500, u"A::B", false, u"")));
    EXPECT_EQ(stack.GetSize(), 1u);
    // Someone else already popped the frame: the lifetime's pop finds nothing.
    stack.PopContext(stack.GetFrames()[0]);
    EXPECT_TRUE(stack.IsEmpty());
  }
  EXPECT_TRUE(stack.IsEmpty());
}

TEST(ExecutionContext, LifetimeWithoutStackUsesTheThreadsStack) {
  ExecutionContextStack& threadStack = UtilitiesDllPerThreadStorage::GetExecutionContextStack();
  const std::size_t before = threadStack.GetSize();
  {
    ExecutionContextLifetime scope(
        std::make_unique<BasicExecutionContext>(Frame(31500, u"A::B", false, u"")));
    EXPECT_EQ(threadStack.GetSize(), before + 1);
  }
  EXPECT_EQ(threadStack.GetSize(), before);
}

TEST(ExecutionContext, CloneForOtherThreadsCopiesFrames) {
  ExecutionContextStack stack;
  ExecutionContextLifetime scope(stack, std::make_unique<BasicExecutionContext>(
                                            Frame(31500, u"A::B", false, u"x")));
  const ExecutionContextStack clone = stack.CloneForOtherThreads();
  ASSERT_EQ(clone.GetSize(), 1u);
  EXPECT_NE(clone.GetFrames()[0].Get(), stack.GetFrames()[0].Get());
  EXPECT_TRUE(clone.GetFrames()[0].IsThreadShared());
  EXPECT_TRUE(clone.GetFrames()[0] == stack.GetFrames()[0]);
}

}  // namespace
