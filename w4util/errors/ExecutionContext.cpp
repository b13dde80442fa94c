#include "w4util/errors/ExecutionContext.h"

#include <map>
#include <utility>

#include "w4util/errors/UtilitiesDllPerThreadStorage.h"
#include "w4util/platform/Thread.h"

namespace {

constexpr std::int32_t kFirstContextId = ECIE_NOT_SPECIFIED;
constexpr std::int32_t kEndContextId = ECIE_NO_MORE_ENUMS;
constexpr std::int32_t kPrefixLength = 5;  // "ECIE_"

// Names of the ids from 31500 on, in id order.
constexpr const char16_t* kContextNames[] = {
    u"ECIE_NOT_SPECIFIED",
    u"ECIE_OEMDM_CONVERT",
    u"ECIE_OEMDM_MERGE",
    u"ECIE_COMMON_UI_PROP",
    u"ECIE_DOCUMENT_PROPERTY_SHEETS",
    u"ECIE_DOCPROP_INIT_WITH_WORKFLOW",
    u"ECIE_DEVICE_PROPERTY_SHEETS",
    u"ECIE_DEVPROP_INIT_WITH_WORKFLOW",
    u"ECIE_DEVICE_CAPABILITIES",
    u"ECIE_UPGRADE_PRINTER",
    u"ECIE_PRINTER_EVENT",
    u"ECIE_HIDE_STANDARD_UI",
    u"ECIE_QUERY_JOB_ATTRIBUTES",
    u"ECIE_PUBLISH_DEVMODE",
    u"ECIE_CREATE_PTPROVIDER",
    u"ECIE_INSTANTIATE_WALKUP_DM",
    u"ECIE_INSTANTIATE_TRADITIONAL_DM",
    u"ECIE_INITIALIZE_FOR_CPSUI",
    u"ECIE_DEVICE_INTERFACE_CTOR",
    u"ECIE_DM_POPULATE_FROM_SOURCE_DATA",
    u"ECIE_DM_INTEGRATE_SOURCE_DATA_BLOCK",
    u"ECIE_ENABLE_SUPPORTED_FEATURE_NOTIFICATIONS_FOR_DEFAULT_SETTINGS",
    u"ECIE_DM_UPDATE_CURRENT_SETTINGS_BLOCK",
    u"ECIE_INTEGRATE_SOURCE_DATA_FROM_DATA_SOURCES",
    u"ECIE_UPDATE_CURRENT_SETTINGS_BY_DATA_SOURCES",
    u"ECIE_ENABLE_ALL_SUPPORTED_FEATURE_NOTIFICATION_INFRASTRUCTURE",
    u"ECIE_REGISTER_FOR_INTEGRATE_SOURCE_DATA",
    u"ECIE_UNREGISTER_FOR_INTEGRATE_SOURCE_DATA",
    u"ECIE_INTEGRATE_SOURCE_DATA",
    u"ECIE_REGISTER_FOR_UPDATE_CURRENT_SETTINGS",
    u"ECIE_UPDATE_CURRENT_SETTINGS",
    u"ECIE_UNREGISTER_FOR_UPDATE_CURRENT_SETTINGS",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_INTEGRATE_SOURCE_DATA",
    u"ECIE_INIT_SPECIAL_PAGES_SERVICES",
    u"ECIE_INIT_TEMPORARY_SPECIAL_PAGES_SERVICES",
    u"ECIE_DATAMODEL_INITIALIZE_CONSTRAINT_ENGINE",
    u"ECIE_INIT_CURRENT_SETTINGS_FROM_DEFAULTS",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_UPDATE_CURRENT_SETTINGS",
    u"ECIE_ACTIVE_DEFAULTS_CAPABILITIES_VALIDATION",
    u"ECIE_SUPPLEMENTAL_DEFAULTS_CAPABILITIES_VALIDATION",
    u"ECIE_CURRENT_SETTINGS_CAPABILITIES_VALIDATION",
    u"ECIE_CURRENT_SETTINGS_CAPABILITIES_VALIDATION_AFTER_CONSTRAINT_ENGINE",
    u"ECIE_START_ENFORCING_REQUIRED_FEATURES",
    u"ECIE_REQUIRED_FEATURES_ENFORCEMENT",
    u"ECIE_EVENT_CURRENT_SETTINGS_INITIALIZED",
    u"ECIE_EVENT_CAN_UPDATE_CURRENT_SETTINGS_AFTER_DM_INIT",
    u"ECIE_DM_POPULATE_FROM_STATE_DATA",
    u"ECIE_EVENT_DRIVER_DEFAULT_ALL",
    u"ECIE_IMPORT_ACTIVE_DEFAULT_SETTINGS",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_DEFAULT_ALL_EVENT",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_CAPABILITIES_VALIDATION",
    u"ECIE_SET_TO_DEFAULT_VALUES",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_SET_TO_DEFAULT_VALUES",
    u"ECIE_UNDO_LAST_TRANSACTION",
    u"ECIE_PROCESS_CONSTRAINTS",
    u"ECIE_EXECUTE_CONSTRAINT",
    u"ECIE_PROCESS_NOTIFICATION",
    u"ECIE_SET_MS_FEATURE_CURRENT_SETTINGS",
    u"ECIE_GENERATE_JTIF",
    u"ECIE_IMPORT_DEVMODE_INTO_CURRENT_SETTINGS",
    u"ECIE_EXPORT_ASCII_TICKET_TO_PRINT_STREAM_BUFFER",
    u"ECIE_EXPORT_JTIF_TO_PRINT_STREAM_BUFFER",
    u"ECIE_SAVE_ADMIN_DEV_DEFAULTS_FROM_CURRENT_SETTINGS",
    u"ECIE_IMPORT_REG_DEVICE_SETTINGS_INTO_CURRENT_SETTINGS",
    u"ECIE_IMPORT_ADMIN_DEV_DEFAULTS_INTO_CURRENT_SETTINGS",
    u"ECIE_EXPORT_DEVMODE_SETTINGS_TO_UPDATE_DEVMODE",
    u"ECIE_EXPORT_DEVICE_SETTINGS_AND_SAVE_IN_REGISTRY",
    u"ECIE_IMPORT_ADMIN_DOC_DEFAULTS_INTO_CURRENT_SETTINGS",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_IMPORTING_ADMIN_DOC_DEFAULTS",
    u"ECIE_ASSIGN_CURRENT_SETTINGS_TO_OVERRIDDEN_DEFAULTS",
    u"ECIE_MERGE_FACTORY_DEFAULTS_INTO_OVERRIDDEN_DEFAULTS",
    u"ECIE_IMPORT_JTIF_FILE",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_IMPORT_JTIF_FILE",
    u"ECIE_EXPORT_JTIF_FILE",
    u"ECIE_FULLY_POPULATE_CAPABILITIES",
    u"ECIE_EXPORT_USER_STOCKS_TO_FILE",
    u"ECIE_IMPORT_USER_STOCKS_FROM_FILE",
    u"ECIE_IMPORT_PRINTER_STOCKS_FROM_FILE",
    u"ECIE_IMPORT_VELDT",
    u"ECIE_ASSIGN_CURRENT_SETTINGS_TO_OTHER_SETTINGS",
    u"ECIE_IMPORT_CBR_XML_DATA",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_IMPORT_OVERRIDDEN_DEFAULTS",
    u"ECIE_SAVE_AS_APPLICATION_DEFAULTS",
    u"ECIE_SAVE_USER_DEFAULTS_BY_PRINTER",
    u"ECIE_SAVE_ADMIN_DEFAULTS",
    u"ECIE_SAVE_NAMED_SETTING",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_LOAD_SAVED_SETTINGS",
    u"ECIE_LOAD_NAMED_SETTING",
    u"ECIE_SAVED_SETTINGS_MGR_SET_OVERRIDDEN_DEFAULTS_FROM_CURRENT_SETTINGS",
    u"ECIE_SAVED_SETTINGS_MGR_RESTORING_FACTORY_DEFAULTS",
    u"ECIE_SAVED_SETTINGS_MGR_LOADING_ADMIN_DOC_DEFAULTS",
    u"ECIE_SAVED_SETTINGS_MGR_RESTORING_ACTIVE_DEFAULTS",
    u"ECIE_SAVED_SETTINGS_MGR_LOAD_APP_DEFAULTS",
    u"ECIE_SAVED_SETTINGS_MGR_SET_OVERRIDDEN_DEFAULTS_FROM_USER_DEFAULTS",
    u"ECIE_SEND_NOTIFICATIONS_AFTER_LOAD_USED_BACKGROUND_FORM",
    u"ECIE_PROCESSING_OK_OR_APPLY_BUTTON",
    u"ECIE_SETUP_FOR_DEVICE_CAPABILITIES",
    u"ECIE_NO_DEVICE_CAPABILITIES_CACHE_SO_CREATE_DATAMODEL",
    u"ECIE_DEVICE_CAPABILITIES_HANDLER_PDEVMODE",
    u"ECIE_PRINTER_EVENT_INITIALIZE_DELETE_AND_UPGRADE",
    u"ECIE_FIRST_PHASE_INITIALIZATIONS",
    u"ECIE_SECOND_PHASE_INITIALIZATIONS",
    u"ECIE_UNPACK_PRODUCT_CAB_AND_WRITE_MAPPINGS",
    u"ECIE_PROCESS_ADMIN_DEFAULTS_CFG_FILE",
    u"ECIE_INSTANTIATE_DM_TO_SPEED_FIRST_ACCESS_AFTER_INSTALL",
    u"ECIE_INITIALIZE_STUFF_AT_END_OF_INSTALL",
    u"ECIE_PHASE2B_INITIALIZATIONS",
    u"ECIE_PHASE2C_FINAL_INITIALIZATIONS",
    u"ECIE_PREPOPULATE_CACHES",
    u"ECIE_PROCESS_ATTRIBUTE_BYTES_FOR_DEVMODE_MERGE",
    u"ECIE_DEVMODE_CACHE_MISS_SO_INSTANTIATE_DATAMODEL",
    u"ECIE_THREAD_DLL_MANAGER",
    u"ECIE_THREAD_SABLE_VCDS",
    u"ECIE_THREAD_WSD_REQUEST",
    u"ECIE_THREAD_T5_CUSTOM_TYPE_DOWNLOAD",
    u"ECIE_THREAD_T5_COLOR_PIN_DOWNLOAD",
    u"ECIE_THREAD_JOB_STATUS_DOWNLOAD",
    u"ECIE_THREAD_DEVICE_STATUS_UPDATE",
    u"ECIE_THREAD_LOAD_CBRS_FROM_DEVICE",
    u"ECIE_THREAD_BASIC_DEVICE_DETECTION",
    u"ECIE_THREAD_RUN_AUTO_CONFIG",
    u"ECIE_PRINT_TICKET_PROVIDER_INIT_DATA_MODEL",
    u"ECIE_PRINT_TICKET_PROVIDER_RE_INIT_DATA_MODEL",
    u"ECIE_ATTRIBUTE_BYTE_LIST_TRANSLATOR",
    u"ECIE_ATTRIBUTE_TRANSLATOR",
    u"ECIE_ATTRIBUTE_TRANSLATOR_FOR_XML",
    u"ECIE_ATTRIBUTE_TRANSLATOR_FOR_XML_PARSING",
    u"ECIE_CAPABILITIES_TRANSFORMER",
    u"ECIE_CBR_TRANSLATOR",
    u"ECIE_SETTINGS_IMPORTER",
    u"ECIE_SETTINGS_INTERSECTOR",
    u"ECIE_SETTINGS_VALIDATOR",
    u"ECIE_VELDT_TRANSLATOR",
    u"ECIE_JTIF_TRANSLATOR",
    u"ECIE_FEATURE_VALUE_CHANGES_DUE_TO_SUPPORTED_FEATURE_CHANGES",
    u"ECIE_SETTINGS_REPORT_CHANGES_DUE_TO_NEWLY_SPECIFIED_PARENT",
    u"ECIE_IMPORT_SETTINGS_NOTIFY_SECOND_PASS",
    u"ECIE_SENDING_DEFERRED_NOTIFICATIONS_FROM_EARLIER_CHANGES",
    u"ECIE_XPS_FILTER_START_OPERATION",
    u"ECIE_IMPORTED_FEATURES_ELIGIBLE_FOR_UPGRADE",
    u"ECIE_UPGRADE_OBSERVERS_NOTIFIED_ABOUT_IMPORTED_FEATURES",
    u"ECIE_VALIDATE_SETTINGS_AT_DRIVER_UI_MAIN_OK_BUT_ONLY_ASSERT_DO_NOT_RESOLVE",
    u"ECIE_SUPPRESS_MEDIA_COL_ASSERTION",
    u"ECIE_IMPORT_MORREL",
    u"ECIE_IMPORT_DRIVER_VERSION_ATTRIBUTES_FROM_XML",
    u"ECIE_DO_VELDT_TESTING_OR_PROCESSING",
    u"ECIE_EXPORT_VELDT_IN_DO_VELDT_TESTING_OR_PROCESSING",
    u"ECIE_IMPORT_VELDT_IN_DO_VELDT_TESTING_OR_PROCESSING",
    u"ECIE_UPDATE_DATAMODEL_WITH_BIDI_STATUS_DURING_DATAMODEL_INIT",
};
static_assert(sizeof kContextNames / sizeof kContextNames[0] == kEndContextId - kFirstContextId,
              "one name per valid context id");

// Built once, on first use (the initialisation of a function-local static is
// serialised by the runtime); read-only afterwards.
const std::map<std::int32_t, CXString>& ContextNameTable() {
  static const std::map<std::int32_t, CXString>* table = [] {
    auto* made = new std::map<std::int32_t, CXString>();
    for (std::int32_t id = kFirstContextId; id < kEndContextId; ++id) {
      made->emplace(id, CXString(kContextNames[id - kFirstContextId]));
    }
    return made;
  }();
  return *table;
}

// Locks the guard of a stack when it has one.
class OptionalLock {
 public:
  explicit OptionalLock(std::mutex* guard) : m_pGuard(guard) {
    if (m_pGuard != nullptr) m_pGuard->lock();
  }
  ~OptionalLock() {
    if (m_pGuard != nullptr) m_pGuard->unlock();
  }
  OptionalLock(const OptionalLock&) = delete;
  OptionalLock& operator=(const OptionalLock&) = delete;

 private:
  std::mutex* m_pGuard;
};

}  // namespace

// --- ExecutionContextBase ---------------------------------------------------

ExecutionContextBase::ExecutionContextBase(std::int32_t contextId, const CXString& file,
                                           const CXString& method, std::int32_t line,
                                           bool locationEmbeddedInMsg, const CXString& details)
    : m_ContextId(contextId),
      m_File(file),
      m_Method(method),
      m_Line(line),
      m_LocationEmbeddedInMsg(locationEmbeddedInMsg),
      m_Details(details) {}

ExecutionContextBase::~ExecutionContextBase() = default;

bool ExecutionContextBase::operator==(const ExecutionContextBase& other) const {
  return m_ContextId == other.m_ContextId && m_File == other.m_File &&
         m_Method == other.m_Method && m_Line == other.m_Line &&
         m_LocationEmbeddedInMsg == other.m_LocationEmbeddedInMsg && m_Details == other.m_Details;
}

bool ExecutionContextBase::operator<(const ExecutionContextBase& other) const {
  if (m_ContextId != other.m_ContextId) return m_ContextId < other.m_ContextId;
  const std::int32_t byFile = m_File.Compare(other.m_File);
  if (byFile != 0) return byFile < 0;
  return m_Line < other.m_Line;
}

CXString ExecutionContextBase::GetContextDebugDisplayString(bool withPrefix) const {
  return GetDebugDisplayString(m_ContextId, withPrefix);
}

CXString ExecutionContextBase::GetSingleLineLocationString() const {
  CXString text;
  if (m_Method.Find(u"::") >= 0) {
    text.Format(u"%s line %ld", static_cast<const char16_t*>(m_Method), m_Line);
  } else {
    text.Format(u"%s, %s line %ld", static_cast<const char16_t*>(m_File),
                static_cast<const char16_t*>(m_Method), m_Line);
  }
  return text;
}

CXString ExecutionContextBase::GetDebugDisplayString(std::int32_t id, bool withPrefix, bool) {
  const auto& table = ContextNameTable();
  auto it = table.find(id);
  if (it == table.end()) return CXString();
  return withPrefix ? it->second : it->second.Mid(kPrefixLength);
}

bool ExecutionContextBase::AssertValidContextIdType(std::int32_t id) noexcept {
  return id >= kFirstContextId && id < kEndContextId;
}

// --- BasicExecutionContext --------------------------------------------------

BasicExecutionContext::BasicExecutionContext(std::int32_t contextId, const CXString& file,
                                             const CXString& method, std::int32_t line,
                                             bool locationEmbeddedInMsg, const CXString& details)
    : ExecutionContextBase(contextId, file, method, line, locationEmbeddedInMsg, details) {}

std::unique_ptr<ExecutionContextBase> BasicExecutionContext::Clone() const {
  return std::make_unique<BasicExecutionContext>(*this);
}

bool BasicExecutionContext::IsEqual(const ExecutionContextBase& other) const {
  return dynamic_cast<const BasicExecutionContext*>(&other) != nullptr && *this == other;
}

bool BasicExecutionContext::LessThan(const ExecutionContextBase& other) const {
  return *this < other;
}

CXString BasicExecutionContext::GetDumpDisplayString(bool withDetails) const {
  const CXString name = GetContextDebugDisplayString(false);
  const bool showDetails = withDetails && !GetDetails().IsEmpty();
  const char16_t* n = name;
  const char16_t* d = GetDetails();
  CXString text;
  if (IsLocationEmbeddedInMsg()) {
    if (showDetails) {
      text.Format(u"%s: %s", n, d);
    } else {
      text = name;
    }
    return text;
  }
  const CXString location = GetSingleLineLocationString();
  const char16_t* l = location;
  if (showDetails) {
    text.Format(u"%s: %s (%s)", n, d, l);
  } else {
    text.Format(u"%s (%s)", n, l);
  }
  return text;
}

// --- ExecutionContextStack --------------------------------------------------

// The frames of a guarded stack are shared by every thread, so a copy takes
// clones with atomically counted records instead of sharing them.
ExecutionContextStack::ExecutionContextStack(const ExecutionContextStack& other)
    : m_Frames(other.m_pGuard != nullptr ? other.CloneForOtherThreads().m_Frames
                                         : other.m_Frames) {}

ExecutionContextStack& ExecutionContextStack::operator=(const ExecutionContextStack& other) {
  if (&other == this) return *this;
  std::vector<ExecutionContextFramePtr> frames =
      other.m_pGuard != nullptr ? other.CloneForOtherThreads().m_Frames : other.m_Frames;
  OptionalLock lock(m_pGuard);
  m_Frames.swap(frames);
  return *this;
}

ExecutionContextStack::~ExecutionContextStack() = default;

void ExecutionContextStack::PushContext(const ExecutionContextFramePtr& frame) {
  OptionalLock lock(m_pGuard);
  m_Frames.push_back(frame);
}

void ExecutionContextStack::PopContext(const ExecutionContextFramePtr& /*frame*/) {
  OptionalLock lock(m_pGuard);
  if (!m_Frames.empty()) m_Frames.pop_back();
}

void ExecutionContextStack::PopContextAndRelease(std::optional<ExecutionContextFramePtr>& holder) {
  OptionalLock lock(m_pGuard);
  if (!m_Frames.empty()) m_Frames.pop_back();
  holder.reset();
}

CXString ExecutionContextStack::GetMultiLineDisplayString(bool withDetails) const {
  OptionalLock lock(m_pGuard);
  CXString text;
  text.Format(u"Execution context (Thread=0x%04lx) (%ld levels deep):\r\n",
              w4platform::CurrentThreadId(), static_cast<std::int32_t>(m_Frames.size()));
  CXString indent;
  for (const ExecutionContextFramePtr& frame : m_Frames) {
    indent += u"  ";
    CXString line;
    const CXString display = frame->GetDumpDisplayString(withDetails);
    line.Format(u"%s%s\r\n", static_cast<const char16_t*>(indent),
                static_cast<const char16_t*>(display));
    text += line;
  }
  return text;
}

CXString ExecutionContextStack::GetMostRecentContextDisplayString(bool withDetails) const {
  OptionalLock lock(m_pGuard);
  if (m_Frames.empty()) return CXString(u"<No Context>");
  return m_Frames.back()->GetDumpDisplayString(withDetails);
}

ExecutionContextStack ExecutionContextStack::CloneForOtherThreads() const {
  ExecutionContextStack copy;
  OptionalLock lock(m_pGuard);
  copy.m_Frames.reserve(m_Frames.size());
  for (const ExecutionContextFramePtr& frame : m_Frames) {
    copy.m_Frames.push_back(
        ExecutionContextFramePtr::CreateThreadShared(frame->Clone().release(), true));
  }
  return copy;
}

std::size_t ExecutionContextStack::GetSize() const {
  OptionalLock lock(m_pGuard);
  return m_Frames.size();
}

// --- ExecutionContextLifetime -----------------------------------------------

ExecutionContextLifetime::ExecutionContextLifetime(std::unique_ptr<ExecutionContextBase> frame)
    : ExecutionContextLifetime(UtilitiesDllPerThreadStorage::GetExecutionContextStack(),
                               std::move(frame)) {}

ExecutionContextLifetime::ExecutionContextLifetime(ExecutionContextStack& stack,
                                                   std::unique_ptr<ExecutionContextBase> frame)
    : m_Stack(stack) {
  m_Frame.emplace(frame.release(), true);
  m_Stack.PushContext(*m_Frame);
}

ExecutionContextLifetime::~ExecutionContextLifetime() { m_Stack.PopContextAndRelease(m_Frame); }
