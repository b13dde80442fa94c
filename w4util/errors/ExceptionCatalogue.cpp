#include "w4util/errors/ExceptionCatalogue.h"

W4UTIL_DEFINE_EXCEPTION(ExceptionAccessPriorToInitialization, "048:000")
W4UTIL_DEFINE_EXCEPTION(ExceptionAutoPtrNull, "055:000")
W4UTIL_DEFINE_EXCEPTION(ExceptionOutOfMemory, "072:000")
