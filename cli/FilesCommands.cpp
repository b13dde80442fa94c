// w4util crcfile write|read|check and w4util attrs dump: CRC-guarded files
// and persistent-attributes states from the shell.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "cli/Commands.h"
#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/AttributeBytesNameSpaces.h"
#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/attributes/AttributeBytesValue.h"
#include "w4util/attributes/PersistentAttributes.h"
#include "w4util/files/Crc32.h"
#include "w4util/files/SimpleFile.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/platform/CodePage.h"

namespace w4cli {
namespace {

std::string Utf8(const CXString& text) {
  std::string out;
  w4platform::Utf16ToMultiByte(w4platform::kCodePageUtf8, text, static_cast<std::size_t>(text.GetLength()), out);
  return out;
}

CXString PathText(const std::string& path) {
  std::u16string wide;
  if (!w4platform::MultiByteToUtf16(w4platform::kCodePageUtf8, path.data(), path.size(), wide)) {
    throw UsageError{"cannot read path as UTF-8: " + path};
  }
  return CXString(wide.c_str(), static_cast<std::int32_t>(wide.size()));
}

// The bytes of a file, or of standard input for "-".
ByteBuffer ReadInput(const std::string& path) {
  std::string bytes;
  if (path == "-") {
    std::ostringstream all;
    all << std::cin.rdbuf();
    bytes = all.str();
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  if (bytes.size() > 0xFFFFFFFFu) throw std::runtime_error(path + " is too large");
  return ByteBuffer(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
}

void WriteOutput(const std::string& path, const ByteBuffer& bytes) {
  if (path.empty() || path == "-") {
    std::cout.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
    return;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

void DumpList(const AttributeBytesList& list, int depth, std::ostream& out) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  std::unique_ptr<AttributeBytesListIterator> it = list.GetIterator();
  while (list.IsValid(*it)) {
    const AttributeBytes record = list.GetNextAttributeBytes(*it);
    const AttributeBytesId& id = record.GetAttributeBytesId();
    const AttributeBytesValue& value = record.GetAttributeBytesValue();
    // The dump texts name the identifier's kind and the value's type.
    out << indent << "record " << Utf8(id.GetDumpDisplayString(true)) << " = " << Utf8(value.GetDumpDisplayString(true))
        << "\n";
    if (const auto* nested = dynamic_cast<const AttributeBytesListValue*>(&value)) {
      DumpList(nested->GetRawList(), depth + 1, out);
    }
  }
}

int DumpAttributes(const std::string& path) {
  const ByteBuffer state = ReadInput(path);
  DriverVersion version;
  const PersistentAttributes attributes(state, false, &version);
  const std::unique_ptr<AttributeBytesNameSpaces> spaces = attributes.GetAttributeBytesNameSpaces();
  std::ostringstream out;
  out << "persistent attributes: " << state.size() << " bytes, written by version "
      << Utf8(version.GetDumpDisplayString()) << "\n";
  out << "name spaces: " << spaces->GetNumberOfNameSpaces() << "\n";
  // The name spaces are the records of the indexed list behind the mark and
  // version: each a name-space id holding a list value.
  const ByteBuffer nameSpacesState = spaces->GetAttributeBytesNameSpacesState();
  constexpr std::size_t kListStart = 4 + DriverVersion::kWireSize + 4;
  const AttributeBytesRawList records(ByteBuffer(nameSpacesState.begin() + kListStart, nameSpacesState.end()));
  std::unique_ptr<AttributeBytesListIterator> it = records.GetIterator();
  while (records.IsValid(*it)) {
    const AttributeBytes space = records.GetNextAttributeBytes(*it);
    const auto* list = dynamic_cast<const AttributeBytesListValue*>(&space.GetAttributeBytesValue());
    out << "name space " << Utf8(space.GetAttributeBytesId().GetDumpDisplayString(true));
    if (list == nullptr) {
      out << " (no list)\n";
      continue;
    }
    out << ": " << list->GetRawList().GetSize() << " record bytes\n";
    DumpList(list->GetRawList(), 1, out);
  }
  std::cout << out.str();
  return kExitOk;
}

}  // namespace

void AddFilesCommands(CLI::App& app) {
  CLI::App* crc = app.add_subcommand("crcfile", "Write, read and check files guarded by a CRC-32 header");
  crc->require_subcommand(1);

  auto file = std::make_shared<std::string>();
  auto from = std::make_shared<std::string>("-");
  auto to = std::make_shared<std::string>("-");

  CLI::App* write = crc->add_subcommand("write", "Store bytes (standard input by default) as a CRC file");
  write->add_option("FILE", *file, "CRC file to write")->required();
  write->add_option("--from", *from, "file with the bytes to store, - for standard input");
  write->callback([file, from] {
    SetAction([file, from] {
      const ByteBuffer data = ReadInput(*from);
      SimpleFileWithCrc(PathText(*file), SimpleFile::CharacterEncodingUnchanged)
          .WriteTheFile(data, SimpleFile::FileAttributeActionNone);
      return kExitOk;
    });
  });

  CLI::App* read = crc->add_subcommand("read", "Check a CRC file and output its payload");
  read->add_option("FILE", *file, "CRC file to read")->required();
  read->add_option("--to", *to, "file for the payload, - for standard output");
  read->callback([file, to] {
    SetAction([file, to] {
      ByteBuffer data;
      SimpleFileWithCrc(PathText(*file), SimpleFile::CharacterEncodingUnchanged).ReadTheFile(data, 0);
      WriteOutput(*to, data);
      return kExitOk;
    });
  });

  CLI::App* check = crc->add_subcommand("check", "Check a CRC file");
  check->add_option("FILE", *file, "CRC file to check")->required();
  check->callback([file] {
    SetAction([file] {
      ByteBuffer data;
      SimpleFileWithCrc(PathText(*file), SimpleFile::CharacterEncodingUnchanged).ReadTheFile(data, 0);
      char crc[16];
      std::snprintf(crc, sizeof crc, "%08X", Crc32::GetCrc(data.data(), data.getDword()));
      std::cout << *file << ": ok, " << data.size() << " payload bytes, CRC-32 " << crc << "\n";
      return kExitOk;
    });
  });

  CLI::App* attrs = app.add_subcommand("attrs", "Persistent-attributes states");
  attrs->require_subcommand(1);
  CLI::App* dump = attrs->add_subcommand("dump", "Print every name space and record of a state");
  dump->add_option("FILE", *file, "state file, - for standard input")->required();
  dump->callback([file] { SetAction([file] { return DumpAttributes(*file); }); });
}

}  // namespace w4cli
