#include "w4util/platform/CabinetCompressor.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "w4util/platform/internal/CabinetFormat.h"
#include "w4util/platform/internal/CabinetZlib.h"

using namespace w4util_platform_internal;

namespace {

constexpr std::uint32_t kBlockBufferSize = kCfDataSize + kMaxDataReserve + kMaxBlockCompressed;
constexpr std::uint16_t kStoredAttributes = kCabAttribReadOnly | kCabAttribHidden |
                                            kCabAttribSystem | kCabAttribArchive |
                                            kCabAttribNameIsUtf;
constexpr std::uint32_t kMaxEntries = 0xFFFF;

// Memory from the client's allocator, released with it.
class CallbackBuffer {
 public:
  CallbackBuffer(CabinetSystem& system, std::uint32_t size)
      : m_system(system), m_data(static_cast<unsigned char*>(system.Alloc(size))) {}
  ~CallbackBuffer() { m_system.Free(m_data); }
  CallbackBuffer(const CallbackBuffer&) = delete;
  CallbackBuffer& operator=(const CallbackBuffer&) = delete;
  unsigned char* get() const { return m_data; }

 private:
  CabinetSystem& m_system;
  unsigned char* m_data;
};

struct FolderRecord {
  std::uint64_t dataStart = 0;  // offset of its first block in the temporary file
  std::uint64_t dataSize = 0;
  std::uint64_t uncompressed = 0;
  std::uint32_t blocks = 0;
  std::uint16_t type = tcompTYPE_NONE;
};

}  // namespace

struct CabinetCompressor::Impl {
  Impl(CabinetErf& erf, FciCallbacks& callbacks, const CabinetCcab& ccab)
      : erf(erf),
        cb(callbacks),
        ccab(ccab),
        input(callbacks, kMaxBlockUncompressed),
        previous(callbacks, kMaxBlockUncompressed),
        block(callbacks, kBlockBufferSize) {}

  ~Impl() { Release(); }

  bool Fail(std::int32_t code, std::int32_t type = 0) {
    erf.erfOper = code;
    erf.erfType = type;
    erf.fError = true;
    broken = true;
    return false;
  }

  bool Init();
  bool AddFile(const char* sourceName, const char* nameInCabinet, bool execute,
               std::uint16_t typeCompress);
  bool FlushFolder();
  bool FlushCabinet();
  bool Release();

  bool EmitBlock(std::uint32_t size);
  std::uint32_t DeflateBlock(const unsigned char* data, std::uint32_t size, unsigned char* out);
  bool WriteAll(CabHandle handle, const unsigned char* data, std::size_t size,
                std::int32_t failCode);

  CabinetErf& erf;
  FciCallbacks& cb;
  CabinetCcab ccab;
  CallbackBuffer input;
  CallbackBuffer previous;
  CallbackBuffer block;
  z_stream zs{};
  bool zsReady = false;
  char tempName[kCabMaxName] = {};
  CabHandle temp = kCabInvalidHandle;
  std::uint64_t tempSize = 0;
  std::vector<FolderRecord> folders;
  std::vector<CfFileEntry> files;
  bool folderOpen = false;
  std::uint32_t inputFill = 0;
  std::uint32_t previousSize = 0;
  bool broken = false;
  bool released = false;
};

bool CabinetCompressor::Impl::Init() {
  if (ccab.cbReserveCFHeader > kMaxHeaderReserve || ccab.cbReserveCFFolder > kMaxFolderReserve ||
      ccab.cbReserveCFData > kMaxDataReserve) {
    return Fail(FCIERR_CAB_FORMAT_LIMIT);
  }
  if (input.get() == nullptr || previous.get() == nullptr || block.get() == nullptr) {
    return Fail(FCIERR_ALLOC_FAIL);
  }
  zs.zalloc = ZAlloc;
  zs.zfree = ZFree;
  zs.opaque = &cb;
  const int rc = deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  if (rc != Z_OK) return Fail(rc == Z_MEM_ERROR ? FCIERR_ALLOC_FAIL : FCIERR_MCI_FAIL);
  zsReady = true;
  if (!cb.GetTempFile(tempName, static_cast<std::int32_t>(sizeof tempName))) {
    return Fail(FCIERR_TEMP_FILE);
  }
  tempName[sizeof tempName - 1] = '\0';
  std::int32_t error = 0;
  temp = cb.Open(tempName, kCabOpenReadWrite | kCabOpenCreate | kCabOpenTruncate | kCabOpenBinary,
                 kCabPermissionRead | kCabPermissionWrite, error);
  if (temp == kCabInvalidHandle) return Fail(FCIERR_TEMP_FILE, error);
  return true;
}

bool CabinetCompressor::Impl::WriteAll(CabHandle handle, const unsigned char* data,
                                       std::size_t size, std::int32_t failCode) {
  while (size > 0) {
    const std::uint32_t chunk =
        size > kMaxBlockUncompressed ? kMaxBlockUncompressed : static_cast<std::uint32_t>(size);
    std::int32_t error = 0;
    if (cb.Write(handle, data, chunk, error) != static_cast<std::int32_t>(chunk)) {
      return Fail(failCode, error);
    }
    data += chunk;
    size -= chunk;
  }
  return true;
}

// Deflates one block into `out` ("CK" first) with the previous block as the
// dictionary; falls back to a stored deflate block when deflate would grow
// the data past what a block may carry. Returns the bytes written, 0 on error.
std::uint32_t CabinetCompressor::Impl::DeflateBlock(const unsigned char* data, std::uint32_t size,
                                                    unsigned char* out) {
  out[0] = kMszipSignature[0];
  out[1] = kMszipSignature[1];
  if (deflateReset(&zs) != Z_OK) return 0;
  if (previousSize != 0 && deflateSetDictionary(&zs, previous.get(), previousSize) != Z_OK) {
    return 0;
  }
  zs.next_in = const_cast<Bytef*>(data);
  zs.avail_in = size;
  zs.next_out = out + 2;
  zs.avail_out = kMaxBlockCompressed - 2;
  const int rc = deflate(&zs, Z_FINISH);
  if (rc == Z_STREAM_END) return 2 + (kMaxBlockCompressed - 2 - zs.avail_out);
  if (rc != Z_OK && rc != Z_BUF_ERROR) return 0;
  // One final stored block: header bits, LEN, NLEN, the bytes.
  out[2] = 0x01;
  StoreLe16(out + 3, static_cast<std::uint16_t>(size));
  StoreLe16(out + 5, static_cast<std::uint16_t>(~size));
  std::memcpy(out + 7, data, size);
  return 7 + size;
}

bool CabinetCompressor::Impl::EmitBlock(std::uint32_t size) {
  FolderRecord& folder = folders.back();
  if (folder.blocks >= kMaxEntries) return Fail(FCIERR_CAB_FORMAT_LIMIT);
  const std::uint32_t reserve = ccab.cbReserveCFData;
  unsigned char* header = block.get();
  unsigned char* payload = header + kCfDataSize + reserve;
  std::memset(header + kCfDataSize, 0, reserve);
  std::uint32_t compressed = size;
  if (folder.type == tcompTYPE_MSZIP) {
    compressed = DeflateBlock(input.get(), size, payload);
    if (compressed == 0) return Fail(FCIERR_MCI_FAIL);
    if (ccab.fFailOnIncompressible != 0 && compressed >= size) return Fail(FCIERR_MCI_FAIL);
    std::memcpy(previous.get(), input.get(), size);
    previousSize = size;
  } else {
    std::memcpy(payload, input.get(), size);
  }
  StoreLe16(header + 4, static_cast<std::uint16_t>(compressed));
  StoreLe16(header + 6, static_cast<std::uint16_t>(size));
  StoreLe32(header, CabDataBlockChecksum(header, header + kCfDataSize, reserve, payload, compressed));
  const std::uint32_t total = kCfDataSize + reserve + compressed;
  if (!WriteAll(temp, header, total, FCIERR_TEMP_FILE)) return false;
  tempSize += total;
  folder.dataSize += total;
  folder.uncompressed += size;
  ++folder.blocks;
  if (cb.Status(statusFile, compressed, size) == -1) return Fail(FCIERR_USER_ABORT);
  return true;
}

bool CabinetCompressor::Impl::AddFile(const char* sourceName, const char* nameInCabinet,
                                      bool execute, std::uint16_t typeCompress) {
  const std::uint16_t type = typeCompress & tcompMASK_TYPE;
  if (type != tcompTYPE_NONE && type != tcompTYPE_MSZIP) return Fail(FCIERR_BAD_COMPR_TYPE);
  if (sourceName == nullptr || nameInCabinet == nullptr) return Fail(FCIERR_OPEN_SRC);
  const std::size_t nameLength = std::strlen(nameInCabinet);
  if (nameLength == 0 || nameLength >= kCabMaxName || files.size() >= kMaxEntries) {
    return Fail(FCIERR_CAB_FORMAT_LIMIT);
  }
  if (folderOpen && (folders.back().type != type || folders.back().dataSize >= ccab.cbFolderThresh)) {
    if (!FlushFolder()) return false;
  }
  if (!folderOpen) {
    if (folders.size() >= kMaxEntries) return Fail(FCIERR_CAB_FORMAT_LIMIT);
    FolderRecord folder;
    folder.dataStart = tempSize;
    folder.type = type;
    folders.push_back(folder);
    folderOpen = true;
    inputFill = 0;
    previousSize = 0;
  }

  CfFileEntry file;
  file.name = nameInCabinet;
  file.folder = static_cast<std::uint16_t>(folders.size() - 1);
  const std::uint64_t offset = folders.back().uncompressed + inputFill;
  std::int32_t error = 0;
  const CabHandle source = cb.GetOpenInfo(sourceName, file.date, file.time, file.attributes, error);
  if (source == kCabInvalidHandle) return Fail(FCIERR_OPEN_SRC, error);
  std::uint64_t size = 0;
  bool ok = true;
  for (;;) {
    const std::uint32_t wanted = kMaxBlockUncompressed - inputFill;
    const std::int32_t got = cb.Read(source, input.get() + inputFill, wanted, error);
    if (got < 0 || static_cast<std::uint32_t>(got) > wanted) {
      ok = Fail(FCIERR_READ_SRC, error);
      break;
    }
    if (got == 0) break;
    size += static_cast<std::uint32_t>(got);
    inputFill += static_cast<std::uint32_t>(got);
    if (offset + size > std::numeric_limits<std::uint32_t>::max()) {
      ok = Fail(FCIERR_CAB_FORMAT_LIMIT);
      break;
    }
    if (inputFill == kMaxBlockUncompressed) {
      if (!EmitBlock(inputFill)) {
        ok = false;
        break;
      }
      inputFill = 0;
    }
  }
  std::int32_t closeError = 0;
  cb.Close(source, closeError);
  if (!ok) return false;

  file.offset = static_cast<std::uint32_t>(offset);
  file.size = static_cast<std::uint32_t>(size);
  file.attributes = static_cast<std::uint16_t>((file.attributes & kStoredAttributes) |
                                               (execute ? kCabAttribExecute : 0));
  files.push_back(file);
  if (cb.FilePlaced(ccab, nameInCabinet, static_cast<std::int32_t>(file.size), false) == -1) {
    return Fail(FCIERR_USER_ABORT);
  }
  return true;
}

bool CabinetCompressor::Impl::FlushFolder() {
  if (!folderOpen) return true;
  if (inputFill != 0) {
    if (!EmitBlock(inputFill)) return false;
    inputFill = 0;
  }
  folderOpen = false;
  previousSize = 0;
  const std::uint64_t total = folders.back().uncompressed;
  const auto cb32 = static_cast<std::uint32_t>(total);
  if (cb.Status(statusFolder, cb32, cb32) == -1) return Fail(FCIERR_USER_ABORT);
  return true;
}

bool CabinetCompressor::Impl::FlushCabinet() {
  if (!FlushFolder()) return false;
  const bool reservePresent =
      ccab.cbReserveCFHeader != 0 || ccab.cbReserveCFFolder != 0 || ccab.cbReserveCFData != 0;
  std::uint64_t headerSize = kCfHeaderSize;
  if (reservePresent) headerSize += kCfHeaderReserveFieldsSize + ccab.cbReserveCFHeader;
  const std::uint64_t foldersStart = headerSize;
  const std::uint64_t filesStart =
      foldersStart + folders.size() * static_cast<std::uint64_t>(kCfFolderSize + ccab.cbReserveCFFolder);
  std::uint64_t dataStart = filesStart;
  for (const CfFileEntry& file : files) dataStart += kCfFileSize + file.name.size() + 1;
  const std::uint64_t total = dataStart + tempSize;
  if (total > std::numeric_limits<std::uint32_t>::max() || total > ccab.cb) {
    return Fail(FCIERR_CAB_FORMAT_LIMIT);
  }
  if (cb.Status(statusCabinet, static_cast<std::uint32_t>(total),
                static_cast<std::uint32_t>(total)) == -1) {
    return Fail(FCIERR_USER_ABORT);
  }

  std::vector<unsigned char> head(static_cast<std::size_t>(dataStart), 0);
  unsigned char* p = head.data();
  std::memcpy(p, kCabSignature, 4);
  StoreLe32(p + 8, static_cast<std::uint32_t>(total));
  StoreLe32(p + 16, static_cast<std::uint32_t>(filesStart));
  p[24] = kVersionMinor;
  p[25] = kVersionMajor;
  StoreLe16(p + 26, static_cast<std::uint16_t>(folders.size()));
  StoreLe16(p + 28, static_cast<std::uint16_t>(files.size()));
  StoreLe16(p + 30, reservePresent ? kFlagReservePresent : 0);
  StoreLe16(p + 32, ccab.setID);
  StoreLe16(p + 34, static_cast<std::uint16_t>(ccab.iCab));
  if (reservePresent) {
    StoreLe16(p + kCfHeaderSize, static_cast<std::uint16_t>(ccab.cbReserveCFHeader));
    p[kCfHeaderSize + 2] = static_cast<unsigned char>(ccab.cbReserveCFFolder);
    p[kCfHeaderSize + 3] = static_cast<unsigned char>(ccab.cbReserveCFData);
  }
  p = head.data() + foldersStart;
  for (const FolderRecord& folder : folders) {
    StoreLe32(p, static_cast<std::uint32_t>(dataStart + folder.dataStart));
    StoreLe16(p + 4, static_cast<std::uint16_t>(folder.blocks));
    StoreLe16(p + 6, folder.type);
    p += kCfFolderSize + ccab.cbReserveCFFolder;
  }
  for (const CfFileEntry& file : files) {
    StoreLe32(p, file.size);
    StoreLe32(p + 4, file.offset);
    StoreLe16(p + 8, file.folder);
    StoreLe16(p + 10, file.date);
    StoreLe16(p + 12, file.time);
    StoreLe16(p + 14, file.attributes);
    std::memcpy(p + kCfFileSize, file.name.c_str(), file.name.size() + 1);
    p += kCfFileSize + file.name.size() + 1;
  }

  const std::string cabinetName = ccab.szCabPath + ccab.szCab;
  std::int32_t error = 0;
  const CabHandle cabinet =
      cb.Open(cabinetName.c_str(), kCabOpenReadWrite | kCabOpenCreate | kCabOpenTruncate | kCabOpenBinary,
              kCabPermissionRead | kCabPermissionWrite, error);
  if (cabinet == kCabInvalidHandle) return Fail(FCIERR_CAB_FILE, error);
  bool ok = WriteAll(cabinet, head.data(), head.size(), FCIERR_CAB_FILE);
  if (ok && cb.Seek(temp, 0, kCabSeekSet, error) != 0) ok = Fail(FCIERR_TEMP_FILE, error);
  std::uint64_t left = tempSize;
  while (ok && left > 0) {
    const std::uint32_t chunk =
        left > kMaxBlockUncompressed ? kMaxBlockUncompressed : static_cast<std::uint32_t>(left);
    const std::int32_t got = cb.Read(temp, input.get(), chunk, error);
    if (got <= 0 || static_cast<std::uint32_t>(got) > chunk) {
      ok = Fail(FCIERR_TEMP_FILE, error);
      break;
    }
    ok = WriteAll(cabinet, input.get(), static_cast<std::uint32_t>(got), FCIERR_CAB_FILE);
    left -= static_cast<std::uint32_t>(got);
  }
  std::int32_t closeError = 0;
  if (cb.Close(cabinet, closeError) != 0 && ok) ok = Fail(FCIERR_CAB_FILE, closeError);
  if (!ok) return false;

  if (cb.Seek(temp, 0, kCabSeekSet, error) != 0) return Fail(FCIERR_TEMP_FILE, error);
  tempSize = 0;
  folders.clear();
  files.clear();
  return true;
}

bool CabinetCompressor::Impl::Release() {
  if (released) return true;
  released = true;
  bool ok = true;
  if (temp != kCabInvalidHandle) {
    std::int32_t error = 0;
    ok = cb.Close(temp, error) == 0;
    temp = kCabInvalidHandle;
    ok = cb.Delete(tempName, error) == 0 && ok;
  }
  if (zsReady) {
    deflateEnd(&zs);
    zsReady = false;
  }
  return ok;
}

CabinetCompressor::CabinetCompressor(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

CabinetCompressor::~CabinetCompressor() = default;

std::unique_ptr<CabinetCompressor> CabinetCompressor::Create(CabinetErf& erf,
                                                             FciCallbacks& callbacks,
                                                             const CabinetCcab& ccab) {
  erf = CabinetErf{};
  try {
    auto impl = std::make_unique<Impl>(erf, callbacks, ccab);
    if (!impl->Init()) return nullptr;
    return std::unique_ptr<CabinetCompressor>(new CabinetCompressor(std::move(impl)));
  } catch (const std::bad_alloc&) {
    erf.erfOper = FCIERR_ALLOC_FAIL;
    erf.erfType = 0;
    erf.fError = true;
    return nullptr;
  }
}

bool CabinetCompressor::AddFile(const char* sourceName, const char* nameInCabinet, bool execute,
                                std::uint16_t typeCompress) {
  if (m_impl->broken || m_impl->released) return false;
  try {
    return m_impl->AddFile(sourceName, nameInCabinet, execute, typeCompress);
  } catch (const std::bad_alloc&) {
    return m_impl->Fail(FCIERR_ALLOC_FAIL);
  }
}

bool CabinetCompressor::FlushFolder() {
  if (m_impl->broken || m_impl->released) return false;
  return m_impl->FlushFolder();
}

bool CabinetCompressor::FlushCabinet(bool /*getNextCabinet*/) {
  if (m_impl->broken || m_impl->released) return false;
  try {
    return m_impl->FlushCabinet();
  } catch (const std::bad_alloc&) {
    return m_impl->Fail(FCIERR_ALLOC_FAIL);
  }
}

bool CabinetCompressor::Destroy() { return m_impl->Release(); }
