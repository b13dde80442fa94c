#include "w4util/platform/HresultText.h"

namespace w4platform {

namespace {
struct HresultEntry {
  std::uint32_t code;
  const char16_t* text;
};

// The codes the library and its callers meet, with the system's wording.
constexpr HresultEntry kHresultTexts[] = {
    {0x00000000, u"The operation completed successfully."},
    {0x00000001, u"Incorrect function."},
    {0x80004001, u"Not implemented"},
    {0x80004002, u"No such interface supported"},
    {0x80004003, u"Invalid pointer"},
    {0x80004004, u"Operation aborted"},
    {0x80004005, u"Unspecified error"},
    {0x8000FFFF, u"Catastrophic failure"},
    {0x80040154, u"Class not registered"},
    {0x800401F0, u"CoInitialize has not been called."},
    {0x80070002, u"The system cannot find the file specified."},
    {0x80070003, u"The system cannot find the path specified."},
    {0x80070005, u"Access is denied."},
    {0x80070006, u"The handle is invalid."},
    {0x8007000E, u"Not enough memory resources are available to complete this operation."},
    {0x80070057, u"The parameter is incorrect."},
    {0x8007007A, u"The data area passed to a system call is too small."},
    {0x800700EA, u"More data is available."},
    {0x80070103, u"No more data is available."},
    {0x80070490, u"Element not found."},
    {0x80070032, u"The request is not supported."},
};
}  // namespace

std::u16string SystemMessageForHresult(std::int32_t code) {
  const auto key = static_cast<std::uint32_t>(code);
  for (const HresultEntry& entry : kHresultTexts) {
    if (entry.code == key) return entry.text;
  }
  return std::u16string();
}

}  // namespace w4platform
