// Test helpers for Tiled maps: Tiled's own command line re-saves and
// converts the maps that tests write, so the packer reads what Tiled wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "pack_fixture.h"

inline bool tiledInstalled() {
  return std::system("command -v tiled >/dev/null 2>&1") == 0;
}

// Converts or re-saves a map with Tiled; format is "tmx" or "json".
inline ::testing::AssertionResult tiledExport(const std::string& format, const std::string& from,
                                              const std::string& to) {
  if (!tiledInstalled())
    return ::testing::AssertionFailure()
           << "tiled is not installed: this test needs Tiled's command line "
              "(apt-get install tiled; scripts/setup.sh test installs it)";
  std::string command = "QT_QPA_PLATFORM=offscreen tiled --export-map " + format + " '" + from +
                        "' '" + to + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0 || !std::filesystem::exists(to))
    return ::testing::AssertionFailure() << "tiled could not export " << from << " to " << to;
  return ::testing::AssertionSuccess();
}
