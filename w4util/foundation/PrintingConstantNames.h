// Names of the host's printing constants for trace output: device-capability
// queries, document events, XPS document events and device-mode field
// flags. Unknown values give a text that shows the value. Stateless and
// thread-safe.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

namespace ZelvoUtilities {

// "DC_PAPERS" ...; "Unknown DeviceCapabilities index %lu" otherwise.
W4UTIL_EXPORT CXString DeviceCapabilitiesString(std::uint32_t capability);
// "DOCUMENTEVENT_STARTDOC" ...; "Unknown DocumentEvent %ld" otherwise.
W4UTIL_EXPORT CXString DocumentEventString(std::int32_t event);
// "DOCUMENTEVENT_XPS_CANCELJOB" ...; "Unknown XPS DocumentEvent %ld" otherwise.
W4UTIL_EXPORT CXString XpsDocumentEventString(std::int32_t event);
// The names of the flags set in a device mode's dmFields, joined by " | "
// in ascending bit order; unnamed bits as one "0x%08lX" text at the end.
W4UTIL_EXPORT CXString DevmodeDmFieldString(std::uint32_t dmFields);
// Always empty.
W4UTIL_EXPORT CXString DevmodeModeString(std::uint32_t mode);

}  // namespace ZelvoUtilities
