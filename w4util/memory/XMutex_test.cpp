#include "w4util/memory/XMutex.h"

#include <gtest/gtest.h>

#include <string>

#include "w4util/platform/ChildProcess.h"
#include "w4util/platform/Thread.h"

namespace {

CXString UniqueName(const char16_t* base) {
  CXString name;
  name.Format(u"Global\\w4util-test-%s-%lu", base, w4platform::CurrentProcessId());
  return name;
}

// A second process tries the lock without waiting; its exit code says what
// happened: 0 acquired, 1 timed out, 2 other.
int ChildTries(const CXString& name) {
  return w4platform::RunInChildProcess([name] {
    XMutex other(name);
    const std::uint32_t result = other.Wait(0);
    return result == XMutex::kWaitObject0 ? 0 : result == XMutex::kWaitTimeout ? 1 : 2;
  });
}

TEST(XMutex, ExcludesAnotherProcessWhileHeld) {
  const CXString name = UniqueName(u"exclude");
  XMutex mine(name);
  ASSERT_TRUE(mine.HasHandle());
  EXPECT_EQ(ChildTries(name), 0);  // free: the child gets it (and dies holding it)
  ASSERT_EQ(mine.Wait(0), XMutex::kWaitObject0);  // the dead child left nothing held
  EXPECT_EQ(ChildTries(name), 1);
  EXPECT_TRUE(mine.Release());
  EXPECT_EQ(ChildTries(name), 0);
}

TEST(XMutex, CountsItsOwnAcquisitionsAndReleasesOnlyThose) {
  const CXString name = UniqueName(u"count");
  {
    XMutex mine(name);
    EXPECT_FALSE(mine.Release());  // nothing acquired: nothing given back
    EXPECT_EQ(mine.Wait(0), XMutex::kWaitObject0);
    EXPECT_EQ(mine.Wait(0), XMutex::kWaitObject0);
    EXPECT_EQ(mine.GetAcquisitionCount(), 2u);
    EXPECT_TRUE(mine.Release());
    EXPECT_EQ(ChildTries(name), 1);  // one acquisition still held
    XMutex bystander(name);  // never acquired: its end must not free mine
  }
  EXPECT_EQ(ChildTries(name), 0);  // the destructor gave back the rest
  XMutex holder(name);
  ASSERT_EQ(holder.Wait(0), XMutex::kWaitObject0);
  { XMutex bystander(name); }
  EXPECT_EQ(ChildTries(name), 1);
}

// Counts the waits that WaitWithRetry makes.
class CountingMutex : public XMutex {
 public:
  using XMutex::XMutex;
  std::uint32_t Wait(std::uint32_t timeout) override {
    ++waits;
    return XMutex::Wait(timeout);
  }
  int waits = 0;
};

TEST(XMutex, WaitWithRetryStopsAfterRetriesPlusOne) {
  const CXString name = UniqueName(u"retry");
  XMutex holder(name);
  ASSERT_EQ(holder.Wait(0), XMutex::kWaitObject0);
  CountingMutex waiter(name);
  EXPECT_FALSE(waiter.WaitWithRetry(0, 2));
  EXPECT_EQ(waiter.waits, 3);
  holder.Release();
  CountingMutex lucky(name);
  EXPECT_TRUE(lucky.WaitWithRetry(0, 2));
  EXPECT_EQ(lucky.waits, 1);
}

}  // namespace
