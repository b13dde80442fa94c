#include "w4util/jobs/ClientJobDataReaderWriter.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/foundation/Base64.h"
#include "w4util/jobs/PrintJob.h"
#include "w4util/platform/RegistryStore.h"
#include "w4util/platform/SpoolerService.h"

namespace {

using w4platform::JobInfo2;
using w4platform::PrinterHandle;
using w4platform::SpoolerService;

std::u16string Str(const CXString& s) { return std::u16string(static_cast<const char16_t*>(s), s.GetLength()); }

// A queue with jobs on a private in-memory store, reached the way the
// library reaches it: through the process's spooler.
class ClientJobData : public ::testing::Test {
 protected:
  void SetUp() override {
    w4platform::RegistryStore::ReplaceProcessStore(w4platform::RegistryStore::OpenInMemory());
    std::u16string name = u"Zelvo Jobs", port = u"LPT1:", driver = u"Zelvo Universal";
    w4platform::PrinterInfo2 info{};
    info.pPrinterName = name.data();
    info.pPortName = port.data();
    info.pDriverName = driver.data();
    ASSERT_EQ(Spooler().AddPrinter(2, &info, &printer_), 0u);
  }
  void TearDown() override { Spooler().ClosePrinter(printer_); }

  static SpoolerService& Spooler() { return SpoolerService::Process(); }

  std::uint32_t Submit(const char16_t* document = u"report.pdf") {
    w4platform::DocInfo1 doc;
    doc.pDocName = document;
    std::uint32_t id = 0;
    EXPECT_EQ(Spooler().StartDocPrinter(printer_, 1, &doc, &id), 0u);
    EXPECT_EQ(Spooler().EndDocPrinter(printer_), 0u);
    return id;
  }
  // What the spooler side reads: the job's pParameters as stored.
  std::u16string StoredParameters(std::uint32_t job) {
    PrintJob record;
    const auto* info = static_cast<const JobInfo2*>(record.GetJobInfo(H(), job, 2));
    return info && info->pParameters ? std::u16string(info->pParameters) : u"<no job>";
  }
  void SetStoredParameters(std::uint32_t job, const std::u16string& text) {
    PrintJob record;
    auto* info = static_cast<JobInfo2*>(record.GetJobInfo(H(), job, 2));
    ASSERT_NE(info, nullptr);
    std::u16string copy = text;
    info->pParameters = copy.data();
    ASSERT_EQ(Spooler().SetJob(printer_, job, 2, info, 0), 0u);
  }
  std::uint32_t PositionOf(std::uint32_t job) {
    PrintJob record;
    const auto* info = static_cast<const JobInfo2*>(record.GetJobInfo(H(), job, 2));
    return info ? info->Position : 0;
  }

  // The handle as the library's classes take it.
  void* H() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(printer_)); }

  PrinterHandle printer_ = 0;
};

TEST_F(ClientJobData, StoredFormOfBothKinds) {
  ClientJobDataReaderWriter data(H(), Submit());
  data.AddToParameterList(7, CXString(u"a"));
  EXPECT_EQ(Str(data.GetParameterList()), std::u16string(u"S7=\x3016;"));
  data.AddToParameterList(12, std::int32_t{-45});
  data.AddToParameterList(-1, std::int32_t{0});
  EXPECT_EQ(Str(data.GetParameterList()), std::u16string(u"L4294967295=0;L12=-45;S7=\x3016;"));
  std::int32_t n = 1;
  EXPECT_TRUE(data.GetLongFromParameterList(-1, n));
  EXPECT_EQ(n, 0);
}

TEST_F(ClientJobData, TransformRestoresEveryCodeUnitAndKeepsAsciiOut) {
  for (std::uint32_t c = 0; c <= 0xFFFF; ++c) {
    const char16_t stored = ClientJobDataReaderWriter::EncodeCharacter(static_cast<char16_t>(c));
    ASSERT_EQ(ClientJobDataReaderWriter::RestoreCharacter(stored), c);
    if ((c & 0xFF00) != 0xD000) {
      ASSERT_GT(stored, 0xFF) << c;
    }
  }
}

TEST_F(ClientJobData, ValuesWithKeysAndSeparatorsReadBack) {
  const std::uint32_t job = Submit();
  ClientJobDataReaderWriter data(H(), job);
  const std::vector<std::u16string> values = {
      u"", u"plain", u"S1=x;L1=2;", u"a = b ; c", std::u16string(u"nul\0inside", 10),
      u"\u3000ideographic space", u"tab\there", u"\U0001F600 emoji", std::u16string(3000, u'w')};
  for (std::size_t i = 0; i < values.size(); ++i) {
    data.AddToParameterList(static_cast<std::int32_t>(i), CXString(values[i].data(), static_cast<std::int32_t>(values[i].size())));
  }
  ASSERT_TRUE(data.CommitAdditions());
  ClientJobDataReaderWriter reread(H(), job);
  for (std::size_t i = 0; i < values.size(); ++i) {
    CXString out(u"stale");
    ASSERT_TRUE(reread.GetStringFromParameterList(static_cast<std::int32_t>(i), out)) << i;
    EXPECT_EQ(Str(out), values[i]) << i;
  }
}

// Ids are compared whole and kinds exactly: 1 is neither 11 nor 21, and a
// string entry does not answer a number lookup (nor the other way round).
TEST_F(ClientJobData, IdsAndKindsAreNotConfused) {
  ClientJobDataReaderWriter data(H(), Submit());
  data.AddToParameterList(1, std::int32_t{100});
  data.AddToParameterList(21, CXString(u"twenty-one"));
  data.AddToParameterList(11, std::int32_t{1100});
  data.AddToParameterList(111, CXString(u"one-one-one"));
  data.AddToParameterList(2, CXString(u"two"));
  CXString s;
  std::int32_t n = 0;
  const struct {
    std::int32_t id;
    bool hasString;
    const char16_t* string;
    bool hasNumber;
    std::int32_t number;
  } cases[] = {
      {1, false, u"", true, 100},   {11, false, u"", true, 1100},   {21, true, u"twenty-one", false, 0},
      {111, true, u"one-one-one", false, 0}, {2, true, u"two", false, 0}, {12, false, u"", false, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(data.GetStringFromParameterList(c.id, s), c.hasString) << c.id;
    EXPECT_EQ(Str(s), std::u16string(c.string)) << c.id;
    EXPECT_EQ(data.GetLongFromParameterList(c.id, n), c.hasNumber) << c.id;
    EXPECT_EQ(n, c.number) << c.id;
  }

  // Removing 1 takes the number entry of 1 only; removing 21 its string.
  EXPECT_TRUE(data.RemoveFromParameterList(1));
  EXPECT_FALSE(data.GetLongFromParameterList(1, n));
  EXPECT_TRUE(data.GetLongFromParameterList(11, n));
  EXPECT_TRUE(data.GetStringFromParameterList(21, s));
  EXPECT_TRUE(data.GetStringFromParameterList(111, s));
  EXPECT_FALSE(data.RemoveFromParameterList(1));
  EXPECT_TRUE(data.RemoveFromParameterList(21));
  EXPECT_FALSE(data.GetStringFromParameterList(21, s));
  EXPECT_TRUE(data.GetStringFromParameterList(111, s));
  EXPECT_EQ(data.GetParameterEntries().size(), 3u);
}

TEST_F(ClientJobData, NewestEntryWinsAndRemovalTakesOneAtATime) {
  ClientJobDataReaderWriter data(H(), Submit());
  data.AddToParameterList(3, CXString(u"old"));
  data.AddToParameterList(3, CXString(u"new"));
  CXString s;
  ASSERT_TRUE(data.GetStringFromParameterList(3, s));
  EXPECT_EQ(Str(s), u"new");
  const CXString before = data.GetParameterList();
  EXPECT_FALSE(data.RemoveFromParameterList(4));
  EXPECT_EQ(Str(data.GetParameterList()), Str(before));
  EXPECT_TRUE(data.RemoveFromParameterList(3));
  ASSERT_TRUE(data.GetStringFromParameterList(3, s));
  EXPECT_EQ(Str(s), u"old");
  EXPECT_TRUE(data.RemoveFromParameterList(3));
  EXPECT_TRUE(data.GetParameterList().IsEmpty());
}

// Text in the job record that someone else wrote: blanks between entries are
// dropped, other wide spaces are kept, foreign segments are no entries, and
// an unterminated entry does not read but can be removed.
TEST_F(ClientJobData, RecordTextFromElsewhere) {
  const std::uint32_t job = Submit();
  const struct {
    std::u16string stored;
    std::u16string list;
  } strips[] = {
      {u"L5=12abc; \t\r\nL6=7;\v\f", u"L5=12abc;L6=7;"},
      {u"S9=\u3000\u00A0\u2003;", u"S9=\u3000\u00A0\u2003;"},
  };
  for (const auto& c : strips) {
    SetStoredParameters(job, c.stored);
    ClientJobDataReaderWriter data(H(), job);
    EXPECT_EQ(Str(data.GetParameterList()), c.list);
  }
  std::int32_t n = 0;
  {
    SetStoredParameters(job, u"L5=12abc;");
    ClientJobDataReaderWriter data(H(), job);
    EXPECT_TRUE(data.GetLongFromParameterList(5, n));
    EXPECT_EQ(n, 12);
  }
  {
    SetStoredParameters(job, u"XS1=abc;xL2=3;S=4;L3x=5;S4=6");
    ClientJobDataReaderWriter data(H(), job);
    CXString s;
    EXPECT_FALSE(data.GetStringFromParameterList(1, s));
    EXPECT_FALSE(data.GetLongFromParameterList(2, n));
    EXPECT_FALSE(data.GetLongFromParameterList(3, n));
    EXPECT_FALSE(data.GetStringFromParameterList(4, s));  // no terminator
    EXPECT_FALSE(data.RemoveFromParameterList(1));
    EXPECT_TRUE(data.RemoveFromParameterList(4));
    EXPECT_EQ(Str(data.GetParameterList()), u"XS1=abc;xL2=3;S=4;L3x=5;");
  }
}

TEST_F(ClientJobData, NumbersSaturateAtThe32BitBounds) {
  const std::uint32_t job = Submit();
  const struct {
    const char16_t* stored;
    std::int32_t want;
  } cases[] = {
      {u"L1=2147483647;", std::numeric_limits<std::int32_t>::max()},
      {u"L1=2147483648;", std::numeric_limits<std::int32_t>::max()},
      {u"L1=99999999999999999999999;", std::numeric_limits<std::int32_t>::max()},
      {u"L1=-2147483648;", std::numeric_limits<std::int32_t>::min()},
      {u"L1=-99999999999999999999;", std::numeric_limits<std::int32_t>::min()},
      {u"L1=+17;", 17},
      {u"L1=;", 0},
      {u"L1=x9;", 0},
  };
  for (const auto& c : cases) {
    SetStoredParameters(job, c.stored);
    ClientJobDataReaderWriter data(H(), job);
    std::int32_t n = 1;
    EXPECT_TRUE(data.GetLongFromParameterList(1, n)) << Str(CXString(c.stored)).size();
    EXPECT_EQ(n, c.want);
  }
}

// These code units would be stored as NUL, ";" or a stripped blank: the
// value would not read back and could forge entries, so it is refused.
TEST_F(ClientJobData, UnstorableCharactersAreRefused) {
  ClientJobDataReaderWriter data(H(), Submit());
  data.AddToParameterList(1, CXString(u"kept"));
  const CXString before = data.GetParameterList();
  for (char16_t c : {u'\xD000', u'\xD0B3', u'\xD002', u'\xD090', u'\xD0A0', u'\xD0B0', u'\xD0C0', u'\xD0D0'}) {
    const char16_t value[] = {u'x', c, u'L', u'2', 0};
    EXPECT_THROW(data.AddToParameterList(2, CXString(value)), ExceptionInvalidArgument) << int(c);
    EXPECT_EQ(Str(data.GetParameterList()), Str(before));
  }
  // Other units of that block are stored as ASCII letters and signs; inside
  // an entry they cannot fake one.
  const char16_t forged[] = {u'\xD034', u'\xD031', u'\xD0D3', u'\xD032', 0};  // "C", "\x13", "=", "#"
  data.AddToParameterList(3, CXString(forged));
  CXString s;
  ASSERT_TRUE(data.GetStringFromParameterList(3, s));
  EXPECT_EQ(Str(s), std::u16string(forged));
}

TEST_F(ClientJobData, BytesTravelAsBase64) {
  const std::uint32_t job = Submit();
  const unsigned char raw[] = {0x00, 0xFF, 0x10, 0x3B, 0x3D, 0x80, 0x7F};
  std::int32_t length = ZelvoUtilities::Base64EncodeGetRequiredLength(sizeof raw, 0);
  std::vector<char16_t> text(static_cast<std::size_t>(length));
  ASSERT_EQ(ZelvoUtilities::Base64Encode(raw, sizeof raw, text.data(), &length, 0), 1);
  ClientJobDataReaderWriter data(H(), job);
  data.AddToParameterList(40, CXString(text.data(), length));
  data.AddToParameterList(41, CXString());
  ByteBuffer out(3, 0xAA);
  ASSERT_TRUE(data.GetByteBufferFromParameterList(40, out));
  EXPECT_EQ(out, ByteBuffer(raw, sizeof raw));
  ASSERT_TRUE(data.GetByteBufferFromParameterList(41, out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(data.GetByteBufferFromParameterList(42, out));
}

TEST_F(ClientJobData, CommitReachesTheSpoolerSideAndKeepsThePlace) {
  const std::uint32_t first = Submit(u"first");
  const std::uint32_t second = Submit(u"second");
  const std::uint32_t placeBefore = PositionOf(second);
  ClientJobDataReaderWriter data(H(), second);
  data.AddToParameterList(1, std::int32_t{42});
  data.AddToParameterList(2, CXString(u"Hi"));
  EXPECT_EQ(StoredParameters(second), u"");  // nothing before the commit
  ASSERT_TRUE(data.CommitAdditions());
  EXPECT_EQ(StoredParameters(second), Str(data.GetParameterList()));
  EXPECT_EQ(StoredParameters(first), u"");
  EXPECT_EQ(PositionOf(second), placeBefore);
  // A second commit after a removal rewrites the whole text.
  EXPECT_TRUE(data.RemoveFromParameterList(2));
  ASSERT_TRUE(data.CommitAdditions());
  EXPECT_EQ(StoredParameters(second), u"L1=42;");
}

TEST_F(ClientJobData, AJobThatIsMissingOrGoneIsNotWritten) {
  ClientJobDataReaderWriter none(H(), 999);
  EXPECT_TRUE(none.GetParameterList().IsEmpty());
  none.AddToParameterList(1, std::int32_t{1});
  EXPECT_FALSE(none.CommitAdditions());

  const std::uint32_t job = Submit();
  ClientJobDataReaderWriter data(H(), job);
  data.AddToParameterList(1, CXString(u"late"));
  ASSERT_EQ(Spooler().SetJob(printer_, job, 0, nullptr, w4platform::JOB_CONTROL_DELETE), 0u);
  EXPECT_FALSE(data.CommitAdditions());
  EXPECT_FALSE(data.CommitAdditions());
  CXString s;
  EXPECT_TRUE(data.GetStringFromParameterList(1, s));  // the list itself is kept
  EXPECT_NE(data.GetDumpDisplayString().Find(u"record=no"), -1);
}

TEST_F(ClientJobData, PrintJobHoldsOneRecordAtATime) {
  const std::uint32_t job = Submit(u"holder");
  PrintJob holder(H(), job, 2);
  ASSERT_NE(holder.GetJobInfoPtr(), nullptr);
  EXPECT_EQ(holder.GetJobLevel(), 2u);
  EXPECT_GE(holder.GetJobInfoSize(), sizeof(JobInfo2));
  EXPECT_EQ(std::u16string(static_cast<const JobInfo2*>(holder.GetJobInfoPtr())->pDocument), u"holder");
  EXPECT_NE(holder.GetJobInfo(H(), job, 1), nullptr);
  EXPECT_EQ(holder.GetJobLevel(), 1u);
  EXPECT_EQ(holder.GetJobInfo(H(), job, 3), nullptr);
  EXPECT_EQ(holder.GetJobInfoPtr(), nullptr);
  EXPECT_EQ(holder.GetJobLevel(), PrintJob::kNoLevel);
  EXPECT_EQ(holder.GetJobInfo(H(), job + 100, 2), nullptr);
}

TEST_F(ClientJobData, JobKeyHasNameAndSubmissionTime) {
  const std::uint32_t job = Submit();
  PrintJob level1(H(), job, 1);
  const auto* info = static_cast<const w4platform::JobInfo1*>(level1.GetJobInfoPtr());
  ASSERT_NE(info, nullptr);
  const CXString time = ZelvoUtilities::formatString(
      u"%02d%02d%02d%02d", int(info->Submitted.wHour), int(info->Submitted.wMinute),
      int(info->Submitted.wSecond), int(info->Submitted.wMilliseconds / 10));
  PrintJob any;
  CXString name(u"Quarterly");
  const CXString key = any.GetVireoPrintJobIDkey(H(), job, name);
  EXPECT_EQ(key.GetLength(), 48);
  EXPECT_EQ(Str(key), u"8Quarterly" + std::u16string(30, u' ') + Str(time));
  CXString longName(u'n', 60);
  EXPECT_EQ(Str(any.GetVireoPrintJobIDkey(H(), job, longName)), u"8" + std::u16string(39, u'n') + Str(time));
  EXPECT_EQ(any.GetVireoPrintJobIDkey(H(), 999, name).GetLength(), 40);
  EXPECT_EQ(any.GetJobInfoPtr(), nullptr);
}

}  // namespace
