// The compressed buffer whose native format is a cabinet image (one MSZIP
// folder holding one file named "//Uncompressed-Data//"), made and read in
// memory through the cabinet contexts. Zlib states of earlier releases are
// converted into cabinets on load.
//
// Every compression and decompression of the process, through any object or
// the static functions, runs under m_scCabCompressedBufferResource, one at a
// time. Objects themselves are not thread-safe.
#pragma once

#include <memory>

#include "w4util/Export.h"
#include "w4util/compression/CompressedBuffer.h"
#include "w4util/memory/CriticalResource.h"

class W4UTIL_EXPORT CabCompressedBuffer final : public CompressedBuffer {
 public:
  CabCompressedBuffer();
  CabCompressedBuffer(const CabCompressedBuffer& other);
  CabCompressedBuffer& operator=(const CabCompressedBuffer& other);
  ~CabCompressedBuffer() override;

  std::unique_ptr<CompressedBuffer> Clone() const override;

  // Throws as InitializeWithCompressedBufferState does.
  static std::unique_ptr<CabCompressedBuffer> CreateWithBufferState(const ByteBuffer& state);
  static std::unique_ptr<CabCompressedBuffer> CreateWithUncompressedData(const ByteBuffer& data,
                                                                         std::int32_t level);
  // `cabinet` is a bare cabinet image without footer.
  static std::unique_ptr<CabCompressedBuffer> CreateWithCompressedData(const ByteBuffer& cabinet);
  // On success `buffer` holds the restored data and the result is true; on
  // any failure false with `buffer` untouched.
  static bool TryToUncompressStateData(ByteBuffer& buffer);

  // Writes a cabinet image of `size` bytes into `out` (replacing it).
  static void CompressBuffer(unsigned char* const data, std::uint32_t size, ByteBuffer& out,
                             std::int32_t level);
  // Extracts the file of a cabinet image into `out` (replacing it on
  // success). Bytes after the cabinet's end are ignored.
  static void UncompressBuffer(const ByteBuffer& cabinet, ByteBuffer& out);

  using CompressedBuffer::GetCompressedData;

  // The legacy zlib stream as a one-block MSZIP cabinet: the zlib header
  // replaced by "CK". Appends nothing when the stream cannot be wrapped.
  static void MakeZlibDataLookLikeCabinetData(const ByteBuffer& zlibData,
                                              std::int32_t originalSize, ByteBuffer& out);

 protected:
  void CompressData(unsigned char* const data, std::uint32_t size, ByteBuffer& out,
                    std::int32_t level) const override;
  void UncompressData(const ByteBuffer& compressed, std::int32_t originalSize,
                      ByteBuffer& out) const override;
  bool ConvertCompressedDataToNativeFormat(CompressionFormatEnum format, std::int32_t level,
                                           std::int32_t& originalSize, ByteBuffer& data,
                                           bool throwOnFailure) const override;

 private:
  explicit CabCompressedBuffer(const ByteBuffer& state);
  CabCompressedBuffer(const ByteBuffer& state, bool& ok);

  // Extracts with a growth limit of `limit` bytes.
  static void Extract(const ByteBuffer& cabinet, std::uint32_t limit, ByteBuffer& out);

  static CriticalResource m_scCabCompressedBufferResource;
};
