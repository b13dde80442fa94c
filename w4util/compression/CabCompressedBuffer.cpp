#include "w4util/compression/CabCompressedBuffer.h"

#include <algorithm>

#include "w4util/compression/CabBufferAsFile.h"
#include "w4util/compression/CabContext.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/Endian.h"

namespace {

// The fixed names of the two pseudo-files; the process-wide lock keeps two
// runs from using them at once.
constexpr char16_t kUncompressedName[] = u"//Uncompressed-Data//";
constexpr char kCompressedName[] = "//Compressed-Data//";

// One MSZIP block holds at most this many bytes of original data.
constexpr std::int32_t kMaxConvertibleSize = 32767;

// Cabinet around one legacy zlib stream, all little-endian:
//   0 "MSCF" | 4 0 | 8 total size | 12 0 | 16 first file entry (44) | 20 0
//  24 minor 3 | 25 major 1 | 26 folders 1 | 28 files 1 | 30 flags 0 | 32 set 0
//  34 index 0 | 36 folder: first block (83) | 40 blocks 1 | 42 type 1 (MSZIP)
//  44 file: size | 48 offset 0 | 52 folder 0 | 54 date | 56 time | 58 attribs 0
//  60 name, NUL and one byte of padding (23 bytes)
//  83 block: checksum 0 | 87 compressed size | 89 original size | 91 "CK" deflate
constexpr std::uint32_t kWrapHeaderSize = 91;
constexpr std::uint32_t kWrapFirstFile = 44;
constexpr std::uint32_t kWrapFirstBlock = 83;
constexpr std::uint16_t kWrapDate = 8812;   // 12 March 1997
constexpr std::uint16_t kWrapTime = 22970;  // 11:13:52

// First file entry's size from a cabinet header, or `fallback` when the
// header is too short to say.
std::uint32_t DeclaredFileSize(const ByteBuffer& cabinet, std::uint32_t fallback) {
  if (cabinet.size() < 36) return fallback;
  const std::uint32_t first = w4util::little_endian::Load32(cabinet.data() + 16);
  if (first > cabinet.size() || cabinet.size() - first < 4) return fallback;
  return w4util::little_endian::Load32(cabinet.data() + first);
}

}  // namespace

CriticalResource CabCompressedBuffer::m_scCabCompressedBufferResource(u"CabCompressedBuffer");

CabCompressedBuffer::CabCompressedBuffer() : CompressedBuffer(CompressionFormatCabinet, -1) {}
CabCompressedBuffer::CabCompressedBuffer(const CabCompressedBuffer& other) = default;
CabCompressedBuffer& CabCompressedBuffer::operator=(const CabCompressedBuffer& other) {
  CompressedBuffer::operator=(other);
  return *this;
}
CabCompressedBuffer::~CabCompressedBuffer() = default;

CabCompressedBuffer::CabCompressedBuffer(const ByteBuffer& state) : CabCompressedBuffer() {
  InitializeWithCompressedBufferState(state);
}

CabCompressedBuffer::CabCompressedBuffer(const ByteBuffer& state, bool& ok)
    : CabCompressedBuffer() {
  ok = TryToInitializeWithCompressedBufferState(state);
}

std::unique_ptr<CompressedBuffer> CabCompressedBuffer::Clone() const {
  return std::make_unique<CabCompressedBuffer>(*this);
}

std::unique_ptr<CabCompressedBuffer> CabCompressedBuffer::CreateWithBufferState(
    const ByteBuffer& state) {
  return std::unique_ptr<CabCompressedBuffer>(new CabCompressedBuffer(state));
}

std::unique_ptr<CabCompressedBuffer> CabCompressedBuffer::CreateWithUncompressedData(
    const ByteBuffer& data, std::int32_t level) {
  auto buffer = std::make_unique<CabCompressedBuffer>();
  // The level only travels in the footer.
  if (level != -1) {
    ByteBuffer state;
    AppendFooter(state, 0, level, CompressionFormatCabinet);
    buffer->InitializeWithCompressedBufferState(state);
  }
  buffer->Store(data);
  return buffer;
}

std::unique_ptr<CabCompressedBuffer> CabCompressedBuffer::CreateWithCompressedData(
    const ByteBuffer& cabinet) {
  ByteBuffer plain;
  UncompressBuffer(cabinet, plain);
  return CreateWithUncompressedData(plain, -1);
}

bool CabCompressedBuffer::TryToUncompressStateData(ByteBuffer& buffer) {
  try {
    bool ok = false;
    CabCompressedBuffer temporary(buffer, ok);
    if (!ok) return false;
    ByteBuffer restored;
    temporary.GetOriginalData(restored);
    buffer.swap(restored);
    return true;
  } catch (...) {
    return false;
  }
}

void CabCompressedBuffer::CompressBuffer(unsigned char* const data, std::uint32_t size,
                                         ByteBuffer& out, std::int32_t) {
  static unsigned char empty = 0;
  OwnedCriticalResource lock(m_scCabCompressedBufferResource);
  ByteBuffer cabinet;
  CabBufferAsFile input(CXString(kUncompressedName).GetAsMultiByte().data(),
                        data != nullptr ? data : &empty, size, size, nullptr);
  CabBufferAsFile output(CXString(kCompressedName), cabinet, nullptr);
  {
    CabCompressionContext context(input, output);
    context.CompressSourceFile();
  }
  output.TrimToLength();
  out.swap(cabinet);
}

void CabCompressedBuffer::Extract(const ByteBuffer& cabinet, std::uint32_t limit,
                                  ByteBuffer& out) {
  OwnedCriticalResource lock(m_scCabCompressedBufferResource);
  ByteBuffer restored;
  // Only a first guess: the header's size is as untrusted as the footer's,
  // so the reservation is also held to what a cabinet of this size could
  // plausibly give; the buffer grows with what actually comes out.
  const std::uint64_t plausible = std::uint64_t{cabinet.size()} * 8 + 65536;
  restored.reserve(static_cast<std::size_t>(
      std::min<std::uint64_t>({limit, DeclaredFileSize(cabinet, 0), plausible})));
  CabBufferAsFile input(kCompressedName, const_cast<unsigned char*>(cabinet.data()),
                        static_cast<std::uint32_t>(cabinet.size()),
                        static_cast<std::uint32_t>(cabinet.size()), nullptr);
  CabBufferAsFile output(CXString(kUncompressedName), restored, nullptr);
  output.SetGrowthLimit(limit);
  {
    CabDecompressionContext context(input, output);
    context.DecompressSourceFile();
  }
  output.TrimToLength();
  out.swap(restored);
}

void CabCompressedBuffer::UncompressBuffer(const ByteBuffer& cabinet, ByteBuffer& out) {
  Extract(cabinet, 0x7FFFFFFFu, out);
}

void CabCompressedBuffer::CompressData(unsigned char* const data, std::uint32_t size,
                                       ByteBuffer& out, std::int32_t level) const {
  CompressBuffer(data, size, out, level);
}

void CabCompressedBuffer::UncompressData(const ByteBuffer& compressed, std::int32_t originalSize,
                                         ByteBuffer& out) const {
  // The footer's size is no licence to allocate: the restore stops there.
  Extract(compressed, originalSize > 0 ? static_cast<std::uint32_t>(originalSize) : 0u, out);
}

void CabCompressedBuffer::MakeZlibDataLookLikeCabinetData(const ByteBuffer& zlibData,
                                                          std::int32_t originalSize,
                                                          ByteBuffer& out) {
  if (zlibData.size() < 2 || zlibData.size() > 65535 || originalSize < 0 ||
      originalSize >= 65536) {
    return;
  }
  const auto blockSize = static_cast<std::uint16_t>(zlibData.size());
  unsigned char header[kWrapHeaderSize] = {};
  using namespace w4util::little_endian;
  static constexpr unsigned char kSignature[4] = {'M', 'S', 'C', 'F'};
  std::memcpy(header, kSignature, sizeof kSignature);
  Store32(header + 8, kWrapHeaderSize + blockSize);
  Store32(header + 16, kWrapFirstFile);
  header[24] = 3;
  header[25] = 1;
  Store16(header + 26, 1);
  Store16(header + 28, 1);
  Store32(header + 36, kWrapFirstBlock);
  Store16(header + 40, 1);
  Store16(header + 42, 1);
  Store32(header + 44, static_cast<std::uint32_t>(originalSize));
  Store16(header + 54, kWrapDate);
  Store16(header + 56, kWrapTime);
  static_assert(sizeof kUncompressedName / sizeof(char16_t) == 22, "name, NUL");
  for (int i = 0; i < 21; ++i) header[60 + i] = static_cast<unsigned char>(kUncompressedName[i]);
  Store16(header + 87, blockSize);
  Store16(header + 89, static_cast<std::uint16_t>(originalSize));
  out.insert(out.end(), header, header + kWrapHeaderSize);
  out.push_back('C');
  out.push_back('K');
  out.insert(out.end(), zlibData.begin() + 2, zlibData.end());
}

bool CabCompressedBuffer::ConvertCompressedDataToNativeFormat(CompressionFormatEnum format,
                                                              std::int32_t level,
                                                              std::int32_t& originalSize,
                                                              ByteBuffer& data,
                                                              bool throwOnFailure) const {
  if (format == CompressionFormatCabinet) return true;
  ByteBuffer cabinet;
  if (format == CompressionFormatZlib && originalSize <= kMaxConvertibleSize) {
    MakeZlibDataLookLikeCabinetData(data, originalSize, cabinet);
  }
  if (cabinet.empty()) {
    if (throwOnFailure) {
      ZELVO_THROW_NO_MESSAGE(ExceptionIncompatibleCompressionFormat,
                             "CabCompressedBuffer::ConvertCompressedDataToNativeFormat");
    }
    return false;
  }
  ByteBuffer restored;
  Extract(cabinet, static_cast<std::uint32_t>(originalSize), restored);
  ByteBuffer converted;
  if (!restored.empty()) {
    CompressBuffer(restored.data(), static_cast<std::uint32_t>(restored.size()), converted, level);
  }
  data.swap(converted);
  originalSize = static_cast<std::int32_t>(restored.size());
  return true;
}
