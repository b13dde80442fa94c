// Several threads compressing and restoring at once: every in-memory run of
// the process shares the pseudo-file names, so each must come back intact.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "w4util/compression/CabCompressedBuffer.h"
#include "w4util/compression/CabFileObjectManager.h"

namespace {

TEST(CabCompressedBufferThreads, ConcurrentRoundTripsStayApart) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 12;
  const std::size_t before = CabFileObjectManager::GetNumberOfRegisteredFiles();
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int round = 0; round < kRounds; ++round) {
        ByteBuffer data;
        const std::size_t size = 1000 + static_cast<std::size_t>(t * 7919 + round * 104729) % 40000;
        for (std::size_t i = 0; i < size; ++i) {
          data.push_back(static_cast<unsigned char>((i * (t + 3) + round) % 251 / (i % 3 + 1)));
        }
        try {
          CabCompressedBuffer buffer;
          buffer.Store(data);
          ByteBuffer state = buffer.GetCompressedBufferState();
          if (!CabCompressedBuffer::TryToUncompressStateData(state) || state != data) ++failures[t];
        } catch (...) {
          ++failures[t];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
  EXPECT_EQ(CabFileObjectManager::GetNumberOfRegisteredFiles(), before);
}

}  // namespace
