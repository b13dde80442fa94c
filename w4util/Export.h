// Symbol visibility for the shared library. Everything is hidden unless a
// declaration is marked W4UTIL_EXPORT; classes are exported whole.
#pragma once

#define W4UTIL_EXPORT __attribute__((visibility("default")))
#define W4UTIL_HIDDEN __attribute__((visibility("hidden")))
