// Test support: makes a fresh in-memory store the process's store for the
// life of a test, with a key under the machine hive to work in.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "w4util/config/RegistryKey.h"
#include "w4util/platform/RegistryStore.h"

class RegistryKeyFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    w4platform::RegistryStore::ReplaceProcessStore(w4platform::RegistryStore::OpenInMemory());
    RegistryKey machine(w4platform::HKEY_LOCAL_MACHINE, false);
    key_ = std::make_unique<RegistryKey>(RegistryKey::CreateRegistryKey(
        machine, CXString(u"SOFTWARE\\Zelvo\\Test"), w4platform::KEY_ALL_ACCESS, false));
  }
  void TearDown() override { key_.reset(); }

  static w4platform::RegistryStore& Store() { return w4platform::RegistryStore::Process(); }
  void Raw(const char16_t* name, std::uint32_t type, std::initializer_list<int> bytes) {
    std::vector<std::uint8_t> data;
    for (int b : bytes) data.push_back(static_cast<std::uint8_t>(b));
    ASSERT_EQ(Store().RegSetValueEx(key_->GetKey(), name, type, data.data(),
                                    static_cast<std::uint32_t>(data.size())),
              0u);
  }

  std::unique_ptr<RegistryKey> key_;
};
