// DataModelIds: the driver's numbering of features and values. The full
// enumerations belong to the driver's data model; this library treats them as
// signed 32-bit numbers and names here only the members it relies on itself.
// Any other number of the underlying type is a valid member.
#pragma once

#include <cstdint>

namespace DataModelIds {

enum tagFeatureEnum : std::int32_t {
  // The two dimensions of a paper size inside its collection.
  FEATURE_PAPER_SIZE_WIDTH = 172,
  FEATURE_PAPER_SIZE_HEIGHT = 173,
};

enum tagValueEnum : std::int32_t {
  // No value.
  VALUE_NONE = 5001,
  // A value named by string (a new value id) rather than by number.
  VALUE_NAMED_BY_STRING = 10242,
};

}  // namespace DataModelIds
