// Concurrency and crash tests of the registry store. Child processes are this
// same binary started again with W4UTIL_REG_CHILD set: the child's work runs
// during static initialisation and the child exits before any test runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "w4util/platform/RegistryStore.h"
#include "w4util/platform/internal/RegistryText.h"
#include "w4util/platform/internal/RegistryTestSupport.h"

extern char** environ;

namespace w4platform {
namespace {

using w4util_platform_internal::TempFolder;

constexpr std::uint32_t kSlots = 8;         // shared values written by everyone
constexpr std::uint32_t kPayloadSize = 64;
constexpr std::uint32_t kStressCount = 150;  // writes per thread
constexpr std::uint32_t kCrashLimit = 100000;
constexpr std::uint32_t kCrashReports = 300;  // commits seen before the kill

// writer, sequence, 48 derived bytes, checksum: a torn or mixed value fails.
std::vector<std::uint8_t> Payload(std::uint32_t writer, std::uint32_t seq) {
  std::vector<std::uint8_t> p(kPayloadSize);
  std::memcpy(p.data(), &writer, 4);
  std::memcpy(p.data() + 4, &seq, 4);
  std::uint64_t sum = 1469598103934665603ull;
  for (std::uint32_t i = 8; i < 56; ++i) {
    p[i] = static_cast<std::uint8_t>((writer * 131u + seq * 7u + i) & 0xFF);
  }
  for (std::uint32_t i = 0; i < 56; ++i) sum = (sum ^ p[i]) * 1099511628211ull;
  std::memcpy(p.data() + 56, &sum, 8);
  return p;
}

bool WellFormed(const std::vector<std::uint8_t>& p, std::uint32_t* writer, std::uint32_t* seq) {
  if (p.size() != kPayloadSize) return false;
  std::memcpy(writer, p.data(), 4);
  std::memcpy(seq, p.data() + 4, 4);
  return Payload(*writer, *seq) == p;
}

std::u16string U(const std::string& s) { return internal::Utf8ToUtf16(s); }

std::uint32_t Read(RegistryStore& store, RegHandle key, const std::u16string& name,
                   std::vector<std::uint8_t>* out) {
  std::uint32_t size = 0;
  if (std::uint32_t err = store.RegQueryValueEx(key, name, nullptr, nullptr, &size)) return err;
  out->assign(size, 0);
  std::uint32_t err = store.RegQueryValueEx(key, name, nullptr, out->data(), &size);
  out->resize(size);
  return err;
}

// One writer: its own values, read back at once, and the shared slots.
// Answers 0 or a code naming what went wrong.
int RunWriter(RegistryStore& store, std::uint32_t writer) {
  RegHandle own = 0;
  RegHandle shared = 0;
  if (store.RegCreateKeyEx(HKEY_LOCAL_MACHINE, U("Stress\\W" + std::to_string(writer)), 0,
                           KEY_ALL_ACCESS, &own, nullptr) != 0 ||
      store.RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Stress\\Shared", 0, KEY_ALL_ACCESS, &shared,
                           nullptr) != 0) {
    return 10;
  }
  for (std::uint32_t seq = 0; seq < kStressCount; ++seq) {
    const auto payload = Payload(writer, seq);
    const std::u16string name = U("V" + std::to_string(seq));
    if (store.RegSetValueEx(own, name, REG_BINARY, payload.data(), kPayloadSize) != 0) return 11;
    const std::u16string slot = U("S" + std::to_string(seq % kSlots));
    if (store.RegSetValueEx(shared, slot, REG_BINARY, payload.data(), kPayloadSize) != 0) {
      return 12;
    }
    std::vector<std::uint8_t> back;
    if (Read(store, own, name, &back) != 0 || back != payload) return 13;
    const std::u16string other = U("S" + std::to_string((seq + 3) % kSlots));
    const std::uint32_t err = Read(store, shared, other, &back);
    std::uint32_t w = 0;
    std::uint32_t s = 0;
    if (err == 0 && !WellFormed(back, &w, &s)) return 14;
    if (err != 0 && err != ERROR_FILE_NOT_FOUND) return 15;
  }
  store.RegCloseKey(own);
  store.RegCloseKey(shared);
  return 0;
}

// Checks every writer's values and the shared slots after the run.
void VerifyStress(RegistryStore& store, const std::vector<std::uint32_t>& writers) {
  for (std::uint32_t writer : writers) {
    RegHandle own = 0;
    ASSERT_EQ(store.RegOpenKeyEx(HKEY_LOCAL_MACHINE, U("Stress\\W" + std::to_string(writer)), 0,
                                 KEY_READ, &own),
              0u);
    for (std::uint32_t seq = 0; seq < kStressCount; ++seq) {
      std::vector<std::uint8_t> back;
      ASSERT_EQ(Read(store, own, U("V" + std::to_string(seq)), &back), 0u) << writer << " " << seq;
      ASSERT_EQ(back, Payload(writer, seq));
    }
    store.RegCloseKey(own);
  }
  RegHandle shared = 0;
  ASSERT_EQ(store.RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Stress\\Shared", 0, KEY_READ, &shared), 0u);
  const std::set<std::uint32_t> known(writers.begin(), writers.end());
  for (std::uint32_t slot = 0; slot < kSlots; ++slot) {
    std::vector<std::uint8_t> back;
    ASSERT_EQ(Read(store, shared, U("S" + std::to_string(slot)), &back), 0u);
    std::uint32_t w = 0;
    std::uint32_t s = 0;
    ASSERT_TRUE(WellFormed(back, &w, &s));
    EXPECT_EQ(known.count(w), 1u);
    EXPECT_EQ(s % kSlots, slot);
  }
  store.RegCloseKey(shared);
}

int RunStressChild(const std::string& folder, std::uint32_t index) {
  auto store = RegistryStore::OpenFolder(folder, "stress");
  int results[2] = {-1, -1};
  std::thread a([&] { results[0] = RunWriter(*store, index * 2); });
  std::thread b([&] { results[1] = RunWriter(*store, index * 2 + 1); });
  a.join();
  b.join();
  return results[0] != 0 ? results[0] : results[1];
}

int RunCrashChild(const std::string& folder, int fd) {
  auto store = RegistryStore::OpenFolder(folder, "crash");
  RegHandle key = 0;
  if (store->RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Crash", 0, KEY_ALL_ACCESS, &key, nullptr) != 0) {
    return 20;
  }
  for (std::uint32_t seq = 0; seq < kCrashLimit; ++seq) {
    const auto payload = Payload(99, seq);
    if (store->RegSetValueEx(key, U("C" + std::to_string(seq)), REG_BINARY, payload.data(),
                             kPayloadSize) != 0) {
      return 21;
    }
    // Reported only once committed.
    if (write(fd, &seq, sizeof seq) != static_cast<ssize_t>(sizeof seq)) return 22;
  }
  return 0;
}

// Child dispatch, before main.
const bool kIsChild = [] {
  const char* mode = std::getenv("W4UTIL_REG_CHILD");
  if (mode == nullptr) return false;
  const char* folder = std::getenv("W4UTIL_REG_FOLDER");
  const char* arg = std::getenv("W4UTIL_REG_ARG");
  if (folder == nullptr || arg == nullptr) _exit(30);
  const int value = std::atoi(arg);
  const int code = std::strcmp(mode, "stress") == 0 ? RunStressChild(folder, static_cast<std::uint32_t>(value))
                   : std::strcmp(mode, "crash") == 0 ? RunCrashChild(folder, value)
                                                     : 31;
  _exit(code);
}();

pid_t SpawnChild(const std::string& mode, const std::string& folder, const std::string& arg) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "W4UTIL_REG_", 11) != 0) env.emplace_back(*e);
  }
  env.push_back("W4UTIL_REG_CHILD=" + mode);
  env.push_back("W4UTIL_REG_FOLDER=" + folder);
  env.push_back("W4UTIL_REG_ARG=" + arg);
  std::vector<char*> envp;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::string self = "/proc/self/exe";
  std::string filter = "--gtest_filter=-*";
  char* argv[] = {self.data(), filter.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data()) != 0) return -1;
  return pid;
}

int WaitChild(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return status;
}

TEST(RegistryStoreThreads, ThreadsOnTwoConnectionsLoseNothing) {
  ASSERT_FALSE(kIsChild);
  TempFolder folder("w4regt");
  auto first = RegistryStore::OpenFolder(folder.path(), "threads");
  auto second = RegistryStore::OpenFolder(folder.path(), "threads");
  std::vector<int> results(4, -1);
  std::vector<std::thread> threads;
  for (std::uint32_t i = 0; i < 4; ++i) {
    RegistryStore& store = i % 2 == 0 ? *first : *second;
    threads.emplace_back([&store, &results, i] { results[i] = RunWriter(store, i); });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(results, std::vector<int>(4, 0));
  auto fresh = RegistryStore::OpenFolder(folder.path(), "threads");
  VerifyStress(*fresh, {0, 1, 2, 3});
}

TEST(RegistryStoreThreads, InMemoryStoreSharedByThreads) {
  auto store = RegistryStore::OpenInMemory();
  std::vector<int> results(4, -1);
  std::vector<std::thread> threads;
  for (std::uint32_t i = 0; i < 4; ++i) {
    threads.emplace_back([&store, &results, i] { results[i] = RunWriter(*store, i); });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(results, std::vector<int>(4, 0));
  VerifyStress(*store, {0, 1, 2, 3});
}

TEST(RegistryStoreThreads, FourProcessesWithTwoThreadsEachLoseNothing) {
  TempFolder folder("w4regt");
  std::vector<pid_t> children;
  for (int i = 0; i < 4; ++i) {
    const pid_t pid = SpawnChild("stress", folder.path(), std::to_string(i));
    ASSERT_GT(pid, 0);
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    const int status = WaitChild(pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  auto store = RegistryStore::OpenFolder(folder.path(), "stress");
  VerifyStress(*store, {0, 1, 2, 3, 4, 5, 6, 7});
}

TEST(RegistryStoreThreads, KilledWriterLosesNoCommittedValue) {
  TempFolder folder("w4regt");
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = SpawnChild("crash", folder.path(), std::to_string(fds[1]));
  ASSERT_GT(pid, 0);
  close(fds[1]);
  std::vector<std::uint32_t> committed;
  std::uint32_t seq = 0;
  while (committed.size() < kCrashReports && read(fds[0], &seq, sizeof seq) == sizeof seq) {
    committed.push_back(seq);
  }
  kill(pid, SIGKILL);
  const int status = WaitChild(pid);
  while (read(fds[0], &seq, sizeof seq) == sizeof seq) committed.push_back(seq);
  close(fds[0]);
  ASSERT_GE(committed.size(), kCrashReports) << "child status " << status;
  EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));

  auto store = RegistryStore::OpenFolder(folder.path(), "crash");
  RegHandle key = 0;
  ASSERT_EQ(store->RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Crash", 0, KEY_READ, &key), 0u);
  for (std::uint32_t s : committed) {
    std::vector<std::uint8_t> back;
    ASSERT_EQ(Read(*store, key, U("C" + std::to_string(s)), &back), 0u) << s;
    ASSERT_EQ(back, Payload(99, s)) << s;
  }
  // Whatever else made it to the store is whole.
  for (std::uint32_t i = 0;; ++i) {
    char16_t name[32];
    std::uint32_t length = 32;
    std::uint8_t data[kPayloadSize + 1];
    std::uint32_t size = sizeof data;
    const std::uint32_t err = store->RegEnumValue(key, i, name, &length, nullptr, data, &size);
    if (err == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(err, 0u);
    std::uint32_t w = 0;
    std::uint32_t s = 0;
    ASSERT_TRUE(WellFormed(std::vector<std::uint8_t>(data, data + size), &w, &s));
  }
  store->RegCloseKey(key);
}

}  // namespace
}  // namespace w4platform
