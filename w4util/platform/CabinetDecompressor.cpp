#include "w4util/platform/CabinetDecompressor.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "w4util/platform/internal/CabinetFormat.h"
#include "w4util/platform/internal/CabinetZlib.h"

using namespace w4util_platform_internal;

namespace {

// Decoded output lives in one buffer: up to 32 KiB of history, then the
// block being decoded, so the dictionary and the output are contiguous.
constexpr std::uint32_t kHistoryBufferSize = kMszipHistory + kMaxBlockUncompressed;
constexpr std::uint32_t kBlockBufferSize = kMaxDataReserve + kMaxBlockCompressed;
constexpr std::uint32_t kMinFileEntry = kCfFileSize + 2;  // fields, one-byte name, NUL

struct Folder {
  std::uint32_t dataOffset = 0;
  std::uint16_t blocks = 0;
  std::uint16_t type = 0;
  std::uint64_t uncompressed = 0;  // sum of the blocks' declared sizes
};

struct Header {
  std::uint32_t cabinetSize = 0;
  std::uint32_t filesOffset = 0;
  std::uint16_t folderCount = 0;
  std::uint16_t fileCount = 0;
  std::uint16_t flags = 0;
  std::uint16_t setId = 0;
  std::uint16_t cabinetIndex = 0;
  std::uint32_t headerReserve = 0;
  std::uint32_t folderReserve = 0;
  std::uint32_t dataReserve = 0;
  std::string prevCabinet, prevDisk, nextCabinet, nextDisk;
  std::uint64_t foldersOffset = 0;  // where the folder table starts
};

}  // namespace

struct CabinetDecompressor::Impl {
  Impl(CabinetErf& erf, CabinetSystem& system) : erf(erf), sys(system) {}
  ~Impl() { Release(); }

  bool Fail(std::int32_t code, std::int32_t type = 0) {
    erf.erfOper = code;
    erf.erfType = type;
    erf.fError = true;
    current = -1;
    return false;
  }

  bool Init();
  bool Release();
  bool ReadAt(CabHandle handle, std::uint64_t offset, void* buffer, std::uint32_t size);
  bool ReadName(CabHandle handle, std::uint64_t& offset, std::string& name);
  bool ReadHeader(CabHandle handle, Header& header);
  bool ReadTables(CabHandle handle, const Header& header);
  bool Extract(CabHandle handle, const Header& header, const char* cabinetPath,
               const FdiNotify& notify);
  bool StartFolder(std::uint16_t index);
  bool DecodeBlock(CabHandle handle, const Header& header);
  bool Deliver(CabHandle handle, const Header& header, std::uint64_t count, CabHandle out);
  bool Copy(const char* cabinetName, const char* cabinetPath, const FdiNotify& notify);

  CabinetErf& erf;
  CabinetSystem& sys;
  unsigned char* history = nullptr;
  unsigned char* block = nullptr;
  z_stream zs{};
  bool zsReady = false;
  bool released = false;

  std::uint64_t limit = 0;  // bytes of the cabinet that may be read
  std::vector<Folder> folders;
  std::vector<CfFileEntry> files;
  std::vector<std::uint32_t> order;  // extraction order: continued files, then by folder and offset

  // Decoder position: folder `current`, next block `nextBlock` at
  // `blockOffset`; history[blockStart, blockStart + blockSize) holds the
  // current block, of which `consumed` bytes were handed out; `position` is
  // the folder offset of the next byte handed out.
  std::int32_t current = -1;
  std::uint32_t nextBlock = 0;
  std::uint64_t blockOffset = 0;
  std::uint32_t historySize = 0;
  std::uint32_t blockStart = 0;
  std::uint32_t blockSize = 0;
  std::uint32_t consumed = 0;
  std::uint64_t position = 0;
};

bool CabinetDecompressor::Impl::Init() {
  history = static_cast<unsigned char*>(sys.Alloc(kHistoryBufferSize));
  block = static_cast<unsigned char*>(sys.Alloc(kBlockBufferSize));
  if (history == nullptr || block == nullptr) return Fail(FDIERROR_ALLOC_FAIL);
  zs.zalloc = ZAlloc;
  zs.zfree = ZFree;
  zs.opaque = &sys;
  const int rc = inflateInit2(&zs, -15);
  if (rc != Z_OK) return Fail(FDIERROR_ALLOC_FAIL);
  zsReady = true;
  return true;
}

bool CabinetDecompressor::Impl::Release() {
  if (released) return true;
  released = true;
  if (zsReady) inflateEnd(&zs);
  zsReady = false;
  sys.Free(history);
  sys.Free(block);
  history = block = nullptr;
  return true;
}

// Reads exactly `size` bytes at `offset` inside the cabinet's bounds.
bool CabinetDecompressor::Impl::ReadAt(CabHandle handle, std::uint64_t offset, void* buffer,
                                       std::uint32_t size) {
  if (offset > limit || size > limit - offset) return Fail(FDIERROR_CORRUPT_CABINET);
  std::int32_t error = 0;
  if (sys.Seek(handle, static_cast<std::int32_t>(offset), kCabSeekSet, error) !=
      static_cast<std::int32_t>(offset)) {
    return Fail(FDIERROR_CORRUPT_CABINET, error);
  }
  auto* out = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    const std::int32_t got = sys.Read(handle, out, size, error);
    if (got <= 0 || static_cast<std::uint32_t>(got) > size) {
      return Fail(FDIERROR_CORRUPT_CABINET, got < 0 ? error : 0);
    }
    out += got;
    size -= static_cast<std::uint32_t>(got);
  }
  return true;
}

// A terminated name of at most 255 bytes; advances `offset` past it.
bool CabinetDecompressor::Impl::ReadName(CabHandle handle, std::uint64_t& offset,
                                         std::string& name) {
  if (offset >= limit) return Fail(FDIERROR_CORRUPT_CABINET);
  std::uint64_t available = limit - offset;
  const auto size = static_cast<std::uint32_t>(available < kCabMaxName ? available : kCabMaxName);
  char buffer[kCabMaxName];
  if (!ReadAt(handle, offset, buffer, size)) return false;
  const void* end = std::memchr(buffer, '\0', size);
  if (end == nullptr) return Fail(FDIERROR_CORRUPT_CABINET);
  const auto length = static_cast<std::size_t>(static_cast<const char*>(end) - buffer);
  name.assign(buffer, length);
  offset += length + 1;
  return true;
}

bool CabinetDecompressor::Impl::ReadHeader(CabHandle handle, Header& header) {
  std::int32_t error = 0;
  const std::int32_t end = sys.Seek(handle, 0, kCabSeekEnd, error);
  if (end < 0) return Fail(FDIERROR_NOT_A_CABINET, error);
  limit = static_cast<std::uint64_t>(end);
  unsigned char h[kCfHeaderSize];
  if (limit < 4) return Fail(FDIERROR_NOT_A_CABINET);
  if (!ReadAt(handle, 0, h, 4)) return Fail(FDIERROR_NOT_A_CABINET, erf.erfType);
  if (std::memcmp(h, kCabSignature, 4) != 0) return Fail(FDIERROR_NOT_A_CABINET);
  if (!ReadAt(handle, 0, h, kCfHeaderSize)) return false;
  if (h[25] != kVersionMajor) return Fail(FDIERROR_UNKNOWN_CABINET_VERSION);
  header.cabinetSize = LoadLe32(h + 8);
  header.filesOffset = LoadLe32(h + 16);
  header.folderCount = LoadLe16(h + 26);
  header.fileCount = LoadLe16(h + 28);
  header.flags = LoadLe16(h + 30);
  header.setId = LoadLe16(h + 32);
  header.cabinetIndex = LoadLe16(h + 34);
  // Whatever follows the cabinet (a footer, say) is not ours to read.
  if (header.cabinetSize < kCfHeaderSize || header.cabinetSize > limit) {
    return Fail(FDIERROR_CORRUPT_CABINET);
  }
  limit = header.cabinetSize;
  std::uint64_t offset = kCfHeaderSize;
  if ((header.flags & kFlagReservePresent) != 0) {
    unsigned char r[kCfHeaderReserveFieldsSize];
    if (!ReadAt(handle, offset, r, sizeof r)) return false;
    header.headerReserve = LoadLe16(r);
    header.folderReserve = r[2];
    header.dataReserve = r[3];
    if (header.headerReserve > kMaxHeaderReserve) return Fail(FDIERROR_CORRUPT_CABINET);
    offset += sizeof r + header.headerReserve;
    if (offset > limit) return Fail(FDIERROR_CORRUPT_CABINET);
  }
  if ((header.flags & kFlagPrevCabinet) != 0) {
    if (!ReadName(handle, offset, header.prevCabinet) || !ReadName(handle, offset, header.prevDisk)) {
      return false;
    }
  }
  if ((header.flags & kFlagNextCabinet) != 0) {
    if (!ReadName(handle, offset, header.nextCabinet) || !ReadName(handle, offset, header.nextDisk)) {
      return false;
    }
  }
  header.foldersOffset = offset;
  return true;
}

bool CabinetDecompressor::Impl::ReadTables(CabHandle handle, const Header& header) {
  folders.clear();
  files.clear();
  // Counts are checked against the bytes they need before any table grows.
  const std::uint64_t folderEntry = kCfFolderSize + header.folderReserve;
  if (header.foldersOffset + header.folderCount * folderEntry > limit ||
      static_cast<std::uint64_t>(header.filesOffset) + header.fileCount * std::uint64_t{kMinFileEntry} >
          limit) {
    return Fail(FDIERROR_CORRUPT_CABINET);
  }
  folders.resize(header.folderCount);
  std::uint64_t offset = header.foldersOffset;
  for (Folder& folder : folders) {
    unsigned char f[kCfFolderSize];
    if (!ReadAt(handle, offset, f, sizeof f)) return false;
    offset += folderEntry;
    folder.dataOffset = LoadLe32(f);
    folder.blocks = LoadLe16(f + 4);
    folder.type = LoadLe16(f + 6);
  }
  // Folders own disjoint runs of blocks, so all blocks together must fit the
  // cabinet; this bounds the scan below, and the disjointness check after it
  // keeps two folders from restoring the same blocks twice.
  std::uint64_t blockBytes = 0;
  for (const Folder& folder : folders) {
    blockBytes += folder.blocks * std::uint64_t{kCfDataSize + header.dataReserve + sizeof kMszipSignature};
  }
  if (blockBytes > limit) return Fail(FDIERROR_CORRUPT_CABINET);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> runs;
  for (Folder& folder : folders) {
    const std::uint16_t type = folder.type & tcompMASK_TYPE;
    if (type != tcompTYPE_NONE && type != tcompTYPE_MSZIP) return Fail(FDIERROR_BAD_COMPR_TYPE);
    std::uint64_t at = folder.dataOffset;
    for (std::uint32_t i = 0; i < folder.blocks; ++i) {
      unsigned char d[kCfDataSize];
      if (!ReadAt(handle, at, d, sizeof d)) return false;
      const std::uint16_t packed = LoadLe16(d + 4);
      const std::uint16_t unpacked = LoadLe16(d + 6);
      if (unpacked > kMaxBlockUncompressed || packed > kMaxBlockCompressed ||
          (type == tcompTYPE_NONE && packed != unpacked) ||
          (type == tcompTYPE_MSZIP && packed < sizeof kMszipSignature)) {
        return Fail(FDIERROR_CORRUPT_CABINET);
      }
      at += kCfDataSize + header.dataReserve + packed;
      if (at > limit) return Fail(FDIERROR_CORRUPT_CABINET);
      folder.uncompressed += unpacked;
    }
    if (folder.blocks != 0) runs.emplace_back(folder.dataOffset, at);
  }
  std::sort(runs.begin(), runs.end());
  for (std::size_t i = 1; i < runs.size(); ++i) {
    if (runs[i].first < runs[i - 1].second) return Fail(FDIERROR_CORRUPT_CABINET);
  }
  files.resize(header.fileCount);
  offset = header.filesOffset;
  for (CfFileEntry& file : files) {
    unsigned char e[kCfFileSize];
    if (!ReadAt(handle, offset, e, sizeof e)) return false;
    offset += kCfFileSize;
    file.size = LoadLe32(e);
    file.offset = LoadLe32(e + 4);
    file.folder = LoadLe16(e + 8);
    file.date = LoadLe16(e + 10);
    file.time = LoadLe16(e + 12);
    file.attributes = LoadLe16(e + 14);
    if (!ReadName(handle, offset, file.name)) return false;
    if (file.name.empty()) return Fail(FDIERROR_CORRUPT_CABINET);
    if (file.folder >= kFolderContinuedFromPrev) continue;
    if (file.folder >= folders.size() ||
        std::uint64_t{file.offset} + file.size > folders[file.folder].uncompressed) {
      return Fail(FDIERROR_CORRUPT_CABINET);
    }
  }
  // Each folder is decoded once, front to back: files are taken in folder
  // order and may not overlap, so no input makes the decoder start a folder
  // again or restore the same bytes twice.
  order.clear();
  order.reserve(files.size());
  for (std::uint32_t i = 0; i < files.size(); ++i) {
    if (files[i].folder >= kFolderContinuedFromPrev) order.push_back(i);
  }
  const std::size_t continued = order.size();
  for (std::uint32_t i = 0; i < files.size(); ++i) {
    if (files[i].folder < kFolderContinuedFromPrev) order.push_back(i);
  }
  std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(continued), order.end(),
                   [this](std::uint32_t a, std::uint32_t b) {
                     const CfFileEntry& x = files[a];
                     const CfFileEntry& y = files[b];
                     return x.folder != y.folder ? x.folder < y.folder : x.offset < y.offset;
                   });
  std::uint32_t folder = kFolderContinuedFromPrev;
  std::uint64_t end = 0;  // where the data of the folder's files so far ends
  for (std::size_t i = continued; i < order.size(); ++i) {
    const CfFileEntry& file = files[order[i]];
    if (file.folder != folder) {
      folder = file.folder;
      end = 0;
    }
    if (file.size == 0) continue;  // needs no data, wherever it points
    if (file.offset < end) return Fail(FDIERROR_CORRUPT_CABINET);
    end = std::uint64_t{file.offset} + file.size;
  }
  return true;
}

bool CabinetDecompressor::Impl::StartFolder(std::uint16_t index) {
  const Folder& folder = folders[index];
  current = index;
  nextBlock = 0;
  blockOffset = folder.dataOffset;
  historySize = blockStart = blockSize = consumed = 0;
  position = 0;
  return true;
}

bool CabinetDecompressor::Impl::DecodeBlock(CabHandle handle, const Header& header) {
  const Folder& folder = folders[static_cast<std::size_t>(current)];
  if (nextBlock >= folder.blocks) return Fail(FDIERROR_CORRUPT_CABINET);
  unsigned char d[kCfDataSize];
  if (!ReadAt(handle, blockOffset, d, sizeof d)) return false;
  const std::uint32_t checksum = LoadLe32(d);
  const std::uint16_t packed = LoadLe16(d + 4);
  const std::uint16_t unpacked = LoadLe16(d + 6);
  const std::uint16_t type = folder.type & tcompMASK_TYPE;
  if (unpacked > kMaxBlockUncompressed || packed > kMaxBlockCompressed ||
      (type == tcompTYPE_NONE && packed != unpacked) ||
      (type == tcompTYPE_MSZIP && packed < sizeof kMszipSignature)) {
    return Fail(FDIERROR_CORRUPT_CABINET);
  }
  const std::uint32_t payload = header.dataReserve + packed;
  if (!ReadAt(handle, blockOffset + kCfDataSize, block, payload)) return false;
  const unsigned char* data = block + header.dataReserve;
  if (checksum != 0 &&
      CabDataBlockChecksum(d, block, header.dataReserve, data, packed) != checksum) {
    return Fail(FDIERROR_CORRUPT_CABINET);
  }

  if (historySize > kMszipHistory) {
    std::memmove(history, history + historySize - kMszipHistory, kMszipHistory);
    historySize = kMszipHistory;
  }
  unsigned char* out = history + historySize;
  if (type == tcompTYPE_NONE) {
    std::memcpy(out, data, packed);
  } else {
    if (data[0] != kMszipSignature[0] || data[1] != kMszipSignature[1]) {
      return Fail(FDIERROR_MDI_FAIL);
    }
    if (inflateReset(&zs) != Z_OK) return Fail(FDIERROR_MDI_FAIL);
    if (historySize != 0 && inflateSetDictionary(&zs, history, historySize) != Z_OK) {
      return Fail(FDIERROR_MDI_FAIL);
    }
    zs.next_in = const_cast<Bytef*>(data + 2);
    zs.avail_in = packed - 2u;
    zs.next_out = out;
    zs.avail_out = unpacked;
    int rc = inflate(&zs, Z_SYNC_FLUSH);
    if (rc == Z_MEM_ERROR) return Fail(FDIERROR_ALLOC_FAIL);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return Fail(FDIERROR_MDI_FAIL);
    if (zs.avail_out != 0) return Fail(FDIERROR_CORRUPT_CABINET);  // fewer bytes than declared
    if (rc != Z_STREAM_END) {
      // Exactly full: the stream must not have anything more to give.
      unsigned char probe = 0;
      zs.next_out = &probe;
      zs.avail_out = 1;
      rc = inflate(&zs, Z_SYNC_FLUSH);
      if (zs.avail_out == 0) return Fail(FDIERROR_CORRUPT_CABINET);
      if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR) {
        return Fail(FDIERROR_MDI_FAIL);
      }
      if (rc == Z_MEM_ERROR) return Fail(FDIERROR_ALLOC_FAIL);
    }
  }
  blockStart = historySize;
  blockSize = unpacked;
  consumed = 0;
  historySize += unpacked;
  ++nextBlock;
  blockOffset += kCfDataSize + payload;
  return true;
}

// Hands the next `count` bytes of the folder to `out`, or drops them when
// `out` is the invalid handle.
bool CabinetDecompressor::Impl::Deliver(CabHandle handle, const Header& header,
                                        std::uint64_t count, CabHandle out) {
  while (count > 0) {
    if (consumed == blockSize) {
      if (!DecodeBlock(handle, header)) return false;
      continue;  // a block may declare 0 bytes; the next one still advances
    }
    std::uint32_t take = blockSize - consumed;
    if (take > count) take = static_cast<std::uint32_t>(count);
    if (out != kCabInvalidHandle) {
      std::int32_t error = 0;
      if (sys.Write(out, history + blockStart + consumed, take, error) !=
          static_cast<std::int32_t>(take)) {
        return Fail(FDIERROR_TARGET_FILE, error);
      }
    }
    consumed += take;
    position += take;
    count -= take;
  }
  return true;
}

bool CabinetDecompressor::Impl::Extract(CabHandle handle, const Header& header,
                                        const char* cabinetPath, const FdiNotify& notify) {
  FdiNotification info;
  info.psz1 = header.nextCabinet.c_str();
  info.psz2 = header.nextDisk.c_str();
  info.psz3 = cabinetPath;
  info.setID = header.setId;
  info.iCabinet = header.cabinetIndex;
  if (notify(fdintCABINET_INFO, info) == -1) return Fail(FDIERROR_USER_ABORT);

  for (const std::uint32_t index : order) {
    const CfFileEntry& file = files[index];
    FdiNotification n;
    n.psz1 = file.name.c_str();
    n.cb = static_cast<std::int32_t>(file.size);
    n.date = file.date;
    n.time = file.time;
    n.attribs = file.attributes;
    n.setID = header.setId;
    n.iCabinet = header.cabinetIndex;
    n.iFolder = file.folder;
    if (file.folder == kFolderContinuedFromPrev || file.folder == kFolderContinuedPrevAndNext) {
      n.psz2 = header.prevCabinet.c_str();
      n.psz3 = header.prevDisk.c_str();
      if (notify(fdintPARTIAL_FILE, n) == -1) return Fail(FDIERROR_USER_ABORT);
      continue;
    }
    if (file.folder == kFolderContinuedToNext) {
      // Its tail lies in the next cabinet, which this engine does not follow.
      FdiNotification next;
      next.psz1 = header.nextCabinet.c_str();
      next.psz2 = header.nextDisk.c_str();
      next.psz3 = cabinetPath;
      next.fdie = FDIERROR_NONE;
      if (notify(fdintNEXT_CABINET, next) == -1) return Fail(FDIERROR_USER_ABORT);
      return Fail(FDIERROR_CABINET_NOT_FOUND);
    }
    const CabHandle out = notify(fdintCOPY_FILE, n);
    if (out == -1) return Fail(FDIERROR_USER_ABORT);
    if (out == 0) continue;
    bool ok = true;
    if (file.size != 0) {
      if (current != file.folder || position > file.offset) StartFolder(file.folder);
      ok = Deliver(handle, header, file.offset - position, kCabInvalidHandle) &&
           Deliver(handle, header, file.size, out);
    }
    if (!ok) {
      std::int32_t error = 0;
      sys.Close(out, error);
      return false;
    }
    FdiNotification close = n;
    close.hf = out;
    close.attribs = static_cast<std::uint16_t>(file.attributes & ~kCabAttribExecute);
    close.cb = (file.attributes & kCabAttribExecute) != 0 ? 1 : 0;
    if (notify(fdintCLOSE_FILE_INFO, close) == 0) return Fail(FDIERROR_USER_ABORT);
  }
  return true;
}

bool CabinetDecompressor::Impl::Copy(const char* cabinetName, const char* cabinetPath,
                                     const FdiNotify& notify) {
  erf = CabinetErf{};
  current = -1;
  const std::string path = cabinetPath != nullptr ? cabinetPath : "";
  const std::string full = path + (cabinetName != nullptr ? cabinetName : "");
  std::int32_t error = 0;
  const CabHandle handle = sys.Open(full.c_str(), kCabOpenBinary | kCabOpenReadOnly, 0, error);
  if (handle == kCabInvalidHandle) return Fail(FDIERROR_CABINET_NOT_FOUND, error);
  Header header;
  bool ok = false;
  try {
    ok = ReadHeader(handle, header) && ReadTables(handle, header) &&
         Extract(handle, header, path.c_str(), notify);
  } catch (const std::bad_alloc&) {
    ok = Fail(FDIERROR_ALLOC_FAIL);
  }
  sys.Close(handle, error);
  folders.clear();
  files.clear();
  order.clear();
  current = -1;
  return ok;
}

CabinetDecompressor::CabinetDecompressor(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

CabinetDecompressor::~CabinetDecompressor() = default;

std::unique_ptr<CabinetDecompressor> CabinetDecompressor::Create(CabinetErf& erf,
                                                                 CabinetSystem& system) {
  erf = CabinetErf{};
  try {
    auto impl = std::make_unique<Impl>(erf, system);
    if (!impl->Init()) return nullptr;
    return std::unique_ptr<CabinetDecompressor>(new CabinetDecompressor(std::move(impl)));
  } catch (const std::bad_alloc&) {
    erf.erfOper = FDIERROR_ALLOC_FAIL;
    erf.erfType = 0;
    erf.fError = true;
    return nullptr;
  }
}

bool CabinetDecompressor::IsCabinet(CabHandle handle, FdiCabinetInfo& info) {
  if (m_impl->released) return false;
  m_impl->erf = CabinetErf{};
  Header header;
  try {
    if (!m_impl->ReadHeader(handle, header)) return false;
  } catch (const std::bad_alloc&) {
    return m_impl->Fail(FDIERROR_ALLOC_FAIL);
  }
  info.cbCabinet = static_cast<std::int32_t>(header.cabinetSize);
  info.cFolders = header.folderCount;
  info.cFiles = header.fileCount;
  info.setID = header.setId;
  info.iCabinet = header.cabinetIndex;
  info.fReserve = (header.flags & kFlagReservePresent) != 0;
  info.hasprev = (header.flags & kFlagPrevCabinet) != 0;
  info.hasnext = (header.flags & kFlagNextCabinet) != 0;
  return true;
}

bool CabinetDecompressor::Copy(const char* cabinetName, const char* cabinetPath,
                               std::int32_t /*flags*/, const FdiNotify& notify) {
  if (m_impl->released) return false;
  return m_impl->Copy(cabinetName, cabinetPath, notify);
}

bool CabinetDecompressor::Destroy() { return m_impl->Release(); }
