// Opaque handles of the host's module and window objects. Linux has neither
// string-resource modules nor windows, so these never point at anything the
// library can dereference; they only keep the names of the interfaces that
// take them. A null handle is the only value the library ever makes.
#pragma once

struct W4ModuleInstance;
struct W4WindowInstance;

using HINSTANCE = W4ModuleInstance*;
using HMODULE = W4ModuleInstance*;
using HWND = W4WindowInstance*;
