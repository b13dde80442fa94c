#include "w4util/foundation/LastErrorText.h"

#include <string>

#include "w4util/platform/SystemErrorText.h"

namespace ZelvoUtilities {

CXString FormatLastErrorDisplayString(std::uint32_t code) {
  std::u16string text;
  if (!w4platform::SystemErrorText(code, text)) {
    text = u"Unknown value";
    // The lookup may have disturbed it; callers read it after this call.
    w4platform::SetLastErrorCode(code);
  }
  if (code == 0) return formatString(u"GetLastError(): %s", text.c_str());
  return formatString(u"GetLastError() = %lu/0x%lx: %s", code, code, text.c_str());
}

}  // namespace ZelvoUtilities
