// w4util cab create|extract|list: cabinets on disk.
// w4util compress|expand: a file to a compressed-buffer state and back.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "w4util/compression/CCabFileMpt.h"
#include "w4util/compression/CabCompressedBuffer.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/platform/CabinetCompressor.h"
#include "w4util/platform/CabinetPosixFiles.h"
#include "w4util/platform/CabinetSetupIterate.h"
#include "w4util/platform/CodePage.h"

namespace w4cli {
namespace {

CXString Wide(const std::string& utf8) {
  std::u16string wide;
  if (!w4platform::MultiByteToUtf16(w4platform::kCodePageUtf8, utf8.data(), utf8.size(), wide)) {
    throw UsageError{"cannot read argument as UTF-8: " + utf8};
  }
  return CXString(wide.c_str(), static_cast<std::int32_t>(wide.size()));
}

std::string Utf8(const char16_t* text) {
  std::u16string wide(text);
  std::string out;
  w4platform::Utf16ToMultiByte(w4platform::kCodePageUtf8, wide.data(), wide.size(), out);
  return out;
}

ByteBuffer ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ZELVO_THROW(ExceptionFileOperationCompression, "w4util::ReadFile", "cannot open '%S' for reading",
                path.c_str());
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ByteBuffer out;
  out.assign(bytes.begin(), bytes.end());
  return out;
}

void WriteFile(const std::string& path, const ByteBuffer& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out.flush()) {
    ZELVO_THROW(ExceptionFileOperationCompression, "w4util::WriteFile", "cannot write '%S'",
                path.c_str());
  }
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int CreateCabinet(const std::string& cabinet, const std::vector<std::string>& files) {
  CabinetPosixFiles system;
  CabinetErf erf;
  CabinetCcab ccab;
  ccab.setID = 12345;
  ccab.szCab = cabinet;
  auto fci = CabinetCompressor::Create(erf, system, ccab);
  bool ok = fci != nullptr;
  for (std::size_t i = 0; ok && i < files.size(); ++i) {
    ok = fci->AddFile(files[i].c_str(), BaseName(files[i]).c_str(), false, tcompTYPE_MSZIP);
  }
  ok = ok && fci->FlushCabinet(false);
  if (fci) ok = fci->Destroy() && ok;
  if (!ok) {
    ZELVO_THROW(ExceptionCompression, "w4util::CreateCabinet",
                "cannot write the cabinet '%S' (cabinet error %ld, system error %ld)",
                cabinet.c_str(), erf.erfOper, erf.erfType);
  }
  return kExitOk;
}

int ExtractCabinet(const std::string& cabinet, const std::string& directory) {
  std::int32_t result = 0;
  if (!CCabFileMpt::ExtractCabFile(Wide(cabinet), Wide(directory), result, CAB_OVERWRITE_ALWAYS)) {
    ZELVO_THROW(ExceptionFileOperationCompression, "w4util::ExtractCabinet",
                "cannot extract the cabinet '%S' into '%S' (result %ld)", cabinet.c_str(),
                directory.c_str(), result);
  }
  return kExitOk;
}

int ListCabinet(const std::string& cabinet) {
  std::uint32_t error = 0;
  const CXString path = Wide(cabinet);
  const bool ok = w4platform::SetupIterateCabinet(
      path, 0,
      [](std::uint32_t notification, std::uintptr_t p1, std::uintptr_t) -> std::uint32_t {
        if (notification != w4platform::SPFILENOTIFY_FILEINCABINET) return 0;
        // The notification's first parameter carries the entry's address.
        const auto& info =
            *reinterpret_cast<const w4platform::FileInCabinetInfo*>(p1);  // NOLINT(performance-no-int-to-ptr)
        std::cout << info.FileSize << '\t' << Utf8(info.NameInCabinet) << '\n';
        return w4platform::FILEOP_SKIP;
      },
      error);
  if (!ok) {
    ZELVO_THROW(ExceptionCompression, "w4util::ListCabinet", "cannot read the cabinet '%S' (error %ld)",
                cabinet.c_str(), static_cast<std::int32_t>(error));
  }
  return kExitOk;
}

int Compress(const std::string& in, const std::string& out) {
  const ByteBuffer data = ReadFile(in);
  WriteFile(out, CabCompressedBuffer::CreateWithUncompressedData(data, -1)->GetCompressedBufferState());
  return kExitOk;
}

int Expand(const std::string& in, const std::string& out) {
  ByteBuffer data;
  CabCompressedBuffer::CreateWithBufferState(ReadFile(in))->GetOriginalData(data);
  WriteFile(out, data);
  return kExitOk;
}

}  // namespace

void AddCabCommands(CLI::App& app) {
  CLI::App* cab = app.add_subcommand("cab", "Create, extract and list cabinet files");
  cab->require_subcommand(1);

  struct Arguments {
    std::string cabinet;
    std::string directory;
    std::vector<std::string> files;
    std::string in;
    std::string out;
  };
  auto args = std::make_shared<Arguments>();

  CLI::App* create = cab->add_subcommand("create", "Write FILES into a new MSZIP cabinet CAB");
  create->add_option("CAB", args->cabinet, "cabinet to write")->required();
  create->add_option("FILES", args->files, "files to store (by their names without path)")->required();
  create->callback([args] { SetAction([args] { return CreateCabinet(args->cabinet, args->files); }); });

  CLI::App* extract = cab->add_subcommand("extract", "Extract every file of CAB into DIR");
  extract->add_option("CAB", args->cabinet, "cabinet to read")->required();
  extract->add_option("DIR", args->directory, "destination directory")->required();
  extract->callback([args] { SetAction([args] { return ExtractCabinet(args->cabinet, args->directory); }); });

  CLI::App* list = cab->add_subcommand("list", "List the files of CAB (size, tab, name)");
  list->add_option("CAB", args->cabinet, "cabinet to read")->required();
  list->callback([args] { SetAction([args] { return ListCabinet(args->cabinet); }); });

  CLI::App* compress = app.add_subcommand("compress", "Write IN as a compressed-buffer state to OUT");
  compress->add_option("IN", args->in, "file to compress")->required();
  compress->add_option("OUT", args->out, "state to write")->required();
  compress->callback([args] { SetAction([args] { return Compress(args->in, args->out); }); });

  CLI::App* expand = app.add_subcommand("expand", "Restore the compressed-buffer state IN into OUT");
  expand->add_option("IN", args->in, "state to read")->required();
  expand->add_option("OUT", args->out, "file to write")->required();
  expand->callback([args] { SetAction([args] { return Expand(args->in, args->out); }); });
}

}  // namespace w4cli
