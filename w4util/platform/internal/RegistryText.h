// UTF-8 <-> UTF-16 for the registry store's own needs (file names, account
// names, diagnostics). Invalid input becomes U+FFFD; never throws.
#pragma once

#include <string>
#include <string_view>

namespace w4platform::internal {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace w4platform::internal
