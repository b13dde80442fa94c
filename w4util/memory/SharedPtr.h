// SharedPtr: shared ownership through a 16-byte count record taken from the
// calling thread's block pool (the pool inside the thread's
// UtilitiesDllPerThreadStorage, created on the thread's first use).
//
// Counts are plain (non-atomic) integers: a SharedPtr and all its copies stay
// on one thread. The one exception is a record made by CreateThreadShared,
// whose count is changed atomically; exceptions use it so that their copied
// context frames may be copied and destroyed on any thread. A record released
// on another thread than the one that made it joins the releasing thread's
// pool (all these pools have one geometry).
//
// Assignment and Reset take hold of the new record before releasing the old
// one, so `p = p->next` is safe when p's object owns next.
//
// Compare supplies the equality and ordering of operator== and operator<;
// SharedPtrCompare uses the objects' own operators.
#pragma once

#include <cstdint>
#include <new>

#include "w4util/Export.h"

// One pool block.
struct SharedPtrInfoStruct {
  void* object;
  std::uint32_t count;
  bool owns;          // delete the object when the count reaches 0
  bool threadShared;  // the count is changed atomically
};
static_assert(sizeof(SharedPtrInfoStruct) == 16, "one 16-byte pool block");

namespace w4util_memory_internal {
// A record block from the calling thread's pool (or, when the thread has no
// usable storage, from the process-wide manager). Throws std::bad_alloc.
W4UTIL_EXPORT void* AllocateSharedPtrRecord();
// Gives a record block back to the calling thread's pool, or to the manager
// when the thread's storage is gone.
W4UTIL_EXPORT void ReturnSharedPtrRecord(void* record) noexcept;
}  // namespace w4util_memory_internal

template <class T>
struct SharedPtrCompare {
  static bool IsEqual(const T* a, const T* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return *a == *b;
  }
  static bool LessThan(const T* a, const T* b) {
    if (a == nullptr || b == nullptr) return a == nullptr && b != nullptr;
    return *a < *b;
  }
};

template <class T, class Compare = SharedPtrCompare<T>>
class SharedPtr {
 public:
  // A new record {object, 1, owns}. If the record cannot be had, an owned
  // object is deleted and std::bad_alloc propagates.
  explicit SharedPtr(T* object = nullptr, bool owns = true)
      : m_Record(NewRecord(object, owns, false)) {}
  SharedPtr(const SharedPtr& other) noexcept : m_Record(other.m_Record) { AddRef(m_Record); }
  ~SharedPtr() { Release(m_Record); }

  // A pointer whose record may be copied and released on any thread.
  static SharedPtr CreateThreadShared(T* object, bool owns) {
    return SharedPtr(NewRecord(object, owns, true), AdoptTag{});
  }

  // Self-assignment shares the record, so it returns early (and the count is
  // raised before the old one drops in any case).
  // NOLINTNEXTLINE(bugprone-unhandled-self-assignment)
  SharedPtr& operator=(const SharedPtr& other) noexcept {
    SharedPtrInfoStruct* incoming = other.m_Record;
    if (incoming == m_Record) return *this;
    AddRef(incoming);
    SharedPtrInfoStruct* old = m_Record;
    m_Record = incoming;
    Release(old);
    return *this;
  }

  // When object differs from the held one: a new record {object, 1, owns},
  // then the old record is released.
  void Reset(T* object, bool owns = true) {
    if (object == Get()) return;
    SharedPtrInfoStruct* incoming = NewRecord(object, owns, false);
    SharedPtrInfoStruct* old = m_Record;
    m_Record = incoming;
    Release(old);
  }

  // Clears the owns flag; the caller now owns the returned object.
  T* ReleaseOwnership() noexcept {
    m_Record->owns = false;
    return Get();
  }
  bool IsUnshared() const noexcept { return Count() < 2; }
  std::uint32_t UseCount() const noexcept { return Count(); }
  bool IsThreadShared() const noexcept { return m_Record->threadShared; }

  T* Get() const noexcept { return static_cast<T*>(m_Record->object); }
  T* operator->() const noexcept { return Get(); }
  T& operator*() const noexcept { return *Get(); }

  bool operator==(const SharedPtr& other) const { return Compare::IsEqual(Get(), other.Get()); }
  bool operator<(const SharedPtr& other) const { return Compare::LessThan(Get(), other.Get()); }

 private:
  struct AdoptTag {};
  SharedPtr(SharedPtrInfoStruct* record, AdoptTag) noexcept : m_Record(record) {}

  static SharedPtrInfoStruct* NewRecord(T* object, bool owns, bool threadShared) {
    void* block;
    try {
      block = w4util_memory_internal::AllocateSharedPtrRecord();
    } catch (...) {
      if (owns) delete object;
      throw;
    }
    return new (block) SharedPtrInfoStruct{object, 1, owns, threadShared};
  }
  std::uint32_t Count() const noexcept {
    return m_Record->threadShared ? __atomic_load_n(&m_Record->count, __ATOMIC_ACQUIRE)
                                  : m_Record->count;
  }
  static void AddRef(SharedPtrInfoStruct* record) noexcept {
    if (record->threadShared) {
      __atomic_add_fetch(&record->count, 1, __ATOMIC_RELAXED);
    } else {
      ++record->count;
    }
  }
  static void Release(SharedPtrInfoStruct* record) noexcept {
    bool last = record->threadShared
                    ? __atomic_sub_fetch(&record->count, 1, __ATOMIC_ACQ_REL) == 0
                    : --record->count == 0;
    if (!last) return;
    if (record->owns) delete static_cast<T*>(record->object);
    w4util_memory_internal::ReturnSharedPtrRecord(record);
  }

  SharedPtrInfoStruct* m_Record;
};
