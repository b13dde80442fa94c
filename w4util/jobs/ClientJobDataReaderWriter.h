// ClientJobDataReaderWriter: numbered parameters that the application side of
// the driver hands to the spooler side inside a job's own spooler record (the
// pParameters text of its JobInfo2).
//
// The parameter list is a flat text of entries, newest first, each closed by
// ";":  S<id>=<value>;  for a string (value transformed, below) and
// L<id>=<decimal>;  for a signed 32-bit number. <id> is the unsigned decimal
// form of the 32-bit id. A string value is stored with every code unit c
// mapped to (swap nibbles of c's low byte) + (c & 0xFF00) + 0x3000 (mod
// 0x10000), so that ordinary text holds no ";", "=", blank or ASCII at all;
// reading adds 0xD000 in place of 0x3000. Lookups and removal walk the list
// entry by entry and compare kind and id exactly: id 1 never matches 11 or 21,
// and a string entry never answers a number lookup.
//
// The list is read from the job when the object is built and written back by
// CommitAdditions only. Nothing here throws for a missing job or parameter;
// only a value that the stored form cannot carry is refused (see
// AddToParameterList).
//
// One object is used by one thread at a time; it cannot be copied (it points
// into its own PrintJob).
#pragma once

#include <cstdint>
#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/jobs/PrintJob.h"
#include "w4util/platform/SpoolerTypes.h"

class W4UTIL_EXPORT ClientJobDataReaderWriter {
 public:
  // One entry of the list as it stands, for display.
  struct Entry {
    char16_t kind;      // u'S' or u'L'
    std::uint32_t id;
    CXString value;     // a string entry restored; a number entry's text as stored
    bool terminated;    // false for a last entry without its ";"
  };

  // Reads the job's JobInfo2. When it exists, the list becomes its
  // pParameters text less every U+0009-U+000D and U+0020; else it starts
  // empty and CommitAdditions does nothing.
  ClientJobDataReaderWriter(void* hPrinter, std::uint32_t jobId);
  virtual ~ClientJobDataReaderWriter() = default;
  ClientJobDataReaderWriter(const ClientJobDataReaderWriter&) = delete;
  ClientJobDataReaderWriter& operator=(const ClientJobDataReaderWriter&) = delete;

  // Prepends S<id>=<transformed value>;. Throws ExceptionInvalidArgument,
  // leaving the list as it was, when the value holds a code unit whose
  // transform would be NUL, ";" or a blank that reading strips (U+D000,
  // U+D0B3, U+D002, U+D090, U+D0A0, U+D0B0, U+D0C0, U+D0D0): such a value
  // would not read back and could forge entries.
  void AddToParameterList(std::int32_t id, CXString value);
  // Prepends L<id>=<value>;.
  void AddToParameterList(std::int32_t id, std::int32_t value);

  // The newest string entry of `id`: out is emptied, then receives the
  // restored value; false when there is none or it has no ";".
  bool GetStringFromParameterList(std::int32_t id, CXString& out);
  // The newest number entry of `id`: out is set to 0, then receives the
  // leading decimal number of its text (sign, digits; beyond the 32-bit range
  // it saturates); false when there is none or it has no ";".
  bool GetLongFromParameterList(std::int32_t id, std::int32_t& out);
  // The string entry of `id` decoded as Base64 into out (exactly the decoded
  // bytes); true when it exists and decodes.
  bool GetByteBufferFromParameterList(std::int32_t id, ByteBuffer& out);
  // Removes the newest entry of either kind with `id`, from its kind letter
  // through its ";" (to the end of the list when it has none). False, list
  // unchanged, when there is none.
  bool RemoveFromParameterList(std::int32_t id);

  // Re-reads the job's JobInfo2 and writes the list into it as pParameters
  // with Position JOB_POSITION_UNSPECIFIED (the job keeps its place). Does
  // nothing when the constructor found no record. Returns true when the
  // spooler took the record; false when nothing was written, also when the
  // job has gone since construction.
  bool CommitAdditions();

  // The list as it stands (what CommitAdditions writes).
  const CXString& GetParameterList() const { return m_parameterList; }
  // Its entries in list order (newest first); text that is not an entry is
  // left out.
  std::vector<Entry> GetParameterEntries() const;
  // Printer handle, job id, whether a record was found, and the entries.
  CXString GetDumpDisplayString() const;
  // There is no debug output in this build yet: the text is available from
  // GetDumpDisplayString.
  virtual void Dump() const {}

  static char16_t EncodeCharacter(char16_t c);
  static char16_t RestoreCharacter(char16_t c);

 private:
  void* m_hPrinter;
  std::uint32_t m_jobId;
  PrintJob m_printJob;
  w4platform::JobInfo2* m_pJobInfo2 = nullptr;  // inside m_printJob; null when no record
  CXString m_parameterList;
};
