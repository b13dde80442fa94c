#include "w4util/errors/ExceptionCatalogue.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace {

std::u16string U(const CXString& s) {
  return std::u16string(static_cast<const char16_t*>(s), s.GetLength());
}

std::u16string Wide(const char* s) {
  return std::u16string(s, s + std::char_traits<char>::length(s));
}

enum class Family { Root, Communications, File };

// One row per concrete class, expanded from the same list as the
// declarations.
struct Row {
  const char* name;
  const char16_t* code;
  Family family;
  const std::type_info& type;
  std::function<void()> raise;            // throws through the factory
  std::function<bool()> caughtByOwnBase;  // the base of the list entry
};

Family FamilyOf(const std::string& name, const std::string& base) {
  if (base == "ExceptionCommunicationsFailure" || name == "ExceptionCommunicationsFailure") {
    return Family::Communications;
  }
  return base == "ExceptionFile" ? Family::File : Family::Root;
}

#define W4UTIL_TEST_ROW(Name, Base, Code)                                         \
  Row{#Name,                                                                      \
      u"" Code,                                                                   \
      FamilyOf(#Name, #Base),                                                     \
      typeid(Name),                                                               \
      [] {                                                                        \
        throw Get##Name(CXString(u"details"), CXString(u"src\\dir\\Site.cpp"), 7, \
                        CXString(u"Site::Run"), nullptr);                         \
      },                                                                          \
      [] {                                                                        \
        try {                                                                     \
          throw Get##Name(CXString(), CXString(), 1, CXString(), nullptr);        \
        } catch (const Base&) {                                                   \
          return true;                                                            \
        } catch (...) {                                                           \
        }                                                                         \
        return false;                                                             \
      }},

const std::vector<Row>& Catalogue() {
  static const std::vector<Row> rows = {W4UTIL_EXCEPTION_CATALOGUE(W4UTIL_TEST_ROW)};
  return rows;
}

#undef W4UTIL_TEST_ROW

Family CaughtAs(const std::function<void()>& raise) {
  try {
    raise();
  } catch (const ExceptionCommunicationsFailure&) {
    return Family::Communications;
  } catch (const ExceptionFile&) {
    return Family::File;
  } catch (const ZelvoException&) {
    return Family::Root;
  }
  ADD_FAILURE() << "not thrown";
  return Family::Root;
}

TEST(ExceptionCatalogue, EveryClassThroughItsFactory) {
  std::set<std::u16string> codes;
  for (const Row& row : Catalogue()) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(codes.insert(row.code).second) << "code used twice";

    try {
      row.raise();
      ADD_FAILURE() << "not thrown";
    } catch (const ZelvoException& e) {
      EXPECT_EQ(typeid(e), row.type);
      EXPECT_EQ(U(e.GetExceptionTypeByNumericCode()), row.code);
      EXPECT_EQ(U(e.GetExceptionIdentifierForUserDisplay()), std::u16string(row.code) + u":0007");
      EXPECT_EQ(U(e.GetExceptionMesage()), u"details");
      EXPECT_EQ(U(e.GetExceptionLocationFileName()), u"src\\dir\\Site.cpp");
      EXPECT_EQ(U(e.GetExceptionLocationFunctionName()), u"Site::Run");
      EXPECT_EQ(e.GetExceptionLocationLineNumber(), 7u);
      EXPECT_TRUE(ZelvoException::IsZelvoException(e));
      const std::u16string report = U(ZelvoException::GetExceptionDescription(e));
      EXPECT_EQ(report.rfind(u"Object of " + Wide(row.name), 0), 0u)
          << std::string(report.begin(), report.end());
    }

    EXPECT_EQ(CaughtAs(row.raise), row.family);
    EXPECT_TRUE(row.caughtByOwnBase());
  }
}

TEST(ExceptionCatalogue, CopiesKeepClassAndCode) {
  const ExceptionWSD wsd =
      GetExceptionWSD(CXString(u"m"), CXString(u"f"), 3, CXString(u"A::B"), nullptr);
  const ExceptionWSD copy(wsd);
  const ExceptionCommunicationsFailure& asBase = copy;
  EXPECT_EQ(U(asBase.GetExceptionTypeByNumericCode()), u"024:010");
  EXPECT_EQ(U(copy.GetExceptionMesage()), u"m");
  EXPECT_EQ(U(GetExceptionCommunicationsFailure(CXString(), CXString(), 1, CXString(), nullptr)
                  .GetExceptionTypeByNumericCode()),
            u"024:000");
  static_assert(std::is_abstract_v<ExceptionFile>);
  static_assert(std::is_base_of_v<ExceptionFile, ExceptionWriteFile>);
  static_assert(!std::is_base_of_v<ExceptionFile, ExceptionFileOperationCompression>);
}

TEST(ExceptionCatalogue, JtifParseCodes) {
  struct Case {
    std::int16_t code;
    const char16_t* name;
    const char16_t* numeric;
  };
  const Case cases[] = {
      {0, u"ILLEGAL_JTIFPARSE_EXCEPTION_CODE", u"001:000"},
      {5, u"DOMEXCEPTION_DURING_NODE_CONVERSION", u"001:005"},
      {12, u"READFILE_FAILED", u"001:012"},
      {26, u"NO_CATEGORY_FOR_VELDT_ATTRIBUTE", u"001:026"},
      {27, u"<Unknown code!!!>", u"001:027"},
      {40, u"<Unknown code!!!>", u"001:040"},
      {-1, u"<Unknown code!!!>", u"001:-01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    try {
      throw GetJtifParseException(CXString(), CXString(u"f"), 12, CXString(u"Jtif::Parse"), nullptr,
                                  c.code);
    } catch (const ExceptionRegistryRequest&) {
      ADD_FAILURE() << "shares a code with ExceptionRegistryRequest, not its class";
    } catch (const JtifParseException& e) {
      EXPECT_EQ(U(e.GetCodeString()), c.name);
      EXPECT_EQ(static_cast<std::int32_t>(e.GetParseCode()), c.code);
      const ZelvoException& root = e;
      EXPECT_EQ(U(root.GetExceptionTypeByNumericCode()), c.numeric);
      const JtifParseException copy(e);
      EXPECT_EQ(U(copy.GetCodeString()), c.name);
    }
  }
}

}  // namespace
