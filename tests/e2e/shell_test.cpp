// The engine as a user runs it: command line, start-up order, the window,
// the engine keys, and every way the process ends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

using e2e::DataDir;
using e2e::Engine;
using e2e::EngineOptions;

namespace {

EngineOptions withoutDisplay() {
  EngineOptions o;
  o.display = false;
  return o;
}

// Prints a line once whenever the left flipper key changes, and the first
// step rate the engine reports.
const char* const keyEchoScript = R"(
print("setup ran with fps " .. fps .. ", lpad " .. tostring(keys.lpad))
local held = false
local reported = false
function update(dt)
  if keys.lpad ~= held then
    held = keys.lpad
    print(held and "lpad down" or "lpad up")
  end
  if fps > 0 and not reported then
    reported = true
    print("first fps report " .. fps)
  end
end
)";

void makeTable(const DataDir& dir, const std::string& script = keyEchoScript) {
  dir.write("data.dat", e2e::smallestArchive());
  dir.write("game.lua", script);
}

// Waits for each line in turn; they must come in this order.
void expectLinesInOrder(Engine& engine, const std::vector<std::string>& expected) {
  for (const std::string& line : expected)
    ASSERT_TRUE(engine.waitForLine(line)) << "missing \"" << line << "\" in:\n"
                                          << engine.transcript();
}

}  // namespace

TEST(ShellCommandLine, UnknownSwitchPrintsOnlyItsLineAndExits1) {
  for (const char* bad : {"-x", "-Windowed", "-windowedx", "-fullscreen-"}) {
    Engine engine;
    ASSERT_TRUE(engine.start({"somewhere", bad, "-windowed"}, withoutDisplay()));
    EXPECT_EQ(engine.waitForExit(), 1) << bad;
    EXPECT_EQ(engine.lines(),
              std::vector<std::string>{std::string("Unknown parameter '") + bad + "'"})
        << engine.transcript();
  }
}

TEST(ShellCommandLine, LastDirectoryWinsAndEmptyArgumentsAreSkipped) {
  DataDir first, second;
  Engine engine;
  ASSERT_TRUE(engine.start({first.path(), "", second.path(), "-windowed", "-fullscreen"},
                           withoutDisplay()));
  EXPECT_EQ(engine.waitForExit(), 1);
  std::vector<std::string> lines = engine.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Using data directory '" + second.path() + "'");
}

TEST(ShellCommandLine, NoDirectoryMeansDefault) {
  DataDir cwd;
  EngineOptions o = withoutDisplay();
  o.workingDirectory = cwd.path();
  Engine engine;
  ASSERT_TRUE(engine.start({}, o));
  EXPECT_EQ(engine.waitForExit(), 1);
  std::vector<std::string> lines = engine.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Using data directory 'default'");
}

TEST(ShellStartUp, WithoutADisplayTheGraphicsErrorEndsTheRun) {
  DataDir dir;
  makeTable(dir);
  Engine engine;
  ASSERT_TRUE(engine.start({dir.path(), "-windowed"}, withoutDisplay()));
  EXPECT_EQ(engine.waitForExit(), 1);
  expectLinesInOrder(engine,
                     {"Using data directory '" + dir.path() + "'", "Initializing the graphics.."});
  // A terminal fallback driver of SDL may write control sequences onto the
  // same lines, so these are matched inside the line.
  EXPECT_TRUE(engine.waitForLineContaining("Error opening the gfx: ")) << engine.transcript();
  EXPECT_TRUE(engine.waitForLineContaining("Cleaning up..")) << engine.transcript();
  EXPECT_TRUE(engine.waitForLineContaining("Exiting; thanks for playing!")) << engine.transcript();
  for (const std::string& line : engine.lines()) {
    EXPECT_EQ(line.find("Initializing the audio.."), std::string::npos);
    EXPECT_EQ(line.find("Starting lua.."), std::string::npos);
  }
}

TEST(ShellStartUp, MissingArchiveExits1AfterTheCatalogErrorAndShutdown) {
  DataDir dir;
  dir.write("game.lua", "print('must not run')");
  Engine engine;
  ASSERT_TRUE(engine.start({dir.path(), "-windowed"}));
  EXPECT_EQ(engine.waitForExit(), 1) << engine.transcript();
  expectLinesInOrder(engine, {"Using data directory '" + dir.path() + "'",
                              "Initializing the graphics..", "Initializing the audio..",
                              "Loading world data from '" + dir.path() + "/data.dat'..",
                              "Error opening the world data file!", "Cleaning up..",
                              "[WORLD] Clearing world", "Exiting; thanks for playing!"});
  std::vector<std::string> lines = engine.lines();
  EXPECT_EQ(lines.back(), "Exiting; thanks for playing!");
  for (const std::string& line : lines) {
    EXPECT_NE(line, "Starting lua..");
    EXPECT_NE(line, "must not run");
  }
}

namespace {

// base, then folders of at most 200 letters, to exactly length characters.
std::string longDirectory(const std::string& base, size_t length) {
  std::string dir = base;
  for (size_t parts = (length - base.size() + 200) / 201; parts > 0; --parts) {
    size_t share = (length - dir.size()) / parts;  // a separator and its letters
    dir += '/' + std::string(share - 1, char('a' + parts % 26));
  }
  return dir;
}

}  // namespace

// A directory and "data.dat" joined must stay below 1014 characters with the
// separator and the terminator; a longer join is a file that cannot be opened.
TEST(ShellStartUp, DataPathsOfTheLimitOrLongerCannotBeOpened) {
  for (size_t length : {size_t(1003), size_t(1004)}) {
    DataDir dir;
    const std::string directory = longDirectory(dir.path(), length);
    ASSERT_EQ(directory.size(), length);
    const std::string inside = directory.substr(dir.path().size() + 1);
    dir.write(inside + "/data.dat", e2e::smallestArchive());
    dir.write(inside + "/game.lua", "print('script ran')");
    ASSERT_TRUE(dir.exists(inside + "/data.dat"));

    Engine engine;
    ASSERT_TRUE(engine.start({directory, "-windowed"}));
    if (length == 1003) {
      expectLinesInOrder(engine, {"World data loaded!", "script ran", "Main loop.."});
      engine.interrupt();
      EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
    } else {
      EXPECT_EQ(engine.waitForExit(), 1) << engine.transcript();
      expectLinesInOrder(engine, {"Error opening the world data file!", "Cleaning up..",
                                  "Exiting; thanks for playing!"});
    }
  }
}

TEST(ShellRun, StartsInOrderTogglesDebugDrawingAndQuitsOnEscape) {
  DataDir dir;
  makeTable(dir);
  Engine engine;
  ASSERT_TRUE(engine.start({dir.path(), "-windowed"}));
  expectLinesInOrder(
      engine,
      {"Using data directory '" + dir.path() + "'", "Initializing the graphics..",
       "Initializing the audio..", "Loading world data from '" + dir.path() + "/data.dat'..",
       "World data loaded!", "Starting lua..", "Loading '" + dir.path() + "/game.lua'..",
       "Running setup..", "setup ran with fps 0, lpad false", "Main loop.."});
  ASSERT_NE(engine.window(), 0ul) << engine.transcript();
  EXPECT_EQ(engine.windowTitle(), "Orvane Engine");

  // The loop steps the world and reports a step rate of at most 1 per 3 ms.
  ASSERT_TRUE(engine.waitForLineContaining("first fps report ")) << engine.transcript();
  for (const std::string& line : engine.lines()) {
    if (line.rfind("first fps report ", 0) != 0) continue;
    double fps = std::stod(line.substr(17));
    EXPECT_GT(fps, 0.0);
    EXPECT_LE(fps, 1000.0 / 3.0 + 1.0);
  }

  // Each key stays down until the console shows its effect.
  ASSERT_TRUE(engine.press("F10", "Drawing visual debug helpers")) << engine.transcript();
  ASSERT_TRUE(engine.press("F10", "Not drawing visual debug helpers")) << engine.transcript();
  ASSERT_TRUE(engine.press("F11", "Not drawing the level images")) << engine.transcript();

  // A held game key reaches the script's keys table until it is released.
  ASSERT_TRUE(engine.hold("Shift_L", "lpad down")) << engine.transcript();
  ASSERT_TRUE(engine.release("Shift_L"));
  EXPECT_TRUE(engine.waitForLine("lpad up")) << engine.transcript();

  ASSERT_TRUE(engine.press("Escape", "ESC pressed; quitting the game.")) << engine.transcript();
  expectLinesInOrder(engine, {"Cleaning up..", "Exiting; thanks for playing!"});
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
  EXPECT_EQ(engine.lines().back(), "Exiting; thanks for playing!");
}

TEST(ShellRun, InterruptAndTerminateEndTheRunCleanly) {
  for (bool interrupt : {true, false}) {
    DataDir dir;
    makeTable(dir);
    Engine engine;
    ASSERT_TRUE(engine.start({dir.path(), "-windowed"}));
    ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
    interrupt ? engine.interrupt() : engine.terminate();
    EXPECT_EQ(engine.waitForExit(), 0)
        << (interrupt ? "SIGINT\n" : "SIGTERM\n") << engine.transcript();
    expectLinesInOrder(engine,
                       {"Cleaning up..", "[WORLD] Clearing world", "Exiting; thanks for playing!"});
    std::vector<std::string> lines = engine.lines();
    EXPECT_EQ(lines.back(), "Exiting; thanks for playing!");
    for (const std::string& line : lines) EXPECT_NE(line, "ESC pressed; quitting the game.");
  }
}

TEST(ShellRun, FullScreenByDefaultGrabsTheInputAndAWindowDoesNot) {
  const struct {
    std::vector<std::string> switches;
    bool fullScreen;
  } cases[] = {{{}, true}, {{"-windowed"}, false}, {{"-windowed", "-fullscreen"}, true}};
  for (const auto& c : cases) {
    DataDir dir;
    makeTable(dir);
    std::vector<std::string> args = {dir.path()};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    Engine engine;
    ASSERT_TRUE(engine.start(args));
    ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
    ASSERT_NE(engine.window(), 0ul) << engine.transcript();
    // The grab may wait for the first events the loop handles; thirty
    // iterations later it is in place or it never comes.
    const long start = engine.frames();
    bool grabbed = false;
    engine.waitUntil(
        [&] {
          grabbed = engine.inputGrabbed();
          return grabbed || engine.frames() >= start + e2e::Engine::lostAfterFrames;
        },
        "the input grab");
    EXPECT_EQ(grabbed, c.fullScreen) << c.switches.size() << " switches\n" << engine.transcript();

    // Keys reach the engine through the grab as well.
    ASSERT_TRUE(engine.press("Escape", "ESC pressed; quitting the game.")) << engine.transcript();
    EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
  }
}

TEST(ShellRun, MissingScriptIsReportedAndTheGameRunsOn) {
  DataDir dir;
  dir.write("data.dat", e2e::smallestArchive());
  Engine engine;
  ASSERT_TRUE(engine.start({dir.path(), "-windowed"}));
  expectLinesInOrder(engine, {"Loading '" + dir.path() + "/game.lua'..",
                              "File '" + dir.path() + "/game.lua' not found!", "Running setup.."});
  ASSERT_TRUE(engine.waitForLineContaining("Lua error: runtime error (")) << engine.transcript();
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
  ASSERT_NE(engine.window(), 0ul);
  engine.interrupt();
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
}

namespace {

// Reads the window back until done() holds for it, at most ten times a
// second: each read-back costs the machine a frame's worth.
bool waitForImage(Engine& engine, const std::function<bool(const e2e::Image&)>& done,
                  const std::string& what, e2e::Image* last) {
  bool first = true;
  return engine.waitUntil(
      [&] {
        if (!first) usleep(100 * 1000);
        first = false;
        *last = engine.grabWindow();
        return !last->empty() && done(*last);
      },
      what);
}

bool waitForPixel(Engine& engine, int x, int y, e2e::Rgb colour, e2e::Image* last) {
  return waitForImage(
      engine, [&](const e2e::Image& image) { return image.at(x, y) == colour; },
      "the pixel at (" + std::to_string(x) + ", " + std::to_string(y) + ") to change", last);
}

}  // namespace

TEST(ShellRun, F11HidesAndShowsTheTableImages) {
  DataDir dir;
  e2e::ArchiveObject box;
  box.name = "Box";
  box.img = "red";
  dir.write("data.dat",
            e2e::ArchiveWriter().texture("red", 16, 16, 255, 0, 0).scene("Box", {box}).bytes());
  dir.write("game.lua", "SceneSpawn('Box', Vec2(400, 300))\n");
  Engine engine;
  ASSERT_TRUE(engine.start({dir.path(), "-windowed"}));
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();

  // A 16x16 sprite centred on (400, 300) with the camera at the origin.
  const e2e::Rgb red{255, 0, 0}, black{0, 0, 0};
  e2e::Image frame;
  ASSERT_TRUE(waitForPixel(engine, 400, 300, red, &frame)) << engine.transcript();
  ASSERT_EQ(frame.width, 800);
  ASSERT_EQ(frame.height, 600);
  EXPECT_EQ(frame.at(393, 293), red);
  EXPECT_EQ(frame.at(406, 306), red);
  EXPECT_EQ(frame.at(380, 300), black);
  EXPECT_EQ(frame.at(400, 320), black);

  ASSERT_TRUE(engine.press("F11", "Not drawing the level images")) << engine.transcript();
  EXPECT_TRUE(waitForPixel(engine, 400, 300, black, &frame)) << engine.transcript();
  ASSERT_TRUE(engine.press("F11", "Drawing the level images")) << engine.transcript();
  EXPECT_TRUE(waitForPixel(engine, 400, 300, red, &frame)) << engine.transcript();

  engine.interrupt();
  EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
}

namespace {

// A pixel of the screen and the colour it must show. A pixel at the edge of
// a scaled sprite mixes in some of the texture's black border, so it only
// has to lean to the colour: bright where the colour is full, dark where it
// is empty. Black is always exact.
struct Probe {
  int x, y;
  e2e::Rgb colour;
};

bool shows(e2e::Rgb pixel, e2e::Rgb colour) {
  if (colour == e2e::Rgb{}) return pixel == colour;
  auto leans = [](uint8_t seen, uint8_t wanted) { return wanted ? seen > 40 : seen < 40; };
  return leans(pixel.r, colour.r) && leans(pixel.g, colour.g) && leans(pixel.b, colour.b);
}

bool waitForFrame(Engine& engine, int width, int height, const Probe& probe, e2e::Image* frame) {
  return waitForImage(
      engine,
      [&](const e2e::Image& image) {
        return image.width == width && image.height == height &&
               shows(image.at(probe.x, probe.y), probe.colour);
      },
      "a " + std::to_string(width) + "x" + std::to_string(height) + " frame", frame);
}

}  // namespace

// A red square at the picture's top-left corner and a green one at its
// bottom-right, on a 1920x1080 display.
TEST(ShellRun, ThePictureFillsTheDisplayWithItsAspectKept) {
  DataDir dir;
  e2e::ArchiveObject topLeft, bottomRight;
  topLeft.name = "TopLeft";
  bottomRight.name = "BottomRight";
  topLeft.img = "red";
  bottomRight.img = "green";
  dir.write("data.dat", e2e::ArchiveWriter()
                            .texture("red", 16, 16, 255, 0, 0)
                            .texture("green", 16, 16, 0, 255, 0)
                            .scene("TopLeft", {topLeft})
                            .scene("BottomRight", {bottomRight})
                            .bytes());
  dir.write("game.lua",
            "SceneSpawn('TopLeft', Vec2(8, 8))\nSceneSpawn('BottomRight', Vec2(792, 592))\n");

  const e2e::Rgb red{255, 0, 0}, green{0, 255, 0}, black{0, 0, 0};
  const struct {
    const char* name;
    std::vector<std::string> switches;
    bool resized;               // the window resized to width x height
    int width, height;          // of the window
    std::vector<Probe> probes;  // the first one is awaited
  } cases[] = {
      // Scaled by 1.8 to 1440x1080 at x 240; the squares are 28.8 pixels.
      {"full screen",
       {},
       false,
       1920,
       1080,
       {{1665, 1065, green},
        {254, 14, red},
        {240, 0, red},
        {1679, 1079, green},
        {239, 0, black},
        {1680, 1079, black}}},
      // Turned clockwise and scaled by 1.35 to 810x1080 at x 555: the
      // picture's top runs down the right edge.
      {"full screen turned 90 degrees",
       {"-rotate", "90"},
       false,
       1920,
       1080,
       {{565, 1069, green},
        {1354, 10, red},
        {1364, 0, red},
        {555, 1079, green},
        {1365, 0, black},
        {554, 1079, black}}},
      // Resized to 1200x1000: scaled by 1.5 to 1200x900 at y 50.
      {"resized window",
       {"-windowed"},
       true,
       1200,
       1000,
       {{1187, 937, green},
        {12, 62, red},
        {0, 50, red},
        {1199, 949, green},
        {0, 49, black},
        {1199, 950, black}}},
      // A window opened with a quarter turn stands on its side and shows
      // the turned picture pixel for pixel.
      {"window turned 90 degrees",
       {"-windowed", "-rotate", "90"},
       false,
       600,
       800,
       {{0, 799, green}, {599, 0, red}, {584, 15, red}, {15, 784, green}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {dir.path()};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    EngineOptions options;
    options.screenWidth = 1920;
    options.screenHeight = 1080;
    Engine engine;
    ASSERT_TRUE(engine.start(args, options));
    ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
    e2e::Image frame;
    if (c.resized) {
      // At its first size the window shows the picture pixel for pixel.
      ASSERT_TRUE(waitForFrame(engine, 800, 600, {799, 599, green}, &frame)) << engine.transcript();
      EXPECT_EQ(frame.at(0, 0), red);
      ASSERT_TRUE(engine.resizeWindow(c.width, c.height)) << engine.transcript();
    }
    ASSERT_TRUE(waitForFrame(engine, c.width, c.height, c.probes[0], &frame))
        << frame.width << "x" << frame.height << "\n"
        << engine.transcript();
    for (const Probe& p : c.probes) {
      const e2e::Rgb seen = frame.at(p.x, p.y);
      EXPECT_TRUE(shows(seen, p.colour))
          << p.x << ", " << p.y << ": " << int(seen.r) << " " << int(seen.g) << " " << int(seen.b);
    }

    ASSERT_TRUE(engine.press("Escape", "ESC pressed; quitting the game.")) << engine.transcript();
    EXPECT_EQ(engine.waitForExit(), 0) << engine.transcript();
  }
}

TEST(ShellRun, LosingTheDisplayStillReleasesTheWorld) {
  DataDir dir;
  makeTable(dir);
  Engine engine;
  ASSERT_TRUE(engine.start({dir.path(), "-windowed"}));
  ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
  // The X library ends the process from inside a frame; the exit handlers
  // then destroy what the normal shutdown never reached.
  engine.closeDisplay();
  EXPECT_EQ(engine.waitForExit(), 1) << engine.transcript();
  EXPECT_TRUE(engine.waitForLine("[WORLD] Clearing world")) << engine.transcript();
}
