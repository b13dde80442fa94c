#include "w4util/foundation/PrintingConstantNames.h"

#include <gtest/gtest.h>

namespace {

using namespace ZelvoUtilities;
std::u16string S(const CXString& s) { return std::u16string(s, static_cast<std::size_t>(s.GetLength())); }

TEST(PrintingConstantNames, KnownAndUnknownValues) {
  EXPECT_EQ(S(DeviceCapabilitiesString(2)), u"DC_PAPERS");
  EXPECT_EQ(S(DeviceCapabilitiesString(7)), u"DC_DUPLEX");
  EXPECT_EQ(S(DeviceCapabilitiesString(35)), u"DC_MEDIATYPES");
  EXPECT_EQ(S(DeviceCapabilitiesString(999)), u"Unknown DeviceCapabilities index 999");
  EXPECT_EQ(S(DocumentEventString(6)), u"DOCUMENTEVENT_STARTPAGE");
  EXPECT_EQ(S(DocumentEventString(-1)), u"Unknown DocumentEvent -1");
  EXPECT_EQ(S(XpsDocumentEventString(20)), u"DOCUMENTEVENT_XPS_CANCELJOB");
  EXPECT_EQ(S(XpsDocumentEventString(6)), u"Unknown XPS DocumentEvent 6");
  EXPECT_EQ(S(DevmodeDmFieldString(0x1 | 0x2 | 0x1000)), u"DM_ORIENTATION | DM_PAPERSIZE | DM_DUPLEX");
  EXPECT_EQ(S(DevmodeDmFieldString(0x80000100)), u"DM_COPIES | 0x80000000");
  EXPECT_EQ(S(DevmodeDmFieldString(0)), u"");
  EXPECT_TRUE(DevmodeModeString(1).IsEmpty());
}

}  // namespace
