#include "w4util/memory/SharedPtr.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "w4util/errors/UtilitiesDllPerThreadStorage.h"

namespace {

// Counts live instances so that deletions can be checked.
struct Tracked {
  explicit Tracked(int v, int* live) : value(v), live(live) { ++*live; }
  ~Tracked() { --*live; }
  bool operator==(const Tracked& o) const { return value == o.value; }
  bool operator<(const Tracked& o) const { return value < o.value; }
  int value;
  int* live;
};

TEST(SharedPtr, CopiesShareAndTheLastOneDeletes) {
  int live = 0;
  {
    SharedPtr<Tracked> a(new Tracked(1, &live));
    EXPECT_TRUE(a.IsUnshared());
    {
      SharedPtr<Tracked> b = a;
      EXPECT_FALSE(a.IsUnshared());
      EXPECT_EQ(a.UseCount(), 2u);
      EXPECT_EQ(b.Get(), a.Get());
      EXPECT_EQ(b->value, 1);
      EXPECT_EQ((*b).value, 1);
    }
    EXPECT_TRUE(a.IsUnshared());
    EXPECT_EQ(live, 1);
  }
  EXPECT_EQ(live, 0);
}

TEST(SharedPtr, AssignmentAndReset) {
  int live = 0;
  SharedPtr<Tracked> a(new Tracked(1, &live));
  SharedPtr<Tracked> b(new Tracked(2, &live));
  SharedPtr<Tracked>& alias = a;
  a = alias;  // to itself: nothing
  EXPECT_EQ(a->value, 1);
  a = b;  // the old object goes
  EXPECT_EQ(live, 1);
  EXPECT_EQ(a.UseCount(), 2u);

  Tracked* same = a.Get();
  a.Reset(same, true);  // the same object: nothing
  EXPECT_EQ(a.UseCount(), 2u);
  a.Reset(new Tracked(3, &live), true);
  EXPECT_EQ(live, 2);
  EXPECT_TRUE(a.IsUnshared());
  EXPECT_TRUE(b.IsUnshared());
}

TEST(SharedPtr, NotOwningAndReleasedOwnership) {
  int live = 0;
  Tracked onStack(5, &live);
  { SharedPtr<Tracked> view(&onStack, false); }
  EXPECT_EQ(live, 1);
  Tracked* released;
  {
    SharedPtr<Tracked> p(new Tracked(6, &live));
    released = p.ReleaseOwnership();
  }
  EXPECT_EQ(live, 2);
  delete released;
  EXPECT_EQ(live, 1);
}

// A list whose nodes own their successor: walking it by assignment releases
// each node while its successor is being taken.
struct ListNode {
  explicit ListNode(int v, int* live) : value(v), live(live) { ++*live; }
  ~ListNode() { --*live; }
  int value;
  int* live;
  SharedPtr<ListNode> next{nullptr, false};
};

TEST(SharedPtr, AssignFromAMemberOfTheObjectItReleases) {
  int live = 0;
  SharedPtr<ListNode> head(new ListNode(0, &live));
  {
    SharedPtr<ListNode> tail = head;
    for (int i = 1; i < 5; ++i) {
      tail->next = SharedPtr<ListNode>(new ListNode(i, &live));
      tail = tail->next;
    }
  }
  EXPECT_EQ(live, 5);
  SharedPtr<ListNode> p = head;
  head = SharedPtr<ListNode>(nullptr, false);
  int seen = 0;
  while (p.Get() != nullptr) {
    EXPECT_EQ(p->value, seen++);
    p = p->next;  // p's object owns next and dies in this assignment
    EXPECT_EQ(live, 5 - seen);
  }
  EXPECT_EQ(seen, 5);
  EXPECT_EQ(live, 0);
}

TEST(SharedPtr, ComparesThroughTheObjects) {
  int live = 0;
  SharedPtr<Tracked> one(new Tracked(1, &live));
  SharedPtr<Tracked> otherOne(new Tracked(1, &live));
  SharedPtr<Tracked> two(new Tracked(2, &live));
  EXPECT_TRUE(one == otherOne);
  EXPECT_FALSE(one == two);
  EXPECT_TRUE(one < two);
  EXPECT_FALSE(two < one);
  std::set<SharedPtr<Tracked>> ordered{two, one, otherOne};
  EXPECT_EQ(ordered.size(), 2u);
  EXPECT_EQ(ordered.begin()->Get()->value, 1);
  SharedPtr<Tracked> null1(nullptr, false);
  SharedPtr<Tracked> null2(nullptr, false);
  EXPECT_TRUE(null1 == null2);
  EXPECT_TRUE(null1 < one);
}

TEST(SharedPtr, RecordsComeFromTheThreadsPool) {
  FixedBlockSizeMemoryPool* pool = UtilitiesDllPerThreadStorage::GetSharedPtrMemoryPool();
  const std::int64_t before = pool->GetLiveBlockBalance();
  {
    SharedPtr<int> a(new int(1));
    SharedPtr<int> b = a;
    SharedPtr<int> c(new int(2));
    EXPECT_EQ(pool->GetLiveBlockBalance(), before + 2);
  }
  EXPECT_EQ(pool->GetLiveBlockBalance(), before);
}

TEST(SharedPtr, ThreadSharedRecordsCountToo) {
  int live = 0;
  {
    auto p = SharedPtr<Tracked>::CreateThreadShared(new Tracked(1, &live), true);
    EXPECT_TRUE(p.IsThreadShared());
    std::vector<SharedPtr<Tracked>> copies(10, p);
    EXPECT_EQ(p.UseCount(), 11u);
  }
  EXPECT_EQ(live, 0);
}

}  // namespace
