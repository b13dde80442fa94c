// A realistic settings block for the attribute-list benchmarks: the raw list
// a driver would store for one printer, with records of every identifier
// kind and most value types, a share of them left unspecified, and some
// nested collections (paper sizes, option lists of values). Identifiers are
// unique, records come in a scrambled order (modules append their settings
// in their own order). Deterministic: the same count always gives the same
// bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/AttributeBytesId.h"
#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/attributes/AttributeBytesValue.h"
#include "w4util/foundation/CXString.h"

namespace settings_block {

// xorshift32: small and reproducible.
class Random {
 public:
  explicit Random(std::uint32_t seed) : m_state(seed == 0 ? 1 : seed) {}
  std::uint32_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
  }
  std::uint32_t Below(std::uint32_t n) { return Next() % n; }

 private:
  std::uint32_t m_state;
};

inline CXString Name(const char16_t* stem, std::uint32_t n) {
  CXString name(stem);
  name += CXString(static_cast<char16_t>(u'A' + n % 26), 1);
  for (std::uint32_t v = n; v != 0; v /= 10) {
    name += CXString(static_cast<char16_t>(u'0' + v % 10), 1);
  }
  return name;
}

inline std::unique_ptr<AttributeBytesId> MakeId(std::uint32_t i) {
  // Mostly numbered features, as in a real data model.
  switch (i % 10) {
    case 0:
      return std::make_unique<AttributeBytesNewFeatureId>(Name(u"CustomFeature", i));
    case 1:
      return std::make_unique<AttributeBytesCapabilityId>(static_cast<std::int32_t>(i), static_cast<std::int16_t>(i % 4));
    case 2:
      return std::make_unique<AttributeBytesListOfValuesItemId>(static_cast<std::int32_t>(i));
    default:
      return std::make_unique<AttributeBytesFeatureId>(static_cast<std::int32_t>(1000 + i));
  }
}

inline AttributeBytesRawList PaperSize(std::int32_t width, std::int32_t height) {
  AttributeBytesRawList raw;
  raw.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(172),
                                       AttributeBytesDimensionValue(Dimension(width, Dimension::ZLV_MMS), true)));
  raw.AddAttributeBytes(AttributeBytes(AttributeBytesFeatureId(173),
                                       AttributeBytesDimensionValue(Dimension(height, Dimension::ZLV_MMS), true)));
  return raw;
}

inline AttributeBytesRawList ValueList(std::uint32_t n) {
  AttributeBytesRawList raw;
  for (std::uint32_t k = 0; k < 6; ++k) {
    raw.AddAttributeBytes(AttributeBytes(AttributeBytesListOfValuesItemId(static_cast<std::int32_t>(k)),
                                         AttributeBytesOptionValue(AttributeBytesValueId(static_cast<std::int32_t>(n + k)), true)));
  }
  return raw;
}

inline std::unique_ptr<AttributeBytesValue> MakeValue(std::uint32_t i, Random& random) {
  const bool specified = random.Below(8) != 0;
  switch (random.Below(12)) {
    case 0:
      return std::make_unique<AttributeBytesOptionValue>(AttributeBytesNewValueId(Name(u"Setting", i)), specified);
    case 1:
    case 2:
      return std::make_unique<AttributeBytesOptionValue>(AttributeBytesValueId(static_cast<std::int32_t>(5000 + i)),
                                                         specified);
    case 3:
    case 4:
      return std::make_unique<AttributeBytesIntegerValue>(static_cast<std::int32_t>(random.Next()), specified);
    case 5:
      return std::make_unique<AttributeBytesStringValue>(Name(u"Text value ", i), specified);
    case 6:
      return std::make_unique<AttributeBytesBooleanValue>(random.Below(2) == 1, specified);
    case 7:
      return std::make_unique<AttributeBytesRangeValue>(1, static_cast<std::int32_t>(random.Below(1000)), specified);
    case 8:
      return std::make_unique<AttributeBytesDimensionValue>(Dimension(static_cast<double>(random.Below(500)),
                                                                      Dimension::ZLV_MMS),
                                                            specified);
    case 9: {
      const unsigned char bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
      return std::make_unique<AttributeBytesDataBlobValue>(ByteBuffer(bytes, 1 + random.Below(16)), specified);
    }
    case 10:
      return std::make_unique<AttributeBytesListValue>(
          0, PaperSize(static_cast<std::int32_t>(100 + random.Below(300)), static_cast<std::int32_t>(150 + random.Below(300))));
    default:
      return std::make_unique<AttributeBytesListValue>(1, ValueList(i));
  }
}

// The raw list of `count` records.
inline AttributeBytesRawList MakeSettingsBlock(std::uint32_t count = 2000) {
  Random random(20261211);
  std::vector<std::uint32_t> order(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    order[i] = i;
  }
  for (std::uint32_t i = count; i > 1; --i) {
    const std::uint32_t j = random.Below(i);
    const std::uint32_t t = order[i - 1];
    order[i - 1] = order[j];
    order[j] = t;
  }
  AttributeBytesRawList raw;
  for (std::uint32_t i : order) {
    raw.AddAttributeBytes(AttributeBytes(MakeId(i), MakeValue(i, random)));
  }
  return raw;
}

// The identifiers of the block, one per record, in generation order.
inline std::vector<std::unique_ptr<AttributeBytesId>> SettingsBlockIds(std::uint32_t count = 2000) {
  std::vector<std::unique_ptr<AttributeBytesId>> ids;
  ids.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    ids.push_back(MakeId(i));
  }
  return ids;
}

}  // namespace settings_block
