// The print spooler of this host, kept in the registry store's machine hive:
// each queue is the key "SYSTEM\CurrentControlSet\Control\Print\Printers\<name>"
// (its information record in values on that key, its printer data in
// the subkeys: "PrinterDriverData", "DsSpooler", ...), each job the key
// "SYSTEM\CurrentControlSet\Control\Print\Jobs\<printer>\<id>". So every
// process that shares the store sees the same queues, data and jobs.
//
// The calls mirror the original spooler API: same arguments, same result
// codes (0 success, 2 not found, 5 access denied, 6 invalid handle, 87
// invalid parameter, 122 insufficient buffer for records, 234 more data for
// printer data, 259 no more items, 1722 unknown server, 1801 invalid printer
// name, 1802 already exists, 1905 printer deleted). Reads size-query first:
// a null or short buffer answers the size needed. Printer names compare
// without regard to case; "\\<this host>\<name>" names a local queue, any
// other "\\server\..." answers 1722. Writing printer data needs a handle with
// PRINTER_ACCESS_ADMINISTER, deleting the queue PRINTER_DELETE.
//
// Thread-safety: every member may be called concurrently; multi-step changes
// (a new job id, a job's record) are one store transaction each.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "w4util/Export.h"
#include "w4util/platform/RegistryStore.h"
#include "w4util/platform/SpoolerTypes.h"

namespace w4platform {

class W4UTIL_EXPORT SpoolerService {
 public:
  // The spooler over RegistryStore::Process() (resolved at each call, so a
  // replaced process store is followed).
  static SpoolerService& Process();
  // A spooler over `store`, which must outlive it.
  explicit SpoolerService(RegistryStore& store);
  ~SpoolerService();
  SpoolerService(const SpoolerService&) = delete;
  SpoolerService& operator=(const SpoolerService&) = delete;

  // Queues. AddPrinter takes level 2 and needs pPrinterName, pPortName and
  // pDriverName; the new handle has PRINTER_ALL_ACCESS.
  std::uint32_t AddPrinter(std::uint32_t level, const PrinterInfo2* info, PrinterHandle* handle);
  std::uint32_t DeletePrinter(PrinterHandle handle);
  // defaults may be null (PRINTER_ACCESS_USE).
  std::uint32_t OpenPrinter(std::u16string_view name, PrinterHandle* handle,
                            const PrinterDefaults* defaults);
  std::uint32_t ClosePrinter(PrinterHandle handle);
  // Levels 1, 2, 4, 5.
  std::uint32_t GetPrinter(PrinterHandle handle, std::uint32_t level, std::uint8_t* buffer,
                           std::uint32_t size, std::uint32_t* needed);
  // Level 2 changes the record (not the name); level 0 runs `command`
  // (PRINTER_CONTROL_PAUSE, _RESUME, _PURGE).
  std::uint32_t SetPrinter(PrinterHandle handle, std::uint32_t level, const void* info,
                           std::uint32_t command);
  std::uint32_t EnumPrinters(std::uint32_t flags, std::u16string_view name, std::uint32_t level,
                             std::uint8_t* buffer, std::uint32_t size, std::uint32_t* needed,
                             std::uint32_t* returned);
  // Host extension standing in for a queue's security: the rights in `mask`
  // are refused to later opens of the queue.
  std::uint32_t SetPrinterDeniedAccess(std::u16string_view name, std::uint32_t mask);

  // Printer data. The forms without a key use "PrinterDriverData".
  std::uint32_t GetPrinterDataEx(PrinterHandle handle, std::u16string_view key,
                                 std::u16string_view value, std::uint32_t* type,
                                 std::uint8_t* data, std::uint32_t size, std::uint32_t* needed);
  std::uint32_t GetPrinterData(PrinterHandle handle, std::u16string_view value,
                               std::uint32_t* type, std::uint8_t* data, std::uint32_t size,
                               std::uint32_t* needed);
  std::uint32_t SetPrinterDataEx(PrinterHandle handle, std::u16string_view key,
                                 std::u16string_view value, std::uint32_t type,
                                 const std::uint8_t* data, std::uint32_t size);
  std::uint32_t SetPrinterData(PrinterHandle handle, std::u16string_view value,
                               std::uint32_t type, const std::uint8_t* data, std::uint32_t size);
  std::uint32_t DeletePrinterDataEx(PrinterHandle handle, std::u16string_view key,
                                    std::u16string_view value);
  std::uint32_t DeletePrinterData(PrinterHandle handle, std::u16string_view value);
  std::uint32_t DeletePrinterKey(PrinterHandle handle, std::u16string_view key);
  // An array of PrinterEnumValues followed by the names and data.
  std::uint32_t EnumPrinterDataEx(PrinterHandle handle, std::u16string_view key,
                                  std::uint8_t* buffer, std::uint32_t size, std::uint32_t* needed,
                                  std::uint32_t* returned);
  // By index under "PrinterDriverData"; sizes in bytes. 259 past the end.
  std::uint32_t EnumPrinterData(PrinterHandle handle, std::uint32_t index, char16_t* valueName,
                                std::uint32_t valueNameSize, std::uint32_t* valueNameNeeded,
                                std::uint32_t* type, std::uint8_t* data, std::uint32_t dataSize,
                                std::uint32_t* dataNeeded);
  // The subkey names of `key` ("" for the queue's top) as a double-NUL list.
  std::uint32_t EnumPrinterKey(PrinterHandle handle, std::u16string_view key, char16_t* subKeys,
                               std::uint32_t size, std::uint32_t* needed);

  // Jobs. StartDocPrinter submits a job (status spooling) and answers its id;
  // EndDocPrinter ends spooling of the handle's last job.
  std::uint32_t StartDocPrinter(PrinterHandle handle, std::uint32_t level, const DocInfo1* info,
                                std::uint32_t* jobId);
  std::uint32_t WritePrinter(PrinterHandle handle, const void* data, std::uint32_t size,
                             std::uint32_t* written);
  std::uint32_t EndDocPrinter(PrinterHandle handle);
  // Levels 1 and 2; a job of another queue answers 87.
  std::uint32_t GetJob(PrinterHandle handle, std::uint32_t jobId, std::uint32_t level,
                       std::uint8_t* buffer, std::uint32_t size, std::uint32_t* needed);
  // Level 1 or 2 changes the record (null texts are left as they are;
  // Position JOB_POSITION_UNSPECIFIED keeps the place), then `command` runs
  // (JOB_CONTROL_*, 0 none). JOB_CONTROL_CANCEL and _DELETE remove the job.
  std::uint32_t SetJob(PrinterHandle handle, std::uint32_t jobId, std::uint32_t level,
                       const void* info, std::uint32_t command);
  std::uint32_t EnumJobs(PrinterHandle handle, std::uint32_t firstJob, std::uint32_t count,
                         std::uint32_t level, std::uint8_t* buffer, std::uint32_t size,
                         std::uint32_t* needed, std::uint32_t* returned);

 private:
  struct Handle {
    std::u16string printer;  // the queue's key name
    std::uint32_t access = 0;
    std::uint32_t openJob = 0;
  };
  struct Queue;
  struct Job;

  SpoolerService();

  RegistryStore& Store();
  // Registers `h` under a new handle number and answers the number.
  PrinterHandle AddHandle(Handle h);
  std::uint32_t FindHandle(PrinterHandle handle, Handle* out);
  std::uint32_t LoadQueue(const std::u16string& name, Queue* out);
  std::uint32_t LoadJob(const std::u16string& printer, std::uint32_t jobId, Job* out);
  std::uint32_t ListJobs(const std::u16string& printer, std::vector<Job>* out);
  std::uint32_t SaveJob(const Job& job);
  std::uint32_t RemoveJob(const std::u16string& printer, std::uint32_t jobId);
  std::uint32_t ResolveName(std::u16string_view name, std::u16string* queue);
  std::uint32_t OpenDataKey(const Handle& h, std::u16string_view key, bool create,
                            RegHandle* out);
  // Creates or opens a data key for a change: a named key and a handle with
  // the administer right.
  std::uint32_t OpenDataKeyToChange(PrinterHandle handle, std::u16string_view key,
                                    RegHandle* out);

  RegistryStore* store_;  // null: follow RegistryStore::Process()
  std::mutex mutex_;
  std::unordered_map<PrinterHandle, Handle> handles_;
  PrinterHandle nextHandle_ = 0x2000;
};

}  // namespace w4platform
