// The calling thread's security token, as far as the library needs it:
// whether the thread impersonates a user and which one. On this host there is
// no kernel impersonation; a thread impersonates when something (a test, the
// spooler emulation, a service entry point) sets it through ImpersonateUser,
// and stops with RevertToSelf. The setting is per thread (thread_local) and
// starts as "not impersonating" on every new thread. Users are named by SID
// texts of the form S-1-22-1-<uid>; the process user is the real uid.
#pragma once

#include <optional>
#include <string>

#include "w4util/Export.h"

namespace w4platform {

struct TokenUser {
  std::u16string sid;   // "S-1-22-1-1000"
  std::u16string name;  // account name, "" when unknown
};

class W4UTIL_EXPORT ThreadTokenService {
 public:
  static bool IsThisThreadImpersonating();
  // The impersonated user, or empty when the thread runs as itself.
  static std::optional<TokenUser> ImpersonatedUser();
  // The account the process runs under.
  static TokenUser ProcessUser();
  // The impersonated user if any, else the process user.
  static TokenUser EffectiveUser();
  static void ImpersonateUser(const TokenUser& user);
  static void RevertToSelf();
};

// Impersonates for a scope; restores the previous state of the thread.
class W4UTIL_EXPORT ScopedImpersonation {
 public:
  explicit ScopedImpersonation(const TokenUser& user);
  ~ScopedImpersonation();
  ScopedImpersonation(const ScopedImpersonation&) = delete;
  ScopedImpersonation& operator=(const ScopedImpersonation&) = delete;

 private:
  std::optional<TokenUser> previous_;
};

}  // namespace w4platform
