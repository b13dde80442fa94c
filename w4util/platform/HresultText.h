// System message texts for COM result codes (HRESULTs).
//
// This host has no message tables; a small table holds the texts of the
// codes the library and its callers meet. Texts carry no trailing line break.
//
// Thread-safety: pure lookups, safe from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "w4util/Export.h"

namespace w4platform {

// The system's text for code, or an empty text when the table has none.
W4UTIL_EXPORT std::u16string SystemMessageForHresult(std::int32_t code);

}  // namespace w4platform
