#include "w4util/platform/CabinetSystem.h"

#include <cstdlib>

CabinetSystem::~CabinetSystem() = default;

void* CabinetSystem::Alloc(std::uint32_t size) noexcept { return std::malloc(size == 0 ? 1 : size); }

void CabinetSystem::Free(void* memory) noexcept { std::free(memory); }

std::int32_t FciCallbacks::Status(std::uint32_t type, std::uint32_t /*cb1*/, std::uint32_t cb2) {
  return type == statusCabinet ? static_cast<std::int32_t>(cb2) : 0;
}

std::int32_t FciCallbacks::FilePlaced(const CabinetCcab& /*ccab*/, const char* /*name*/,
                                      std::int32_t /*size*/, bool /*continuation*/) {
  return 0;
}

bool FciCallbacks::GetNextCabinet(CabinetCcab& /*ccab*/, std::uint32_t /*previousCabinetSize*/) {
  return false;
}
