#include "w4util/jobs/ClientJobDataReaderWriter.h"

#include <cstdint>
#include <limits>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/Base64.h"
#include "w4util/platform/SpoolerService.h"

namespace {

// Only these are blanks in the stored text: other "wide spaces" (U+3000 in
// particular, the transform of U+0000) are ordinary stored characters.
bool IsStrippedBlank(char16_t c) { return (c >= 0x0009 && c <= 0x000D) || c == 0x0020; }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// One entry found by walking the list: [start, end) is the whole entry, its
// ";" included when there is one.
struct Span {
  std::int32_t start = 0;
  std::int32_t end = 0;
  char16_t kind = 0;
  std::int32_t idStart = 0;
  std::int32_t idEnd = 0;
  std::int32_t valueStart = 0;
  std::int32_t valueEnd = 0;
  bool terminated = false;
};

// Walks the list segment by segment (each up to and including its ";"),
// calling visit(span) for every segment of the form <S|L><digits>=...;
// visit returns true to stop.
template <typename Visit>
void WalkEntries(const CXString& list, Visit visit) {
  const std::int32_t length = list.GetLength();
  std::int32_t pos = 0;
  while (pos < length) {
    const std::int32_t semicolon = list.Find(u';', pos);
    const std::int32_t segmentEnd = semicolon < 0 ? length : semicolon;
    Span span;
    span.start = pos;
    span.end = semicolon < 0 ? length : semicolon + 1;
    span.terminated = semicolon >= 0;
    const char16_t kind = list[pos];
    if (kind == u'S' || kind == u'L') {
      std::int32_t k = pos + 1;
      while (k < segmentEnd && IsDigit(list[k])) ++k;
      if (k > pos + 1 && k < segmentEnd && list[k] == u'=') {
        span.kind = kind;
        span.idStart = pos + 1;
        span.idEnd = k;
        span.valueStart = k + 1;
        span.valueEnd = segmentEnd;
        if (visit(span)) return;
      }
    }
    pos = span.end;
  }
}

bool SameId(const CXString& list, const Span& span, const CXString& idText) {
  if (span.idEnd - span.idStart != idText.GetLength()) return false;
  for (std::int32_t i = 0; i < idText.GetLength(); ++i) {
    if (list[span.idStart + i] != idText[i]) return false;
  }
  return true;
}

// kind 0: either kind.
bool FindEntry(const CXString& list, char16_t kind, std::int32_t id, Span& found) {
  const CXString idText = ZelvoUtilities::formatString(u"%u", static_cast<std::uint32_t>(id));
  bool hit = false;
  WalkEntries(list, [&](const Span& span) {
    if ((kind == 0 || span.kind == kind) && SameId(list, span, idText)) {
      found = span;
      hit = true;
    }
    return hit;
  });
  return hit;
}

// Sign and digits at the start of text, saturating at the 32-bit bounds.
std::int32_t LeadingNumber(const CXString& text) {
  std::int32_t i = 0;
  const std::int32_t n = text.GetLength();
  bool negative = false;
  if (i < n && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  std::int64_t magnitude = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < n && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > kLimit) magnitude = kLimit;  // stays bounded however long the digits run
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

CXString Restore(const CXString& list, std::int32_t first, std::int32_t end) {
  CXString out = list.Mid(first, end - first);
  for (std::int32_t i = 0; i < out.GetLength(); ++i) {
    out.SetAt(i, ClientJobDataReaderWriter::RestoreCharacter(out[i]));
  }
  return out;
}

char16_t SwapNibbles(char16_t c) {
  const unsigned low = c & 0xFFu;
  return static_cast<char16_t>(((low & 0x0Fu) << 4) | (low >> 4));
}

}  // namespace

char16_t ClientJobDataReaderWriter::EncodeCharacter(char16_t c) {
  return static_cast<char16_t>((SwapNibbles(c) + (c & 0xFF00u) + 0x3000u) & 0xFFFFu);
}

char16_t ClientJobDataReaderWriter::RestoreCharacter(char16_t c) {
  return static_cast<char16_t>((SwapNibbles(c) + (c & 0xFF00u) + 0xD000u) & 0xFFFFu);
}

ClientJobDataReaderWriter::ClientJobDataReaderWriter(void* hPrinter, std::uint32_t jobId)
    : m_hPrinter(hPrinter), m_jobId(jobId) {
  m_pJobInfo2 = static_cast<w4platform::JobInfo2*>(m_printJob.GetJobInfo(hPrinter, jobId, 2));
  if (m_pJobInfo2 == nullptr || m_pJobInfo2->pParameters == nullptr) return;
  for (const char16_t* p = m_pJobInfo2->pParameters; *p != 0; ++p) {
    if (!IsStrippedBlank(*p)) m_parameterList += *p;
  }
}

void ClientJobDataReaderWriter::AddToParameterList(std::int32_t id, CXString value) {
  CXString encoded = value;
  for (std::int32_t i = 0; i < encoded.GetLength(); ++i) {
    const char16_t stored = EncodeCharacter(encoded[i]);
    if (stored == 0 || stored == u';' || IsStrippedBlank(stored)) {
      ZELVO_THROW(ExceptionInvalidArgument, "ClientJobDataReaderWriter::AddToParameterList",
                  "Parameter %u: the character U+%04X at %ld cannot be stored in a job parameter.",
                  static_cast<std::uint32_t>(id), static_cast<std::uint32_t>(encoded[i]), i);
    }
    encoded.SetAt(i, stored);
  }
  m_parameterList = ZelvoUtilities::formatString(u"S%u=%s;%s", static_cast<std::uint32_t>(id),
                                                 static_cast<const char16_t*>(encoded),
                                                 static_cast<const char16_t*>(m_parameterList));
}

void ClientJobDataReaderWriter::AddToParameterList(std::int32_t id, std::int32_t value) {
  m_parameterList = ZelvoUtilities::formatString(u"L%u=%d;%s", static_cast<std::uint32_t>(id), value,
                                                 static_cast<const char16_t*>(m_parameterList));
}

bool ClientJobDataReaderWriter::GetStringFromParameterList(std::int32_t id, CXString& out) {
  out.Empty();
  Span span;
  if (!FindEntry(m_parameterList, u'S', id, span) || !span.terminated) return false;
  out = Restore(m_parameterList, span.valueStart, span.valueEnd);
  return true;
}

bool ClientJobDataReaderWriter::GetLongFromParameterList(std::int32_t id, std::int32_t& out) {
  out = 0;
  Span span;
  if (!FindEntry(m_parameterList, u'L', id, span) || !span.terminated) return false;
  out = LeadingNumber(m_parameterList.Mid(span.valueStart, span.valueEnd - span.valueStart));
  return true;
}

bool ClientJobDataReaderWriter::GetByteBufferFromParameterList(std::int32_t id, ByteBuffer& out) {
  CXString text;
  if (!GetStringFromParameterList(id, text)) return false;
  std::int32_t length = ZelvoUtilities::Base64DecodeGetRequiredLength(text.GetLength());
  ByteBuffer bytes(static_cast<std::uint64_t>(length) + 1, 0);  // never a zero-sized data()
  if (ZelvoUtilities::Base64Decode(text, text.GetLength(), bytes.data(), &length) == 0) return false;
  bytes.resize(static_cast<std::size_t>(length));
  out = std::move(bytes);
  return true;
}

bool ClientJobDataReaderWriter::RemoveFromParameterList(std::int32_t id) {
  Span span;
  if (!FindEntry(m_parameterList, 0, id, span)) return false;
  m_parameterList.Delete(span.start, span.end - span.start);
  return true;
}

bool ClientJobDataReaderWriter::CommitAdditions() {
  if (m_pJobInfo2 == nullptr) return false;
  // The record read at construction is gone once the buffer is reused.
  m_pJobInfo2 = static_cast<w4platform::JobInfo2*>(m_printJob.GetJobInfo(m_hPrinter, m_jobId, 2));
  if (m_pJobInfo2 == nullptr) return false;
  m_pJobInfo2->pParameters = const_cast<char16_t*>(static_cast<const char16_t*>(m_parameterList));
  m_pJobInfo2->Position = w4platform::JOB_POSITION_UNSPECIFIED;
  const std::uint32_t result = w4platform::SpoolerService::Process().SetJob(
      static_cast<w4platform::PrinterHandle>(reinterpret_cast<std::uintptr_t>(m_hPrinter)), m_jobId, 2, m_pJobInfo2, 0);
  m_pJobInfo2->pParameters = nullptr;  // the list's buffer is not the record's
  return result == 0;
}

std::vector<ClientJobDataReaderWriter::Entry> ClientJobDataReaderWriter::GetParameterEntries() const {
  std::vector<Entry> entries;
  WalkEntries(m_parameterList, [&](const Span& span) {
    Entry e;
    e.kind = span.kind;
    // Ids are written with %u: read them back as unsigned.
    std::uint64_t id = 0;
    for (std::int32_t i = span.idStart; i < span.idEnd && id <= 0xFFFFFFFFull; ++i) {
      id = id * 10 + (m_parameterList[i] - u'0');
    }
    e.id = id > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(id);
    e.value = span.kind == u'S' ? Restore(m_parameterList, span.valueStart, span.valueEnd)
                                : m_parameterList.Mid(span.valueStart, span.valueEnd - span.valueStart);
    e.terminated = span.terminated;
    entries.push_back(e);
    return false;
  });
  return entries;
}

CXString ClientJobDataReaderWriter::GetDumpDisplayString() const {
  CXString text = ZelvoUtilities::formatString(
      u"ClientJobDataReaderWriter printer=%I64u job=%u record=%s entries:",
      static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(m_hPrinter)), m_jobId, m_pJobInfo2 != nullptr ? u"yes" : u"no");
  for (const Entry& e : GetParameterEntries()) {
    text += ZelvoUtilities::formatString(u" %c%u=%s%s", static_cast<int>(e.kind), e.id,
                                         static_cast<const char16_t*>(e.value), e.terminated ? u";" : u"");
  }
  return text;
}
