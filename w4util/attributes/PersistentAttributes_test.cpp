#include "w4util/attributes/PersistentAttributes.h"

#include <gtest/gtest.h>

#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/AttributeBytesValue.h"
#include "w4util/attributes/internal/TestSupport.h"
#include "w4util/compression/CabCompressedBuffer.h"
#include "w4util/errors/ExceptionCatalogue.h"

namespace {

using attributes_test::Hex;
using attributes_test::ThrownCode;
using attributes_test::ToHex;

const char kHeaderOfThisRelease[] = "10 00 00 00 01 00 07 20 41 14 35 08 00 00 00 00";

AttributeBytesRawList List(std::int32_t feature, std::int32_t value) {
  AttributeBytesRawList raw;
  raw.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(feature), AttributeBytesIntegerValue(value, true)));
  raw.AddAttributeBytes(AttributeBytes(AttributeBytesNewFeatureId(CXString(u"Name")),
                                       AttributeBytesStringValue(CXString(u"text"), true)));
  return raw;
}

AttributeBytesNameSpaces Spaces(std::int32_t value) {
  AttributeBytesNameSpaces spaces;
  spaces.SetNameSpaceAttributes(PersistentAttributes::GetDataModelDocPropNameSpaceId(), List(10, value));
  spaces.SetNameSpaceAttributes(PersistentAttributes::GetDataModelDevicePropNameSpaceId(), List(20, value + 1));
  return spaces;
}

std::string StateOf(const AttributeBytesNameSpaces& spaces) { return ToHex(spaces.GetAttributeBytesNameSpacesState()); }

// The header of this release followed by compressed bytes.
ByteBuffer WithHeader(const ByteBuffer& compressedPart, const char* header = kHeaderOfThisRelease) {
  ByteBuffer state = Hex(header);
  state.append(compressedPart);
  return state;
}

ByteBuffer Compressed(const ByteBuffer& plain) {
  return CabCompressedBuffer::CreateWithUncompressedData(plain, -1)->GetCompressedBufferState();
}

TEST(PersistentAttributes, HeaderOfThisReleaseToTheByte) {
  const PersistentAttributes empty;
  const ByteBuffer state = empty.GetPersistentAttributesState();
  ASSERT_GE(state.size(), 16u + 13u);
  EXPECT_EQ(ToHex(ByteBuffer(state.begin(), state.begin() + 16)), kHeaderOfThisRelease);
  EXPECT_TRUE(empty.GetAttributeBytesNameSpaces()->IsEmpty());

  const PersistentAttributes full(Spaces(1));
  const ByteBuffer fullState = full.GetPersistentAttributesState();
  EXPECT_EQ(ToHex(ByteBuffer(fullState.begin(), fullState.begin() + 16)), kHeaderOfThisRelease);
  // Everything after the header is one compressed-buffer state of the name spaces.
  ByteBuffer restored;
  CabCompressedBuffer::CreateWithBufferState(ByteBuffer(fullState.begin() + 16, fullState.end()))->GetOriginalData(restored);
  EXPECT_EQ(ToHex(restored), StateOf(Spaces(1)));
  EXPECT_EQ(PersistentAttributes::GetMsDeviceCapabilitiesNameSpaceId().GetNameSpaceId(), 3);
}

TEST(PersistentAttributes, RoundTripInBothImportModes) {
  const ByteBuffer state = PersistentAttributes(Spaces(7)).GetPersistentAttributesState();
  for (bool headerOnly : {false, true}) {
    DriverVersion version;
    PersistentAttributes imported(state, headerOnly, &version);
    EXPECT_EQ(version, DriverVersion::GetLibraryVersion());
    EXPECT_EQ(StateOf(*imported.GetAttributeBytesNameSpaces()), StateOf(Spaces(7)));
    AttributeBytesRawList list;
    imported.GetAttributeBytesListForNameSpace(PersistentAttributes::GetDataModelDevicePropNameSpaceId(), list);
    EXPECT_EQ(ToHex(list.GetAttributeBytesRawListState()), ToHex(List(20, 8).GetAttributeBytesRawListState()));
    imported.GetAttributeBytesListForNameSpace(PersistentAttributes::GetMsDeviceCapabilitiesNameSpaceId(), list);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(imported.GetPersistentAttributesState(), state);
  }
  // The default state imports fully too.
  PersistentAttributes target;
  DriverVersion version;
  EXPECT_TRUE(target.ImportPersistentAttributesState(PersistentAttributes().GetPersistentAttributesState(), version,
                                                     false, true));
  EXPECT_TRUE(target.GetAttributeBytesNameSpaces()->IsEmpty());
}

TEST(PersistentAttributes, OlderVersionIsKeptUntilNewNameSpacesAreSet) {
  const ByteBuffer current = PersistentAttributes(Spaces(3)).GetPersistentAttributesState();
  ByteBuffer old = current;
  const ByteBuffer oldWords = Hex("01 00 00 00 00 00 00 00");
  std::copy(oldWords.begin(), oldWords.end(), old.begin() + 8);
  DriverVersion version;
  PersistentAttributes attributes(old, false, &version);
  EXPECT_EQ(version, DriverVersion(1, 0, 0, 0));
  EXPECT_EQ(attributes.GetPersistentAttributesState(), old);
  attributes.SetAttributeBytesNameSpaces(Spaces(4));
  const ByteBuffer rewritten = attributes.GetPersistentAttributesState();
  EXPECT_EQ(ToHex(ByteBuffer(rewritten.begin(), rewritten.begin() + 16)), kHeaderOfThisRelease);
  EXPECT_EQ(StateOf(*attributes.GetAttributeBytesNameSpaces()), StateOf(Spaces(4)));
}

// Every malformed state: the code it throws with the throw flag set, whether
// the flag clear answers false instead, and the object keeps what it had.
TEST(PersistentAttributes, MalformedStates) {
  const ByteBuffer good = PersistentAttributes(Spaces(5)).GetPersistentAttributesState();
  const ByteBuffer compressedPart(good.begin() + 16, good.end());
  ByteBuffer wrongSize = good;
  wrongSize[0] = 17;
  ByteBuffer wrongMark = good;
  wrongMark[7] = 0x21;
  ByteBuffer truncatedCabinet = WithHeader(ByteBuffer(compressedPart.begin() + 10, compressedPart.end()));
  // A footer that claims one byte more than the cabinet restores.
  ByteBuffer longer = compressedPart;
  longer[longer.size() - 5] = static_cast<unsigned char>(longer[longer.size() - 5] + 1);
  ByteBuffer badMarkSpaces = Spaces(5).GetAttributeBytesNameSpacesState();
  badMarkSpaces[0] = 'X';
  const struct {
    const char* what;
    ByteBuffer state;
    const char* code;
    bool answersFalse;  // with the throw flag clear
  } cases[] = {
      {"15 bytes", ByteBuffer(good.begin(), good.begin() + 15), "031:000", true},
      {"empty", ByteBuffer(), "031:000", true},
      {"header size 17", wrongSize, "031:000", true},
      {"wrong mark", wrongMark, "031:000", true},
      {"header only", ByteBuffer(good.begin(), good.begin() + 16), "033:000", true},
      {"short of a footer", WithHeader(Hex("43 4F 4D")), "033:000", true},
      {"no footer signature", WithHeader(Hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D")), "033:000", true},
      {"damaged cabinet", truncatedCabinet, "", true},
      {"size differs from footer", WithHeader(longer), "", true},
      {"no name-spaces mark", WithHeader(Compressed(badMarkSpaces)), "", false},
      {"name spaces cut short", WithHeader(Compressed(Hex("41 42 4E 53 41 14"))), "", false},
  };
  for (const auto& c : cases) {
    PersistentAttributes attributes(Spaces(1));
    const ByteBuffer before = attributes.GetPersistentAttributesState();
    DriverVersion version;
    const std::string thrown =
        ThrownCode([&] { attributes.ImportPersistentAttributesState(c.state, version, false, true); });
    EXPECT_NE(thrown, "none") << c.what;
    EXPECT_NE(thrown, "foreign") << c.what;
    if (*c.code != 0) {
      EXPECT_EQ(thrown, c.code) << c.what;
    }
    if (c.answersFalse) {
      EXPECT_FALSE(attributes.ImportPersistentAttributesState(c.state, version, false, false)) << c.what;
    } else {
      EXPECT_EQ(ThrownCode([&] { attributes.ImportPersistentAttributesState(c.state, version, false, false); }), thrown)
          << c.what;
    }
    EXPECT_EQ(attributes.GetPersistentAttributesState(), before) << c.what;
    EXPECT_EQ(StateOf(*attributes.GetAttributeBytesNameSpaces()), StateOf(Spaces(1))) << c.what;
    EXPECT_NE(ThrownCode([&] { PersistentAttributes::DumpStateData(c.state, true); }), "none") << c.what;
    EXPECT_EQ(ThrownCode([&] { PersistentAttributes::DumpStateData(c.state, false); }), "none") << c.what;
  }
  EXPECT_EQ(ThrownCode([&] { PersistentAttributes(wrongMark, true, nullptr); }), "031:000");
  EXPECT_EQ(ThrownCode([&] { PersistentAttributes::DumpStateData(good, true); }), "none");
  // The name-spaces mark failure is the attribute-format exception.
  PersistentAttributes attributes;
  DriverVersion version;
  EXPECT_THROW(attributes.ImportPersistentAttributesState(WithHeader(Compressed(badMarkSpaces)), version, false, false),
               ExceptionMissingOrBadAttributeBytesFormat);
}

TEST(PersistentAttributes, HeaderOnlyImportDefersTheDamage) {
  PersistentAttributes attributes(Spaces(1));
  ASSERT_FALSE(attributes.GetAttributeBytesNameSpaces()->IsEmpty());  // decoded copy present
  const ByteBuffer garbage = WithHeader(Hex("DE AD BE EF 00 11 22 33 44 55 66 77 88 99"));
  DriverVersion version;
  EXPECT_TRUE(attributes.ImportPersistentAttributesState(garbage, version, true, true));
  EXPECT_EQ(attributes.GetPersistentAttributesState(), garbage);
  AttributeBytesRawList list;
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_THROW(attributes.GetAttributeBytesNameSpaces(), ExceptionMissingOrBadCompressedBufferFooter) << attempt;
    EXPECT_THROW(attributes.GetAttributeBytesListForNameSpace(PersistentAttributes::GetDataModelDocPropNameSpaceId(), list),
                 ExceptionMissingOrBadCompressedBufferFooter);
  }
  // A later import of good data recovers, and reads show the new data.
  EXPECT_TRUE(attributes.ImportPersistentAttributesState(PersistentAttributes(Spaces(9)).GetPersistentAttributesState(),
                                                         version, true, true));
  EXPECT_EQ(StateOf(*attributes.GetAttributeBytesNameSpaces()), StateOf(Spaces(9)));
}

TEST(PersistentAttributes, CopiesAreIndependent) {
  PersistentAttributes original(Spaces(1));
  PersistentAttributes copy(original);
  PersistentAttributes assigned;
  assigned = original;
  original.SetAttributeBytesNameSpaces(Spaces(2));
  EXPECT_EQ(StateOf(*copy.GetAttributeBytesNameSpaces()), StateOf(Spaces(1)));
  EXPECT_EQ(StateOf(*assigned.GetAttributeBytesNameSpaces()), StateOf(Spaces(1)));
  EXPECT_EQ(StateOf(*original.GetAttributeBytesNameSpaces()), StateOf(Spaces(2)));
  // A copy of an undecoded object decodes on its own.
  DriverVersion version;
  PersistentAttributes lazy(copy.GetPersistentAttributesState(), true, &version);
  PersistentAttributes lazyCopy(lazy);
  EXPECT_EQ(StateOf(*lazyCopy.GetAttributeBytesNameSpaces()), StateOf(Spaces(1)));
  // The caller owns what it gets: changing it leaves the object alone.
  std::unique_ptr<AttributeBytesNameSpaces> mine = lazyCopy.GetAttributeBytesNameSpaces();
  mine->DeleteNameSpaceAttributes(PersistentAttributes::GetDataModelDocPropNameSpaceId());
  EXPECT_EQ(StateOf(*lazyCopy.GetAttributeBytesNameSpaces()), StateOf(Spaces(1)));
}

}  // namespace
