// Case folding of registry key and value names. Names compare without regard
// to case and keep the case they were created with; the store compares the
// folded forms. Folding maps each UTF-16 code unit on its own to its upper
// case, as the host registry does (no length-changing mappings such as
// German sharp s to "SS"), over Basic Latin, Latin-1, Latin Extended-A,
// Greek, Cyrillic, Armenian and the full-width Latin letters. Code units
// outside those ranges, and unpaired surrogates, compare as they are.
// Pure functions; thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "w4util/Export.h"

namespace w4platform {

W4UTIL_EXPORT char16_t FoldRegistryChar(char16_t c);
W4UTIL_EXPORT std::u16string FoldRegistryName(std::u16string_view name);

}  // namespace w4platform
