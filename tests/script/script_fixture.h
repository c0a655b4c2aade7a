// A game script run through the real host in a temporary data directory,
// with the console captured.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <lua5.1/lua.hpp>
#include <string>

#include "props/property_store.h"
#include "script/script_host.h"
#include "world/step_length.h"

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvane-script-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    setPropertyFile((dir + "/save.dat").c_str());
    setScriptTimeLimit(defaultScriptTimeLimitMs, defaultScriptGraceMs);
  }

  void TearDown() override {
    closeScriptState(L);
    L = nullptr;
    std::filesystem::remove_all(dir);
  }

  void writeFile(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name, std::ios::binary) << text;
  }

  // The start-up sequence of the engine on game.lua; returns the console.
  std::string start(const std::string& script) {
    writeFile("game.lua", script);
    return startWithoutWriting();
  }

  std::string startWithoutWriting() {
    ::testing::internal::CaptureStdout();
    L = createScriptState();
    EXPECT_NE(L, nullptr);
    registerScriptApi(L, dir.c_str());
    setScriptFps(L, 0);
    refreshScriptKeys(L, keys);
    runScriptFile(L, (dir + "/game.lua").c_str());
    runScriptSetup(L);
    return ::testing::internal::GetCapturedStdout();
  }

  // Runs more code in the started state as a chunk of its own.
  std::string run(const std::string& code) {
    if (!L) start("");
    ::testing::internal::CaptureStdout();
    if (luaL_loadbuffer(L, code.data(), code.size(), "test") != 0) {
      reportScriptError(L, LUA_ERRSYNTAX);
      lua_pop(L, 1);
    } else {
      runScriptSetup(L);
    }
    return ::testing::internal::GetCapturedStdout();
  }

  // World steps as the script sees them: keys, then update.
  std::string steps(int count) {
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < count; ++i) {
      refreshScriptKeys(L, keys);
      callScriptUpdate(L, stepLength);
    }
    return ::testing::internal::GetCapturedStdout();
  }

  std::string dir;
  lua_State* L = nullptr;
  KeyState keys;  // what the next refresh hands the script
};
