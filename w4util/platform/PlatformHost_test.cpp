#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "w4util/platform/ChildProcess.h"
#include "w4util/platform/HresultText.h"
#include "w4util/platform/NamedLock.h"
#include "w4util/platform/Presenter.h"
#include "w4util/platform/Thread.h"

namespace {

TEST(Presenter, RecordingPresenterReplacesTheDefaultForItsScope) {
  w4platform::Presenter& before = w4platform::GetPresenter();
  {
    w4platform::RecordingPresenter recorder(7);
    w4platform::ScopedPresenter scope(recorder);
    EXPECT_EQ(&w4platform::GetPresenter(), &recorder);
    EXPECT_EQ(w4platform::GetPresenter().ShowMessageBox(u"text", u"caption", 0x10), 7);
    ASSERT_EQ(recorder.Count(), 1u);
    recorder.WaitForCount(1);  // already there: returns at once
    EXPECT_EQ(recorder.Boxes()[0].text, u"text");
    EXPECT_EQ(recorder.Boxes()[0].caption, u"caption");
    EXPECT_EQ(recorder.Boxes()[0].style, 0x10u);
  }
  EXPECT_EQ(&w4platform::GetPresenter(), &before);
}

TEST(Presenter, Utf8ForDisplay) {
  EXPECT_EQ(w4platform::Utf16ToUtf8ForDisplay(u"a\u00e9\u20ac\U0001F600"),
            "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  const char16_t lone[] = {u'x', 0xD800, u'y', 0};
  EXPECT_EQ(w4platform::Utf16ToUtf8ForDisplay(lone), "x\xEF\xBF\xBDy");
}

TEST(HresultText, KnownAndUnknownCodes) {
  EXPECT_EQ(w4platform::SystemMessageForHresult(static_cast<std::int32_t>(0x80070057)),
            u"The parameter is incorrect.");
  EXPECT_EQ(w4platform::SystemMessageForHresult(static_cast<std::int32_t>(0x80004005)),
            u"Unspecified error");
  EXPECT_TRUE(w4platform::SystemMessageForHresult(0x12345).empty());
}

TEST(Thread, IdsDifferBetweenThreads) {
  const std::uint32_t mine = w4platform::CurrentThreadId();
  EXPECT_EQ(w4platform::CurrentThreadId(), mine);
  std::uint32_t other = mine;
  std::thread t([&] { other = w4platform::CurrentThreadId(); });
  t.join();
  EXPECT_NE(other, mine);
}

TEST(NamedLock, NamesAreEscapedIntoOneFolder) {
  auto lock = w4platform::NamedLock::Open("Global\\a/b c");
  ASSERT_NE(lock, nullptr);
  const std::string dir = w4platform::NamedLock::LockDirectory();
  EXPECT_EQ(lock->Path(), dir + "/Global%5Ca%2Fb%20c.lock");
  auto dotted = w4platform::NamedLock::Open("..");
  ASSERT_NE(dotted, nullptr);
  EXPECT_EQ(dotted->Path(), dir + "/%2E..lock");
}

TEST(NamedLock, SecondHolderWaitsUntilReleased) {
  auto first = w4platform::NamedLock::Open("w4util-platform-test-" +
                                           std::to_string(w4platform::CurrentProcessId()));
  auto second = w4platform::NamedLock::Open("w4util-platform-test-" +
                                            std::to_string(w4platform::CurrentProcessId()));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->Wait(0), w4platform::kWaitObject0);
  EXPECT_EQ(first->Wait(0), w4platform::kWaitObject0);  // already held by this object
  EXPECT_EQ(second->Wait(0), w4platform::kWaitTimeout);
  first->Unlock();
  EXPECT_EQ(second->Wait(w4platform::kInfinite), w4platform::kWaitObject0);
  EXPECT_TRUE(second->IsHeld());
}

TEST(ChildProcess, ReportsTheChildsExitCode) {
  EXPECT_EQ(w4platform::RunInChildProcess([] { return 42; }), 42);
  EXPECT_EQ(w4platform::RunInChildProcess([]() -> int { throw 1; }), 254);
}

}  // namespace
