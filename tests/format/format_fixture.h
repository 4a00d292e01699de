// A fresh UserPreferences over a Tarn.ini of the test's own, in a temporary
// directory removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "format/preferences.h"
#include "platform/platform.h"
#include "platform/temp_dir.h"

namespace qp::test {

class TarnIniFixture : public ::testing::Test {
protected:
    std::string TarnIniPath() const { return dir_ / "Tarn.ini"; }

    void WriteTarnIni(const std::string& bytes) { dir_.Write("Tarn.ini", bytes); }

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
    testing::TempDir dir_;
    std::unique_ptr<UserPreferences> prefs_;  // goes before the directory
};

}  // namespace qp::test
