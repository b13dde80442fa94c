#include "w4util/errors/ZelvoException.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/errors/UtilitiesDllPerThreadStorage.h"

namespace {

std::u16string U(const CXString& s) {
  return std::u16string(static_cast<const char16_t*>(s), static_cast<std::size_t>(s.GetLength()));
}

// A concrete exception of the tests' own, so that the report's class name and
// code are known here.
class TestException : public ZelvoException {
 public:
  using ZelvoException::ZelvoException;
  CXString GetExceptionTypeByNumericCode() const override { return CXString(u"003:000"); }
  using ZelvoException::GetLocationAndMessageDescription;
};
TestException GetTestException(const CXString& message, const CXString& file, std::int32_t line,
                               const CXString& method, const ExecutionContextStack* stack) {
  return TestException(message, file, line, method, stack);
}

// Throws through the throw-site protocol with two frames pushed.
class ThrowSiteFixture : public ::testing::Test {
 protected:
  TestException ThrowWithFrames(std::int32_t value) {
    ExecutionContextLifetime outer(std::make_unique<BasicExecutionContext>(
        ECIE_IMPORT_VELDT, CXString(u"C:\\src\\Import.cpp"), CXString(u"Importer::Run"), 12,
        false, CXString(u"reading")));
    ExecutionContextLifetime inner(std::make_unique<BasicExecutionContext>(
        ECIE_PROCESS_CONSTRAINTS, CXString(u"Constraints.cpp"), CXString(u"Apply"), 7, true));
    try {
      ZELVO_THROW(TestException, "Importer::Read", "Bad value %ld in %s", value, u"settings");
    } catch (const TestException& e) {
      m_ThrowLine = static_cast<std::int32_t>(e.GetExceptionLocationLineNumber());
      return e;
    }
    ADD_FAILURE() << "nothing thrown";
    return GetTestException(CXString(), CXString(), 0, CXString(), nullptr);
  }
  std::int32_t m_ThrowLine = 0;
};

TEST_F(ThrowSiteFixture, ReportListsLocationStackAndDetails) {
  const TestException e = ThrowWithFrames(42);
  EXPECT_EQ(U(e.GetExceptionMesage()), u"Bad value 42 in settings");
  EXPECT_EQ(U(e.GetExceptionLocationFunctionName()), u"Importer::Read");
  EXPECT_EQ(e.GetExecutionContextStack().GetSize(), 2u);

  const CXString file(__FILE__);
  const std::int32_t slash = file.ReverseFind(u'/');
  CXString expected(u"Object of (anonymous namespace)::TestException thrown from:\r\n\r\n");
  expected += CXString(u"Path:\t") + file.Left(slash + 1) + u"\r\n";
  expected += CXString(u"File:\t") + file.Mid(slash + 1) + u"\r\n";
  expected += u"Method:\tImporter::Read()\r\n";
  CXString line;
  line.Format(u"Line:\t%u\r\n", static_cast<std::uint32_t>(m_ThrowLine));
  expected += line;
  // The stack line names the thread that formats the report.
  const CXString stackText = e.GetExecutionContextStack().GetMultiLineDisplayString(true);
  expected += stackText;
  expected += u"\r\nDetails:\r\n\tBad value 42 in settings\r\n";
  EXPECT_EQ(U(ZelvoException::GetExceptionDescription(e)), U(expected));

  const std::u16string stack = U(stackText);
  EXPECT_NE(stack.find(u"(2 levels deep):\r\n"
                       u"  IMPORT_VELDT: reading (Importer::Run line 12)\r\n"
                       u"    PROCESS_CONSTRAINTS\r\n"),
            std::u16string::npos)
      << std::string(stack.begin(), stack.end());
  // The frames were popped when the scopes ended.
  EXPECT_TRUE(UtilitiesDllPerThreadStorage::GetExecutionContextStack().IsEmpty());
}

TEST_F(ThrowSiteFixture, WhatIsTheNarrowReportBuiltOnce) {
  const TestException e = ThrowWithFrames(1);
  const char* first = e.what();
  const char* second = e.what();
  EXPECT_EQ(first, second);
  EXPECT_EQ(std::string(first).rfind("Object of (anonymous namespace)::TestException thrown from:", 0),
            0u);
  EXPECT_NE(std::string(first).find("Details:\r\n\tBad value 1 in settings"), std::string::npos);
  // A copy builds its own text.
  const TestException copy(e);
  EXPECT_NE(copy.what(), first);
  EXPECT_STREQ(copy.what(), first);
}

TEST(ZelvoException, WhatIsCutAt2047Bytes) {
  const CXString longMessage(u'x', 5000);
  TestException e(longMessage, CXString(u"f.cpp"), 1, CXString(u"A::B"), nullptr);
  EXPECT_EQ(std::strlen(e.what()), 2047u);
}

TEST(ZelvoException, LocationBlockEdgeCases) {
  struct Case {
    const char16_t* message;
    const char16_t* file;
    bool withStack;
    const char16_t* expected;  // the block without the stack lines
  };
  const Case cases[] = {
      {u"", u"C:\\dir\\sub\\a.cpp", false,
       u"Path:\tC:\\dir\\sub\\\r\nFile:\ta.cpp\r\nMethod:\tA::B()\r\nLine:\t7\r\n"},
      {u"m", u"a.cpp", false, u"Path:\t\r\nFile:\ta.cpp\r\nMethod:\tA::B()\r\nLine:\t7\r\n"
                              u"\r\nDetails:\r\n\tm\r\n"},
      {u"", u"/usr/src/a.cpp", false,
       u"Path:\t/usr/src/\r\nFile:\ta.cpp\r\nMethod:\tA::B()\r\nLine:\t7\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(U(TestException::GetLocationAndMessageDescription(CXString(c.message), CXString(c.file),
                                                                7, CXString(u"A::B"), nullptr)),
              c.expected);
  }
  // An empty stack still shows its header line.
  ExecutionContextStack empty;
  const std::u16string withStack = U(TestException::GetLocationAndMessageDescription(
      CXString(), CXString(u"a.cpp"), 7, CXString(u"A::B"), &empty));
  EXPECT_NE(withStack.find(u"(0 levels deep):\r\n"), std::u16string::npos);
}

TEST(ZelvoException, ReportOfOtherExceptions) {
  const std::runtime_error withText("disk full");
  EXPECT_EQ(U(ZelvoException::GetExceptionDescription(withText)),
            u"Object of std::runtime_error\r\n\r\n\tdisk full\r\n");
  const std::runtime_error empty("");
  EXPECT_EQ(U(ZelvoException::GetExceptionDescription(empty)),
            u"Object of std::runtime_error\r\n\r\n\tNo additional information available.\r\n");
}

TEST(ZelvoException, IdentifiersAndTypeTests) {
  const TestException e(CXString(), CXString(u"a.cpp"), 7, CXString(u"A::B"), nullptr);
  EXPECT_EQ(U(e.GetExceptionIdentifierForUserDisplay()), u"003:000:0007");
  const TestException wide(CXString(), CXString(u"a.cpp"), 123456, CXString(u"A::B"), nullptr);
  EXPECT_EQ(U(wide.GetExceptionIdentifierForUserDisplay()), u"003:000:123456");
  const std::logic_error other("x");
  EXPECT_EQ(U(ZelvoException::GetExceptionIdentifierForUserDisplay(other)), u"000:000:000");
  EXPECT_EQ(U(ZelvoException::GetExceptionIdentifierForUserDisplay(e)), u"003:000:0007");
  EXPECT_TRUE(ZelvoException::IsZelvoException(e));
  EXPECT_FALSE(ZelvoException::IsZelvoException(other));
  EXPECT_EQ(U(e.GetExceptionType()), u"(anonymous namespace)::TestException");
  const ExceptionOutOfMemory oom(CXString(), CXString(u"a.cpp"), 1, CXString(u"A::B"), nullptr);
  EXPECT_EQ(U(oom.GetExceptionType()), u"ExceptionOutOfMemory");
  EXPECT_FALSE(ZelvoException::AllowForExceptionDebug(1, 2));
  EXPECT_FALSE(ZelvoException::ProcessFailedAssertion());
}

TEST(ZelvoException, CatalogueEntriesOfTheStorage) {
  struct Case {
    CXString code;
    const char16_t* expected;
  };
  const ExecutionContextStack* none = nullptr;
  const Case cases[] = {
      {GetExceptionAccessPriorToInitialization(CXString(), CXString(), 0, CXString(), none)
           .GetExceptionTypeByNumericCode(),
       u"048:000"},
      {GetExceptionAutoPtrNull(CXString(), CXString(), 0, CXString(), none)
           .GetExceptionTypeByNumericCode(),
       u"055:000"},
      {GetExceptionOutOfMemory(CXString(), CXString(), 0, CXString(), none)
           .GetExceptionTypeByNumericCode(),
       u"072:000"},
  };
  for (const Case& c : cases) EXPECT_EQ(U(c.code), c.expected);
}

TEST(ZelvoException, ThrowSiteWithoutMessageOrWithFailingArguments) {
  try {
    ZELVO_THROW_NO_MESSAGE(ExceptionOutOfMemory, "Xml::Load");
  } catch (const ExceptionOutOfMemory& e) {
    EXPECT_TRUE(e.GetExceptionMesage().IsEmpty());
    EXPECT_EQ(U(e.GetExceptionLocationFunctionName()), u"Xml::Load");
    EXPECT_EQ(ZelvoException::GetExceptionDescription(e).Find(u"Details"), -1);
  }
  auto failing = []() -> const char16_t* { throw std::runtime_error("marshalling failed"); };
  try {
    ZELVO_THROW(ExceptionOutOfMemory, "Xml::Load", "%s", failing());
  } catch (const ExceptionOutOfMemory& e) {
    EXPECT_EQ(U(e.GetExceptionMesage()),
              u"A message argument was supplied, but the resulting string is empty. The argument "
              u"list for this message causes a crash. Some code that executes to marshal the "
              u"arguments to pass to the format string method causes a crash (e.g., a NULL "
              u"pointer indirection). Look at the message arguments at the file and line number "
              u"indicated above.");
  }
}

TEST(ZelvoComException, HresultTexts) {
  struct Case {
    std::int32_t code;
    const char16_t* expected;
  };
  const Case cases[] = {
      {static_cast<std::int32_t>(0x80070005),
       u"COM Error HRESULT = 0x80070005 (Access is denied.)."},
      {static_cast<std::int32_t>(0x80040205), u"COM Error HRESULT = 0x80040205 (IDispatch error #5)."},
      {static_cast<std::int32_t>(0x80040200),
       u"COM Error HRESULT = 0x80040200 (Unknown error 0x80040200)."},
      {static_cast<std::int32_t>(0x80050001),
       u"COM Error HRESULT = 0x80050001 (Unknown error 0x80050001)."},
  };
  for (const Case& c : cases) {
    const ZelvoComException e = GetZelvoComException(CXString(u"m"), CXString(u"a.cpp"), 3,
                                                      CXString(u"A::B"), nullptr, c.code);
    EXPECT_EQ(e.GetHresult(), c.code);
    EXPECT_EQ(U(ZelvoComException::GetAdditionalExceptionDescription(&e)), c.expected);
    EXPECT_EQ(U(e.GetExceptionIdentifierForUserDisplay()), u"071:000:0003");
    const std::u16string report = U(ZelvoException::GetExceptionDescription(e));
    EXPECT_EQ(report.substr(report.size() - std::u16string(c.expected).size() - 4),
              std::u16string(u"\n\t") + c.expected + u"\n\n");
  }
}

}  // namespace
