// The PCL XL reader on arbitrary bytes: whole jobs (header line first) and
// bare bodies, then the scan-line splitter on every ScanLineRel it finds,
// and the disassembly of whatever was decoded.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/pclxl/PclXlReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  std::string error;
  w4pclxl::Stream stream;
  w4pclxl::DecodeStream(data, size, stream, error);
  std::vector<w4pclxl::Operator> body;
  w4pclxl::DecodeBody(data, size, body, error);
  for (const auto* ops : {&stream.operators, &body}) {
    for (const auto& op : *ops) {
      if (op.tag != 0xB9) continue;
      const auto* lines = op.find(0x73);
      std::int64_t n = lines ? lines->integer() : 1;
      if (n < 0 || n > 0xFFFFFFFF) n = 0xFFFFFFFF;
      std::vector<w4pclxl::ScanLine> out;
      w4pclxl::DecodeScanLines(op.joinedData(), static_cast<std::uint32_t>(n), out, error);
    }
  }
  const std::string text = w4pclxl::Disassemble(stream) + w4pclxl::Disassemble(body);
  return text.size() == static_cast<std::size_t>(-1);
}
