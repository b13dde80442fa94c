#include "w4util/foundation/LastErrorText.h"

#include <gtest/gtest.h>

#include "w4util/platform/SystemErrorText.h"

namespace {

std::u16string S(const CXString& s) { return std::u16string(s, static_cast<std::size_t>(s.GetLength())); }

TEST(LastErrorText, CodeHexAndHostText) {
  EXPECT_EQ(S(ZelvoUtilities::FormatLastErrorDisplayString(5)), u"GetLastError() = 5/0x5: Access is denied.\r\n");
  EXPECT_EQ(S(ZelvoUtilities::FormatLastErrorDisplayString(0)),
            u"GetLastError(): The operation completed successfully.\r\n");
  EXPECT_EQ(S(ZelvoUtilities::FormatLastErrorDisplayString(259)).rfind(u"GetLastError() = 259/0x103: No more", 0), 0u);
}

TEST(LastErrorText, UnknownCodeRestoresTheLastError) {
  w4platform::SetLastErrorCode(0);
  EXPECT_EQ(S(ZelvoUtilities::FormatLastErrorDisplayString(0xDEAD1)), u"GetLastError() = 912081/0xdead1: Unknown value");
  EXPECT_EQ(w4platform::GetLastErrorCode(), 0xDEAD1u);
}

}  // namespace
