// What a table author reads of script errors on standard error and the
// error panel, beside the console lines, which stay as they are.
#include <sstream>

#include "script/error_log.h"
#include "script_fixture.h"

namespace {

class ScriptErrorTest : public ScriptTest {
 protected:
  std::string startCapturingErrors(const std::string& script, std::string* out) {
    ::testing::internal::CaptureStderr();
    *out = start(script);
    return ::testing::internal::GetCapturedStderr();
  }
};

TEST_F(ScriptErrorTest, SyntaxErrorsNameTheFileLineAndMessage) {
  std::filesystem::create_directories(dir + "/lib");
  writeFile("lib/rules.lua", "local t = {}\nfunction t.f(\n");
  struct Case {
    std::string script, consoleAfterLoading, error;
  } cases[] = {
      {"local x = 1\nif x == 1 mode = 2 end\n",
       "Lua error: syntax error\nLua error: runtime error (attempt to call a nil value)\n",
       "Lua error: game.lua:2: 'then' expected near 'mode'\n"},
      {"\nrequire('lib.rules')\n",
       "Lua error: runtime error (error loading module 'lib.rules' from file '" + dir +
           "/lib/rules.lua':\n\t" + dir +
           "/lib/rules.lua:3: <name> or '...' expected near '<eof>')\n",
       "Lua error: lib/rules.lua:3: <name> or '...' expected near '<eof>'\n"
       "Lua error: game.lua:2: error loading module"},
  };
  for (const Case& c : cases) {
    std::string out;
    std::string errors = startCapturingErrors(c.script, &out);
    EXPECT_EQ(out, "Loading '" + dir + "/game.lua'..\n" + c.consoleAfterLoading) << c.script;
    EXPECT_EQ(errors.find(c.error), 0u) << errors;
    closeScriptState(L);
    L = nullptr;
  }
}

TEST_F(ScriptErrorTest, FailingUpdateShowsItsTracebackOnceThenItsRepeatsEverySecond) {
  std::string out;
  std::string errors = startCapturingErrors(
      "local function bump(v)\n"
      "  return v.x + 1\n"
      "end\n"
      "function update()\n"
      "  bump(nil)\n"
      "end\n",
      &out);
  EXPECT_EQ(errors, "");
  ::testing::internal::CaptureStderr();
  std::string console = steps(900);  // three seconds
  errors = ::testing::internal::GetCapturedStderr();

  std::string line = "Lua error: runtime error ([string \"" + dir +
                     "/game.lua\"]:2: attempt to index local 'v' (a nil value))\n";
  std::string expectConsole;
  for (int i = 0; i < 900; ++i) expectConsole += line;
  EXPECT_EQ(console, expectConsole);
  std::string error = "Lua error: game.lua:2: attempt to index local 'v' (a nil value)";
  EXPECT_EQ(errors, error +
                        "\nstack traceback:\n"
                        "\tgame.lua:2: in function 'bump'\n"
                        "\tgame.lua:5: in function 'update'\n" +
                        error + " (repeated 299 times)\n" + error + " (repeated 599 times)\n" +
                        error + " (repeated 899 times)\n");
  EXPECT_EQ(scriptErrorPanelText(L),
            "Script error at game.lua:2 (900 times)\n"
            "attempt to index local 'v' (a nil value)\n"
            "F9 hides this");
}

TEST_F(ScriptErrorTest, ApiArgumentErrorIsPlacedAtTheCallingLine) {
  std::string out;
  std::string errors = startCapturingErrors(
      "function show()\n"
      "  HudShowText()\n"
      "end\n"
      "show()\n",
      &out);
  EXPECT_EQ(out,
            "Loading '" + dir +
                "/game.lua'..\n"
                "Lua error: runtime error (Not enough parameters for function 'HudShowText'!)\n");
  EXPECT_EQ(errors,
            "Lua error: game.lua:2: Not enough parameters for function 'HudShowText'!\n"
            "stack traceback:\n"
            "\tgame.lua:2: in function 'show'\n"
            "\tgame.lua:4: in main chunk\n");
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptErrorTest, TableWithoutErrorsHasNoPanel) {
  start("function update() end");
  steps(10);
  EXPECT_EQ(scriptErrorPanelText(L), "");
}

// The log on its own: distinct errors past the cap are only counted, the
// panel counts the others, and the summary names the first of the run.
TEST(ErrorLog, ManyDifferentErrorsAreCountedNotListed) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  ASSERT_NE(out, nullptr);
  ErrorLog log(out);
  for (size_t i = 0; i < ErrorLog::maxKept + 2; ++i)
    log.add(1, ScriptError{"game.lua:7", "ball " + std::to_string(i) + " lost", ""});
  log.add(2, ScriptError{"", "out of memory", ""});
  for (long i = 0; i < ErrorLog::repeatReportSteps; ++i) log.step();
  std::string panel = log.panelText(1), summary = log.summary();
  std::fclose(out);
  std::string written(text, size);
  free(text);

  std::istringstream lines(written);
  std::string first, last, line;
  std::getline(lines, first);
  int count = 1;
  while (std::getline(lines, line)) last = line, ++count;
  EXPECT_EQ(count, int(ErrorLog::maxKept) + 1);
  EXPECT_EQ(first, "Lua error: game.lua:7: ball 0 lost");
  EXPECT_EQ(last, "Lua error: 3 more errors of kinds not listed one by one");
  EXPECT_EQ(panel, "Script error at game.lua:7\nball 0 lost\nand " +
                       std::to_string(ErrorLog::maxKept - 1) + " other errors; F9 hides this");
  EXPECT_EQ(summary, "Lua errors in this run: " + std::to_string(ErrorLog::maxKept + 3) +
                         "; the first: game.lua:7: ball 0 lost");
}

}  // namespace
