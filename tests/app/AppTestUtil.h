// Shared fixture of the application tests: a scratch configuration
// directory (so settings and layout never touch the user's) and the built
// asset directory.
#pragma once

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

class ScratchConfigTest : public ::testing::Test {
protected:
  explicit ScratchConfigTest(const std::string& tag) : tag_(tag) {}
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("tilvox_" + tag_ + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    Platform::g_configDir = dir_.string();
    Platform::g_assetDir = TILVOX_TEST_ASSET_DIR;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;

private:
  std::string tag_;
};
