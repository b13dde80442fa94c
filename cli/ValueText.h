// Text forms of typed registry and printer-data values on the command line:
// parsing DATA for a --type, and showing stored bytes. UTF-8 on the terminal,
// UTF-16 in the store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace w4cli {

std::u16string Utf16FromUtf8(const std::string& text);  // UsageError when not UTF-8
std::string Utf8FromUtf16(std::u16string_view text);

// "sz", "expand_sz", "multi_sz" (items separated by "\0" as typed), "dword",
// "qword", "binary" (hex bytes, optionally separated by "," or spaces),
// "none": the value type; UsageError otherwise.
std::uint32_t ParseValueType(const std::string& name);
// The bytes of DATA for type; UsageError when DATA does not fit it.
std::vector<std::uint8_t> ParseValueData(std::uint32_t type, const std::string& data);

// "REG_SZ", ...
std::string TypeName(std::uint32_t type);
// A one-line text of the value: the string, the number, or hex bytes.
std::string ShowValue(std::uint32_t type, const std::uint8_t* data, std::size_t size);

}  // namespace w4cli
