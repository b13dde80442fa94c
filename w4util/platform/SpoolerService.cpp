#include "w4util/platform/SpoolerService.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

#include "w4util/platform/RegistryCaseFold.h"
#include "w4util/platform/ThreadToken.h"
#include "w4util/platform/internal/RegistryText.h"

namespace w4platform {
namespace {

constexpr const char16_t* kPrinters = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
constexpr const char16_t* kJobs = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Jobs";
constexpr const char16_t* kPrint = u"SYSTEM\\CurrentControlSet\\Control\\Print";
constexpr const char16_t* kDriverData = u"PrinterDriverData";
constexpr std::size_t kMaxPrinterName = 220;

// Closes a key handle at the end of a scope.
class Key {
 public:
  explicit Key(RegistryStore& store) : store_(store) {}
  ~Key() {
    if (h_ != 0) store_.RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  RegHandle* out() { return &h_; }
  RegHandle get() const { return h_; }

 private:
  RegistryStore& store_;
  RegHandle h_ = 0;
};

std::u16string ReadString(RegistryStore& s, RegHandle h, std::u16string_view name) {
  std::uint32_t size = 0;
  std::uint32_t type = 0;
  if (s.RegQueryValueEx(h, name, &type, nullptr, &size) != 0 || size < 2) return {};
  std::vector<std::uint8_t> bytes(size);
  if (s.RegQueryValueEx(h, name, &type, bytes.data(), &size) != 0) return {};
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

std::uint32_t ReadDword(RegistryStore& s, RegHandle h, std::u16string_view name) {
  std::uint8_t b[4] = {};
  std::uint32_t size = 4;
  if (s.RegQueryValueEx(h, name, nullptr, b, &size) != 0 || size != 4) return 0;
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::uint32_t WriteString(RegistryStore& s, RegHandle h, std::u16string_view name,
                          std::u16string_view text) {
  std::vector<std::uint8_t> bytes((text.size() + 1) * 2, 0);
  std::memcpy(bytes.data(), text.data(), text.size() * 2);
  return s.RegSetValueEx(h, name, REG_SZ, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

std::uint32_t WriteDword(RegistryStore& s, RegHandle h, std::u16string_view name,
                         std::uint32_t v) {
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16),
                             static_cast<std::uint8_t>(v >> 24)};
  return s.RegSetValueEx(h, name, REG_DWORD, b, 4);
}

std::u16string Text(const char16_t* p) { return p != nullptr ? std::u16string(p) : std::u16string(); }

std::u16string JobKeyName(std::uint32_t id) {
  std::u16string out = internal::Utf8ToUtf16(std::to_string(id));
  return std::u16string(10 - std::min<std::size_t>(10, out.size()), u'0') + out;
}

std::u16string PrinterPath(const std::u16string& printer) {
  return std::u16string(kPrinters) + u"\\" + printer;
}

std::u16string JobsPath(const std::u16string& printer) {
  return std::u16string(kJobs) + u"\\" + printer;
}

std::u16string JobPath(const std::u16string& printer, std::uint32_t id) {
  return JobsPath(printer) + u"\\" + JobKeyName(id);
}

// Calls `each(name, length)` for every subkey of `h` in order; stops at the
// first failure, of the enumeration or of `each`, and answers it.
template <typename Each>
std::uint32_t ForEachSubKey(RegistryStore& s, RegHandle h, Each each) {
  for (std::uint32_t i = 0;; ++i) {
    char16_t buf[kMaxKeyNameLength + 1];
    std::uint32_t length = kMaxKeyNameLength + 1;
    std::uint32_t e = s.RegEnumKeyEx(h, i, buf, &length);
    if (e == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (e == ERROR_SUCCESS) e = each(buf, length);
    if (e) return e;
  }
}

std::u16string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return u"localhost";
  return internal::Utf8ToUtf16(name);
}

SystemTime NowUtc() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  gmtime_r(&t, &tm);
  SystemTime st;
  st.wYear = static_cast<std::uint16_t>(tm.tm_year + 1900);
  st.wMonth = static_cast<std::uint16_t>(tm.tm_mon + 1);
  st.wDayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
  st.wDay = static_cast<std::uint16_t>(tm.tm_mday);
  st.wHour = static_cast<std::uint16_t>(tm.tm_hour);
  st.wMinute = static_cast<std::uint16_t>(tm.tm_min);
  st.wSecond = static_cast<std::uint16_t>(tm.tm_sec);
  st.wMilliseconds = static_cast<std::uint16_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
      1000);
  return st;
}

// Lays records out as the spooler does: the fixed structures first, their
// strings and bytes after them in the same buffer.
class Packer {
 public:
  Packer(std::uint8_t* buffer, std::size_t fixed) : buffer_(buffer), offset_(fixed) {}
  char16_t* String(const std::u16string& s) {
    auto* p = reinterpret_cast<char16_t*>(buffer_ + offset_);
    std::memcpy(p, s.c_str(), (s.size() + 1) * 2);
    offset_ += (s.size() + 1) * 2;
    return p;
  }
  std::uint8_t* Bytes(const std::vector<std::uint8_t>& b) {
    std::uint8_t* p = buffer_ + offset_;
    if (!b.empty()) std::memcpy(p, b.data(), b.size());
    offset_ += b.size();
    return p;
  }
  static std::size_t Size(const std::u16string& s) { return (s.size() + 1) * 2; }

 private:
  std::uint8_t* buffer_;
  std::size_t offset_;
};

// The size check shared by every record read.
std::uint32_t CheckRoom(std::size_t total, std::uint8_t* buffer, std::uint32_t size,
                        std::uint32_t* needed, std::uint32_t shortAnswer) {
  if (needed == nullptr) return ERROR_INVALID_PARAMETER;
  if (total > 0xFFFFFFFFu) return ERROR_INVALID_PARAMETER;
  *needed = static_cast<std::uint32_t>(total);
  if (buffer == nullptr || size < total) return shortAnswer;
  return ERROR_SUCCESS;
}

// Checks the room for a `Record` and the strings packed after it, zeroes the
// space and answers the packer that lays the strings out; null (with `err`
// set) when the record cannot be written.
template <typename Record>
std::optional<Packer> StartRecord(std::initializer_list<const std::u16string*> texts,
                                  std::uint8_t* buffer, std::uint32_t size, std::uint32_t* needed,
                                  std::uint32_t* err) {
  std::size_t total = sizeof(Record);
  for (const std::u16string* text : texts) total += Packer::Size(*text);
  *err = CheckRoom(total, buffer, size, needed, ERROR_INSUFFICIENT_BUFFER);
  if (*err) return std::nullopt;
  std::memset(buffer, 0, total);
  return Packer(buffer, sizeof(Record));
}

// The fields both job levels share: id and first texts, then the status text
// (packed last) and the numbers.
template <typename Record, typename JobRecord>
void PackJobHead(Record* r, Packer& p, const JobRecord& j) {
  r->JobId = j.id;
  r->pPrinterName = p.String(j.printer);
  r->pMachineName = p.String(j.machine);
  r->pUserName = p.String(j.user);
  r->pDocument = p.String(j.document);
}

template <typename Record, typename JobRecord>
void PackJobTail(Record* r, Packer& p, const JobRecord& j) {
  r->pStatus = j.statusText.empty() ? nullptr : p.String(j.statusText);
  r->Status = j.status;
  r->Priority = j.priority;
  r->Position = j.position;
  r->TotalPages = j.totalPages;
  r->PagesPrinted = j.pagesPrinted;
  r->Submitted = j.submitted;
}

// Lays out records read one by one (each a fixed record of `recordSize`
// bytes followed by its strings, pointers into itself) as one answer: all
// fixed records first, then all strings, each record's string pointers moved
// to the strings' new place. `pointers(slot, move)` calls `move` on every
// string pointer of the record at `slot`.
template <typename Pointers>
std::uint32_t PackRecords(const std::vector<std::vector<std::uint8_t>>& records,
                          std::size_t recordSize, std::uint8_t* buffer, std::uint32_t size,
                          std::uint32_t* needed, Pointers pointers) {
  std::size_t total = 0;
  for (const auto& rec : records) total += rec.size();
  if (std::uint32_t err = CheckRoom(total, buffer, size, needed, ERROR_INSUFFICIENT_BUFFER)) {
    return err;
  }
  std::size_t stringOffset = records.size() * recordSize;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::vector<std::uint8_t>& rec = records[i];
    std::uint8_t* slot = buffer + i * recordSize;
    std::memcpy(slot, rec.data(), recordSize);
    std::uint8_t* strDst = buffer + stringOffset;
    std::memcpy(strDst, rec.data() + recordSize, rec.size() - recordSize);
    const auto rebase = [&](char16_t*& p) {
      if (p == nullptr) return;
      const auto off = reinterpret_cast<const std::uint8_t*>(p) - rec.data();
      p = reinterpret_cast<char16_t*>(strDst + (off - static_cast<std::ptrdiff_t>(recordSize)));
    };
    pointers(slot, rebase);
    stringOffset += rec.size() - recordSize;
  }
  return ERROR_SUCCESS;
}

// The values of a job's key and the job fields they hold, in the order they
// are written. (A template so that it can name the members of the service's
// private job record.)
template <typename JobRecord>
constexpr auto JobTextValues() {
  using Field = std::u16string JobRecord::*;
  return std::to_array<std::pair<const char16_t*, Field>>({
      {u"MachineName", &JobRecord::machine},
      {u"UserName", &JobRecord::user},
      {u"Document", &JobRecord::document},
      {u"NotifyName", &JobRecord::notify},
      {u"Datatype", &JobRecord::datatype},
      {u"PrintProcessor", &JobRecord::printProcessor},
      {u"Parameters", &JobRecord::parameters},
      {u"DriverName", &JobRecord::driver},
      {u"StatusText", &JobRecord::statusText},
  });
}

template <typename JobRecord>
constexpr auto JobNumberValues() {
  using Field = std::uint32_t JobRecord::*;
  return std::to_array<std::pair<const char16_t*, Field>>({
      {u"Status", &JobRecord::status},
      {u"Priority", &JobRecord::priority},
      {u"Order", &JobRecord::order},
      {u"StartTime", &JobRecord::startTime},
      {u"UntilTime", &JobRecord::untilTime},
      {u"TotalPages", &JobRecord::totalPages},
      {u"Size", &JobRecord::size},
      {u"PagesPrinted", &JobRecord::pagesPrinted},
  });
}

bool ValidQueueName(std::u16string_view name) {
  if (name.empty() || name.size() > kMaxPrinterName) return false;
  return name.find_first_of(u"\\,!") == std::u16string_view::npos &&
         name.find(u'\0') == std::u16string_view::npos;
}

}  // namespace

struct SpoolerService::Queue {
  std::u16string name, share, port, driver, comment, location, sepFile, printProcessor, datatype,
      parameters;
  std::uint32_t attributes = 0, priority = 0, defaultPriority = 0, startTime = 0, untilTime = 0,
                status = 0, denied = 0, jobs = 0;
};

struct SpoolerService::Job {
  std::uint32_t id = 0;
  std::u16string printer, machine, user, document, notify, datatype, printProcessor, parameters,
      driver, statusText;
  std::uint32_t status = 0, priority = 0, order = 0, position = 0, startTime = 0, untilTime = 0,
                totalPages = 0, size = 0, pagesPrinted = 0;
  SystemTime submitted;
};

SpoolerService& SpoolerService::Process() {
  static SpoolerService* spooler = new SpoolerService();  // lives until exit
  return *spooler;
}

SpoolerService::SpoolerService() : store_(nullptr) {}

SpoolerService::SpoolerService(RegistryStore& store) : store_(&store) {}

SpoolerService::~SpoolerService() = default;

RegistryStore& SpoolerService::Store() {
  return store_ != nullptr ? *store_ : RegistryStore::Process();
}

PrinterHandle SpoolerService::AddHandle(Handle h) {
  std::lock_guard lock(mutex_);
  const PrinterHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(handle, std::move(h));
  return handle;
}

std::uint32_t SpoolerService::FindHandle(PrinterHandle handle, Handle* out) {
  {
    std::lock_guard lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return ERROR_INVALID_HANDLE;
    *out = it->second;
  }
  Key key(Store());
  const std::uint32_t err =
      Store().RegOpenKeyEx(HKEY_LOCAL_MACHINE, PrinterPath(out->printer), 0, KEY_READ, key.out());
  if (err == ERROR_FILE_NOT_FOUND) return ERROR_PRINTER_DELETED;
  return err;
}

std::uint32_t SpoolerService::LoadQueue(const std::u16string& name, Queue* q) {
  RegistryStore& s = Store();
  Key key(s);
  if (std::uint32_t err =
          s.RegOpenKeyEx(HKEY_LOCAL_MACHINE, PrinterPath(name), 0, KEY_READ, key.out())) {
    return err == ERROR_FILE_NOT_FOUND ? ERROR_INVALID_PRINTER_NAME : err;
  }
  const RegHandle h = key.get();
  q->name = ReadString(s, h, u"Name");
  q->share = ReadString(s, h, u"Share Name");
  q->port = ReadString(s, h, u"Port");
  q->driver = ReadString(s, h, u"Printer Driver");
  q->comment = ReadString(s, h, u"Description");
  q->location = ReadString(s, h, u"Location");
  q->sepFile = ReadString(s, h, u"Separator File");
  q->printProcessor = ReadString(s, h, u"Print Processor");
  q->datatype = ReadString(s, h, u"Datatype");
  q->parameters = ReadString(s, h, u"Parameters");
  q->attributes = ReadDword(s, h, u"Attributes");
  q->priority = ReadDword(s, h, u"Priority");
  q->defaultPriority = ReadDword(s, h, u"Default Priority");
  q->startTime = ReadDword(s, h, u"StartTime");
  q->untilTime = ReadDword(s, h, u"UntilTime");
  q->status = ReadDword(s, h, u"Status");
  q->denied = ReadDword(s, h, u"DeniedAccess");
  Key jobs(s);
  RegKeyInfo info;
  if (s.RegOpenKeyEx(HKEY_LOCAL_MACHINE, JobsPath(name), 0, KEY_READ, jobs.out()) == 0 &&
      s.RegQueryInfoKey(jobs.get(), &info) == 0) {
    q->jobs = info.subKeys;
  }
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::ResolveName(std::u16string_view name, std::u16string* queue) {
  if (name.size() > 2 && name.substr(0, 2) == u"\\\\") {
    const std::size_t slash = name.find(u'\\', 2);
    const std::u16string_view server =
        name.substr(2, slash == std::u16string_view::npos ? std::u16string_view::npos : slash - 2);
    if (FoldRegistryName(server) != FoldRegistryName(HostName()) &&
        FoldRegistryName(server) != u"LOCALHOST") {
      return RPC_S_SERVER_UNAVAILABLE;
    }
    if (slash == std::u16string_view::npos) return ERROR_INVALID_PRINTER_NAME;
    name = name.substr(slash + 1);
  }
  if (!ValidQueueName(name)) return ERROR_INVALID_PRINTER_NAME;
  Queue q;
  if (std::uint32_t err = LoadQueue(std::u16string(name), &q)) return err;
  *queue = q.name;
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::AddPrinter(std::uint32_t level, const PrinterInfo2* info,
                                         PrinterHandle* handle) {
  if (level != 2) return ERROR_INVALID_LEVEL;
  if (info == nullptr || handle == nullptr) return ERROR_INVALID_PARAMETER;
  *handle = 0;
  const std::u16string name = Text(info->pPrinterName);
  if (!ValidQueueName(name)) return ERROR_INVALID_PRINTER_NAME;
  if (Text(info->pPortName).empty() || Text(info->pDriverName).empty()) {
    return ERROR_INVALID_PARAMETER;
  }
  RegistryStore& s = Store();
  Key printers(s);
  if (std::uint32_t err = s.RegCreateKeyEx(HKEY_LOCAL_MACHINE, kPrinters, 0, KEY_ALL_ACCESS,
                                           printers.out(), nullptr)) {
    return err;
  }
  const std::uint32_t err = s.Batch(printers.get(), [&]() -> std::uint32_t {
    Key key(s);
    std::uint32_t disposition = 0;
    if (std::uint32_t e = s.RegCreateKeyEx(printers.get(), name, 0, KEY_ALL_ACCESS, key.out(),
                                           &disposition)) {
      return e;
    }
    if (disposition != REG_CREATED_NEW_KEY) return ERROR_PRINTER_ALREADY_EXISTS;
    const RegHandle h = key.get();
    const std::u16string processor =
        Text(info->pPrintProcessor).empty() ? u"winprint" : Text(info->pPrintProcessor);
    const std::u16string datatype = Text(info->pDatatype).empty() ? u"RAW" : Text(info->pDatatype);
    const std::uint32_t priority = info->Priority == 0 ? DEF_PRIORITY : info->Priority;
    const std::pair<const char16_t*, std::u16string> texts[] = {
        {u"Name", name},
        {u"Share Name", Text(info->pShareName)},
        {u"Port", Text(info->pPortName)},
        {u"Printer Driver", Text(info->pDriverName)},
        {u"Description", Text(info->pComment)},
        {u"Location", Text(info->pLocation)},
        {u"Separator File", Text(info->pSepFile)},
        {u"Print Processor", processor},
        {u"Datatype", datatype},
        {u"Parameters", Text(info->pParameters)},
    };
    for (const auto& [valueName, text] : texts) {
      if (std::uint32_t e = WriteString(s, h, valueName, text)) return e;
    }
    const std::pair<const char16_t*, std::uint32_t> numbers[] = {
        {u"Attributes", info->Attributes | PRINTER_ATTRIBUTE_LOCAL},
        {u"Priority", priority},
        {u"Default Priority", info->DefaultPriority},
        {u"StartTime", info->StartTime},
        {u"UntilTime", info->UntilTime},
        {u"Status", info->Status},
    };
    for (const auto& [valueName, number] : numbers) {
      if (std::uint32_t e = WriteDword(s, h, valueName, number)) return e;
    }
    Key data(s);
    return s.RegCreateKeyEx(h, kDriverData, 0, KEY_ALL_ACCESS, data.out(), nullptr);
  });
  if (err) return err;
  *handle = AddHandle(Handle{name, PRINTER_ALL_ACCESS, 0});
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::DeletePrinter(PrinterHandle handle) {
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (!(h.access & PRINTER_DELETE)) return ERROR_ACCESS_DENIED;
  RegistryStore& s = Store();
  return s.Batch(HKEY_LOCAL_MACHINE, [&]() -> std::uint32_t {
    const std::uint32_t e = s.SHDeleteKey(HKEY_LOCAL_MACHINE, JobsPath(h.printer));
    if (e != ERROR_SUCCESS && e != ERROR_FILE_NOT_FOUND) return e;
    return s.SHDeleteKey(HKEY_LOCAL_MACHINE, PrinterPath(h.printer));
  });
}

std::uint32_t SpoolerService::OpenPrinter(std::u16string_view name, PrinterHandle* handle,
                                          const PrinterDefaults* defaults) {
  if (handle == nullptr) return ERROR_INVALID_PARAMETER;
  *handle = 0;
  std::u16string queue;
  if (std::uint32_t err = ResolveName(name, &queue)) return err;
  Queue q;
  if (std::uint32_t err = LoadQueue(queue, &q)) return err;
  std::uint32_t access = defaults != nullptr ? defaults->DesiredAccess : 0;
  if (access == 0) access = PRINTER_ACCESS_USE;
  if (access & q.denied) return ERROR_ACCESS_DENIED;
  *handle = AddHandle(Handle{q.name, access, 0});
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::ClosePrinter(PrinterHandle handle) {
  std::lock_guard lock(mutex_);
  return handles_.erase(handle) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::uint32_t SpoolerService::SetPrinterDeniedAccess(std::u16string_view name, std::uint32_t mask) {
  RegistryStore& s = Store();
  std::u16string queue;
  if (std::uint32_t err = ResolveName(name, &queue)) return err;
  Key key(s);
  if (std::uint32_t err =
          s.RegOpenKeyEx(HKEY_LOCAL_MACHINE, PrinterPath(queue), 0, KEY_ALL_ACCESS, key.out())) {
    return err;
  }
  return WriteDword(s, key.get(), u"DeniedAccess", mask);
}


std::uint32_t SpoolerService::GetPrinter(PrinterHandle handle, std::uint32_t level,
                                         std::uint8_t* buffer, std::uint32_t size,
                                         std::uint32_t* needed) {
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (level != 1 && level != 2 && level != 4 && level != 5) return ERROR_INVALID_LEVEL;
  Queue q;
  if (std::uint32_t err = LoadQueue(h.printer, &q)) return err;
  const std::u16string texts[] = {q.share,   q.port,           q.driver,   q.comment,  q.location,
                                  q.sepFile, q.printProcessor, q.datatype, q.parameters};
  const std::u16string description = q.name + u"," + q.driver + u"," + q.comment;
  std::size_t total = 0;
  switch (level) {
    case 1:
      total = sizeof(PrinterInfo1) + Packer::Size(description) + Packer::Size(q.name) +
              Packer::Size(q.comment);
      break;
    case 2:
      total = sizeof(PrinterInfo2) + Packer::Size(u"") + Packer::Size(q.name);
      for (const std::u16string& t : texts) total += Packer::Size(t);
      break;
    case 4:
      total = sizeof(PrinterInfo4) + Packer::Size(q.name) + Packer::Size(u"");
      break;
    default:
      total = sizeof(PrinterInfo5) + Packer::Size(q.name) + Packer::Size(q.port);
      break;
  }
  if (std::uint32_t err = CheckRoom(total, buffer, size, needed, ERROR_INSUFFICIENT_BUFFER)) {
    return err;
  }
  std::memset(buffer, 0, total);
  switch (level) {
    case 1: {
      Packer p(buffer, sizeof(PrinterInfo1));
      auto* r = reinterpret_cast<PrinterInfo1*>(buffer);
      r->Flags = 0x00800000;  // PRINTER_ENUM_ICON8: a printer, not a container
      r->pDescription = p.String(description);
      r->pName = p.String(q.name);
      r->pComment = p.String(q.comment);
      break;
    }
    case 2: {
      Packer p(buffer, sizeof(PrinterInfo2));
      auto* r = reinterpret_cast<PrinterInfo2*>(buffer);
      r->pServerName = p.String(u"");
      r->pPrinterName = p.String(q.name);
      r->pShareName = p.String(q.share);
      r->pPortName = p.String(q.port);
      r->pDriverName = p.String(q.driver);
      r->pComment = p.String(q.comment);
      r->pLocation = p.String(q.location);
      r->pDevMode = nullptr;
      r->pSepFile = p.String(q.sepFile);
      r->pPrintProcessor = p.String(q.printProcessor);
      r->pDatatype = p.String(q.datatype);
      r->pParameters = p.String(q.parameters);
      r->pSecurityDescriptor = nullptr;
      r->Attributes = q.attributes;
      r->Priority = q.priority;
      r->DefaultPriority = q.defaultPriority;
      r->StartTime = q.startTime;
      r->UntilTime = q.untilTime;
      r->Status = q.status;
      r->cJobs = q.jobs;
      r->AveragePPM = 0;
      break;
    }
    case 4: {
      Packer p(buffer, sizeof(PrinterInfo4));
      auto* r = reinterpret_cast<PrinterInfo4*>(buffer);
      r->pPrinterName = p.String(q.name);
      r->pServerName = p.String(u"");
      r->Attributes = q.attributes;
      break;
    }
    default: {
      Packer p(buffer, sizeof(PrinterInfo5));
      auto* r = reinterpret_cast<PrinterInfo5*>(buffer);
      r->pPrinterName = p.String(q.name);
      r->pPortName = p.String(q.port);
      r->Attributes = q.attributes;
      r->DeviceNotSelectedTimeout = 15000;
      r->TransmissionRetryTimeout = 45000;
      break;
    }
  }
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::SetPrinter(PrinterHandle handle, std::uint32_t level,
                                         const void* info, std::uint32_t command) {
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (!(h.access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
  RegistryStore& s = Store();
  Key key(s);
  if (std::uint32_t err = s.RegOpenKeyEx(HKEY_LOCAL_MACHINE, PrinterPath(h.printer), 0,
                                         KEY_ALL_ACCESS, key.out())) {
    return err;
  }
  if (level == 0) {
    const std::uint32_t status = ReadDword(s, key.get(), u"Status");
    switch (command) {
      case PRINTER_CONTROL_PAUSE:
        return WriteDword(s, key.get(), u"Status", status | PRINTER_STATUS_PAUSED);
      case PRINTER_CONTROL_RESUME:
        return WriteDword(s, key.get(), u"Status", status & ~PRINTER_STATUS_PAUSED);
      case PRINTER_CONTROL_PURGE: {
        const std::uint32_t e = s.SHDeleteKey(HKEY_LOCAL_MACHINE, JobsPath(h.printer));
        return e == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : e;
      }
      default:
        return ERROR_INVALID_PRINTER_COMMAND;
    }
  }
  if (level != 2) return ERROR_INVALID_LEVEL;
  if (info == nullptr || command != 0) return ERROR_INVALID_PARAMETER;
  const auto* r = static_cast<const PrinterInfo2*>(info);
  if (r->pPrinterName != nullptr &&
      FoldRegistryName(r->pPrinterName) != FoldRegistryName(h.printer)) {
    return ERROR_INVALID_PARAMETER;  // renaming queues is not supported
  }
  if (r->Priority > MAX_PRIORITY) return ERROR_INVALID_PARAMETER;
  return s.Batch(key.get(), [&]() -> std::uint32_t {
    const std::pair<const char16_t*, const char16_t*> texts[] = {
        {u"Share Name", r->pShareName},          {u"Port", r->pPortName},
        {u"Printer Driver", r->pDriverName},     {u"Description", r->pComment},
        {u"Location", r->pLocation},             {u"Separator File", r->pSepFile},
        {u"Print Processor", r->pPrintProcessor}, {u"Datatype", r->pDatatype},
        {u"Parameters", r->pParameters},
    };
    for (const auto& [valueName, text] : texts) {
      if (text == nullptr) continue;
      if (std::uint32_t e = WriteString(s, key.get(), valueName, text)) return e;
    }
    const std::pair<const char16_t*, std::uint32_t> numbers[] = {
        {u"Attributes", r->Attributes | PRINTER_ATTRIBUTE_LOCAL},
        {u"Priority", r->Priority == 0 ? DEF_PRIORITY : r->Priority},
        {u"Default Priority", r->DefaultPriority},
        {u"StartTime", r->StartTime},
        {u"UntilTime", r->UntilTime},
    };
    for (const auto& [valueName, number] : numbers) {
      if (std::uint32_t e = WriteDword(s, key.get(), valueName, number)) return e;
    }
    return ERROR_SUCCESS;
  });
}

std::uint32_t SpoolerService::EnumPrinters(std::uint32_t flags, std::u16string_view name,
                                           std::uint32_t level, std::uint8_t* buffer,
                                           std::uint32_t size, std::uint32_t* needed,
                                           std::uint32_t* returned) {
  if (needed == nullptr || returned == nullptr) return ERROR_INVALID_PARAMETER;
  *returned = 0;
  if (level != 1 && level != 2 && level != 4 && level != 5) return ERROR_INVALID_LEVEL;
  if (!name.empty()) {
    std::u16string server(name);
    if (server.size() < 2 || server.substr(0, 2) != u"\\\\" ||
        (FoldRegistryName(server.substr(2)) != FoldRegistryName(HostName()) &&
         FoldRegistryName(server.substr(2)) != u"LOCALHOST")) {
      return RPC_S_SERVER_UNAVAILABLE;
    }
  }
  std::vector<std::u16string> names;
  if (flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME | PRINTER_ENUM_DEFAULT)) {
    RegistryStore& s = Store();
    Key printers(s);
    const std::uint32_t err =
        s.RegOpenKeyEx(HKEY_LOCAL_MACHINE, kPrinters, 0, KEY_READ, printers.out());
    if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND) return err;
    if (err == ERROR_SUCCESS) {
      if (std::uint32_t e = ForEachSubKey(
              s, printers.get(), [&](const char16_t* n, std::uint32_t length) -> std::uint32_t {
                names.emplace_back(n, length);
                return ERROR_SUCCESS;
              })) {
        return e;
      }
    }
  }
  // Each record is read with GetPrinter through a temporary handle, so the
  // layout is the same; records go first, strings after all of them.
  std::vector<std::vector<std::uint8_t>> records;
  const std::size_t recordSize = level == 1   ? sizeof(PrinterInfo1)
                                 : level == 2 ? sizeof(PrinterInfo2)
                                 : level == 4 ? sizeof(PrinterInfo4)
                                              : sizeof(PrinterInfo5);
  for (const std::u16string& n : names) {
    const PrinterHandle ph = AddHandle(Handle{n, PRINTER_READ, 0});
    std::uint32_t need = 0;
    std::uint32_t e = GetPrinter(ph, level, nullptr, 0, &need);
    std::vector<std::uint8_t> record;
    if (e == ERROR_INSUFFICIENT_BUFFER) {
      record.resize(need);
      e = GetPrinter(ph, level, record.data(), need, &need);
    }
    ClosePrinter(ph);
    if (e == ERROR_PRINTER_DELETED || e == ERROR_INVALID_PRINTER_NAME) continue;  // gone meanwhile
    if (e) return e;
    records.push_back(std::move(record));
  }
  const std::uint32_t err =
      PackRecords(records, recordSize, buffer, size, needed, [&](std::uint8_t* slot, auto& move) {
        if (level == 1) {
          auto* r = reinterpret_cast<PrinterInfo1*>(slot);
          for (char16_t** f : {&r->pDescription, &r->pName, &r->pComment}) move(*f);
        } else if (level == 2) {
          auto* r = reinterpret_cast<PrinterInfo2*>(slot);
          for (char16_t** f : {&r->pServerName, &r->pPrinterName, &r->pShareName, &r->pPortName,
                               &r->pDriverName, &r->pComment, &r->pLocation, &r->pSepFile,
                               &r->pPrintProcessor, &r->pDatatype, &r->pParameters}) {
            move(*f);
          }
        } else if (level == 4) {
          auto* r = reinterpret_cast<PrinterInfo4*>(slot);
          for (char16_t** f : {&r->pPrinterName, &r->pServerName}) move(*f);
        } else {
          auto* r = reinterpret_cast<PrinterInfo5*>(slot);
          for (char16_t** f : {&r->pPrinterName, &r->pPortName}) move(*f);
        }
      });
  if (err) return err;
  *returned = static_cast<std::uint32_t>(records.size());
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::OpenDataKey(const Handle& h, std::u16string_view key, bool create,
                                          RegHandle* out) {
  RegistryStore& s = Store();
  std::u16string path = PrinterPath(h.printer);
  if (!key.empty()) path += u"\\" + std::u16string(key);
  if (create) return s.RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, out, nullptr);
  return s.RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, out);
}

std::uint32_t SpoolerService::OpenDataKeyToChange(PrinterHandle handle, std::u16string_view key,
                                                  RegHandle* out) {
  if (key.empty()) return ERROR_INVALID_PARAMETER;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (!(h.access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
  return OpenDataKey(h, key, true, out);
}

std::uint32_t SpoolerService::GetPrinterDataEx(PrinterHandle handle, std::u16string_view key,
                                               std::u16string_view value, std::uint32_t* type,
                                               std::uint8_t* data, std::uint32_t size,
                                               std::uint32_t* needed) {
  if (needed == nullptr || key.empty()) return ERROR_INVALID_PARAMETER;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  RegistryStore& s = Store();
  Key k(s);
  if (std::uint32_t err = OpenDataKey(h, key, false, k.out())) return err;
  std::uint32_t length = size;
  const std::uint32_t err = s.RegQueryValueEx(k.get(), value, type, size == 0 ? nullptr : data,
                                              &length);
  if (err == ERROR_SUCCESS && (size == 0 || data == nullptr)) {
    // A size query: the value's length, and "more data" unless it is empty.
    *needed = length;
    return length == 0 ? ERROR_SUCCESS : ERROR_MORE_DATA;
  }
  *needed = length;
  return err;
}

std::uint32_t SpoolerService::GetPrinterData(PrinterHandle handle, std::u16string_view value,
                                             std::uint32_t* type, std::uint8_t* data,
                                             std::uint32_t size, std::uint32_t* needed) {
  return GetPrinterDataEx(handle, kDriverData, value, type, data, size, needed);
}

std::uint32_t SpoolerService::SetPrinterDataEx(PrinterHandle handle, std::u16string_view key,
                                               std::u16string_view value, std::uint32_t type,
                                               const std::uint8_t* data, std::uint32_t size) {
  RegistryStore& s = Store();
  Key k(s);
  if (std::uint32_t err = OpenDataKeyToChange(handle, key, k.out())) return err;
  return s.RegSetValueEx(k.get(), value, type, data, size);
}

std::uint32_t SpoolerService::SetPrinterData(PrinterHandle handle, std::u16string_view value,
                                             std::uint32_t type, const std::uint8_t* data,
                                             std::uint32_t size) {
  return SetPrinterDataEx(handle, kDriverData, value, type, data, size);
}

std::uint32_t SpoolerService::DeletePrinterDataEx(PrinterHandle handle, std::u16string_view key,
                                                  std::u16string_view value) {
  RegistryStore& s = Store();
  Key k(s);
  if (std::uint32_t err = OpenDataKeyToChange(handle, key, k.out())) return err;
  return s.RegDeleteValue(k.get(), value);
}

std::uint32_t SpoolerService::DeletePrinterData(PrinterHandle handle, std::u16string_view value) {
  return DeletePrinterDataEx(handle, kDriverData, value);
}

std::uint32_t SpoolerService::DeletePrinterKey(PrinterHandle handle, std::u16string_view key) {
  if (key.empty()) return ERROR_INVALID_PARAMETER;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (!(h.access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
  return Store().SHDeleteKey(HKEY_LOCAL_MACHINE,
                             PrinterPath(h.printer) + u"\\" + std::u16string(key));
}

std::uint32_t SpoolerService::EnumPrinterDataEx(PrinterHandle handle, std::u16string_view key,
                                                std::uint8_t* buffer, std::uint32_t size,
                                                std::uint32_t* needed, std::uint32_t* returned) {
  if (needed == nullptr || returned == nullptr || key.empty()) return ERROR_INVALID_PARAMETER;
  *returned = 0;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  RegistryStore& s = Store();
  Key k(s);
  if (std::uint32_t err = OpenDataKey(h, key, false, k.out())) return err;
  struct Entry {
    std::u16string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  std::vector<Entry> entries;
  std::vector<char16_t> name(kMaxValueNameLength + 1);
  for (std::uint32_t i = 0;; ++i) {
    std::uint32_t length = static_cast<std::uint32_t>(name.size());
    std::uint32_t type = 0;
    std::uint32_t dataSize = 0;
    std::uint32_t e = s.RegEnumValue(k.get(), i, name.data(), &length, &type, nullptr, &dataSize);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e) return e;
    Entry entry{std::u16string(name.data(), length), type, {}};
    std::uint32_t got = 0;
    e = s.RegQueryValueEx(k.get(), entry.name, &entry.type, nullptr, &got);
    if (e == ERROR_FILE_NOT_FOUND) continue;  // deleted meanwhile
    if (e) return e;
    entry.data.resize(got);
    e = s.RegQueryValueEx(k.get(), entry.name, &entry.type, entry.data.data(), &got);
    if (e == ERROR_FILE_NOT_FOUND) continue;
    if (e) return e;
    entry.data.resize(got);
    entries.push_back(std::move(entry));
  }
  std::size_t total = entries.size() * sizeof(PrinterEnumValues);
  for (const Entry& e : entries) total += Packer::Size(e.name) + e.data.size();
  if (std::uint32_t err = CheckRoom(total, buffer, size, needed, ERROR_MORE_DATA)) return err;
  Packer p(buffer, entries.size() * sizeof(PrinterEnumValues));
  auto* records = reinterpret_cast<PrinterEnumValues*>(buffer);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    records[i].pValueName = p.String(entries[i].name);
    records[i].cbValueName = static_cast<std::uint32_t>(Packer::Size(entries[i].name));
    records[i].dwType = entries[i].type;
    records[i].pData = p.Bytes(entries[i].data);
    records[i].cbData = static_cast<std::uint32_t>(entries[i].data.size());
  }
  *returned = static_cast<std::uint32_t>(entries.size());
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::EnumPrinterData(PrinterHandle handle, std::uint32_t index,
                                              char16_t* valueName, std::uint32_t valueNameSize,
                                              std::uint32_t* valueNameNeeded, std::uint32_t* type,
                                              std::uint8_t* data, std::uint32_t dataSize,
                                              std::uint32_t* dataNeeded) {
  if (valueNameNeeded == nullptr || dataNeeded == nullptr) return ERROR_INVALID_PARAMETER;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  RegistryStore& s = Store();
  Key k(s);
  if (std::uint32_t err = OpenDataKey(h, kDriverData, false, k.out())) {
    return err == ERROR_FILE_NOT_FOUND ? ERROR_NO_MORE_ITEMS : err;
  }
  std::vector<char16_t> name(kMaxValueNameLength + 1);
  std::uint32_t length = static_cast<std::uint32_t>(name.size());
  std::uint32_t storedType = 0;
  std::vector<std::uint8_t> bytes;
  std::uint32_t got = 0;
  if (std::uint32_t e =
          s.RegEnumValue(k.get(), index, name.data(), &length, &storedType, nullptr, &got)) {
    return e;
  }
  // The value may grow between the two reads: read again at its new size.
  for (int attempt = 0;; ++attempt) {
    if (attempt == 8) return ERROR_BUSY;
    bytes.resize(got);
    length = static_cast<std::uint32_t>(name.size());
    const std::uint32_t e =
        s.RegEnumValue(k.get(), index, name.data(), &length, &storedType, bytes.data(), &got);
    if (e == ERROR_SUCCESS) break;
    if (e != ERROR_MORE_DATA) return e;
  }
  *valueNameNeeded = (length + 1) * 2;
  *dataNeeded = got;
  if (type != nullptr) *type = storedType;
  if (valueName == nullptr || valueNameSize < *valueNameNeeded ||
      (got > 0 && (data == nullptr || dataSize < got))) {
    return ERROR_MORE_DATA;
  }
  std::memcpy(valueName, name.data(), *valueNameNeeded);
  if (got > 0) std::memcpy(data, bytes.data(), got);
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::EnumPrinterKey(PrinterHandle handle, std::u16string_view key,
                                             char16_t* subKeys, std::uint32_t size,
                                             std::uint32_t* needed) {
  if (needed == nullptr) return ERROR_INVALID_PARAMETER;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  RegistryStore& s = Store();
  Key k(s);
  if (std::uint32_t err = OpenDataKey(h, key, false, k.out())) return err;
  std::u16string list;
  if (std::uint32_t e =
          ForEachSubKey(s, k.get(), [&](const char16_t* n, std::uint32_t length) -> std::uint32_t {
            list.append(n, length);
            list.push_back(u'\0');
            return ERROR_SUCCESS;
          })) {
    return e;
  }
  list.push_back(u'\0');
  const std::size_t bytes = list.size() * 2;
  *needed = static_cast<std::uint32_t>(bytes);
  if (subKeys == nullptr || size < bytes) return ERROR_MORE_DATA;
  // bytes covers the closing pair of zero units (the check counts them as chars).
  std::memcpy(subKeys, list.data(), bytes);  // NOLINT(bugprone-not-null-terminated-result)
  return ERROR_SUCCESS;
}

// ---- Jobs ----

std::uint32_t SpoolerService::LoadJob(const std::u16string& printer, std::uint32_t jobId, Job* j) {
  RegistryStore& s = Store();
  Key k(s);
  const std::uint32_t err =
      s.RegOpenKeyEx(HKEY_LOCAL_MACHINE, JobPath(printer, jobId), 0, KEY_READ, k.out());
  if (err == ERROR_FILE_NOT_FOUND) return ERROR_INVALID_PARAMETER;
  if (err) return err;
  const RegHandle h = k.get();
  j->id = jobId;
  j->printer = printer;
  for (const auto& [name, field] : JobTextValues<Job>()) j->*field = ReadString(s, h, name);
  for (const auto& [name, field] : JobNumberValues<Job>()) j->*field = ReadDword(s, h, name);
  std::uint32_t size = sizeof(SystemTime);
  std::uint8_t raw[sizeof(SystemTime)] = {};
  if (s.RegQueryValueEx(h, u"Submitted", nullptr, raw, &size) == 0 && size == sizeof raw) {
    std::memcpy(&j->submitted, raw, sizeof raw);
  }
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::SaveJob(const Job& j) {
  RegistryStore& s = Store();
  Key k(s);
  if (std::uint32_t err = s.RegCreateKeyEx(HKEY_LOCAL_MACHINE, JobPath(j.printer, j.id), 0,
                                           KEY_ALL_ACCESS, k.out(), nullptr)) {
    return err;
  }
  const RegHandle h = k.get();
  for (const auto& [name, field] : JobTextValues<Job>()) {
    if (std::uint32_t e = WriteString(s, h, name, j.*field)) return e;
  }
  for (const auto& [name, field] : JobNumberValues<Job>()) {
    if (std::uint32_t e = WriteDword(s, h, name, j.*field)) return e;
  }
  std::uint8_t raw[sizeof(SystemTime)];
  std::memcpy(raw, &j.submitted, sizeof raw);
  return s.RegSetValueEx(h, u"Submitted", REG_BINARY, raw, sizeof raw);
}

std::uint32_t SpoolerService::ListJobs(const std::u16string& printer, std::vector<Job>* out) {
  out->clear();
  RegistryStore& s = Store();
  Key k(s);
  const std::uint32_t err =
      s.RegOpenKeyEx(HKEY_LOCAL_MACHINE, JobsPath(printer), 0, KEY_READ, k.out());
  if (err == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (err) return err;
  if (std::uint32_t e =
          ForEachSubKey(s, k.get(), [&](const char16_t* n, std::uint32_t length) -> std::uint32_t {
            std::uint32_t id = 0;
            for (std::uint32_t c = 0; c < length; ++c)
              id = id * 10 + static_cast<std::uint32_t>(n[c] - u'0');
            Job job;
            const std::uint32_t le = LoadJob(printer, id, &job);
            if (le == ERROR_INVALID_PARAMETER) return ERROR_SUCCESS;  // removed meanwhile
            if (le) return le;
            out->push_back(std::move(job));
            return ERROR_SUCCESS;
          })) {
    return e;
  }
  std::sort(out->begin(), out->end(), [](const Job& a, const Job& b) {
    return a.order != b.order ? a.order < b.order : a.id < b.id;
  });
  for (std::size_t i = 0; i < out->size(); ++i) (*out)[i].position = static_cast<std::uint32_t>(i + 1);
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::RemoveJob(const std::u16string& printer, std::uint32_t jobId) {
  return Store().SHDeleteKey(HKEY_LOCAL_MACHINE, JobPath(printer, jobId));
}

std::uint32_t SpoolerService::StartDocPrinter(PrinterHandle handle, std::uint32_t level,
                                              const DocInfo1* info, std::uint32_t* jobId) {
  if (jobId == nullptr) return ERROR_INVALID_PARAMETER;
  *jobId = 0;
  if (level != 1) return ERROR_INVALID_LEVEL;
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  Queue q;
  if (std::uint32_t err = LoadQueue(h.printer, &q)) return err;
  RegistryStore& s = Store();
  Key print(s);
  if (std::uint32_t err = s.RegCreateKeyEx(HKEY_LOCAL_MACHINE, kPrint, 0, KEY_ALL_ACCESS,
                                           print.out(), nullptr)) {
    return err;
  }
  const TokenUser user = ThreadTokenService::EffectiveUser();
  std::uint32_t id = 0;
  // The id counter and the new job commit together: no two jobs share an id
  // across processes.
  const std::uint32_t err = s.Batch(print.get(), [&]() -> std::uint32_t {
    id = ReadDword(s, print.get(), u"NextJobId");
    if (id == 0) id = 1;
    std::uint32_t next = id + 1 == 0 ? 1 : id + 1;
    if (std::uint32_t e = WriteDword(s, print.get(), u"NextJobId", next)) return e;
    Job job;
    job.id = id;
    job.printer = h.printer;
    job.machine = u"\\\\" + HostName();
    job.user = user.name.empty() ? user.sid : user.name;
    job.document = Text(info->pDocName);
    job.notify = job.user;
    job.datatype = Text(info->pDatatype).empty() ? q.datatype : Text(info->pDatatype);
    job.printProcessor = q.printProcessor;
    job.driver = q.driver;
    job.status = JOB_STATUS_SPOOLING;
    job.priority = DEF_PRIORITY;
    job.order = id;
    job.submitted = NowUtc();
    return SaveJob(job);
  });
  if (err) return err;
  {
    std::lock_guard lock(mutex_);
    auto it = handles_.find(handle);
    if (it != handles_.end()) it->second.openJob = id;
  }
  *jobId = id;
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::WritePrinter(PrinterHandle handle, const void* data,
                                           std::uint32_t size, std::uint32_t* written) {
  if (written == nullptr || (size > 0 && data == nullptr)) return ERROR_INVALID_PARAMETER;
  *written = 0;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (h.openJob == 0) return ERROR_SPL_NO_STARTDOC;
  RegistryStore& s = Store();
  const std::uint32_t err = s.Batch(HKEY_LOCAL_MACHINE, [&]() -> std::uint32_t {
    Job job;
    if (std::uint32_t e = LoadJob(h.printer, h.openJob, &job)) return e;
    job.size += size;
    return SaveJob(job);
  });
  if (err == ERROR_SUCCESS) *written = size;
  return err;
}

std::uint32_t SpoolerService::EndDocPrinter(PrinterHandle handle) {
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (h.openJob == 0) return ERROR_SPL_NO_STARTDOC;
  RegistryStore& s = Store();
  const std::uint32_t err = s.Batch(HKEY_LOCAL_MACHINE, [&]() -> std::uint32_t {
    Job job;
    const std::uint32_t e = LoadJob(h.printer, h.openJob, &job);
    if (e == ERROR_INVALID_PARAMETER) return ERROR_SUCCESS;  // cancelled while spooling
    if (e) return e;
    job.status &= ~JOB_STATUS_SPOOLING;
    return SaveJob(job);
  });
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  if (it != handles_.end()) it->second.openJob = 0;
  return err;
}


std::uint32_t SpoolerService::GetJob(PrinterHandle handle, std::uint32_t jobId,
                                     std::uint32_t level, std::uint8_t* buffer,
                                     std::uint32_t size, std::uint32_t* needed) {
  if (needed == nullptr) return ERROR_INVALID_PARAMETER;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (level != 1 && level != 2) return ERROR_INVALID_LEVEL;
  std::vector<Job> jobs;
  if (std::uint32_t err = ListJobs(h.printer, &jobs)) return err;
  auto it = std::find_if(jobs.begin(), jobs.end(), [&](const Job& j) { return j.id == jobId; });
  if (it == jobs.end()) return ERROR_INVALID_PARAMETER;
  const Job& j = *it;
  std::uint32_t err = ERROR_SUCCESS;
  if (level == 1) {
    auto p = StartRecord<JobInfo1>(
        {&j.printer, &j.machine, &j.user, &j.document, &j.datatype, &j.statusText}, buffer, size,
        needed, &err);
    if (!p) return err;
    auto* r = reinterpret_cast<JobInfo1*>(buffer);
    PackJobHead(r, *p, j);
    r->pDatatype = p->String(j.datatype);
    PackJobTail(r, *p, j);
    return ERROR_SUCCESS;
  }
  auto p =
      StartRecord<JobInfo2>({&j.printer, &j.machine, &j.user, &j.document, &j.notify, &j.datatype,
                             &j.printProcessor, &j.parameters, &j.driver, &j.statusText},
                            buffer, size, needed, &err);
  if (!p) return err;
  auto* r = reinterpret_cast<JobInfo2*>(buffer);
  PackJobHead(r, *p, j);
  r->pNotifyName = p->String(j.notify);
  r->pDatatype = p->String(j.datatype);
  r->pPrintProcessor = p->String(j.printProcessor);
  r->pParameters = p->String(j.parameters);
  r->pDriverName = p->String(j.driver);
  r->pDevMode = nullptr;
  PackJobTail(r, *p, j);
  r->pSecurityDescriptor = nullptr;
  r->StartTime = j.startTime;
  r->UntilTime = j.untilTime;
  r->Size = j.size;
  r->Time = 0;
  return ERROR_SUCCESS;
}

std::uint32_t SpoolerService::SetJob(PrinterHandle handle, std::uint32_t jobId,
                                     std::uint32_t level, const void* info,
                                     std::uint32_t command) {
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (level != 0 && level != 1 && level != 2) return ERROR_INVALID_LEVEL;
  if (level != 0 && info == nullptr) return ERROR_INVALID_PARAMETER;
  if (command > JOB_CONTROL_DELETE) return ERROR_INVALID_PARAMETER;
  RegistryStore& s = Store();
  return s.Batch(HKEY_LOCAL_MACHINE, [&]() -> std::uint32_t {
    std::vector<Job> jobs;
    if (std::uint32_t e = ListJobs(h.printer, &jobs)) return e;
    auto it = std::find_if(jobs.begin(), jobs.end(), [&](const Job& j) { return j.id == jobId; });
    if (it == jobs.end()) return ERROR_INVALID_PARAMETER;
    Job job = *it;
    std::uint32_t position = JOB_POSITION_UNSPECIFIED;
    const auto take = [](std::u16string& field, const char16_t* text) {
      if (text != nullptr) field = text;
    };
    if (level == 1) {
      const auto* r = static_cast<const JobInfo1*>(info);
      take(job.user, r->pUserName);
      take(job.document, r->pDocument);
      take(job.datatype, r->pDatatype);
      take(job.statusText, r->pStatus);
      if (r->Priority != 0) job.priority = r->Priority;
      job.totalPages = r->TotalPages != 0 ? r->TotalPages : job.totalPages;
      position = r->Position;
    } else if (level == 2) {
      const auto* r = static_cast<const JobInfo2*>(info);
      take(job.user, r->pUserName);
      take(job.document, r->pDocument);
      take(job.notify, r->pNotifyName);
      take(job.datatype, r->pDatatype);
      take(job.printProcessor, r->pPrintProcessor);
      take(job.parameters, r->pParameters);
      take(job.statusText, r->pStatus);
      if (r->Priority != 0) job.priority = r->Priority;
      job.totalPages = r->TotalPages != 0 ? r->TotalPages : job.totalPages;
      job.startTime = r->StartTime;
      job.untilTime = r->UntilTime;
      position = r->Position;
    }
    if (job.priority < MIN_PRIORITY || job.priority > MAX_PRIORITY) return ERROR_INVALID_PARAMETER;
    if (position > jobs.size()) return ERROR_INVALID_PARAMETER;
    switch (command) {
      case JOB_CONTROL_CANCEL:
      case JOB_CONTROL_DELETE:
        return RemoveJob(h.printer, jobId);
      case JOB_CONTROL_PAUSE:
        job.status |= JOB_STATUS_PAUSED;
        break;
      case JOB_CONTROL_RESUME:
        job.status &= ~JOB_STATUS_PAUSED;
        break;
      case JOB_CONTROL_RESTART:
        job.status |= JOB_STATUS_RESTART;
        job.pagesPrinted = 0;
        break;
      default:
        break;
    }
    if (position != JOB_POSITION_UNSPECIFIED && position != job.position) {
      // Renumber the queue with the job at its new place.
      std::vector<Job> order;
      for (const Job& other : jobs) {
        if (other.id != jobId) order.push_back(other);
      }
      order.insert(order.begin() + (position - 1), job);
      for (std::size_t i = 0; i < order.size(); ++i) {
        order[i].order = static_cast<std::uint32_t>(i + 1);
        if (order[i].id == jobId) {
          job.order = order[i].order;
          continue;
        }
        if (std::uint32_t e = SaveJob(order[i])) return e;
      }
    }
    return SaveJob(job);
  });
}

std::uint32_t SpoolerService::EnumJobs(PrinterHandle handle, std::uint32_t firstJob,
                                       std::uint32_t count, std::uint32_t level,
                                       std::uint8_t* buffer, std::uint32_t size,
                                       std::uint32_t* needed, std::uint32_t* returned) {
  if (needed == nullptr || returned == nullptr) return ERROR_INVALID_PARAMETER;
  *returned = 0;
  Handle h;
  if (std::uint32_t err = FindHandle(handle, &h)) return err;
  if (level != 1 && level != 2) return ERROR_INVALID_LEVEL;
  std::vector<Job> jobs;
  if (std::uint32_t err = ListJobs(h.printer, &jobs)) return err;
  std::vector<std::vector<std::uint8_t>> records;
  for (std::size_t i = firstJob; i < jobs.size() && records.size() < count; ++i) {
    std::uint32_t need = 0;
    std::uint32_t e = GetJob(handle, jobs[i].id, level, nullptr, 0, &need);
    if (e == ERROR_INVALID_PARAMETER) continue;
    if (e != ERROR_INSUFFICIENT_BUFFER) return e;
    std::vector<std::uint8_t> rec(need);
    e = GetJob(handle, jobs[i].id, level, rec.data(), need, &need);
    if (e == ERROR_INVALID_PARAMETER) continue;
    if (e) return e;
    records.push_back(std::move(rec));
  }
  const std::size_t recordSize = level == 1 ? sizeof(JobInfo1) : sizeof(JobInfo2);
  const std::uint32_t err =
      PackRecords(records, recordSize, buffer, size, needed, [&](std::uint8_t* slot, auto& move) {
        if (level == 1) {
          auto* r = reinterpret_cast<JobInfo1*>(slot);
          for (char16_t** f : {&r->pPrinterName, &r->pMachineName, &r->pUserName, &r->pDocument,
                               &r->pDatatype, &r->pStatus}) {
            move(*f);
          }
        } else {
          auto* r = reinterpret_cast<JobInfo2*>(slot);
          for (char16_t** f : {&r->pPrinterName, &r->pMachineName, &r->pUserName, &r->pDocument,
                               &r->pNotifyName, &r->pDatatype, &r->pPrintProcessor, &r->pParameters,
                               &r->pDriverName, &r->pStatus}) {
            move(*f);
          }
        }
      });
  if (err) return err;
  *returned = static_cast<std::uint32_t>(records.size());
  return ERROR_SUCCESS;
}

}  // namespace w4platform
