// The end-to-end harness: temporary data directories, a private Xvfb per
// run with its frames counted, the engine as a child process with its
// console read by two threads, key presses through xdotool that last until
// their effect shows, and screen read-back through Xlib.
#include "harness.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineAfter(int ms) {
  return Clock::now() + std::chrono::milliseconds(ms);
}

void sleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Waits for a child; the exit code, 128+signal, or -1 after the timeout.
int waitChild(pid_t pid, int timeoutMs) {
  Clock::time_point deadline = deadlineAfter(timeoutMs);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
      return -1;
    }
    if (r < 0) return -1;
    if (Clock::now() >= deadline) return -1;
    sleepMs(10);
  }
}

void killChild(pid_t pid) {
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
}

// The environment of a child: ours, with DISPLAY dropped unless given, and
// the given variables added or replaced.
std::vector<std::string> childEnvironment(
    const std::vector<std::pair<std::string, std::string>>& set, const std::string& display) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string key = entry.substr(0, entry.find('='));
    if (key == "DISPLAY") continue;
    bool replaced = false;
    for (const auto& kv : set) replaced = replaced || kv.first == key;
    if (!replaced) env.push_back(entry);
  }
  if (!display.empty()) env.push_back("DISPLAY=" + display);
  for (const auto& kv : set) env.push_back(kv.first + "=" + kv.second);
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}

// Finds the top-level window a client has mapped: the one with a title, or
// failing that any mapped one.
Window findTopLevel(Display* dpy) {
  Window root = DefaultRootWindow(dpy), parent = 0, *children = nullptr, found = 0;
  unsigned count = 0;
  if (!XQueryTree(dpy, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, children[i], &a) || a.map_state != IsViewable) continue;
    char* name = nullptr;
    if (XFetchName(dpy, children[i], &name) && name) found = children[i];
    if (name) XFree(name);
  }
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable)
      found = children[i];
  }
  if (children) XFree(children);
  return found;
}

// Xlib reports protocol errors by exiting the process; a window that went
// away between two calls must only fail the call.
int ignoreXError(Display*, XErrorEvent*) {
  return 0;
}

struct DisplayConnection {
  explicit DisplayConnection(const std::string& name) {
    XSetErrorHandler(ignoreXError);
    dpy = name.empty() ? nullptr : XOpenDisplay(name.c_str());
  }
  ~DisplayConnection() {
    if (dpy) XCloseDisplay(dpy);
  }
  Display* dpy;
};

// CPU time a process has used so far, in seconds; 0 once it is gone.
double cpuSecondsOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t end = stat.rfind(')');  // the command name may hold spaces
  if (end == std::string::npos) return 0;
  std::istringstream fields(stat.substr(end + 2));
  std::string f;
  unsigned long long ticks = 0;
  for (int field = 3; field <= 15 && fields >> f; ++field)  // utime is 14, stime 15
    if (field >= 14) ticks += std::strtoull(f.c_str(), nullptr, 10);
  return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

std::string printed(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double loadAverage() {
  std::ifstream in("/proc/loadavg");
  double load = -1;
  in >> load;
  return load;
}

int maskShift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

}  // namespace

std::string enginePath() {
#ifdef ORVANE_EXECUTABLE
  return ORVANE_EXECUTABLE;
#else
  return std::string(ORVANE_BINARY_DIR) + "/orvane";
#endif
}

std::string smallestArchive() {
  return ArchiveWriter().bytes();
}

// ---------------------------------------------------------- ArchiveWriter

namespace {

void putU8(std::string& out, unsigned v) {
  out += char(uint8_t(v));
}
void putU16(std::string& out, unsigned v) {
  putU8(out, v & 0xff);
  putU8(out, (v >> 8) & 0xff);
}
void putU32(std::string& out, uint32_t v) {
  putU16(out, v & 0xffff);
  putU16(out, v >> 16);
}
void putF32(std::string& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  putU32(out, bits);
}
void putStr(std::string& out, const std::string& s) {
  putU16(out, unsigned(s.size()));
  out += s;
}

}  // namespace

ArchiveWriter& ArchiveWriter::texture(const std::string& name, int width, int height, uint8_t r,
                                      uint8_t g, uint8_t b, uint8_t a) {
  putStr(textures_, name);
  putU16(textures_, unsigned(width));
  putU16(textures_, unsigned(height));
  for (int i = 0; i < width * height; ++i) {
    putU8(textures_, r);
    putU8(textures_, g);
    putU8(textures_, b);
    putU8(textures_, a);
  }
  ++textureCount_;
  return *this;
}

ArchiveWriter& ArchiveWriter::scene(const std::string& name,
                                    const std::vector<ArchiveObject>& objects,
                                    const std::vector<ArchiveLink>& links) {
  putStr(scenes_, name);
  putU16(scenes_, unsigned(objects.size()));
  for (const ArchiveObject& o : objects) {
    putStr(scenes_, o.name);
    putStr(scenes_, o.id);
    putStr(scenes_, o.img);
    putStr(scenes_, o.litImg);
    putStr(scenes_, o.linkedTo);
    putF32(scenes_, o.imageScale);
    putF32(scenes_, o.imageOffsetX);
    putF32(scenes_, o.imageOffsetY);
    putU8(scenes_, o.layer);
    putU8(scenes_, o.blend);
    putU8(scenes_, o.kind);
    putU8(scenes_, o.collisionGroup);
    putU8(scenes_, o.immovableByOtherScenes);
    putF32(scenes_, o.mass);
    putF32(scenes_, o.inertiaRadius);
    putF32(scenes_, o.x);
    putF32(scenes_, o.y);
    putU16(scenes_, unsigned(o.outline.size()));
    for (const auto& p : o.outline) {
      putF32(scenes_, p.first);
      putF32(scenes_, p.second);
    }
  }
  putU16(scenes_, unsigned(links.size()));
  for (const ArchiveLink& l : links) {
    putStr(scenes_, l.name);
    putStr(scenes_, l.obj1);
    putStr(scenes_, l.obj2);
    putF32(scenes_, l.anchorX);
    putF32(scenes_, l.anchorY);
  }
  ++sceneCount_;
  return *this;
}

std::string ArchiveWriter::bytes() const {
  std::string out;
  putU16(out, 7);
  putU16(out, unsigned(textureCount_));
  out += textures_;
  putU16(out, 0);  // sounds
  putU16(out, 0);  // fonts
  putU16(out, 0);  // masks
  putU16(out, unsigned(sceneCount_));
  out += scenes_;
  return out;
}

// ---------------------------------------------------------------- DataDir

DataDir::DataDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvane-e2e-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data())) path_ = buffer.data();
}

DataDir::~DataDir() {
  if (!path_.empty()) nftw(path_.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void DataDir::write(const std::string& name, const std::string& bytes) const {
  for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
    mkdir((path_ + "/" + name.substr(0, slash)).c_str(), 0755);
  std::ofstream out(path_ + "/" + name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

bool DataDir::exists(const std::string& name) const {
  struct stat st;
  return stat((path_ + "/" + name).c_str(), &st) == 0;
}

std::string DataDir::read(const std::string& name) const {
  std::ifstream in(path_ + "/" + name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// --------------------------------------------------------- VirtualDisplay

VirtualDisplay::~VirtualDisplay() {
  stop();
}

bool VirtualDisplay::start(int width, int height) {
  if (pid_ > 0) return true;
  XInitThreads();  // the frame counter has a connection of its own on a thread

  // -displayfd: the server takes the first display number whose sockets it
  // can bind, so two servers never race for one, and writes the number to
  // the pipe once it accepts clients. -r: a key held down does not repeat,
  // so holding a key until its effect shows presses it once.
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  constexpr int serverFd = 3;
  if (ends[1] == serverFd) {  // dup2 onto itself would keep close-on-exec
    int moved = fcntl(ends[1], F_DUPFD_CLOEXEC, serverFd + 1);
    close(ends[1]);
    ends[1] = moved;
  }
  std::vector<std::string> args = {
      "Xvfb",      "-displayfd", std::to_string(serverFd),
      "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
      "-nolisten", "tcp",        "-noreset",
      "-r"};
  // -noreset: a server that resets when its last client leaves refuses the
  // connection that SDL opens right after probing the display.
  std::vector<char*> argv = pointers(args);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], serverFd);
  pid_t pid = -1;
  int rc = ends[1] < 0 ? -1 : posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (rc != 0) {
    close(ends[0]);
    return false;
  }

  // The number ends with a newline; the pipe closes early if the server fails.
  std::string number;
  Clock::time_point deadline = deadlineAfter(30000);
  while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd p = {ends[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[16];
    ssize_t n = ::read(ends[0], buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, size_t(n));
  }
  close(ends[0]);
  if (number.find('\n') == std::string::npos) {
    kill(pid, SIGTERM);
    if (waitChild(pid, 5000) < 0) killChild(pid);
    return false;
  }
  pid_ = pid;
  name_ = ":" + number.substr(0, number.find('\n'));

  // Every frame the engine presents damages the root window once; each
  // damage is cleared as soon as it is read, so a frame is only missed
  // when the counting thread falls behind the engine.
  int event = 0, error = 0;
  XSetErrorHandler(ignoreXError);
  counterConnection_ = XOpenDisplay(name_.c_str());
  if (!counterConnection_ || !XDamageQueryExtension(counterConnection_, &event, &error)) {
    stop();
    return false;
  }
  XDamageCreate(counterConnection_, DefaultRootWindow(counterConnection_), XDamageReportNonEmpty);
  XSync(counterConnection_, False);
  frames_ = 0;
  counting_ = true;
  counter_ = std::thread(&VirtualDisplay::countFrames, this, event + XDamageNotify);
  return true;
}

void VirtualDisplay::countFrames(int damageEvent) {
  Display* dpy = counterConnection_;
  while (counting_) {
    while (XPending(dpy)) {
      XEvent e;
      XNextEvent(dpy, &e);
      if (e.type != damageEvent) continue;
      ++frames_;
      XDamageSubtract(dpy, reinterpret_cast<XDamageNotifyEvent&>(e).damage, None, None);
    }
    pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
    poll(&p, 1, 50);
  }
}

void VirtualDisplay::stop() {
  if (pid_ <= 0) return;
  // The counter's connection must close first: Xlib ends the process when
  // the server goes away under an open connection.
  counting_ = false;
  if (counter_.joinable()) counter_.join();
  if (counterConnection_) XCloseDisplay(counterConnection_);
  counterConnection_ = nullptr;
  kill(pid_, SIGTERM);
  if (waitChild(pid_, 5000) < 0) killChild(pid_);
  pid_ = -1;
  name_.clear();
}

// ----------------------------------------------------------------- Engine

Engine::~Engine() {
  if (pid_ > 0 && !exited()) killChild(pid_);
  if (outReader_.joinable()) outReader_.join();
  if (errReader_.joinable()) errReader_.join();
}

bool Engine::start(const std::vector<std::string>& args, const EngineOptions& options) {
  if (pid_ > 0) return false;
  if (options.display && !display_.start(options.screenWidth, options.screenHeight)) return false;

  std::vector<std::pair<std::string, std::string>> set = {{"SDL_AUDIODRIVER", "dummy"}};
  // In a sanitizer build, leaks that the system's X11, GL and SDL libraries
  // keep until exit must not change the exit code under test.
  if (!std::getenv("LSAN_OPTIONS"))
    set.push_back({"LSAN_OPTIONS", std::string("suppressions=") + ORVANE_SOURCE_DIR +
                                       "/tests/e2e/lsan.supp:print_suppressions=0"});
  for (const auto& kv : options.environment) set.push_back(kv);
  std::vector<std::string> env = childEnvironment(set, options.display ? display_.name() : "");
  std::string path = options.executable.empty() ? enginePath() : options.executable;
  std::vector<std::string> argStrings = {path};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv = pointers(argStrings), envp = pointers(env);
  std::string cwd = options.workingDirectory;

  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return false;
  }

  pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    // SDL turns SIGINT into a quit request only when it finds the default
    // handler, so an ignored SIGINT inherited from a shell must not leak in.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    execve(path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  if (pid < 0) {
    close(out[0]);
    close(err[0]);
    return false;
  }
  pid_ = pid;
  openPipes_ = 2;
  outReader_ = std::thread(&Engine::readPipe, this, out[0], false);
  errReader_ = std::thread(&Engine::readPipe, this, err[0], true);
  return true;
}

void Engine::readPipe(int fd, bool isError) {
  std::string partial;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::lock_guard<std::mutex> lock(mutex_);
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] != '\n') {
        partial += buffer[i];
        continue;
      }
      (isError ? errorLines_ : lines_).push_back(partial);
      partial.clear();
    }
    changed_.notify_all();
  }
  close(fd);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!partial.empty()) (isError ? errorLines_ : lines_).push_back(partial);
  --openPipes_;
  changed_.notify_all();
}

Engine::Mark Engine::mark() const {
  return {Clock::now(), frames(), pid_ > 0 && !exited() ? cpuSecondsOf(pid_) : 0};
}

// A failed wait says what the engine did meanwhile. Frames are main-loop
// iterations: an engine that drew many has had every chance to react, one
// that drew few was starved by the machine (or is stuck).
void Engine::note(const std::string& what, const Mark& since) {
  Mark now = mark();
  std::lock_guard<std::mutex> lock(mutex_);
  std::string line = what + ": in " + printed("%.1f", seconds(now.time - since.time)) + " s ";
  if (openPipes_ == 0) {
    line += "the engine ended";
  } else {
    if (display_.running()) {
      long drawn = now.frames - since.frames;
      line += "the engine drew " + std::to_string(drawn) + " frames, " +
              (drawn < lostAfterFrames ? "too few to judge it: a slow machine or a stuck engine"
                                       : "so it kept running: not a slow machine") +
              ", and ";
    } else {
      line += "the engine ";
    }
    line += "used " + printed("%.1f", now.cpuSeconds - since.cpuSeconds) + " s of CPU";
  }
  notes_.push_back(line + "; load average " + printed("%.1f", loadAverage()));
}

bool Engine::findLine(const std::string& text, bool whole) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = searchFrom_; i < lines_.size(); ++i) {
    if (whole ? lines_[i] == text : lines_[i].find(text) != std::string::npos) {
      searchFrom_ = i + 1;
      return true;
    }
  }
  return false;
}

bool Engine::await(const std::function<bool()>& done, Clock::time_point deadline) {
  for (;;) {
    size_t seen;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      seen = lines_.size() + errorLines_.size();
    }
    if (done()) return true;
    Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    // Lines are only added while the console is open.
    if (openPipes_ == 0 && pid_ > 0 && lines_.size() + errorLines_.size() == seen) return false;
    changed_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(20)),
                        [&] { return lines_.size() + errorLines_.size() != seen; });
  }
}

bool Engine::waitUntil(const std::function<bool()>& done, const std::string& what, int timeoutMs) {
  Mark start = mark();
  if (await(done, start.time + std::chrono::milliseconds(timeoutMs))) return true;
  note("waited for " + what, start);
  return false;
}

bool Engine::waitFor(const std::string& text, bool whole, int timeoutMs) {
  return waitUntil([&] { return findLine(text, whole); },
                   (whole ? "line \"" : "a line containing \"") + text + "\"", timeoutMs);
}

bool Engine::waitForLine(const std::string& text, int timeoutMs) {
  return waitFor(text, true, timeoutMs);
}

bool Engine::waitForLineContaining(const std::string& text, int timeoutMs) {
  return waitFor(text, false, timeoutMs);
}

std::vector<std::string> Engine::lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::string Engine::transcript() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string all;
  for (const std::string& l : lines_) all += l + "\n";
  if (!display_.name().empty())
    all += "--- display " + display_.name() + ", " + std::to_string(frames()) + " frames drawn\n";
  if (!errorLines_.empty()) {
    all += "--- stderr:\n";
    for (const std::string& l : errorLines_) all += l + "\n";
  }
  for (const std::string& n : notes_) all += "--- " + n + "\n";
  return all;
}

unsigned long Engine::window(int timeoutMs) {
  if (window_) return window_;
  DisplayConnection x(display_.name());
  if (!x.dpy) return 0;
  Mark start = mark();
  Clock::time_point deadline = deadlineAfter(timeoutMs);
  while (!window_ && Clock::now() < deadline) {
    window_ = findTopLevel(x.dpy);
    if (!window_) {
      siginfo_t info = {};
      // WNOWAIT leaves the exit status for waitForExit.
      if (waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0)
        break;  // the engine has gone
      sleepMs(50);
    }
  }
  if (!window_) note("waited for the window", start);
  return window_;
}

std::string Engine::windowTitle() {
  Window w = window();
  DisplayConnection x(display_.name());
  if (!w || !x.dpy) return "";
  char* name = nullptr;
  std::string title;
  if (XFetchName(x.dpy, w, &name) && name) title = name;
  if (name) XFree(name);
  return title;
}

// Events go to the focused window as real device events (XTEST) through
// xdotool: SDL drops events that another client sends straight to a window.
// A loaded machine can refuse a connection or an xdotool run now and then,
// so a failed send is tried again before it counts as failed.
bool Engine::sendKey(const char* action, const std::string& keysym) {
  Window w = window();
  for (int tries = 0; w && tries < 3; ++tries) {
    if (tries > 0) sleepMs(100);
    {
      DisplayConnection x(display_.name());
      if (!x.dpy) continue;
      XSetInputFocus(x.dpy, w, RevertToParent, CurrentTime);
      XSync(x.dpy, False);
    }
    if (runXdotool({action, keysym})) return true;
  }
  note(std::string("xdotool ") + action + " " + keysym + " failed", mark());
  return false;
}

bool Engine::focusElsewhere() {
  DisplayConnection x(display_.name());
  if (!x.dpy) return false;
  XSetInputFocus(x.dpy, PointerRoot, RevertToPointerRoot, CurrentTime);
  XSync(x.dpy, False);
  return true;
}

bool Engine::resizeWindow(int width, int height) {
  Window w = window();
  const std::string id = std::to_string(w);
  return w && runXdotool({"windowmove", id, "0", "0", "windowsize", id, std::to_string(width),
                          std::to_string(height)});
}

bool Engine::runXdotool(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"xdotool"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv = pointers(all);
  std::vector<std::string> env = childEnvironment({}, display_.name());
  std::vector<char*> envp = pointers(env);
  pid_t pid = -1;
  if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), envp.data()) != 0) return false;
  int code = waitChild(pid, 30000);
  if (code < 0) killChild(pid);
  return code == 0;
}

bool Engine::hold(const std::string& keysym, const std::function<bool()>& confirmed,
                  int timeoutMs) {
  Mark start = mark();
  Clock::time_point deadline = start.time + std::chrono::milliseconds(timeoutMs);
  int presses = 0;
  while (Clock::now() < deadline && sendKey("keydown", keysym)) {
    ++presses;
    Mark down = mark();
    bool lost = false;
    auto confirmedOrLost = [&] {
      if (confirmed()) return true;
      lost = frames() - down.frames >= lostAfterFrames &&
             Clock::now() - down.time >= std::chrono::seconds(2);
      return lost;
    };
    if (await(confirmedOrLost, deadline) && !lost) return true;
    sendKey("keyup", keysym);
    if (!lost) break;
  }
  note(keysym + " held down " + std::to_string(presses) + " time(s), never confirmed", start);
  return false;
}

bool Engine::hold(const std::string& keysym, const std::string& confirmation, int timeoutMs) {
  return hold(
      keysym, [&] { return findLine(confirmation, true); }, timeoutMs);
}

bool Engine::release(const std::string& keysym) {
  return sendKey("keyup", keysym);
}

bool Engine::press(const std::string& keysym, const std::string& confirmation, int timeoutMs) {
  bool confirmed = hold(keysym, confirmation, timeoutMs);
  // The engine has seen the key down, so it sees it come up as well; the
  // key may have ended the engine, and its window with it.
  release(keysym);
  return confirmed;
}

Image Engine::grabWindow() {
  Image image;
  Window w = window();
  DisplayConnection x(display_.name());
  if (!w || !x.dpy) return image;
  XWindowAttributes a;
  if (!XGetWindowAttributes(x.dpy, w, &a)) return image;
  XImage* xi = XGetImage(x.dpy, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (!xi) return image;
  int rs = maskShift(xi->red_mask), gs = maskShift(xi->green_mask), bs = maskShift(xi->blue_mask);
  image.width = a.width;
  image.height = a.height;
  image.pixels.resize(size_t(a.width) * size_t(a.height));
  for (int y = 0; y < a.height; ++y)
    for (int xx = 0; xx < a.width; ++xx) {
      unsigned long p = XGetPixel(xi, xx, y);
      Rgb& out = image.pixels[size_t(y) * size_t(a.width) + size_t(xx)];
      out.r = uint8_t((p & xi->red_mask) >> rs);
      out.g = uint8_t((p & xi->green_mask) >> gs);
      out.b = uint8_t((p & xi->blue_mask) >> bs);
    }
  XDestroyImage(xi);
  return image;
}

bool Engine::inputGrabbed() {
  if (!window()) return false;
  DisplayConnection x(display_.name());
  if (!x.dpy) return false;
  int result = XGrabPointer(x.dpy, DefaultRootWindow(x.dpy), False, 0, GrabModeAsync, GrabModeAsync,
                            None, None, CurrentTime);
  if (result == GrabSuccess) XUngrabPointer(x.dpy, CurrentTime);
  XSync(x.dpy, False);
  return result == AlreadyGrabbed;
}

void Engine::interrupt() {
  if (pid_ > 0 && !exited()) kill(pid_, SIGINT);
}

void Engine::terminate() {
  if (pid_ > 0 && !exited()) kill(pid_, SIGTERM);
}

int Engine::waitForExit(int timeoutMs) {
  if (pid_ <= 0) return -1;
  if (!exited()) {
    Mark start = mark();
    int code = waitChild(pid_, timeoutMs);
    if (code < 0) {
      note("waited for the engine to exit, then killed it", start);
      killChild(pid_);
    }
    exitCode_ = code;
  }
  // The console is complete once both pipes have closed.
  if (outReader_.joinable()) outReader_.join();
  if (errReader_.joinable()) errReader_.join();
  return exitCode_;
}

}  // namespace e2e
