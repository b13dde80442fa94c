// One registry hive in one SQLite database. Keys are rows of a tree (root row
// 1, never deleted), values rows keyed by their key and folded name. Key ids
// are never reused (AUTOINCREMENT), so a handle to a deleted key keeps
// pointing at nothing and answers ERROR_KEY_DELETED instead of reaching a
// newer key. Names are stored as UTF-16 blobs twice: as given (kept case) and
// folded (FoldRegistryName; unique per parent), because SQLite's NOCASE only
// knows ASCII.
//
// Volatile keys carry the boot id of the boot that created them; opening a
// hive under another boot id removes every volatile key with its values and
// subkeys (children of volatile keys are always volatile).
//
// Durability: WAL journal, synchronous=NORMAL. A committed write survives the
// death of its process; a power loss may lose the last commits but never
// corrupts the hive. Every write is one transaction (or one Batch). Other
// processes' locks are waited for (busy timeout, then retries); only when a
// lock is held for well over a minute does a call answer ERROR_BUSY.
//
// Thread-safety: every member may be called from any thread; one recursive
// mutex serialises use of the connection. All members answer registry
// result codes and never throw.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "w4util/platform/RegistryTypes.h"

struct sqlite3;
struct sqlite3_stmt;

namespace w4platform::internal {

struct TreeValue {
  std::u16string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

struct TreeKey {
  std::u16string name;
  std::vector<TreeValue> values;
  std::vector<TreeKey> subKeys;
};

struct KeyRow {
  std::int64_t id = 0;
  bool isVolatile = false;
  std::uint32_t denied = 0;  // access rights refused to every opener
};

class SqliteHive {
 public:
  static constexpr std::int64_t kRootId = 1;
  // Deepest key nesting accepted (creation, copy).
  static constexpr int kMaxDepth = 512;

  // path ":memory:" gives a private in-memory hive.
  static std::uint32_t Open(const std::string& path, const std::string& bootId,
                            std::unique_ptr<SqliteHive>* out);
  ~SqliteHive();
  SqliteHive(const SqliteHive&) = delete;
  SqliteHive& operator=(const SqliteHive&) = delete;

  std::uint32_t GetKey(std::int64_t id, KeyRow* out);
  // ERROR_FILE_NOT_FOUND when the parent has no such child.
  std::uint32_t FindChild(std::int64_t parent, std::u16string_view name, KeyRow* out);
  // Finds or creates the child. created tells which.
  std::uint32_t CreateChild(std::int64_t parent, std::u16string_view name, bool isVolatile,
                            KeyRow* out, bool* created);
  std::uint32_t SetDenied(std::int64_t id, std::uint32_t mask);

  std::uint32_t SetValue(std::int64_t key, std::u16string_view name, std::uint32_t type,
                         const std::uint8_t* data, std::uint32_t size);
  std::uint32_t QueryValue(std::int64_t key, std::u16string_view name, std::uint32_t* type,
                           std::vector<std::uint8_t>* data);
  // The size-query-then-read contract straight from the row: data null asks
  // for the size; *size too small answers ERROR_MORE_DATA with the length.
  std::uint32_t QueryValueInto(std::int64_t key, std::u16string_view name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* size);
  std::uint32_t DeleteValue(std::int64_t key, std::u16string_view name);
  // Subkeys in folded-name order, values in creation order.
  std::uint32_t EnumKey(std::int64_t key, std::uint32_t index, std::u16string* name);
  std::uint32_t EnumValue(std::int64_t key, std::uint32_t index, std::u16string* name,
                          std::uint32_t* type, std::vector<std::uint8_t>* data);
  // ERROR_ACCESS_DENIED for the root and for a key with subkeys.
  std::uint32_t DeleteKey(std::int64_t key);
  std::uint32_t DeleteTree(std::int64_t key, bool includeSelf);
  std::uint32_t ReadTree(std::int64_t key, TreeKey* out);
  // Merges tree's values and subkeys into key; new keys take key's volatility.
  std::uint32_t WriteTree(std::int64_t key, const TreeKey& tree);
  std::uint32_t Info(std::int64_t key, RegKeyInfo* out);

  // Runs body inside one write transaction; commits when it answers 0, rolls
  // back otherwise. Calls of this hive made by body join the transaction.
  std::uint32_t Batch(const std::function<std::uint32_t()>& body);
  // Runs body's reads against one state of the hive, taking no write lock.
  std::uint32_t Snapshot(const std::function<std::uint32_t()>& body);

 private:
  class Statement;
  class WriteScope;
  friend class Statement;
  friend class WriteScope;

  explicit SqliteHive(sqlite3* db);
  sqlite3_stmt* Prepare(const char* sql);
  std::uint32_t Exec(const char* sql);
  std::uint32_t ReadTreeLocked(std::int64_t key, TreeKey* out, int depth);
  std::uint32_t WriteTreeLocked(std::int64_t key, bool isVolatile, const TreeKey& tree,
                                int depth);

  std::recursive_mutex mutex_;
  sqlite3* db_;
  std::string bootId_;
  std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

}  // namespace w4platform::internal
