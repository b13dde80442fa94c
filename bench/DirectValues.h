// The reference the registry benchmarks measure against: the value table a
// folder store keeps (key, name, type, data), worked directly on SQLite with
// prepared statements and the same durability settings (WAL,
// synchronous=NORMAL, one transaction per write). Names are bound as their
// UTF-16 bytes, as the store keeps them. Also the benchmarks' temporary
// folder, value names and ratio lines. One thread; each object owns what it
// opens.
#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/RatioReporter.h"

namespace w4bench {

// "ratio OURS / DIRECT = R (real), C (cpu)" for two benchmarks that ran a
// fixed number of iterations.
inline void PrintRealAndCpuRatio(const RatioReporter& reporter, const char* ours, const char* direct,
                                 int iterations) {
  const std::string suffix = "/iterations:" + std::to_string(iterations);
  std::printf("ratio %s / %s = %.2f (real), %.2f (cpu)\n", ours, direct,
              reporter.RealRatio(ours + suffix, direct + suffix), reporter.Ratio(ours + suffix, direct + suffix));
}

// A fresh folder under /tmp, removed with everything in it at the end.
class TempFolder {
 public:
  explicit TempFolder(const char* stem) {
    std::string pattern = std::string("/tmp/") + stem + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// "Value0", "Value1", ... as UTF-16.
inline std::vector<std::u16string> ValueNames(int count) {
  std::vector<std::u16string> names;
  for (int i = 0; i < count; ++i) {
    const std::string n = "Value" + std::to_string(i);
    names.emplace_back(n.begin(), n.end());
  }
  return names;
}

class DirectValues {
 public:
  // Creates the table in a new database at path; values are written with
  // the given registry type.
  DirectValues(const std::string& path, std::uint32_t type) {
    sqlite3_open(path.c_str(), &db_);
    sqlite3_exec(db_,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE vals(key INTEGER NOT NULL, name BLOB NOT NULL, type INTEGER NOT "
                 "NULL, data BLOB NOT NULL, PRIMARY KEY(key, name));",
                 nullptr, nullptr, nullptr);
    const std::string write = "INSERT INTO vals(key, name, type, data) VALUES(1, ?1, " + std::to_string(type) +
                              ", ?2) ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data";
    sqlite3_prepare_v2(db_, write.c_str(), -1, &write_, nullptr);
    sqlite3_prepare_v2(db_, "SELECT type, data FROM vals WHERE key = 1 AND name = ?1", -1, &read_, nullptr);
    sqlite3_prepare_v2(db_, "SELECT length(data) FROM vals WHERE key = 1 AND name = ?1", -1, &length_, nullptr);
  }
  ~DirectValues() {
    sqlite3_finalize(write_);
    sqlite3_finalize(read_);
    sqlite3_finalize(length_);
    sqlite3_close(db_);
  }
  DirectValues(const DirectValues&) = delete;
  DirectValues& operator=(const DirectValues&) = delete;

  // Writes size bytes as the value named name, in a transaction of its own.
  bool Write(const std::u16string& name, const void* data, int size) {
    BindName(write_, name);
    sqlite3_bind_blob(write_, 2, data, size, SQLITE_STATIC);
    const bool done = sqlite3_step(write_) == SQLITE_DONE;
    sqlite3_reset(write_);
    return done;
  }

  // The stored length of the value named name, the question a caller asks
  // before reading; false when there is no such value.
  bool Length(const std::u16string& name, int& length) {
    BindName(length_, name);
    const bool found = sqlite3_step(length_) == SQLITE_ROW;
    length = found ? sqlite3_column_int(length_, 0) : 0;
    sqlite3_reset(length_);
    return found;
  }

  // Copies the data of the value named name into out, capacity bytes at the
  // most; false when there is no such value.
  bool Read(const std::u16string& name, void* out, std::size_t capacity) {
    BindName(read_, name);
    const bool found = sqlite3_step(read_) == SQLITE_ROW;
    if (found) {
      const void* data = sqlite3_column_blob(read_, 1);
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(read_, 1));
      if (data != nullptr) std::memcpy(out, data, std::min(size, capacity));
    }
    sqlite3_reset(read_);
    return found;
  }

 private:
  static void BindName(sqlite3_stmt* statement, const std::u16string& name) {
    sqlite3_bind_blob(statement, 1, name.data(), static_cast<int>(name.size() * 2), SQLITE_STATIC);
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* write_ = nullptr;
  sqlite3_stmt* read_ = nullptr;
  sqlite3_stmt* length_ = nullptr;
};

}  // namespace w4bench
