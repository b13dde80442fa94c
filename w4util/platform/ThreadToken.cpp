#include "w4util/platform/ThreadToken.h"

#include <pwd.h>
#include <unistd.h>

#include <string>

#include "w4util/platform/internal/RegistryText.h"

namespace w4platform {
namespace {
thread_local std::optional<TokenUser> t_impersonated;
}  // namespace

bool ThreadTokenService::IsThisThreadImpersonating() { return t_impersonated.has_value(); }

std::optional<TokenUser> ThreadTokenService::ImpersonatedUser() { return t_impersonated; }

TokenUser ThreadTokenService::ProcessUser() {
  static const TokenUser user = [] {
    TokenUser u;
    const uid_t uid = getuid();
    u.sid = internal::Utf8ToUtf16("S-1-22-1-" + std::to_string(uid));
    struct passwd pw {};
    struct passwd* result = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid, &pw, buffer, sizeof buffer, &result) == 0 && result != nullptr) {
      u.name = internal::Utf8ToUtf16(result->pw_name);
    }
    return u;
  }();
  return user;
}

TokenUser ThreadTokenService::EffectiveUser() {
  return t_impersonated ? *t_impersonated : ProcessUser();
}

void ThreadTokenService::ImpersonateUser(const TokenUser& user) { t_impersonated = user; }

void ThreadTokenService::RevertToSelf() { t_impersonated.reset(); }

ScopedImpersonation::ScopedImpersonation(const TokenUser& user) : previous_(t_impersonated) {
  t_impersonated = user;
}

ScopedImpersonation::~ScopedImpersonation() { t_impersonated = previous_; }

}  // namespace w4platform
