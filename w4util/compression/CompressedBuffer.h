// A block of bytes held compressed, with what restoring it needs. The whole
// object is one byte sequence, the state: the compressed data followed by a
// 13-byte footer (big-endian, unlike the rest of the library's formats):
//
//   +0  1  format (CompressionFormatEnum)
//   +1  4  compression level, signed
//   +5  4  original size, signed, never negative
//   +9  4  "COM5"
//
// Older releases wrote a 12-byte footer (level, size, "COM4"; zlib data) and
// an 8-byte one (size, "COMP"; zlib data); both are read and rewritten as the
// current footer on load. The state always ends in a footer that agrees with
// the original size, level and format the object answers.
//
// Subclasses supply the compressor of their native format. Objects are not
// thread-safe; distinct objects may be used on distinct threads.
#pragma once

#include <cstdint>
#include <memory>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"

class W4UTIL_EXPORT CompressedBuffer {
 public:
  enum CompressionFormatEnum : std::int32_t {
    CompressionFormatZlib = 1,
    CompressionFormatCabinet = 2,
  };

  static constexpr unsigned char m_skrchSignatureBytes[4] = {'C', 'O', 'M', '5'};
  static constexpr unsigned char m_skrchSignatureBytes40[4] = {'C', 'O', 'M', '4'};
  static constexpr unsigned char m_skrchSignatureBytes37[4] = {'C', 'O', 'M', 'P'};

  virtual ~CompressedBuffer();
  // A new copy owned by the caller.
  virtual std::unique_ptr<CompressedBuffer> Clone() const = 0;
  virtual void Dump() const {}

  void Store(const ByteBuffer& data);
  // Replaces the state; on failure the object keeps its former content.
  void Store(unsigned char* const data, std::uint32_t size);
  // Throws the compressor's exceptions, ExceptionCompression when the data do
  // not restore to exactly the original size.
  void GetOriginalData(ByteBuffer& out) const;

  std::uint32_t GetOriginalDataSize() const { return static_cast<std::uint32_t>(m_originalSize); }
  ByteBuffer GetCompressedBufferState() const { return m_state; }
  std::uint32_t GetCompressedBufferStateSize() const {
    return static_cast<std::uint32_t>(m_state.size());
  }
  std::uint32_t GetCompressedBufferStateDword() const { return GetCompressedBufferStateSize(); }
  // Valid until the next change of the object.
  const unsigned char* GetCompressedBufferStateLpbyte() const { return m_state.data(); }
  std::int32_t GetCompressionLevel() const { return m_compressionLevel; }
  CompressionFormatEnum GetCompressionFormat() const { return m_format; }

  // What a footer says. Returns false (or throws
  // ExceptionMissingOrBadCompressedBufferFooter when `throwOnFailure`) for a
  // missing signature or a negative size. The 8-byte layout reports format 1.
  struct FooterInfo {
    std::int32_t originalSize = 0;
    std::int32_t level = -1;
    std::int32_t format = CompressionFormatZlib;
    std::uint32_t footerSize = 0;
  };
  static bool ReadFooter(const ByteBuffer& state, FooterInfo& info, bool throwOnFailure);
  static void AppendFooter(ByteBuffer& out, std::int32_t size, std::int32_t level,
                           std::int32_t format);

 protected:
  CompressedBuffer(CompressionFormatEnum format, std::int32_t level);
  CompressedBuffer(const CompressedBuffer& other) = default;
  CompressedBuffer& operator=(const CompressedBuffer& other);

  virtual void CompressData(unsigned char* const data, std::uint32_t size, ByteBuffer& out,
                            std::int32_t level) const = 0;
  virtual void UncompressData(const ByteBuffer& compressed, std::int32_t originalSize,
                              ByteBuffer& out) const = 0;
  // Rewrites `data` into the native format. `originalSize` comes in as the
  // footer says and leaves as the size the converted data restore to.
  virtual bool ConvertCompressedDataToNativeFormat(CompressionFormatEnum format,
                                                   std::int32_t level, std::int32_t& originalSize,
                                                   ByteBuffer& data,
                                                   bool throwOnFailure) const = 0;

  void GetCompressedData(ByteBuffer& out) const;
  // Loads a persisted state; throws on a bad footer or data that cannot be
  // converted, leaving the object as it was.
  void InitializeWithCompressedBufferState(const ByteBuffer& state);
  // The same without throwing for a bad footer or format: returns false.
  bool TryToInitializeWithCompressedBufferState(const ByteBuffer& state);

  static constexpr std::uint32_t GetSizeOfFooterInfo() { return 13; }
  static constexpr std::uint32_t GetSizeOf40FooterInfo() { return 12; }
  static constexpr std::uint32_t GetSizeOf37FooterInfo() { return 8; }

 private:
  bool Load(const ByteBuffer& state, bool throwOnFailure);

  ByteBuffer m_state;
  std::int32_t m_originalSize = 0;
  std::int32_t m_compressionLevel;
  CompressionFormatEnum m_format;
};
