// End-to-end test harness: runs the real `orvane` executable on a data
// directory made by the test, under its own virtual X server, reads its
// console line by line as it comes, presses keys and reads back the screen.
//
//   e2e::DataDir dir;
//   dir.write("data.dat", e2e::smallestArchive());
//   dir.write("game.lua", "print('hello')");
//   e2e::Engine engine;
//   ASSERT_TRUE(engine.start({dir.path(), "-windowed"}));
//   ASSERT_TRUE(engine.waitForLine("Main loop..")) << engine.transcript();
//   ASSERT_TRUE(engine.press("F10", "Drawing visual debug helpers")) << engine.transcript();
//   engine.interrupt();
//   EXPECT_EQ(engine.waitForExit(), 0);
//
// Nothing here assumes a fast machine. A sanitizer build on a busy machine,
// or the first frames with a cold shader cache, may spend seconds in one
// main-loop iteration, so every wait is bounded by a generous time and every
// failed wait leaves a note in transcript() that says how many frames the
// engine drew meanwhile: few frames mean a slow machine, many a real fault.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct _XDisplay;  // Xlib's Display

namespace e2e {

// The built engine executable.
std::string enginePath();

// The smallest archive the catalog accepts: version 7 and every count zero.
std::string smallestArchive();

// One object record of an archive scene; the defaults make a sprite-only prop.
struct ArchiveObject {
  std::string name, id, img, litImg, linkedTo;
  float imageScale = 1, imageOffsetX = 0, imageOffsetY = 0;
  uint8_t layer = 0, blend = 0, kind = 4, collisionGroup = 0, immovableByOtherScenes = 0;
  float mass = 1, inertiaRadius = 1, x = 0, y = 0;
  std::vector<std::pair<float, float>> outline;
};

struct ArchiveLink {
  std::string name, obj1, obj2;
  float anchorX = 0, anchorY = 0;
};

// Writes a data.dat image record by record, in archive order.
class ArchiveWriter {
 public:
  // A texture of one colour.
  ArchiveWriter& texture(const std::string& name, int width, int height, uint8_t r, uint8_t g,
                         uint8_t b, uint8_t a = 255);
  ArchiveWriter& scene(const std::string& name, const std::vector<ArchiveObject>& objects,
                       const std::vector<ArchiveLink>& links = {});
  std::string bytes() const;

 private:
  std::string textures_, scenes_;
  int textureCount_ = 0, sceneCount_ = 0;
};

// A fresh temporary directory, removed with everything in it at destruction.
class DataDir {
 public:
  DataDir();
  ~DataDir();
  DataDir(const DataDir&) = delete;
  DataDir& operator=(const DataDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes bytes to path()/name, making the folders of a name like "a/b.lua".
  void write(const std::string& name, const std::string& bytes) const;
  bool exists(const std::string& name) const;
  std::string read(const std::string& name) const;  // empty when missing

 private:
  std::string path_;
};

// An Xvfb server of its own (24 bits, 1024x768 unless asked). The server picks a display
// number that no other server holds, so tests run in parallel, and the
// harness counts the frames drawn on it.
class VirtualDisplay {
 public:
  VirtualDisplay() = default;
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // False when the server does not start or its frames cannot be counted.
  bool start(int width = 1024, int height = 768);
  void stop();
  bool running() const { return pid_ > 0; }
  const std::string& name() const { return name_; }  // ":N"
  // Frames drawn on the screen since start. The engine draws one per
  // display refresh at most (60 a second here), and nothing else draws.
  long frames() const { return frames_; }

 private:
  void countFrames(int damageEvent);

  pid_t pid_ = -1;
  std::string name_;
  _XDisplay* counterConnection_ = nullptr;
  std::atomic<long> frames_{0};
  std::atomic<bool> counting_{false};
  std::thread counter_;
};

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Rgb& o) const { return !(*this == o); }
};

// Pixels read back from the display, top row first.
struct Image {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;
  bool empty() const { return pixels.empty(); }
  Rgb at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

struct EngineOptions {
  bool display = true;           // false: run with DISPLAY unset and no X server
  std::string workingDirectory;  // empty: the test's own
  std::vector<std::pair<std::string, std::string>> environment;  // added or replaced
  std::string executable;                                        // empty: enginePath()
  int screenWidth = 1024, screenHeight = 768;                    // the display's, in pixels
};

// One run of the engine. The destructor kills a run that is still going.
class Engine {
 public:
  Engine() = default;
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Starts `orvane args...`; false when the X server or the process could
  // not be started. SDL_AUDIODRIVER is "dummy" unless options say otherwise.
  bool start(const std::vector<std::string>& args, const EngineOptions& options = {});

  // Waits until a console line equals text exactly; lines already seen count.
  // Only lines after the previous match are searched, so waiting for the same
  // text twice waits for two such lines.
  bool waitForLine(const std::string& text, int timeoutMs = 30000);
  // The same for a line that contains text.
  bool waitForLineContaining(const std::string& text, int timeoutMs = 30000);
  // Every stdout line so far (without the newline).
  std::vector<std::string> lines() const;
  // For failure messages: all stdout lines joined, then the stderr lines,
  // then a note on every wait that failed and what the engine did meanwhile.
  std::string transcript() const;

  // The engine's top-level window on its display, once it is mapped; 0 when
  // none appears within the timeout.
  unsigned long window(int timeoutMs = 30000);
  std::string windowTitle();
  // Keys, named by X keysym: "Escape", "F10", "Shift_L", "space", "Return".
  // The engine reads the keyboard before every world step and keeps only
  // the state it finds, so a key that goes down and up between two steps
  // is lost by design. A key therefore goes down and stays down until its
  // effect is confirmed:
  //
  //   engine.press("F1", "[TABLE] game started with 1 player(s)");  // down, the line, up
  //   engine.hold("Return", [&] { return plungerPulled(); });       // down until true
  //   engine.release("Return");
  //
  // A confirmation line is matched like waitForLine: a whole line after the
  // previous match. When the engine has drawn lostAfterFrames frames (and
  // two seconds have passed) with the key down and no confirmation, the
  // press counts as lost: the key is released and pressed again. False when
  // nothing confirms the key within timeoutMs; the key is then up again.
  static constexpr int lostAfterFrames = 30;
  bool press(const std::string& keysym, const std::string& confirmation, int timeoutMs = 30000);
  bool hold(const std::string& keysym, const std::string& confirmation, int timeoutMs = 30000);
  bool hold(const std::string& keysym, const std::function<bool()>& confirmed,
            int timeoutMs = 30000);
  bool release(const std::string& keysym);
  // Gives the keyboard focus to the root window, as a player switching to
  // another window does; the next key press gives it back to the engine.
  bool focusElsewhere();

  // Waits until done() is true, polling it whenever the console grows and at
  // least every 20 ms. On timeout the note names what was awaited.
  bool waitUntil(const std::function<bool()>& done, const std::string& what, int timeoutMs = 30000);
  // Frames the engine has drawn so far: one per display refresh at most.
  long frames() const { return display_.frames(); }

  // Resizes the window as a player dragging its border would, after moving
  // it to the screen's top-left corner so that all of it can be read back;
  // false when the request could not be made.
  bool resizeWindow(int width, int height);

  // The window's pixels as last presented; empty on failure.
  Image grabWindow();

  // True while the engine holds the pointer grab, so that no other client
  // can take it (full screen grabs the input, a window does not).
  bool inputGrabbed();

  // Sends SIGINT (what Ctrl+C does).
  void interrupt();
  // Sends SIGTERM (what a session manager or `kill` does).
  void terminate();
  // Shuts the X server down under the running engine.
  void closeDisplay() { display_.stop(); }
  // Waits for the process to end; returns its exit code, 128+signal when a
  // signal ended it, or -1 after the timeout (the process is then killed).
  int waitForExit(int timeoutMs = 30000);
  bool exited() const { return exitCode_ != notExited; }

 private:
  static constexpr int notExited = -1000;

  // Where a wait started, to say later what happened meanwhile.
  struct Mark {
    std::chrono::steady_clock::time_point time;
    long frames;
    double cpuSeconds;
  };
  Mark mark() const;
  void note(const std::string& what, const Mark& since);

  bool findLine(const std::string& text, bool whole);  // advances past a match
  // waitUntil without the note; false at the deadline or when the console
  // has closed with done() still false.
  bool await(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);
  bool waitFor(const std::string& text, bool whole, int timeoutMs);
  bool sendKey(const char* action, const std::string& keysym);
  bool runXdotool(const std::vector<std::string>& args);
  void readPipe(int fd, bool isError);

  VirtualDisplay display_;
  pid_t pid_ = -1;
  int exitCode_ = notExited;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_, errorLines_, notes_;
  size_t searchFrom_ = 0;
  int openPipes_ = 0;
  std::thread outReader_, errReader_;
  unsigned long window_ = 0;
};

}  // namespace e2e
