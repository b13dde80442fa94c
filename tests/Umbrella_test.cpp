// Compiles every public header through the one umbrella include, so that a
// header which does not stand on its own (or clashes with another) fails the
// build.
#include "w4util/w4util.h"

#include <gtest/gtest.h>

TEST(UmbrellaHeader, NamesTheLibrary) {
  EXPECT_STRNE(W4UTIL_VERSION_STRING, "");
}
