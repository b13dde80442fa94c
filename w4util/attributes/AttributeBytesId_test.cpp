#include "w4util/attributes/AttributeBytesId.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "w4util/attributes/internal/TestSupport.h"

namespace {

using namespace attributes_test;

using MakeId = std::function<std::unique_ptr<AttributeBytesId>()>;

template <typename T, typename... Args>
MakeId Make(Args... args) {
  return [=] { return std::unique_ptr<AttributeBytesId>(new T(args...)); };
}

struct IdBytes {
  const char* name;
  MakeId make;
  AttributeBytesId::AttributeBytesIdEnum kind;
  std::string bytes;
};

const std::vector<IdBytes>& IdTable() {
  static const std::vector<IdBytes> table = {
      {"feature 172", Make<AttributeBytesFeatureId>(172), AttributeBytesId::ABIDE_FEATURE, "02 AC 00 00 00"},
      {"feature -1", Make<AttributeBytesFeatureId>(-1), AttributeBytesId::ABIDE_FEATURE, "02 FF FF FF FF"},
      {"new feature Tray", Make<AttributeBytesNewFeatureId>(CXString(u"Tray")), AttributeBytesId::ABIDE_NEWFEATURE,
       "03 04 00 54 00 72 00 61 00 79 00"},
      {"new feature empty", Make<AttributeBytesNewFeatureId>(CXString()), AttributeBytesId::ABIDE_NEWFEATURE,
       "03 00 00"},
      {"value 7", Make<AttributeBytesValueId>(7), AttributeBytesId::ABIDE_VALUE, "04 07 00 00 00"},
      {"value min", Make<AttributeBytesValueId>(INT32_MIN), AttributeBytesId::ABIDE_VALUE, "04 00 00 00 80"},
      {"new value A4", Make<AttributeBytesNewValueId>(CXString(u"A4")), AttributeBytesId::ABIDE_NEWVALUE,
       "05 02 00 41 00 34 00"},
      {"new value empty", Make<AttributeBytesNewValueId>(CXString()), AttributeBytesId::ABIDE_NEWVALUE, "05 00 00"},
      // Embedded 0 units and a surrogate pair survive as code units.
      {"new value a\\0 U+1F5A8", Make<AttributeBytesNewValueId>(CXString(u"a\0\xD83D\xDDA8", 4)),
       AttributeBytesId::ABIDE_NEWVALUE, "05 04 00 61 00 00 00 3D D8 A8 DD"},
      {"list item 3", Make<AttributeBytesListOfValuesItemId>(3), AttributeBytesId::ABIDE_LISTOFVALUESITEM,
       "06 03 00 00 00"},
      {"capability 5 type 3", Make<AttributeBytesCapabilityId>(5, std::int16_t{3}), AttributeBytesId::ABIDE_CAPABILITY,
       "07 03 00 05 00 00 00"},
      {"capability -2 type -1", Make<AttributeBytesCapabilityId>(-2, std::int16_t{-1}),
       AttributeBytesId::ABIDE_CAPABILITY, "07 FF FF FE FF FF FF"},
      {"new capability Ab type 258", Make<AttributeBytesNewCapabilityId>(CXString(u"Ab"), std::int16_t{258}),
       AttributeBytesId::ABIDE_NEWCAPABILITY, "08 02 01 02 00 41 00 62 00"},
      {"new capability empty", Make<AttributeBytesNewCapabilityId>(CXString(), std::int16_t{0}),
       AttributeBytesId::ABIDE_NEWCAPABILITY, "08 00 00 00 00"},
      {"name space 2", Make<AttributeBytesNameSpacesId>(2), AttributeBytesId::ABIDE_NAMESPACE, "09 02 00 00 00"},
  };
  return table;
}

TEST(AttributeBytesId, EncodesEveryKindToItsExactBytes) {
  for (const IdBytes& row : IdTable()) {
    SCOPED_TRACE(row.name);
    const std::unique_ptr<AttributeBytesId> id = row.make();
    const ByteBuffer expected = Hex(row.bytes);
    EXPECT_EQ(id->GetAttributeBytesIdType(), row.kind);
    EXPECT_EQ(ToHex(id->GetTypeAndIdentifierState()), row.bytes);

    ByteBuffer reused = Hex("EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE");
    id->GetTypeAndIdentifierState(reused);
    EXPECT_EQ(ToHex(reused), row.bytes);

    std::vector<unsigned char> dest(expected.size(), 0xEE);
    EXPECT_EQ(id->GetTypeAndIdentifierState(dest.data(), static_cast<std::uint32_t>(dest.size())),
              expected.size());
    EXPECT_EQ(std::memcmp(dest.data(), expected.data(), expected.size()), 0);
  }
}

TEST(AttributeBytesId, DecodesEveryKindFromItsExactBytesAndStopsAtItsEnd) {
  for (const IdBytes& row : IdTable()) {
    SCOPED_TRACE(row.name);
    const std::unique_ptr<AttributeBytesId> expected = row.make();
    // A trailing byte that belongs to whatever follows must stay unread.
    ByteBuffer bytes = Hex(row.bytes + " 5A");
    unsigned char* cursor = bytes.data();
    unsigned int left = bytes.getDword();
    const std::unique_ptr<AttributeBytesId> decoded = AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
    EXPECT_EQ(left, 1u);
    EXPECT_EQ(cursor, bytes.data() + bytes.size() - 1);
    EXPECT_EQ(decoded->GetAttributeBytesIdType(), row.kind);
    EXPECT_TRUE(decoded->IsEqual(*expected));
    EXPECT_TRUE(expected->IsEqual(*decoded));
    EXPECT_EQ(ToHex(decoded->GetTypeAndIdentifierState()), row.bytes);

    const std::unique_ptr<AttributeBytesId> clone = decoded->Clone();
    EXPECT_NE(clone.get(), decoded.get());
    EXPECT_TRUE(clone->IsEqual(*decoded));
    const AttributeBytesId& cloned = *clone;
    const AttributeBytesId& original = *decoded;
    EXPECT_EQ(typeid(cloned), typeid(original));
  }
}

TEST(AttributeBytesId, StringKindsKeepExactLengthAndCase) {
  // Case, length and embedded 0 units all count.
  const AttributeBytesNewValueId ab(CXString(u"ab"));
  EXPECT_FALSE(ab.IsEqual(AttributeBytesNewValueId(CXString(u"AB"))));
  EXPECT_FALSE(ab.IsEqual(AttributeBytesNewValueId(CXString(u"ab\0", 3))));
  EXPECT_TRUE(ab.IsEqual(AttributeBytesNewValueId(CXString(u"ab"))));
  // Same text, other kind.
  EXPECT_FALSE(ab.IsEqual(AttributeBytesNewFeatureId(CXString(u"ab"))));
  // Both fields of a capability count.
  EXPECT_FALSE(AttributeBytesCapabilityId(5, 3).IsEqual(AttributeBytesCapabilityId(5, 4)));
  EXPECT_FALSE(AttributeBytesNewCapabilityId(CXString(u"x"), 3).IsEqual(AttributeBytesNewCapabilityId(CXString(u"x"), 4)));
  EXPECT_FALSE(AttributeBytesCapabilityId(5, 3).IsEqual(AttributeBytesFeatureId(5)));
}

// Every identifier here in strictly ascending order: kinds by number, then
// each kind's own order. Includes the orderings callers rely on: a feature
// before the capability of the same feature, (5,1) < (5,9) < (7,1), "B"
// before "a", "A" before "AB", signed numbers.
std::vector<std::unique_ptr<AttributeBytesId>> AscendingIds() {
  std::vector<std::unique_ptr<AttributeBytesId>> ids;
  ids.push_back(std::make_unique<AttributeBytesFeatureId>(INT32_MIN));
  ids.push_back(std::make_unique<AttributeBytesFeatureId>(-1));
  ids.push_back(std::make_unique<AttributeBytesFeatureId>(0));
  ids.push_back(std::make_unique<AttributeBytesFeatureId>(172));
  ids.push_back(std::make_unique<AttributeBytesFeatureId>(INT32_MAX));
  ids.push_back(std::make_unique<AttributeBytesNewFeatureId>(CXString()));
  ids.push_back(std::make_unique<AttributeBytesNewFeatureId>(CXString(u"\0", 1)));
  ids.push_back(std::make_unique<AttributeBytesNewFeatureId>(CXString(u"A")));
  ids.push_back(std::make_unique<AttributeBytesNewFeatureId>(CXString(u"AB")));
  ids.push_back(std::make_unique<AttributeBytesNewFeatureId>(CXString(u"B")));
  ids.push_back(std::make_unique<AttributeBytesValueId>(-5));
  ids.push_back(std::make_unique<AttributeBytesValueId>(7));
  ids.push_back(std::make_unique<AttributeBytesNewValueId>(CXString(u"A")));
  ids.push_back(std::make_unique<AttributeBytesNewValueId>(CXString(u"AB")));
  ids.push_back(std::make_unique<AttributeBytesNewValueId>(CXString(u"B")));
  ids.push_back(std::make_unique<AttributeBytesNewValueId>(CXString(u"a")));
  ids.push_back(std::make_unique<AttributeBytesNewValueId>(CXString(u"\xD83D\xDDA8", 2)));
  ids.push_back(std::make_unique<AttributeBytesNewValueId>(CXString(u"\xFFFF")));
  ids.push_back(std::make_unique<AttributeBytesListOfValuesItemId>(0));
  ids.push_back(std::make_unique<AttributeBytesListOfValuesItemId>(3));
  ids.push_back(std::make_unique<AttributeBytesCapabilityId>(-1, 100));
  ids.push_back(std::make_unique<AttributeBytesCapabilityId>(5, -1));
  ids.push_back(std::make_unique<AttributeBytesCapabilityId>(5, 1));
  ids.push_back(std::make_unique<AttributeBytesCapabilityId>(5, 9));
  ids.push_back(std::make_unique<AttributeBytesCapabilityId>(7, 1));
  ids.push_back(std::make_unique<AttributeBytesCapabilityId>(172, 0));
  ids.push_back(std::make_unique<AttributeBytesNewCapabilityId>(CXString(u"A"), 9));
  ids.push_back(std::make_unique<AttributeBytesNewCapabilityId>(CXString(u"AB"), -3));
  ids.push_back(std::make_unique<AttributeBytesNewCapabilityId>(CXString(u"AB"), 2));
  ids.push_back(std::make_unique<AttributeBytesNewCapabilityId>(CXString(u"B"), 0));
  ids.push_back(std::make_unique<AttributeBytesNameSpacesId>(-1));
  ids.push_back(std::make_unique<AttributeBytesNameSpacesId>(1));
  ids.push_back(std::make_unique<AttributeBytesNameSpacesId>(2));
  return ids;
}

TEST(AttributeBytesId, LessThanIsAStrictTotalOrderAcrossKinds) {
  const auto ids = AscendingIds();
  const std::size_t n = ids.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::unique_ptr<AttributeBytesId> copy = ids[i]->Clone();
    EXPECT_FALSE(ids[i]->LessThan(*ids[i])) << i;  // irreflexive
    EXPECT_FALSE(ids[i]->LessThan(*copy)) << i;
    EXPECT_TRUE(ids[i]->IsEqual(*copy)) << i;
    for (std::size_t j = 0; j < n; ++j) {
      // Total and antisymmetric: exactly the index order, equal only to itself.
      EXPECT_EQ(ids[i]->LessThan(*ids[j]), i < j) << i << " vs " << j;
      EXPECT_EQ(ids[i]->IsEqual(*ids[j]), i == j) << i << " vs " << j;
    }
  }
  // Transitive over every triple (follows from the index order, checked
  // directly so that a failing pair above does not hide a cycle).
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = 0; b < n; ++b) {
      for (std::size_t c = 0; c < n; ++c) {
        if (ids[a]->LessThan(*ids[b]) && ids[b]->LessThan(*ids[c])) {
          EXPECT_TRUE(ids[a]->LessThan(*ids[c])) << a << " " << b << " " << c;
        }
      }
    }
  }
}

TEST(AttributeBytesId, OwnOperatorsCompareFieldsWithinAKind) {
  EXPECT_TRUE(AttributeBytesCapabilityId(5, 1) < AttributeBytesCapabilityId(5, 9));
  EXPECT_TRUE(AttributeBytesCapabilityId(5, 9) < AttributeBytesCapabilityId(7, 1));
  EXPECT_TRUE(AttributeBytesCapabilityId(5, 9) == AttributeBytesCapabilityId(5, 9));
  EXPECT_TRUE(AttributeBytesNewValueId(CXString(u"B")) < AttributeBytesNewValueId(CXString(u"a")));
  EXPECT_TRUE(AttributeBytesNewFeatureId(CXString(u"A")) < AttributeBytesNewFeatureId(CXString(u"AB")));
  EXPECT_FALSE(AttributeBytesNewFeatureId(CXString(u"AB")) < AttributeBytesNewFeatureId(CXString(u"A")));
  EXPECT_TRUE(AttributeBytesFeatureId(-1) < AttributeBytesFeatureId(0));
}

TEST(AttributeBytesId, FactoryMakesDefaultsOfEveryKindAndRefusesOthers) {
  for (std::int32_t kind = AttributeBytesId::ABIDE_FEATURE; kind <= AttributeBytesId::ABIDE_NAMESPACE; ++kind) {
    const auto id = AttributeBytesIdFactory::CreateAttributeBytesId(static_cast<AttributeBytesId::AttributeBytesIdEnum>(kind));
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->GetAttributeBytesIdType(), kind);
    // Defaults: numbers 0, strings empty.
    const ByteBuffer state = id->GetTypeAndIdentifierState();
    for (std::size_t i = 1; i < state.size(); ++i) {
      EXPECT_EQ(state[i], 0) << kind;
    }
  }
  for (std::int32_t kind : {1, 0, 10, 255, -1}) {
    EXPECT_EQ(ThrownCode([&] {
                AttributeBytesIdFactory::CreateAttributeBytesId(static_cast<AttributeBytesId::AttributeBytesIdEnum>(kind));
              }),
              kUnhandledSyntax)
        << kind;
  }
}

TEST(AttributeBytesId, DebugNamesOfKinds) {
  const std::vector<std::pair<std::int32_t, std::u16string>> names = {
      {1, u"ABIDE_UNSPECIFIED"}, {2, u"ABIDE_FEATURE"},          {3, u"ABIDE_NEWFEATURE"},
      {4, u"ABIDE_VALUE"},       {5, u"ABIDE_NEWVALUE"},         {6, u"ABIDE_LISTOFVALUESITEM"},
      {7, u"ABIDE_CAPABILITY"},  {8, u"ABIDE_NEWCAPABILITY"},    {9, u"ABIDE_NAMESPACE"},
      {0, u"UNKNOWN!"},          {10, u"UNKNOWN!"},
  };
  for (const auto& [kind, name] : names) {
    EXPECT_EQ(U(AttributeBytesId::GetDebugDisplayString(static_cast<AttributeBytesId::AttributeBytesIdEnum>(kind))),
              name);
  }
  EXPECT_EQ(U(AttributeBytesNameSpacesId(1).GetTypeDebugDisplayString()), u"ABIDE_NAMESPACE");
}

TEST(AttributeBytesId, DumpDisplayStrings) {
  struct Row {
    MakeId make;
    std::u16string text;
  };
  const std::vector<Row> rows = {
      {Make<AttributeBytesFeatureId>(172), u"ABIDE_FEATURE AttributeBytes Id: 172 (0xac)"},
      {Make<AttributeBytesValueId>(-1), u"ABIDE_VALUE AttributeBytes Id: -1 (0xffffffff)"},
      {Make<AttributeBytesListOfValuesItemId>(3), u"ABIDE_LISTOFVALUESITEM AttributeBytes Id: index 3"},
      {Make<AttributeBytesNameSpacesId>(2), u"ABIDE_NAMESPACE AttributeBytes Id: 2"},
      {Make<AttributeBytesNewFeatureId>(CXString(u"Tray")), u"ABIDE_NEWFEATURE AttributeBytes Id: Tray"},
      {Make<AttributeBytesNewValueId>(CXString(u"A4")), u"ABIDE_NEWVALUE AttributeBytes Id: A4"},
      {Make<AttributeBytesCapabilityId>(26, std::int16_t{11}),
       u"ABIDE_CAPABILITY AttributeBytes Id: feature 26 (0x1a), type 11 (0xb)"},
      {Make<AttributeBytesNewCapabilityId>(CXString(u"Tray"), std::int16_t{16}),
       u"ABIDE_NEWCAPABILITY AttributeBytes Id: feature Tray, type 16 (0x10)"},
  };
  for (const Row& row : rows) {
    const auto id = row.make();
    EXPECT_EQ(U(id->GetDumpDisplayString(false)), row.text);
    EXPECT_EQ(U(id->GetDumpDisplayString(true)), row.text);
  }
}

TEST(AttributeBytesId, MalformedBytesThrowTheNamedException) {
  struct Row {
    const char* bytes;
    const char* code;
  };
  const std::vector<Row> rows = {
      {"", kNotEnoughBytes},
      {"01 00 00 00 00", kUnhandledSyntax},
      {"0A 00 00 00 00", kUnhandledSyntax},
      {"00", kUnhandledSyntax},
      {"FF", kUnhandledSyntax},
      {"02 AC 00 00", kNotEnoughBytes},
      {"06", kNotEnoughBytes},
      {"09 02", kNotEnoughBytes},
      {"07 03 00 05 00 00", kNotEnoughBytes},  // one byte short
      {"07 03", kNotEnoughBytes},
      {"03", kNotEnoughBytes},
      {"03 01", kNotEnoughBytes},
      {"05 02 00 41 00", kNotEnoughBytes},       // count overruns the bytes left
      {"05 FF FF 41 00 42 00", kNotEnoughBytes},  // negative count
      {"05 00 80", kNotEnoughBytes},
      {"08 03 00", kNotEnoughBytes},
      {"08 03 00 01 00", kNotEnoughBytes},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes);
    ByteBuffer bytes = Hex(row.bytes);
    EXPECT_EQ(ThrownCode([&] {
                unsigned char* cursor = bytes.data();
                unsigned int left = bytes.getDword();
                AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
              }),
              row.code);
  }
  // A cut at every byte of a valid identifier runs short.
  for (const IdBytes& row : IdTable()) {
    const ByteBuffer whole = Hex(row.bytes);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
      ByteBuffer bytes(whole.data(), static_cast<std::uint32_t>(cut));
      EXPECT_EQ(ThrownCode([&] {
                  unsigned char* cursor = bytes.data();
                  unsigned int left = bytes.getDword();
                  AttributeBytesId::WalkBufferToGetTypeAndCreateIdentifier(cursor, left);
                }),
                kNotEnoughBytes)
          << row.name << " cut at " << cut;
    }
  }
}

TEST(AttributeBytesId, RawDestinationTooSmallIsLeftUntouched) {
  const AttributeBytesFeatureId id(172);
  unsigned char dest[8];
  std::memset(dest, 0xEE, sizeof dest);
  EXPECT_EQ(ThrownCode([&] { id.GetTypeAndIdentifierState(dest, 4); }), kNotEnoughBytes);
  for (unsigned char b : dest) {
    EXPECT_EQ(b, 0xEE);
  }
  EXPECT_EQ(id.GetTypeAndIdentifierState(dest, 5), 5u);
  EXPECT_EQ(ToHex(ByteBuffer(dest, 6)), "02 AC 00 00 00 EE");
  EXPECT_EQ(ThrownCode([&] { id.GetTypeAndIdentifierState(nullptr, 5); }), "030:000");
}

TEST(AttributeBytesId, TooLongTextIsRefusedOnWriting) {
  const AttributeBytesNewFeatureId longest(CXString(u'x', 32767));
  EXPECT_EQ(longest.GetTypeAndIdentifierState().size(), 3u + 2u * 32767u);
  const AttributeBytesNewFeatureId tooLong(CXString(u'x', 32768));
  EXPECT_EQ(ThrownCode([&] { tooLong.GetTypeAndIdentifierState(); }), kInvalidArgument);
}

}  // namespace
