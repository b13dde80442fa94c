#include "w4util/platform/internal/SqliteHive.h"

#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "w4util/platform/RegistryCaseFold.h"

namespace w4platform::internal {
namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr int kBusyRetries = 8;  // on top of the busy timeout: > 80 s in all

// A zero-length blob needs a non-null pointer, or SQLite binds NULL.
const char16_t kEmpty[1] = {0};

std::uint32_t MapSqlite(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
      return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_BUSY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
      return ERROR_ACCESS_DENIED;
    case SQLITE_FULL:
      return ERROR_DISK_FULL;
    case SQLITE_NOMEM:
      return ERROR_OUTOFMEMORY;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return ERROR_REGISTRY_CORRUPT;
    case SQLITE_TOOBIG:
      return ERROR_INVALID_PARAMETER;
    default:
      return ERROR_REGISTRY_IO_FAILED;
  }
}

bool IsBusy(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

void Backoff(int attempt) { std::this_thread::sleep_for(std::chrono::milliseconds(1 << attempt)); }

std::uint64_t NowFileTime() {
  // 100 ns units since 1601-01-01.
  const auto since1970 = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
  return static_cast<std::uint64_t>(since1970) * 10u + 116444736000000000ull;
}

std::u16string ColumnName(sqlite3_stmt* st, int col) {
  const void* p = sqlite3_column_blob(st, col);
  const int bytes = sqlite3_column_bytes(st, col);
  std::u16string out(static_cast<std::size_t>(bytes) / 2, u'\0');
  if (p != nullptr && bytes >= 2) std::memcpy(out.data(), p, out.size() * 2);
  return out;
}

void ColumnData(sqlite3_stmt* st, int col, std::vector<std::uint8_t>* out) {
  const void* p = sqlite3_column_blob(st, col);
  const int bytes = sqlite3_column_bytes(st, col);
  out->assign(static_cast<std::size_t>(bytes), 0);
  if (p != nullptr && bytes > 0) std::memcpy(out->data(), p, out->size());
}

}  // namespace

// A cached prepared statement, reset and unbound when the scope ends.
class SqliteHive::Statement {
 public:
  Statement(SqliteHive& hive, const char* sql) : st_(hive.Prepare(sql)) {}
  ~Statement() {
    if (st_ != nullptr) {
      sqlite3_reset(st_);
      sqlite3_clear_bindings(st_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return st_ != nullptr; }
  sqlite3_stmt* get() const { return st_; }
  void Bind(int i, std::int64_t v) { sqlite3_bind_int64(st_, i, v); }
  void BindName(int i, std::u16string_view s) {
    sqlite3_bind_blob(st_, i, s.empty() ? kEmpty : s.data(), static_cast<int>(s.size() * 2),
                      SQLITE_TRANSIENT);
  }
  // The caller keeps s alive until the statement is reset.
  void BindNameStatic(int i, const std::u16string& s) {
    sqlite3_bind_blob(st_, i, s.empty() ? kEmpty : s.data(), static_cast<int>(s.size() * 2),
                      SQLITE_STATIC);
  }
  void BindBytes(int i, const std::uint8_t* p, std::uint32_t n) {
    sqlite3_bind_blob(st_, i, n == 0 ? static_cast<const void*>(kEmpty) : p, static_cast<int>(n),
                      SQLITE_STATIC);
  }
  void BindText(int i, const std::string& s) {
    sqlite3_bind_text(st_, i, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
  }
  // First step, retried while another connection holds a lock.
  int Step() {
    int rc = sqlite3_step(st_);
    for (int attempt = 0; IsBusy(rc) && attempt < kBusyRetries; ++attempt) {
      sqlite3_reset(st_);
      Backoff(attempt);
      rc = sqlite3_step(st_);
    }
    return rc;
  }
  int Next() { return sqlite3_step(st_); }

 private:
  sqlite3_stmt* st_;
};

// Opens a write transaction unless one is already open on the connection.
class SqliteHive::WriteScope {
 public:
  explicit WriteScope(SqliteHive& hive) : hive_(hive) {}
  ~WriteScope() {
    if (began_ && !done_) sqlite3_exec(hive_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;

  std::uint32_t Begin() {
    if (!sqlite3_get_autocommit(hive_.db_)) return ERROR_SUCCESS;
    int rc = sqlite3_exec(hive_.db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (int attempt = 0; IsBusy(rc) && attempt < kBusyRetries; ++attempt) {
      Backoff(attempt);
      rc = sqlite3_exec(hive_.db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) return MapSqlite(rc);
    began_ = true;
    return ERROR_SUCCESS;
  }
  std::uint32_t Commit() {
    if (!began_) return ERROR_SUCCESS;
    int rc = sqlite3_exec(hive_.db_, "COMMIT", nullptr, nullptr, nullptr);
    for (int attempt = 0; IsBusy(rc) && attempt < kBusyRetries; ++attempt) {
      Backoff(attempt);
      rc = sqlite3_exec(hive_.db_, "COMMIT", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) return MapSqlite(rc);
    done_ = true;
    return ERROR_SUCCESS;
  }

 private:
  SqliteHive& hive_;
  bool began_ = false;
  bool done_ = false;
};

SqliteHive::SqliteHive(sqlite3* db) : db_(db) {}

SqliteHive::~SqliteHive() {
  for (auto& entry : statements_) sqlite3_finalize(entry.second);
  sqlite3_close_v2(db_);
}

sqlite3_stmt* SqliteHive::Prepare(const char* sql) {
  auto it = statements_.find(sql);
  if (it != statements_.end()) return it->second;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
    return nullptr;
  }
  statements_.emplace(sql, st);
  return st;
}

std::uint32_t SqliteHive::Exec(const char* sql) {
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  for (int attempt = 0; IsBusy(rc) && attempt < kBusyRetries; ++attempt) {
    Backoff(attempt);
    rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  }
  return MapSqlite(rc);
}

std::uint32_t SqliteHive::Open(const std::string& path, const std::string& bootId,
                               std::unique_ptr<SqliteHive>* out) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    // A hive we may read but not write answers access denied on writes.
    sqlite3_close_v2(db);
    db = nullptr;
    rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_close_v2(db);
      return MapSqlite(rc);
    }
  }
  std::unique_ptr<SqliteHive> hive(new SqliteHive(db));
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  if (path != ":memory:") {
    if (std::uint32_t err = hive->Exec("PRAGMA journal_mode=WAL")) return err;
  }
  if (std::uint32_t err = hive->Exec("PRAGMA synchronous=NORMAL")) return err;

  if (sqlite3_db_readonly(db, "main") == 1) {
    *out = std::move(hive);
    return ERROR_SUCCESS;
  }
  WriteScope scope(*hive);
  if (std::uint32_t err = scope.Begin()) return err;
  static const char* const kSchema =
      "CREATE TABLE IF NOT EXISTS keys("
      " id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name BLOB NOT NULL,"
      " fold BLOB NOT NULL, volatile INTEGER NOT NULL DEFAULT 0, boot TEXT,"
      " written INTEGER NOT NULL DEFAULT 0, denied INTEGER NOT NULL DEFAULT 0);"
      "CREATE UNIQUE INDEX IF NOT EXISTS keys_child ON keys(parent, fold);"
      "CREATE TABLE IF NOT EXISTS vals("
      " id INTEGER PRIMARY KEY, key INTEGER NOT NULL, name BLOB NOT NULL, fold BLOB NOT NULL,"
      " type INTEGER NOT NULL, data BLOB NOT NULL);"
      "CREATE UNIQUE INDEX IF NOT EXISTS vals_name ON vals(key, fold);"
      "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES(1, 0, x'', x'');";
  if (std::uint32_t err = hive->Exec(kSchema)) return err;
  {
    Statement dropVals(*hive,
                       "DELETE FROM vals WHERE key IN"
                       " (SELECT id FROM keys WHERE volatile = 1 AND boot IS NOT ?1)");
    Statement dropKeys(*hive, "DELETE FROM keys WHERE volatile = 1 AND boot IS NOT ?1");
    if (!dropVals.ok() || !dropKeys.ok()) return ERROR_REGISTRY_IO_FAILED;
    dropVals.BindText(1, bootId);
    dropKeys.BindText(1, bootId);
    if (int r = dropVals.Step(); r != SQLITE_DONE) return MapSqlite(r);
    if (int r = dropKeys.Step(); r != SQLITE_DONE) return MapSqlite(r);
  }
  if (std::uint32_t err = scope.Commit()) return err;
  hive->bootId_ = bootId;
  *out = std::move(hive);
  return ERROR_SUCCESS;
}

std::uint32_t SqliteHive::GetKey(std::int64_t id, KeyRow* out) {
  std::lock_guard lock(mutex_);
  Statement st(*this, "SELECT volatile, denied FROM keys WHERE id = ?1");
  if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
  st.Bind(1, id);
  const int rc = st.Step();
  if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
  if (rc != SQLITE_ROW) return MapSqlite(rc);
  out->id = id;
  out->isVolatile = sqlite3_column_int(st.get(), 0) != 0;
  out->denied = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 1));
  return ERROR_SUCCESS;
}

std::uint32_t SqliteHive::FindChild(std::int64_t parent, std::u16string_view name, KeyRow* out) {
  std::lock_guard lock(mutex_);
  Statement st(*this, "SELECT id, volatile, denied FROM keys WHERE parent = ?1 AND fold = ?2");
  if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
  st.Bind(1, parent);
  st.BindName(2, FoldRegistryName(name));
  const int rc = st.Step();
  if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
  if (rc != SQLITE_ROW) return MapSqlite(rc);
  out->id = sqlite3_column_int64(st.get(), 0);
  out->isVolatile = sqlite3_column_int(st.get(), 1) != 0;
  out->denied = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 2));
  return ERROR_SUCCESS;
}

std::uint32_t SqliteHive::CreateChild(std::int64_t parent, std::u16string_view name,
                                      bool isVolatile, KeyRow* out, bool* created) {
  std::lock_guard lock(mutex_);
  WriteScope scope(*this);
  if (std::uint32_t err = scope.Begin()) return err;
  std::uint32_t err = FindChild(parent, name, out);
  if (err == ERROR_SUCCESS) {
    *created = false;
    return scope.Commit();
  }
  if (err != ERROR_FILE_NOT_FOUND) return err;
  KeyRow parentRow;
  if (std::uint32_t e = GetKey(parent, &parentRow)) return e;
  if (parentRow.isVolatile && !isVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
  {
    Statement st(*this,
                 "INSERT INTO keys(parent, name, fold, volatile, boot, written)"
                 " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, parent);
    st.BindName(2, name);
    st.BindName(3, FoldRegistryName(name));
    st.Bind(4, isVolatile ? 1 : 0);
    if (isVolatile) {
      st.BindText(5, bootId_);
    }
    st.Bind(6, static_cast<std::int64_t>(NowFileTime()));
    if (int rc = st.Step(); rc != SQLITE_DONE) return MapSqlite(rc);
  }
  out->id = sqlite3_last_insert_rowid(db_);
  out->isVolatile = isVolatile;
  out->denied = 0;
  *created = true;
  return scope.Commit();
}

std::uint32_t SqliteHive::SetDenied(std::int64_t id, std::uint32_t mask) {
  std::lock_guard lock(mutex_);
  Statement st(*this, "UPDATE keys SET denied = ?2 WHERE id = ?1");
  if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
  st.Bind(1, id);
  st.Bind(2, mask);
  if (int rc = st.Step(); rc != SQLITE_DONE) return MapSqlite(rc);
  return sqlite3_changes(db_) == 0 ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

std::uint32_t SqliteHive::SetValue(std::int64_t key, std::u16string_view name, std::uint32_t type,
                                   const std::uint8_t* data, std::uint32_t size) {
  std::lock_guard lock(mutex_);
  // One statement, so one transaction: the key's existence is checked inside
  // it. An existing value keeps its stored name (and its enumeration place).
  Statement st(*this,
               "INSERT INTO vals(key, name, fold, type, data)"
               " SELECT ?1, ?2, ?3, ?4, ?5 WHERE EXISTS(SELECT 1 FROM keys WHERE id = ?1)"
               " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
  if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
  const std::u16string folded = FoldRegistryName(name);
  st.Bind(1, key);
  st.BindName(2, name);
  st.BindNameStatic(3, folded);
  st.Bind(4, type);
  st.BindBytes(5, data, size);
  if (int rc = st.Step(); rc != SQLITE_DONE) return MapSqlite(rc);
  return sqlite3_changes(db_) == 0 ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

std::uint32_t SqliteHive::QueryValue(std::int64_t key, std::u16string_view name,
                                     std::uint32_t* type, std::vector<std::uint8_t>* data) {
  std::lock_guard lock(mutex_);
  {
    Statement st(*this, "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    st.BindName(2, FoldRegistryName(name));
    const int rc = st.Step();
    if (rc == SQLITE_ROW) {
      *type = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 0));
      ColumnData(st.get(), 1, data);
      return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  KeyRow row;
  if (std::uint32_t err = GetKey(key, &row)) return err;
  return ERROR_FILE_NOT_FOUND;
}

std::uint32_t SqliteHive::QueryValueInto(std::int64_t key, std::u16string_view name,
                                         std::uint32_t* type, std::uint8_t* data,
                                         std::uint32_t* size) {
  std::lock_guard lock(mutex_);
  {
    const std::u16string folded = FoldRegistryName(name);
    Statement st(*this, "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    st.BindNameStatic(2, folded);
    const int rc = st.Step();
    if (rc == SQLITE_ROW) {
      if (type != nullptr) *type = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 0));
      const void* p = sqlite3_column_blob(st.get(), 1);
      const auto length = static_cast<std::uint32_t>(sqlite3_column_bytes(st.get(), 1));
      if (data == nullptr) {
        if (size != nullptr) *size = length;
        return ERROR_SUCCESS;
      }
      if (*size < length) {
        *size = length;
        return ERROR_MORE_DATA;
      }
      if (length > 0 && p != nullptr) std::memcpy(data, p, length);
      *size = length;
      return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  KeyRow row;
  if (std::uint32_t err = GetKey(key, &row)) return err;
  return ERROR_FILE_NOT_FOUND;
}

std::uint32_t SqliteHive::DeleteValue(std::int64_t key, std::u16string_view name) {
  std::lock_guard lock(mutex_);
  {
    Statement st(*this, "DELETE FROM vals WHERE key = ?1 AND fold = ?2");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    st.BindName(2, FoldRegistryName(name));
    if (int rc = st.Step(); rc != SQLITE_DONE) return MapSqlite(rc);
    if (sqlite3_changes(db_) > 0) return ERROR_SUCCESS;
  }
  KeyRow row;
  if (std::uint32_t err = GetKey(key, &row)) return err;
  return ERROR_FILE_NOT_FOUND;
}

std::uint32_t SqliteHive::EnumKey(std::int64_t key, std::uint32_t index, std::u16string* name) {
  std::lock_guard lock(mutex_);
  {
    Statement st(*this, "SELECT name FROM keys WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    st.Bind(2, index);
    const int rc = st.Step();
    if (rc == SQLITE_ROW) {
      *name = ColumnName(st.get(), 0);
      return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  // The end of a live key's list, or a key deleted meanwhile: not the same.
  KeyRow row;
  if (std::uint32_t err = GetKey(key, &row)) return err;
  return ERROR_NO_MORE_ITEMS;
}

std::uint32_t SqliteHive::EnumValue(std::int64_t key, std::uint32_t index, std::u16string* name,
                                    std::uint32_t* type, std::vector<std::uint8_t>* data) {
  std::lock_guard lock(mutex_);
  {
    Statement st(*this,
                 "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    st.Bind(2, index);
    const int rc = st.Step();
    if (rc == SQLITE_ROW) {
      *name = ColumnName(st.get(), 0);
      *type = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 1));
      ColumnData(st.get(), 2, data);
      return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  KeyRow row;
  if (std::uint32_t err = GetKey(key, &row)) return err;
  return ERROR_NO_MORE_ITEMS;
}

std::uint32_t SqliteHive::DeleteKey(std::int64_t key) {
  std::lock_guard lock(mutex_);
  if (key == kRootId) return ERROR_ACCESS_DENIED;
  WriteScope scope(*this);
  if (std::uint32_t err = scope.Begin()) return err;
  KeyRow row;
  if (std::uint32_t err = GetKey(key, &row)) return err;
  {
    Statement st(*this, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    const int rc = st.Step();
    if (rc == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  {
    Statement st(*this, "DELETE FROM vals WHERE key = ?1");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    if (int rc = st.Step(); rc != SQLITE_DONE) return MapSqlite(rc);
  }
  {
    Statement st(*this, "DELETE FROM keys WHERE id = ?1");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    if (int rc = st.Step(); rc != SQLITE_DONE) return MapSqlite(rc);
  }
  return scope.Commit();
}

std::uint32_t SqliteHive::DeleteTree(std::int64_t key, bool includeSelf) {
  std::lock_guard lock(mutex_);
  if (key == kRootId && includeSelf) return ERROR_ACCESS_DENIED;
  WriteScope scope(*this);
  if (std::uint32_t err = scope.Begin()) return err;
  KeyRow row;
  if (std::uint32_t err = GetKey(key, &row)) return err;
  // ?2 = 1 takes the key itself, 0 only what lies below it (its own values
  // included: deleting a tree's contents empties the key).
  {
    Statement st(*this,
                 "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN t ON "
                 "k.parent = t.id) DELETE FROM vals WHERE key IN t");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    if (int rc = st.Step(); rc != SQLITE_DONE) return MapSqlite(rc);
  }
  {
    Statement st(*this,
                 "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN t ON "
                 "k.parent = t.id) DELETE FROM keys WHERE id IN t AND (?2 = 1 OR id <> ?1)");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    st.Bind(2, includeSelf ? 1 : 0);
    if (int rc = st.Step(); rc != SQLITE_DONE) return MapSqlite(rc);
  }
  return scope.Commit();
}

std::uint32_t SqliteHive::ReadTreeLocked(std::int64_t key, TreeKey* out, int depth) {
  if (depth > kMaxDepth) return ERROR_INVALID_PARAMETER;
  {
    Statement st(*this, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    int rc = st.Step();
    for (; rc == SQLITE_ROW; rc = st.Next()) {
      TreeValue v;
      v.name = ColumnName(st.get(), 0);
      v.type = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 1));
      ColumnData(st.get(), 2, &v.data);
      out->values.push_back(std::move(v));
    }
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  std::vector<std::pair<std::int64_t, std::u16string>> children;
  {
    Statement st(*this, "SELECT id, name FROM keys WHERE parent = ?1 ORDER BY fold");
    if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
    st.Bind(1, key);
    int rc = st.Step();
    for (; rc == SQLITE_ROW; rc = st.Next()) {
      children.emplace_back(sqlite3_column_int64(st.get(), 0), ColumnName(st.get(), 1));
    }
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  for (auto& [id, name] : children) {
    TreeKey child;
    child.name = std::move(name);
    if (std::uint32_t err = ReadTreeLocked(id, &child, depth + 1)) return err;
    out->subKeys.push_back(std::move(child));
  }
  return ERROR_SUCCESS;
}

std::uint32_t SqliteHive::ReadTree(std::int64_t key, TreeKey* out) {
  std::lock_guard lock(mutex_);
  // A read transaction gives one consistent snapshot of the whole tree.
  const bool own = sqlite3_get_autocommit(db_) != 0;
  if (own) {
    if (std::uint32_t err = Exec("BEGIN")) return err;
  }
  KeyRow row;
  std::uint32_t err = GetKey(key, &row);
  if (err == ERROR_SUCCESS) err = ReadTreeLocked(key, out, 0);
  if (own) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  return err;
}

std::uint32_t SqliteHive::WriteTreeLocked(std::int64_t key, bool isVolatile, const TreeKey& tree,
                                          int depth) {
  if (depth > kMaxDepth) return ERROR_INVALID_PARAMETER;
  for (const TreeValue& v : tree.values) {
    if (std::uint32_t err = SetValue(key, v.name, v.type, v.data.data(),
                                     static_cast<std::uint32_t>(v.data.size()))) {
      return err;
    }
  }
  for (const TreeKey& sub : tree.subKeys) {
    KeyRow child;
    bool created = false;
    if (std::uint32_t err = CreateChild(key, sub.name, isVolatile, &child, &created)) return err;
    if (std::uint32_t err = WriteTreeLocked(child.id, child.isVolatile, sub, depth + 1)) return err;
  }
  return ERROR_SUCCESS;
}

std::uint32_t SqliteHive::WriteTree(std::int64_t key, const TreeKey& tree) {
  std::lock_guard lock(mutex_);
  WriteScope scope(*this);
  if (std::uint32_t err = scope.Begin()) return err;
  KeyRow row;
  if (std::uint32_t err = GetKey(key, &row)) return err;
  if (std::uint32_t err = WriteTreeLocked(key, row.isVolatile, tree, 0)) return err;
  return scope.Commit();
}

std::uint32_t SqliteHive::Info(std::int64_t key, RegKeyInfo* out) {
  std::lock_guard lock(mutex_);
  const bool own = sqlite3_get_autocommit(db_) != 0;
  if (own) {
    if (std::uint32_t err = Exec("BEGIN")) return err;
  }
  auto body = [&]() -> std::uint32_t {
    *out = RegKeyInfo{};
    {
      Statement st(*this, "SELECT written FROM keys WHERE id = ?1");
      if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
      st.Bind(1, key);
      const int rc = st.Step();
      if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
      if (rc != SQLITE_ROW) return MapSqlite(rc);
      out->lastWriteTime = static_cast<std::uint64_t>(sqlite3_column_int64(st.get(), 0));
    }
    {
      Statement st(*this,
                   "SELECT count(*), coalesce(max(length(name)), 0) FROM keys WHERE parent = ?1");
      if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
      st.Bind(1, key);
      if (int rc = st.Step(); rc != SQLITE_ROW) return MapSqlite(rc);
      out->subKeys = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 0));
      out->maxSubKeyLength = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 1) / 2);
    }
    {
      Statement st(*this,
                   "SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(data)), 0)"
                   " FROM vals WHERE key = ?1");
      if (!st.ok()) return ERROR_REGISTRY_IO_FAILED;
      st.Bind(1, key);
      if (int rc = st.Step(); rc != SQLITE_ROW) return MapSqlite(rc);
      out->values = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 0));
      out->maxValueNameLength = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 1) / 2);
      out->maxValueLength = static_cast<std::uint32_t>(sqlite3_column_int64(st.get(), 2));
    }
    return ERROR_SUCCESS;
  };
  const std::uint32_t err = body();
  if (own) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  return err;
}

std::uint32_t SqliteHive::Batch(const std::function<std::uint32_t()>& body) {
  std::lock_guard lock(mutex_);
  WriteScope scope(*this);
  if (std::uint32_t err = scope.Begin()) return err;
  if (std::uint32_t err = body()) return err;
  return scope.Commit();
}

std::uint32_t SqliteHive::Snapshot(const std::function<std::uint32_t()>& body) {
  std::lock_guard lock(mutex_);
  const bool own = sqlite3_get_autocommit(db_) != 0;
  if (own) {
    if (std::uint32_t err = Exec("BEGIN")) return err;
  }
  const std::uint32_t err = body();
  if (own) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  return err;
}

}  // namespace w4platform::internal
