// Execution contexts: the frames a thread pushes while it descends into work
// (importing settings, processing constraints, ...), the per-thread stack of
// them, and the scope object that pushes and pops one.
//
// A frame names its work by a context id (31500..31648, see
// ExecutionContextIdType) and the place it was made; frames never change
// after construction, so stacks and exceptions share them. A stack holds its
// frames oldest first through SharedPtr; copying a stack shares the frames.
// ExecutionContextLifetime pushes on construction and pops the newest frame
// on destruction, so lifetimes must nest.
//
// Thread-safety: a stack belongs to its thread and is not locked, except the
// one process-wide fallback stack (made with a guard), whose every change and
// copy runs under that guard. The id-name table is built once, under a lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"
#include "w4util/memory/SharedPtr.h"

// Context ids, consecutive from 31500; ECIE_NO_MORE_ENUMS ends the list and is
// not a valid id.
enum ExecutionContextIdType : std::int32_t {
  ECIE_NOT_SPECIFIED = 31500,
  ECIE_OEMDM_CONVERT,
  ECIE_OEMDM_MERGE,
  ECIE_COMMON_UI_PROP,
  ECIE_DOCUMENT_PROPERTY_SHEETS,
  ECIE_DOCPROP_INIT_WITH_WORKFLOW,
  ECIE_DEVICE_PROPERTY_SHEETS,
  ECIE_DEVPROP_INIT_WITH_WORKFLOW,
  ECIE_DEVICE_CAPABILITIES,
  ECIE_UPGRADE_PRINTER,
  ECIE_PRINTER_EVENT,
  ECIE_HIDE_STANDARD_UI,
  ECIE_QUERY_JOB_ATTRIBUTES,
  ECIE_PUBLISH_DEVMODE,
  ECIE_CREATE_PTPROVIDER,
  ECIE_INSTANTIATE_WALKUP_DM,
  ECIE_INSTANTIATE_TRADITIONAL_DM,
  ECIE_INITIALIZE_FOR_CPSUI,
  ECIE_DEVICE_INTERFACE_CTOR,
  ECIE_DM_POPULATE_FROM_SOURCE_DATA,
  ECIE_DM_INTEGRATE_SOURCE_DATA_BLOCK,
  ECIE_ENABLE_SUPPORTED_FEATURE_NOTIFICATIONS_FOR_DEFAULT_SETTINGS,
  ECIE_DM_UPDATE_CURRENT_SETTINGS_BLOCK,
  ECIE_INTEGRATE_SOURCE_DATA_FROM_DATA_SOURCES,
  ECIE_UPDATE_CURRENT_SETTINGS_BY_DATA_SOURCES,
  ECIE_ENABLE_ALL_SUPPORTED_FEATURE_NOTIFICATION_INFRASTRUCTURE,
  ECIE_REGISTER_FOR_INTEGRATE_SOURCE_DATA,
  ECIE_UNREGISTER_FOR_INTEGRATE_SOURCE_DATA,
  ECIE_INTEGRATE_SOURCE_DATA,
  ECIE_REGISTER_FOR_UPDATE_CURRENT_SETTINGS,
  ECIE_UPDATE_CURRENT_SETTINGS,
  ECIE_UNREGISTER_FOR_UPDATE_CURRENT_SETTINGS,
  ECIE_SEND_NOTIFICATIONS_AFTER_INTEGRATE_SOURCE_DATA,
  ECIE_INIT_SPECIAL_PAGES_SERVICES,
  ECIE_INIT_TEMPORARY_SPECIAL_PAGES_SERVICES,
  ECIE_DATAMODEL_INITIALIZE_CONSTRAINT_ENGINE,
  ECIE_INIT_CURRENT_SETTINGS_FROM_DEFAULTS,
  ECIE_SEND_NOTIFICATIONS_AFTER_UPDATE_CURRENT_SETTINGS,
  ECIE_ACTIVE_DEFAULTS_CAPABILITIES_VALIDATION,
  ECIE_SUPPLEMENTAL_DEFAULTS_CAPABILITIES_VALIDATION,
  ECIE_CURRENT_SETTINGS_CAPABILITIES_VALIDATION,
  ECIE_CURRENT_SETTINGS_CAPABILITIES_VALIDATION_AFTER_CONSTRAINT_ENGINE,
  ECIE_START_ENFORCING_REQUIRED_FEATURES,
  ECIE_REQUIRED_FEATURES_ENFORCEMENT,
  ECIE_EVENT_CURRENT_SETTINGS_INITIALIZED,
  ECIE_EVENT_CAN_UPDATE_CURRENT_SETTINGS_AFTER_DM_INIT,
  ECIE_DM_POPULATE_FROM_STATE_DATA,
  ECIE_EVENT_DRIVER_DEFAULT_ALL,
  ECIE_IMPORT_ACTIVE_DEFAULT_SETTINGS,
  ECIE_SEND_NOTIFICATIONS_AFTER_DEFAULT_ALL_EVENT,
  ECIE_SEND_NOTIFICATIONS_AFTER_CAPABILITIES_VALIDATION,
  ECIE_SET_TO_DEFAULT_VALUES,
  ECIE_SEND_NOTIFICATIONS_AFTER_SET_TO_DEFAULT_VALUES,
  ECIE_UNDO_LAST_TRANSACTION,
  ECIE_PROCESS_CONSTRAINTS,
  ECIE_EXECUTE_CONSTRAINT,
  ECIE_PROCESS_NOTIFICATION,
  ECIE_SET_MS_FEATURE_CURRENT_SETTINGS,
  ECIE_GENERATE_JTIF,
  ECIE_IMPORT_DEVMODE_INTO_CURRENT_SETTINGS,
  ECIE_EXPORT_ASCII_TICKET_TO_PRINT_STREAM_BUFFER,
  ECIE_EXPORT_JTIF_TO_PRINT_STREAM_BUFFER,
  ECIE_SAVE_ADMIN_DEV_DEFAULTS_FROM_CURRENT_SETTINGS,
  ECIE_IMPORT_REG_DEVICE_SETTINGS_INTO_CURRENT_SETTINGS,
  ECIE_IMPORT_ADMIN_DEV_DEFAULTS_INTO_CURRENT_SETTINGS,
  ECIE_EXPORT_DEVMODE_SETTINGS_TO_UPDATE_DEVMODE,
  ECIE_EXPORT_DEVICE_SETTINGS_AND_SAVE_IN_REGISTRY,
  ECIE_IMPORT_ADMIN_DOC_DEFAULTS_INTO_CURRENT_SETTINGS,
  ECIE_SEND_NOTIFICATIONS_AFTER_IMPORTING_ADMIN_DOC_DEFAULTS,
  ECIE_ASSIGN_CURRENT_SETTINGS_TO_OVERRIDDEN_DEFAULTS,
  ECIE_MERGE_FACTORY_DEFAULTS_INTO_OVERRIDDEN_DEFAULTS,
  ECIE_IMPORT_JTIF_FILE,
  ECIE_SEND_NOTIFICATIONS_AFTER_IMPORT_JTIF_FILE,
  ECIE_EXPORT_JTIF_FILE,
  ECIE_FULLY_POPULATE_CAPABILITIES,
  ECIE_EXPORT_USER_STOCKS_TO_FILE,
  ECIE_IMPORT_USER_STOCKS_FROM_FILE,
  ECIE_IMPORT_PRINTER_STOCKS_FROM_FILE,
  ECIE_IMPORT_VELDT,
  ECIE_ASSIGN_CURRENT_SETTINGS_TO_OTHER_SETTINGS,
  ECIE_IMPORT_CBR_XML_DATA,
  ECIE_SEND_NOTIFICATIONS_AFTER_IMPORT_OVERRIDDEN_DEFAULTS,
  ECIE_SAVE_AS_APPLICATION_DEFAULTS,
  ECIE_SAVE_USER_DEFAULTS_BY_PRINTER,
  ECIE_SAVE_ADMIN_DEFAULTS,
  ECIE_SAVE_NAMED_SETTING,
  ECIE_SEND_NOTIFICATIONS_AFTER_LOAD_SAVED_SETTINGS,
  ECIE_LOAD_NAMED_SETTING,
  ECIE_SAVED_SETTINGS_MGR_SET_OVERRIDDEN_DEFAULTS_FROM_CURRENT_SETTINGS,
  ECIE_SAVED_SETTINGS_MGR_RESTORING_FACTORY_DEFAULTS,
  ECIE_SAVED_SETTINGS_MGR_LOADING_ADMIN_DOC_DEFAULTS,
  ECIE_SAVED_SETTINGS_MGR_RESTORING_ACTIVE_DEFAULTS,
  ECIE_SAVED_SETTINGS_MGR_LOAD_APP_DEFAULTS,
  ECIE_SAVED_SETTINGS_MGR_SET_OVERRIDDEN_DEFAULTS_FROM_USER_DEFAULTS,
  ECIE_SEND_NOTIFICATIONS_AFTER_LOAD_USED_BACKGROUND_FORM,
  ECIE_PROCESSING_OK_OR_APPLY_BUTTON,
  ECIE_SETUP_FOR_DEVICE_CAPABILITIES,
  ECIE_NO_DEVICE_CAPABILITIES_CACHE_SO_CREATE_DATAMODEL,
  ECIE_DEVICE_CAPABILITIES_HANDLER_PDEVMODE,
  ECIE_PRINTER_EVENT_INITIALIZE_DELETE_AND_UPGRADE,
  ECIE_FIRST_PHASE_INITIALIZATIONS,
  ECIE_SECOND_PHASE_INITIALIZATIONS,
  ECIE_UNPACK_PRODUCT_CAB_AND_WRITE_MAPPINGS,
  ECIE_PROCESS_ADMIN_DEFAULTS_CFG_FILE,
  ECIE_INSTANTIATE_DM_TO_SPEED_FIRST_ACCESS_AFTER_INSTALL,
  ECIE_INITIALIZE_STUFF_AT_END_OF_INSTALL,
  ECIE_PHASE2B_INITIALIZATIONS,
  ECIE_PHASE2C_FINAL_INITIALIZATIONS,
  ECIE_PREPOPULATE_CACHES,
  ECIE_PROCESS_ATTRIBUTE_BYTES_FOR_DEVMODE_MERGE,
  ECIE_DEVMODE_CACHE_MISS_SO_INSTANTIATE_DATAMODEL,
  ECIE_THREAD_DLL_MANAGER,
  ECIE_THREAD_SABLE_VCDS,
  ECIE_THREAD_WSD_REQUEST,
  ECIE_THREAD_T5_CUSTOM_TYPE_DOWNLOAD,
  ECIE_THREAD_T5_COLOR_PIN_DOWNLOAD,
  ECIE_THREAD_JOB_STATUS_DOWNLOAD,
  ECIE_THREAD_DEVICE_STATUS_UPDATE,
  ECIE_THREAD_LOAD_CBRS_FROM_DEVICE,
  ECIE_THREAD_BASIC_DEVICE_DETECTION,
  ECIE_THREAD_RUN_AUTO_CONFIG,
  ECIE_PRINT_TICKET_PROVIDER_INIT_DATA_MODEL,
  ECIE_PRINT_TICKET_PROVIDER_RE_INIT_DATA_MODEL,
  ECIE_ATTRIBUTE_BYTE_LIST_TRANSLATOR,
  ECIE_ATTRIBUTE_TRANSLATOR,
  ECIE_ATTRIBUTE_TRANSLATOR_FOR_XML,
  ECIE_ATTRIBUTE_TRANSLATOR_FOR_XML_PARSING,
  ECIE_CAPABILITIES_TRANSFORMER,
  ECIE_CBR_TRANSLATOR,
  ECIE_SETTINGS_IMPORTER,
  ECIE_SETTINGS_INTERSECTOR,
  ECIE_SETTINGS_VALIDATOR,
  ECIE_VELDT_TRANSLATOR,
  ECIE_JTIF_TRANSLATOR,
  ECIE_FEATURE_VALUE_CHANGES_DUE_TO_SUPPORTED_FEATURE_CHANGES,
  ECIE_SETTINGS_REPORT_CHANGES_DUE_TO_NEWLY_SPECIFIED_PARENT,
  ECIE_IMPORT_SETTINGS_NOTIFY_SECOND_PASS,
  ECIE_SENDING_DEFERRED_NOTIFICATIONS_FROM_EARLIER_CHANGES,
  ECIE_XPS_FILTER_START_OPERATION,
  ECIE_IMPORTED_FEATURES_ELIGIBLE_FOR_UPGRADE,
  ECIE_UPGRADE_OBSERVERS_NOTIFIED_ABOUT_IMPORTED_FEATURES,
  ECIE_VALIDATE_SETTINGS_AT_DRIVER_UI_MAIN_OK_BUT_ONLY_ASSERT_DO_NOT_RESOLVE,
  ECIE_SUPPRESS_MEDIA_COL_ASSERTION,
  ECIE_IMPORT_MORREL,
  ECIE_IMPORT_DRIVER_VERSION_ATTRIBUTES_FROM_XML,
  ECIE_DO_VELDT_TESTING_OR_PROCESSING,
  ECIE_EXPORT_VELDT_IN_DO_VELDT_TESTING_OR_PROCESSING,
  ECIE_IMPORT_VELDT_IN_DO_VELDT_TESTING_OR_PROCESSING,
  ECIE_UPDATE_DATAMODEL_WITH_BIDI_STATUS_DURING_DATAMODEL_INIT,
  ECIE_NO_MORE_ENUMS,
};

class W4UTIL_EXPORT ExecutionContextBase {
 public:
  ExecutionContextBase(std::int32_t contextId, const CXString& file, const CXString& method,
                       std::int32_t line, bool locationEmbeddedInMsg, const CXString& details);
  virtual ~ExecutionContextBase();
  ExecutionContextBase(const ExecutionContextBase&) = default;
  ExecutionContextBase& operator=(const ExecutionContextBase&) = default;

  virtual std::unique_ptr<ExecutionContextBase> Clone() const = 0;
  virtual bool IsEqual(const ExecutionContextBase& other) const = 0;
  virtual bool LessThan(const ExecutionContextBase& other) const = 0;
  virtual CXString GetDumpDisplayString(bool withDetails) const = 0;
  virtual void Dump(bool withDetails) const = 0;

  // Id, file, method, line, embedded flag and details all equal.
  bool operator==(const ExecutionContextBase& other) const;
  // By id, then file (code-unit order), then line.
  bool operator<(const ExecutionContextBase& other) const;

  std::int32_t GetContextId() const noexcept { return m_ContextId; }
  const CXString& GetFileWhereConstructed() const noexcept { return m_File; }
  const CXString& GetMethod() const noexcept { return m_Method; }
  std::int32_t GetLine() const noexcept { return m_Line; }
  bool IsLocationEmbeddedInMsg() const noexcept { return m_LocationEmbeddedInMsg; }
  const CXString& GetDetails() const noexcept { return m_Details; }

  // The name of this frame's id (see GetDebugDisplayString).
  CXString GetContextDebugDisplayString(bool withPrefix) const;
  // "method line N" when method contains "::", else "file, method line N".
  CXString GetSingleLineLocationString() const;

  // The name of id ("ECIE_..."; without the prefix unless withPrefix); empty
  // for an id outside the table. The last flag has no effect.
  static CXString GetDebugDisplayString(std::int32_t id, bool withPrefix, bool unused = false);
  // True exactly for 31500 <= id < 31649.
  static bool AssertValidContextIdType(std::int32_t id) noexcept;

 private:
  std::int32_t m_ContextId;
  CXString m_File;
  CXString m_Method;
  std::int32_t m_Line;
  bool m_LocationEmbeddedInMsg;
  CXString m_Details;
};

class W4UTIL_EXPORT BasicExecutionContext : public ExecutionContextBase {
 public:
  BasicExecutionContext(std::int32_t contextId, const CXString& file, const CXString& method,
                        std::int32_t line, bool locationEmbeddedInMsg = false,
                        const CXString& details = CXString());

  std::unique_ptr<ExecutionContextBase> Clone() const override;
  // False when other is not a BasicExecutionContext.
  bool IsEqual(const ExecutionContextBase& other) const override;
  bool LessThan(const ExecutionContextBase& other) const override;
  // "name: details", "name", "name: details (location)" or "name (location)".
  CXString GetDumpDisplayString(bool withDetails) const override;
  void Dump(bool) const override {}
};

struct ExecutionContextBaseCompare {
  static bool IsEqual(const ExecutionContextBase* a, const ExecutionContextBase* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return a->IsEqual(*b);
  }
  static bool LessThan(const ExecutionContextBase* a, const ExecutionContextBase* b) {
    if (a == nullptr || b == nullptr) return a == nullptr && b != nullptr;
    return a->LessThan(*b);
  }
};

using ExecutionContextFramePtr = SharedPtr<ExecutionContextBase, ExecutionContextBaseCompare>;

class W4UTIL_EXPORT ExecutionContextStack {
 public:
  ExecutionContextStack() = default;
  // Shares the frames. A copy of a guarded stack is made under its guard from
  // clones of its frames (see CloneForOtherThreads); the copy has no guard.
  ExecutionContextStack(const ExecutionContextStack& other);
  ExecutionContextStack& operator=(const ExecutionContextStack& other);
  ~ExecutionContextStack();

  // A stack whose every operation runs under guard (the process-wide
  // fallback stack); guard must outlive it.
  explicit ExecutionContextStack(std::mutex& guard) : m_pGuard(&guard) {}

  void PushContext(const ExecutionContextFramePtr& frame);
  // Removes the newest frame, whichever it is; an empty stack is left alone.
  void PopContext(const ExecutionContextFramePtr& frame);
  // Pops, then drops holder's reference, both under the guard (if any).
  void PopContextAndRelease(std::optional<ExecutionContextFramePtr>& holder);

  // "Execution context (Thread=0x%04lx) (%ld levels deep):\r\n" and one line
  // per frame, oldest first, indented by two more spaces each.
  CXString GetMultiLineDisplayString(bool withDetails) const;
  // The newest frame's display, "<No Context>" when empty.
  CXString GetMostRecentContextDisplayString(bool withDetails) const;

  // A stack of clones of these frames whose records may be copied and
  // released on any thread (what an exception keeps).
  ExecutionContextStack CloneForOtherThreads() const;

  std::size_t GetSize() const;
  bool IsEmpty() const { return GetSize() == 0; }
  // The frames, oldest first (not for the guarded stack).
  const std::vector<ExecutionContextFramePtr>& GetFrames() const noexcept { return m_Frames; }

 private:
  std::vector<ExecutionContextFramePtr> m_Frames;
  std::mutex* m_pGuard = nullptr;
};

class W4UTIL_EXPORT ExecutionContextLifetime {
 public:
  // Pushes frame onto the calling thread's stack.
  explicit ExecutionContextLifetime(std::unique_ptr<ExecutionContextBase> frame);
  // Pushes frame onto stack, which must outlive this object.
  ExecutionContextLifetime(ExecutionContextStack& stack,
                           std::unique_ptr<ExecutionContextBase> frame);
  // Pops the newest frame of the stack and drops this object's reference.
  ~ExecutionContextLifetime();
  ExecutionContextLifetime(const ExecutionContextLifetime&) = delete;
  ExecutionContextLifetime& operator=(const ExecutionContextLifetime&) = delete;

 private:
  ExecutionContextStack& m_Stack;
  std::optional<ExecutionContextFramePtr> m_Frame;
};
