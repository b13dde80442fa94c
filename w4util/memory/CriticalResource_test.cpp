#include "w4util/memory/CriticalResource.h"

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>

#include "w4util/platform/Presenter.h"

namespace {

TEST(CriticalResource, ReentrantForTheOwner) {
  CriticalResource resource(u"test");
  OwnedCriticalResource outer(resource, u"outer", 1);
  OwnedCriticalResource inner(resource, u"inner", 2, true);  // the owner never contends
  EXPECT_TRUE(resource.tryAcquireOwnership());
  resource.releaseOwnership();
  EXPECT_TRUE(resource.getDebugDisplayName().IsEmpty());
}

TEST(CriticalResource, ReportContentionShowsTheNotice) {
  w4platform::RecordingPresenter presenter;
  w4platform::ScopedPresenter scope(presenter);
  CriticalResource::ReportContention();
  ASSERT_EQ(presenter.Count(), 1u);
  const auto box = presenter.Boxes()[0];
  EXPECT_EQ(box.text, u"Thread contention encountered for this resource. Just an FYI.");
  EXPECT_EQ(box.caption, u"CriticalResource.");
  EXPECT_EQ(box.style, w4platform::kMbTaskModal);
}

// Contention is forced, not hoped for: the holder keeps the lock until the
// waiter's notice has been shown.
TEST(CriticalResourceThreads, ContentionNoticeOnlyWhenAskedAndAnotherThreadHolds) {
  w4platform::RecordingPresenter presenter;
  w4platform::ScopedPresenter scope(presenter);
  CriticalResource resource;
  for (bool report : {false, true}) {
    std::latch held(1);
    std::latch waiterDone(1);
    std::thread holder([&] {
      resource.acquireOwnership(false);
      held.count_down();
      if (report) presenter.WaitForCount(1);  // the waiter has tried and reported
      resource.releaseOwnership();
    });
    held.wait();
    std::thread waiter([&] {
      resource.acquireOwnership(report);
      resource.releaseOwnership();
      waiterDone.count_down();
    });
    waiterDone.wait();
    holder.join();
    waiter.join();
  }
  // The waiter without reporting may or may not have had to wait; only the
  // reporting one shows a notice, and it had to wait.
  EXPECT_EQ(presenter.Count(), 1u);
}

TEST(CriticalResource, UncontendedReportingShowsNothing) {
  w4platform::RecordingPresenter presenter;
  w4platform::ScopedPresenter scope(presenter);
  CriticalResource resource;
  resource.acquireOwnership(true);
  resource.releaseOwnership();
  EXPECT_EQ(presenter.Count(), 0u);
}

}  // namespace
