#include "w4util/compression/CompressedBuffer.h"

#include <cstring>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/Endian.h"

namespace {

std::uint32_t LoadBe32(const unsigned char* p) { return w4util::big_endian::Load32(p); }

void AppendBe32(ByteBuffer& out, std::uint32_t v) {
  unsigned char bytes[4];
  w4util::big_endian::Store32(bytes, v);
  out.insert(out.end(), bytes, bytes + 4);
}

}  // namespace

CompressedBuffer::CompressedBuffer(CompressionFormatEnum format, std::int32_t level)
    : m_compressionLevel(level), m_format(format) {
  m_state.reserve(GetSizeOfFooterInfo());
  AppendFooter(m_state, 0, m_compressionLevel, m_format);
}

CompressedBuffer::~CompressedBuffer() = default;

CompressedBuffer& CompressedBuffer::operator=(const CompressedBuffer& other) {
  if (this != &other) {
    m_state = other.m_state;
    m_originalSize = other.m_originalSize;
    m_compressionLevel = other.m_compressionLevel;
    m_format = other.m_format;
  }
  return *this;
}

void CompressedBuffer::AppendFooter(ByteBuffer& out, std::int32_t size, std::int32_t level,
                                    std::int32_t format) {
  out.push_back(static_cast<unsigned char>(format));
  AppendBe32(out, static_cast<std::uint32_t>(level));
  AppendBe32(out, static_cast<std::uint32_t>(size));
  out.insert(out.end(), std::begin(m_skrchSignatureBytes), std::end(m_skrchSignatureBytes));
}

bool CompressedBuffer::ReadFooter(const ByteBuffer& state, FooterInfo& info, bool throwOnFailure) {
  const std::size_t n = state.size();
  const unsigned char* end = state.data() + n;
  bool ok = n >= GetSizeOf37FooterInfo();
  bool is50 = ok;
  bool is40 = ok;
  bool is37 = ok;
  for (int i = 1; ok && i <= 4; ++i) {
    const unsigned char c = end[-i];
    is50 = is50 && c == m_skrchSignatureBytes[4 - i];
    is40 = is40 && c == m_skrchSignatureBytes40[4 - i];
    is37 = is37 && c == m_skrchSignatureBytes37[4 - i];
    ok = is50 || is40 || is37;
  }
  FooterInfo found;
  if (ok) {
    found.originalSize = static_cast<std::int32_t>(LoadBe32(end - 8));
    if (is50 && n >= GetSizeOfFooterInfo()) {
      found.level = static_cast<std::int32_t>(LoadBe32(end - 12));
      found.format = end[-13];
      found.footerSize = GetSizeOfFooterInfo();
    } else if (is40 && n >= GetSizeOf40FooterInfo()) {
      found.level = static_cast<std::int32_t>(LoadBe32(end - 12));
      found.format = CompressionFormatZlib;
      found.footerSize = GetSizeOf40FooterInfo();
    } else {
      // The 8-byte layout was written only for zlib data.
      found.level = -1;
      found.format = CompressionFormatZlib;
      found.footerSize = GetSizeOf37FooterInfo();
    }
    // A negative size is no size at all.
    ok = found.originalSize >= 0;
  }
  if (!ok) {
    if (throwOnFailure) {
      ZELVO_THROW_NO_MESSAGE(ExceptionMissingOrBadCompressedBufferFooter,
                             "CompressedBuffer::ReadFooter");
    }
    return false;
  }
  info = found;
  return true;
}

void CompressedBuffer::Store(const ByteBuffer& data) {
  Store(const_cast<unsigned char*>(data.empty() ? nullptr : data.data()),
        static_cast<std::uint32_t>(data.size()));
}

void CompressedBuffer::Store(unsigned char* const data, std::uint32_t size) {
  if (size > 0x7FFFFFFFu) {
    ZELVO_THROW(ExceptionCompression, "CompressedBuffer::Store",
                "%ld bytes are more than a compressed buffer holds", static_cast<std::int32_t>(-1));
  }
  // Built aside and swapped in, so that a failure leaves the old content and
  // no bytes of an earlier, longer cabinet trail the new one.
  ByteBuffer state;
  if (size != 0) CompressData(data, size, state, m_compressionLevel);
  AppendFooter(state, static_cast<std::int32_t>(size), m_compressionLevel, m_format);
  m_state.swap(state);
  m_originalSize = static_cast<std::int32_t>(size);
  Dump();
}

void CompressedBuffer::GetOriginalData(ByteBuffer& out) const {
  Dump();
  if (m_originalSize < 1) {
    out.clear();
    return;
  }
  ByteBuffer restored;
  UncompressData(m_state, m_originalSize, restored);
  if (restored.size() != static_cast<std::size_t>(m_originalSize)) {
    ZELVO_THROW(ExceptionCompression, "CompressedBuffer::GetOriginalData",
                "the data restored to %ld bytes instead of %ld",
                static_cast<std::int32_t>(restored.size()), m_originalSize);
  }
  out.swap(restored);
}

void CompressedBuffer::GetCompressedData(ByteBuffer& out) const {
  const std::size_t keep =
      m_state.size() > GetSizeOfFooterInfo() ? m_state.size() - GetSizeOfFooterInfo() : 0;
  out.assign(m_state.begin(), m_state.begin() + static_cast<std::ptrdiff_t>(keep));
}

bool CompressedBuffer::Load(const ByteBuffer& state, bool throwOnFailure) {
  FooterInfo info;
  if (!ReadFooter(state, info, throwOnFailure)) return false;
  ByteBuffer data(state.begin(), state.end() - info.footerSize);
  if (info.format != CompressionFormatZlib && info.format != CompressionFormatCabinet) {
    if (throwOnFailure) {
      ZELVO_THROW_NO_MESSAGE(ExceptionIncompatibleCompressionFormat, "CompressedBuffer::Load");
    }
    return false;
  }
  std::int32_t originalSize = info.originalSize;
  if (!ConvertCompressedDataToNativeFormat(static_cast<CompressionFormatEnum>(info.format),
                                           info.level, originalSize, data, throwOnFailure)) {
    return false;
  }
  AppendFooter(data, originalSize, info.level, m_format);
  m_state.swap(data);
  m_originalSize = originalSize;
  m_compressionLevel = info.level;
  return true;
}

void CompressedBuffer::InitializeWithCompressedBufferState(const ByteBuffer& state) {
  Load(state, true);
}

bool CompressedBuffer::TryToInitializeWithCompressedBufferState(const ByteBuffer& state) {
  return Load(state, false);
}
