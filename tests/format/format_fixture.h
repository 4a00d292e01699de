// A fresh UserPreferences over a Tarn.ini of the test's own, in a temporary
// directory removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "format/preferences.h"
#include "platform/platform.h"

namespace qp::test {

class TarnIniFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = std::filesystem::temp_directory_path() /
               ("qp_format_" + std::to_string(seed()) + "_" + std::to_string(seed()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        prefs_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string TarnIniPath() const { return (dir_ / "Tarn.ini").string(); }

    void WriteTarnIni(const std::string& bytes) {
        std::ofstream out(TarnIniPath(), std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    // Preferences over the current Tarn.ini (missing unless written first).
    UserPreferences& Prefs() {
        if (!prefs_) prefs_ = std::make_unique<UserPreferences>(platform_, TarnIniPath());
        return *prefs_;
    }

    void UsePreferences(const std::string& usuariLines) {
        WriteTarnIni("[Usuari]\r\n" + usuariLines);
        prefs_.reset();
    }

    SystemPlatform platform_;
    std::filesystem::path dir_;
    std::unique_ptr<UserPreferences> prefs_;
};

}  // namespace qp::test
