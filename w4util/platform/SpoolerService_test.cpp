#include "w4util/platform/SpoolerService.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "w4util/platform/ThreadToken.h"
#include "w4util/platform/internal/RegistryTestSupport.h"

namespace w4platform {
namespace {

using w4util_platform_internal::TempFolder;

class SpoolerServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = RegistryStore::OpenInMemory();
    spooler_ = std::make_unique<SpoolerService>(*store_);
  }

  PrinterHandle Add(const char16_t* name, const char16_t* port = u"LPT1:") {
    std::u16string n = name, p = port, d = u"Zelvo Universal", c = u"second floor";
    PrinterInfo2 info{};
    info.pPrinterName = n.data();
    info.pPortName = p.data();
    info.pDriverName = d.data();
    info.pComment = c.data();
    PrinterHandle h = 0;
    EXPECT_EQ(spooler_->AddPrinter(2, &info, &h), 0u);
    return h;
  }
  // The size query, then the read, as callers do it.
  template <typename Call>
  std::vector<std::uint8_t> Read(std::uint32_t shortAnswer, Call call) {
    std::uint32_t needed = 0;
    EXPECT_EQ(call(nullptr, 0u, &needed), shortAnswer);
    std::vector<std::uint8_t> buffer(needed);
    EXPECT_EQ(call(buffer.data(), needed, &needed), 0u);
    return buffer;
  }
  std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<std::uint8_t> out;
    for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
    return out;
  }

  std::unique_ptr<RegistryStore> store_;
  std::unique_ptr<SpoolerService> spooler_;
};

TEST_F(SpoolerServiceTest, QueuesAreAddedOpenedAndRemoved) {
  const PrinterHandle admin = Add(u"Zelvo Office");
  PrinterInfo2 dup{};
  std::u16string n = u"ZELVO OFFICE", p = u"x", d = u"y";
  dup.pPrinterName = n.data();
  dup.pPortName = p.data();
  dup.pDriverName = d.data();
  PrinterHandle h = 0;
  EXPECT_EQ(spooler_->AddPrinter(2, &dup, &h), ERROR_PRINTER_ALREADY_EXISTS);
  struct Case {
    std::u16string name;
    std::uint32_t expected;
  };
  for (const Case& c : std::vector<Case>{{u"", ERROR_INVALID_PRINTER_NAME},
                                         {u"a,b", ERROR_INVALID_PRINTER_NAME},
                                         {u"a\\b", ERROR_INVALID_PRINTER_NAME},
                                         {std::u16string(221, u'p'), ERROR_INVALID_PRINTER_NAME}}) {
    dup.pPrinterName = const_cast<char16_t*>(c.name.c_str());
    EXPECT_EQ(spooler_->AddPrinter(2, &dup, &h), c.expected);
  }
  dup.pPrinterName = n.data();
  dup.pPortName = nullptr;
  EXPECT_EQ(spooler_->AddPrinter(2, &dup, &h), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(spooler_->AddPrinter(1, &dup, &h), ERROR_INVALID_LEVEL);

  for (const Case& c : std::vector<Case>{{u"zelvo office", 0},
                                         {u"\\\\localhost\\Zelvo Office", 0},
                                         {u"\\\\no-such-server\\Zelvo Office",
                                          RPC_S_SERVER_UNAVAILABLE},
                                         {u"Missing", ERROR_INVALID_PRINTER_NAME},
                                         {u"", ERROR_INVALID_PRINTER_NAME}}) {
    PrinterHandle opened = 0;
    EXPECT_EQ(spooler_->OpenPrinter(c.name, &opened, nullptr), c.expected);
    EXPECT_EQ(opened != 0, c.expected == 0);
    if (opened != 0) {
      EXPECT_EQ(spooler_->ClosePrinter(opened), 0u);
      EXPECT_EQ(spooler_->ClosePrinter(opened), ERROR_INVALID_HANDLE);
    }
  }
  PrinterHandle user = 0;
  ASSERT_EQ(spooler_->OpenPrinter(u"Zelvo Office", &user, nullptr), 0u);
  EXPECT_EQ(spooler_->DeletePrinter(user), ERROR_ACCESS_DENIED);
  EXPECT_EQ(spooler_->DeletePrinter(admin), 0u);
  std::uint32_t needed = 0;
  EXPECT_EQ(spooler_->GetPrinter(user, 2, nullptr, 0, &needed), ERROR_PRINTER_DELETED);
  EXPECT_EQ(spooler_->OpenPrinter(u"Zelvo Office", &h, nullptr), ERROR_INVALID_PRINTER_NAME);
  EXPECT_EQ(spooler_->GetPrinter(0x77, 2, nullptr, 0, &needed), ERROR_INVALID_HANDLE);
  spooler_->ClosePrinter(user);
  spooler_->ClosePrinter(admin);
}

TEST_F(SpoolerServiceTest, InformationRecordsAtEveryLevel) {
  const PrinterHandle h = Add(u"Queue A", u"IP_10.0.0.1");
  spooler_->ClosePrinter(Add(u"Queue B"));
  const auto info2 = Read(ERROR_INSUFFICIENT_BUFFER, [&](std::uint8_t* b, std::uint32_t s,
                                                         std::uint32_t* n) {
    return spooler_->GetPrinter(h, 2, b, s, n);
  });
  const auto* r = reinterpret_cast<const PrinterInfo2*>(info2.data());
  EXPECT_EQ(std::u16string(r->pPrinterName), u"Queue A");
  EXPECT_EQ(std::u16string(r->pPortName), u"IP_10.0.0.1");
  EXPECT_EQ(std::u16string(r->pDriverName), u"Zelvo Universal");
  EXPECT_EQ(std::u16string(r->pPrintProcessor), u"winprint");
  EXPECT_EQ(std::u16string(r->pDatatype), u"RAW");
  EXPECT_EQ(std::u16string(r->pComment), u"second floor");
  EXPECT_EQ(std::u16string(r->pServerName), u"");
  EXPECT_TRUE(r->Attributes & PRINTER_ATTRIBUTE_LOCAL);

  std::u16string processor = u"ZelvoV5Print";
  PrinterInfo2 change = *r;
  change.pPrintProcessor = processor.data();
  EXPECT_EQ(spooler_->SetPrinter(h, 2, &change, 0), 0u);
  for (std::uint32_t level : {1u, 4u, 5u}) {
    const auto rec = Read(ERROR_INSUFFICIENT_BUFFER, [&](std::uint8_t* b, std::uint32_t s,
                                                         std::uint32_t* n) {
      return spooler_->GetPrinter(h, level, b, s, n);
    });
    const char16_t* name = level == 1   ? reinterpret_cast<const PrinterInfo1*>(rec.data())->pName
                           : level == 4 ? reinterpret_cast<const PrinterInfo4*>(rec.data())->pPrinterName
                                        : reinterpret_cast<const PrinterInfo5*>(rec.data())->pPrinterName;
    EXPECT_EQ(std::u16string(name), u"Queue A") << level;
  }
  std::uint32_t needed = 0;
  EXPECT_EQ(spooler_->GetPrinter(h, 3, nullptr, 0, &needed), ERROR_INVALID_LEVEL);

  std::uint32_t returned = 0;
  EXPECT_EQ(spooler_->EnumPrinters(PRINTER_ENUM_LOCAL, u"", 2, nullptr, 0, &needed, &returned),
            ERROR_INSUFFICIENT_BUFFER);
  std::vector<std::uint8_t> all(needed);
  ASSERT_EQ(spooler_->EnumPrinters(PRINTER_ENUM_LOCAL, u"", 2, all.data(), needed, &needed,
                                   &returned),
            0u);
  ASSERT_EQ(returned, 2u);
  const auto* list = reinterpret_cast<const PrinterInfo2*>(all.data());
  EXPECT_EQ(std::u16string(list[0].pPrinterName), u"Queue A");
  EXPECT_EQ(std::u16string(list[0].pPrintProcessor), u"ZelvoV5Print");
  EXPECT_EQ(std::u16string(list[1].pPrinterName), u"Queue B");
  EXPECT_EQ(std::u16string(list[1].pPortName), u"LPT1:");
  EXPECT_EQ(spooler_->EnumPrinters(PRINTER_ENUM_NAME, u"\\\\elsewhere", 2, nullptr, 0, &needed,
                                   &returned),
            RPC_S_SERVER_UNAVAILABLE);
  spooler_->ClosePrinter(h);
}

TEST_F(SpoolerServiceTest, PrinterDataSizeQueryMoreDataAndAbsence) {
  const PrinterHandle admin = Add(u"Data");
  const auto settings = Bytes({1, 2, 3, 4, 5});
  ASSERT_EQ(spooler_->SetPrinterData(admin, u"ZlvDeviceSettings", REG_BINARY, settings.data(), 5),
            0u);
  ASSERT_EQ(spooler_->SetPrinterDataEx(admin, u"PrinterDriverData", u"Empty", REG_BINARY, nullptr,
                                       0),
            0u);
  const std::uint8_t unc[] = {'\\', 0, 'x', 0, 0, 0};
  ASSERT_EQ(spooler_->SetPrinterDataEx(admin, u"DsSpooler", u"UNCName", REG_SZ, unc, 6), 0u);

  std::uint32_t type = 0;
  std::uint32_t needed = 0;
  EXPECT_EQ(spooler_->GetPrinterDataEx(admin, u"PrinterDriverData", u"zlvdevicesettings", &type,
                                       nullptr, 0, &needed),
            ERROR_MORE_DATA);
  EXPECT_EQ(needed, 5u);
  std::vector<std::uint8_t> buffer(2);
  EXPECT_EQ(spooler_->GetPrinterData(admin, u"ZlvDeviceSettings", &type, buffer.data(), 2,
                                     &needed),
            ERROR_MORE_DATA);
  buffer.resize(needed);
  EXPECT_EQ(spooler_->GetPrinterData(admin, u"ZlvDeviceSettings", &type, buffer.data(), needed,
                                     &needed),
            0u);
  EXPECT_EQ(buffer, settings);
  EXPECT_EQ(type, REG_BINARY);
  // A zero-length value answers success with nothing to read.
  EXPECT_EQ(spooler_->GetPrinterData(admin, u"Empty", &type, nullptr, 0, &needed), 0u);
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(spooler_->GetPrinterData(admin, u"Missing", &type, nullptr, 0, &needed),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(spooler_->GetPrinterDataEx(admin, u"NoSuchKey", u"v", &type, nullptr, 0, &needed),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(spooler_->GetPrinterDataEx(admin, u"", u"v", &type, nullptr, 0, &needed),
            ERROR_INVALID_PARAMETER);

  // Enumerations.
  std::uint32_t returned = 0;
  EXPECT_EQ(spooler_->EnumPrinterDataEx(admin, u"PrinterDriverData", nullptr, 0, &needed,
                                        &returned),
            ERROR_MORE_DATA);
  std::vector<std::uint8_t> values(needed);
  ASSERT_EQ(spooler_->EnumPrinterDataEx(admin, u"PrinterDriverData", values.data(), needed,
                                        &needed, &returned),
            0u);
  ASSERT_EQ(returned, 2u);
  const auto* v = reinterpret_cast<const PrinterEnumValues*>(values.data());
  EXPECT_EQ(std::u16string(v[0].pValueName), u"ZlvDeviceSettings");
  EXPECT_EQ(std::vector<std::uint8_t>(v[0].pData, v[0].pData + v[0].cbData), settings);
  EXPECT_EQ(v[1].cbData, 0u);
  char16_t name[64];
  std::uint8_t data[16];
  std::uint32_t nameNeeded = 0;
  std::uint32_t dataNeeded = 0;
  EXPECT_EQ(spooler_->EnumPrinterData(admin, 0, name, sizeof name, &nameNeeded, &type, data,
                                      sizeof data, &dataNeeded),
            0u);
  EXPECT_EQ(std::u16string(name), u"ZlvDeviceSettings");
  EXPECT_EQ(dataNeeded, 5u);
  EXPECT_EQ(spooler_->EnumPrinterData(admin, 0, name, 4, &nameNeeded, &type, data, sizeof data,
                                      &dataNeeded),
            ERROR_MORE_DATA);
  EXPECT_EQ(nameNeeded, 36u);
  EXPECT_EQ(spooler_->EnumPrinterData(admin, 2, name, sizeof name, &nameNeeded, &type, data,
                                      sizeof data, &dataNeeded),
            ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(spooler_->EnumPrinterKey(admin, u"", nullptr, 0, &needed), ERROR_MORE_DATA);
  std::vector<char16_t> keys(needed / 2);
  ASSERT_EQ(spooler_->EnumPrinterKey(admin, u"", keys.data(), needed, &needed), 0u);
  EXPECT_EQ(std::u16string(keys.data(), keys.size()),
            std::u16string(u"DsSpooler\0PrinterDriverData\0\0", 29));

  EXPECT_EQ(spooler_->DeletePrinterData(admin, u"Empty"), 0u);
  EXPECT_EQ(spooler_->DeletePrinterData(admin, u"Empty"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(spooler_->DeletePrinterKey(admin, u"DsSpooler"), 0u);
  EXPECT_EQ(spooler_->GetPrinterDataEx(admin, u"DsSpooler", u"UNCName", &type, nullptr, 0,
                                       &needed),
            ERROR_FILE_NOT_FOUND);
  spooler_->ClosePrinter(admin);
}

TEST_F(SpoolerServiceTest, AccessRightsOfHandles) {
  spooler_->ClosePrinter(Add(u"Locked"));
  PrinterHandle user = 0;
  ASSERT_EQ(spooler_->OpenPrinter(u"Locked", &user, nullptr), 0u);
  const std::uint8_t b = 1;
  EXPECT_EQ(spooler_->SetPrinterData(user, u"v", REG_BINARY, &b, 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(spooler_->SetPrinter(user, 0, nullptr, PRINTER_CONTROL_PAUSE), ERROR_ACCESS_DENIED);
  ASSERT_EQ(spooler_->SetPrinterDeniedAccess(u"Locked", PRINTER_ACCESS_ADMINISTER), 0u);
  PrinterDefaults all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  PrinterHandle h = 0;
  EXPECT_EQ(spooler_->OpenPrinter(u"Locked", &h, &all), ERROR_ACCESS_DENIED);
  PrinterDefaults use{nullptr, nullptr, PRINTER_ACCESS_USE};
  EXPECT_EQ(spooler_->OpenPrinter(u"Locked", &h, &use), 0u);
  spooler_->ClosePrinter(h);
  spooler_->ClosePrinter(user);
}

TEST_F(SpoolerServiceTest, JobsSubmittedReadChangedAndRemoved) {
  const PrinterHandle h = Add(u"Jobs");
  const PrinterHandle other = Add(u"Other");
  DocInfo1 doc{u"Report.pdf", nullptr, nullptr};
  std::uint32_t first = 0;
  std::uint32_t second = 0;
  ASSERT_EQ(spooler_->StartDocPrinter(h, 1, &doc, &first), 0u);
  std::uint32_t written = 0;
  const char payload[] = "%!PS";
  EXPECT_EQ(spooler_->WritePrinter(h, payload, 4, &written), 0u);
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(spooler_->EndDocPrinter(h), 0u);
  EXPECT_EQ(spooler_->EndDocPrinter(h), ERROR_SPL_NO_STARTDOC);
  {
    ScopedImpersonation as(TokenUser{u"S-1-22-1-4242", u"guest"});
    doc.pDocName = u"Letter";
    ASSERT_EQ(spooler_->StartDocPrinter(h, 1, &doc, &second), 0u);
  }
  EXPECT_EQ(second, first + 1);

  const auto read = [&](std::uint32_t id) {
    return Read(ERROR_INSUFFICIENT_BUFFER, [&](std::uint8_t* b, std::uint32_t s,
                                              std::uint32_t* n) {
      return spooler_->GetJob(h, id, 2, b, s, n);
    });
  };
  auto record = read(first);
  auto* job = reinterpret_cast<JobInfo2*>(record.data());
  EXPECT_EQ(job->JobId, first);
  EXPECT_EQ(std::u16string(job->pDocument), u"Report.pdf");
  EXPECT_EQ(std::u16string(job->pPrinterName), u"Jobs");
  EXPECT_EQ(std::u16string(job->pParameters), u"");
  EXPECT_EQ(job->Status & JOB_STATUS_SPOOLING, 0u);
  EXPECT_EQ(job->Size, 4u);
  EXPECT_EQ(job->Position, 1u);
  EXPECT_GE(job->Submitted.wYear, 2024);
  auto secondRecord = read(second);
  EXPECT_EQ(std::u16string(reinterpret_cast<JobInfo2*>(secondRecord.data())->pUserName),
            u"guest");
  EXPECT_TRUE(reinterpret_cast<JobInfo2*>(secondRecord.data())->Status & JOB_STATUS_SPOOLING);

  // Write the parameters back as the client job data does: Position 0.
  std::u16string params = u"S7=\u3016;";
  job->pParameters = params.data();
  job->Position = JOB_POSITION_UNSPECIFIED;
  ASSERT_EQ(spooler_->SetJob(h, first, 2, job, 0), 0u);
  record = read(first);
  job = reinterpret_cast<JobInfo2*>(record.data());
  EXPECT_EQ(std::u16string(job->pParameters), params);
  EXPECT_EQ(job->Position, 1u);
  EXPECT_EQ(std::u16string(job->pDocument), u"Report.pdf");

  // Move the first job behind the second.
  job->Position = 2;
  ASSERT_EQ(spooler_->SetJob(h, first, 2, job, 0), 0u);
  std::uint32_t needed = 0;
  std::uint32_t returned = 0;
  EXPECT_EQ(spooler_->EnumJobs(h, 0, 10, 1, nullptr, 0, &needed, &returned),
            ERROR_INSUFFICIENT_BUFFER);
  std::vector<std::uint8_t> list(needed);
  ASSERT_EQ(spooler_->EnumJobs(h, 0, 10, 1, list.data(), needed, &needed, &returned), 0u);
  ASSERT_EQ(returned, 2u);
  const auto* jobs = reinterpret_cast<const JobInfo1*>(list.data());
  EXPECT_EQ(jobs[0].JobId, second);
  EXPECT_EQ(jobs[1].JobId, first);
  EXPECT_EQ(std::u16string(jobs[1].pDocument), u"Report.pdf");
  EXPECT_EQ(jobs[1].Position, 2u);

  job->Position = 9;
  EXPECT_EQ(spooler_->SetJob(h, first, 2, job, 0), ERROR_INVALID_PARAMETER);
  job->Position = 0;
  job->Priority = 100;
  EXPECT_EQ(spooler_->SetJob(h, first, 2, job, 0), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(spooler_->GetJob(other, first, 2, nullptr, 0, &needed), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(spooler_->GetJob(h, first, 3, nullptr, 0, &needed), ERROR_INVALID_LEVEL);
  EXPECT_EQ(spooler_->SetJob(h, first, 0, nullptr, JOB_CONTROL_PAUSE), 0u);
  record = read(first);
  EXPECT_TRUE(reinterpret_cast<JobInfo2*>(record.data())->Status & JOB_STATUS_PAUSED);
  EXPECT_EQ(spooler_->SetJob(h, first, 0, nullptr, JOB_CONTROL_DELETE), 0u);
  EXPECT_EQ(spooler_->GetJob(h, first, 2, nullptr, 0, &needed), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(spooler_->SetJob(h, first, 0, nullptr, JOB_CONTROL_CANCEL), ERROR_INVALID_PARAMETER);
  spooler_->ClosePrinter(other);
  spooler_->ClosePrinter(h);
}

TEST(SpoolerServiceFiles, QueuesAndJobsAreSharedThroughTheStoreFolder) {
  TempFolder temp("w4spool");
  const std::string& folder = temp.path();
  auto storeA = RegistryStore::OpenFolder(folder, "boot");
  auto storeB = RegistryStore::OpenFolder(folder, "boot");
  SpoolerService a(*storeA);
  SpoolerService b(*storeB);
  std::u16string n = u"Shared", p = u"FILE:", d = u"drv";
  PrinterInfo2 info{};
  info.pPrinterName = n.data();
  info.pPortName = p.data();
  info.pDriverName = d.data();
  PrinterHandle ha = 0;
  ASSERT_EQ(a.AddPrinter(2, &info, &ha), 0u);
  PrinterHandle hb = 0;
  ASSERT_EQ(b.OpenPrinter(u"shared", &hb, nullptr), 0u);
  DocInfo1 doc{u"d", nullptr, nullptr};
  std::uint32_t idA = 0;
  std::uint32_t idB = 0;
  ASSERT_EQ(a.StartDocPrinter(ha, 1, &doc, &idA), 0u);
  ASSERT_EQ(b.StartDocPrinter(hb, 1, &doc, &idB), 0u);
  EXPECT_NE(idA, idB);
  std::uint32_t needed = 0;
  EXPECT_EQ(b.GetJob(hb, idA, 2, nullptr, 0, &needed), ERROR_INSUFFICIENT_BUFFER);
  a.ClosePrinter(ha);
  b.ClosePrinter(hb);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace
}  // namespace w4platform

namespace w4platform {
namespace {

TEST(SpoolerServiceProcess, FollowsTheReplacedProcessStore) {
  RegistryStore::ReplaceProcessStore(RegistryStore::OpenInMemory());
  std::u16string n = u"Process Queue", p = u"FILE:", d = u"drv";
  PrinterInfo2 info{};
  info.pPrinterName = n.data();
  info.pPortName = p.data();
  info.pDriverName = d.data();
  PrinterHandle h = 0;
  ASSERT_EQ(SpoolerService::Process().AddPrinter(2, &info, &h), 0u);
  RegHandle key = 0;
  EXPECT_EQ(RegistryStore::Process().RegOpenKeyEx(
                HKEY_LOCAL_MACHINE,
                u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Process Queue\\PrinterDriverData",
                0, KEY_READ, &key),
            0u);
  RegistryStore::Process().RegCloseKey(key);
  SpoolerService::Process().ClosePrinter(h);
  RegistryStore::ReplaceProcessStore(RegistryStore::OpenInMemory());
  EXPECT_EQ(SpoolerService::Process().OpenPrinter(u"Process Queue", &h, nullptr),
            ERROR_INVALID_PRINTER_NAME);
}

}  // namespace
}  // namespace w4platform
