// Feeds arbitrary UTF-16 text to Base64Decode.
//
// The text sits in a heap block of exactly its length (no terminator), so a
// read past the count is caught by AddressSanitizer. Checks: the count it
// reports is the same whether or not an output is given; decoding into a
// block of exactly that size succeeds and writes nothing beyond it; one
// byte less fails; and the decoded bytes encode (with and without line
// breaks and padding) to text that decodes back to them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "w4util/foundation/Base64.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

std::vector<unsigned char> DecodeExact(const char16_t* text, std::int32_t count) {
  std::int32_t length = 0;
  ZelvoUtilities::Base64Decode(text, count, nullptr, &length);
  std::vector<unsigned char> out(static_cast<std::size_t>(length));
  std::int32_t got = length;
  const std::int32_t ok = ZelvoUtilities::Base64Decode(text, count, out.empty() ? nullptr : out.data(), &got);
  Check(got == length);
  Check(ok == 1 || out.empty());
  return out;
}

}  // namespace

using ZelvoUtilities::Base64Decode;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  const std::size_t units = size / 2;
  std::unique_ptr<char16_t[]> text(new char16_t[units == 0 ? 1 : units]);
  std::memcpy(text.get(), data, units * 2);
  const auto count = static_cast<std::int32_t>(units);

  std::vector<unsigned char> bytes = DecodeExact(text.get(), count);
  if (!bytes.empty()) {
    std::int32_t shortLength = static_cast<std::int32_t>(bytes.size()) - 1;
    std::unique_ptr<unsigned char[]> shortOut(new unsigned char[bytes.size() - 1 + 1]);
    Check(Base64Decode(text.get(), count, shortOut.get(), &shortLength) == 0);
    Check(shortLength == static_cast<std::int32_t>(bytes.size()));
  }

  const std::uint32_t flags = size > 0 ? data[0] & 3u : 0u;
  const auto n = static_cast<std::int32_t>(bytes.size());
  std::int32_t length = ZelvoUtilities::Base64EncodeGetRequiredLength(n, flags);
  std::unique_ptr<char16_t[]> encoded(new char16_t[static_cast<std::size_t>(length) + 1]);
  unsigned char dummy = 0;
  Check(ZelvoUtilities::Base64Encode(n == 0 ? &dummy : bytes.data(), n, encoded.get(), &length, flags) == 1);
  Check(DecodeExact(encoded.get(), length) == bytes);
  return 0;
}
