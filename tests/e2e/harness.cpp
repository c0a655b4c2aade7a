// The end-to-end harness: temporary data directories, a private Xvfb per
// run, the engine as a child process with its console read by two threads,
// key presses through xdotool and screen read-back through Xlib.
#include "harness.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
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

Clock::time_point deadlineAfter(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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
std::vector<std::string> childEnvironment(const std::vector<std::pair<std::string, std::string>>& set,
                                          const std::string& display) {
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

int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

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
    if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable) found = children[i];
  }
  if (children) XFree(children);
  return found;
}

// Xlib reports protocol errors by exiting the process; a window that went
// away between two calls must only fail the call.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

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

// The inode of the listening abstract socket of display number, 0 if none.
unsigned long abstractSocketInode(int number) {
  std::ifstream table("/proc/net/unix");
  std::string line, suffix = " @/tmp/.X11-unix/X" + std::to_string(number);
  while (std::getline(table, line)) {
    if (line.size() < suffix.size() || line.compare(line.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    std::istringstream fields(line);
    std::string f;
    for (int i = 0; i < 7 && fields >> f; ++i) {
    }
    return std::strtoul(f.c_str(), nullptr, 10);
  }
  return 0;
}

bool ownsSocket(pid_t pid, unsigned long inode) {
  if (inode == 0) return false;
  std::string dir = "/proc/" + std::to_string(pid) + "/fd", wanted = "socket:[" + std::to_string(inode) + "]";
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  bool found = false;
  while (dirent* e = readdir(d)) {
    char target[64];
    ssize_t n = readlink((dir + "/" + e->d_name).c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = '\0';
    if (wanted == target) found = true;
  }
  closedir(d);
  return found;
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

std::string smallestArchive() { return ArchiveWriter().bytes(); }

// ---------------------------------------------------------- ArchiveWriter

namespace {

void putU8(std::string& out, unsigned v) { out += char(uint8_t(v)); }
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

ArchiveWriter& ArchiveWriter::texture(const std::string& name, int width, int height, uint8_t r, uint8_t g,
                                      uint8_t b, uint8_t a) {
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

ArchiveWriter& ArchiveWriter::scene(const std::string& name, const std::vector<ArchiveObject>& objects,
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

VirtualDisplay::~VirtualDisplay() { stop(); }

bool VirtualDisplay::start() {
  if (pid_ > 0) return true;
  // Display numbers are shared with every X server on the machine's network
  // namespace (clients try the abstract socket first), so a number counts as
  // ours only once the abstract socket of that name is one of our server's.
  unsigned seed = unsigned(getpid()) * 2654435761u ^ unsigned(Clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 20; ++attempt) {
    int number = 200 + int((seed >> 8) % 700u);
    seed = seed * 1103515245u + 12345u;
    if (abstractSocketInode(number) != 0) continue;

    std::string display = ":" + std::to_string(number);
    // -noreset: a server that resets when its last client leaves refuses the
    // connection that SDL opens right after probing the display.
    std::vector<std::string> args = {"Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"};
    std::vector<char*> argv = pointers(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;

    Clock::time_point deadline = deadlineAfter(20000);
    bool ready = false;
    while (!ready && Clock::now() < deadline) {
      siginfo_t info = {};
      if (waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0)
        break;  // the server gave up on this number
      ready = ownsSocket(pid, abstractSocketInode(number));
      if (!ready) sleepMs(20);
    }
    if (ready) {
      pid_ = pid;
      name_ = display;
      return true;
    }
    kill(pid, SIGTERM);
    if (waitChild(pid, 5000) < 0) killChild(pid);
  }
  return false;
}

void VirtualDisplay::stop() {
  if (pid_ <= 0) return;
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
  if (options.display && !display_.start()) return false;

  std::vector<std::pair<std::string, std::string>> set = {{"SDL_AUDIODRIVER", "dummy"}};
  // In a sanitizer build, leaks that the system's X11, GL and SDL libraries
  // keep until exit must not change the exit code under test.
  if (!std::getenv("LSAN_OPTIONS"))
    set.push_back({"LSAN_OPTIONS", std::string("suppressions=") + ORVANE_SOURCE_DIR + "/tests/e2e/lsan.supp:print_suppressions=0"});
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

bool Engine::waitFor(const std::string& text, bool whole, int timeoutMs) {
  Clock::time_point deadline = deadlineAfter(timeoutMs);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    for (size_t i = searchFrom_; i < lines_.size(); ++i) {
      if (whole ? lines_[i] == text : lines_[i].find(text) != std::string::npos) {
        searchFrom_ = i + 1;
        return true;
      }
    }
    // Lines are only added while the console is open.
    if (openPipes_ == 0 && pid_ > 0) return false;
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
      for (size_t i = searchFrom_; i < lines_.size(); ++i)
        if (whole ? lines_[i] == text : lines_[i].find(text) != std::string::npos) {
          searchFrom_ = i + 1;
          return true;
        }
      return false;
    }
  }
}

bool Engine::waitForLine(const std::string& text, int timeoutMs) { return waitFor(text, true, timeoutMs); }

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
  if (!display_.name().empty()) all += "--- display " + display_.name() + "\n";
  if (!errorLines_.empty()) {
    all += "--- stderr:\n";
    for (const std::string& l : errorLines_) all += l + "\n";
  }
  return all;
}

unsigned long Engine::window(int timeoutMs) {
  if (window_) return window_;
  DisplayConnection x(display_.name());
  if (!x.dpy) return 0;
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

bool Engine::focus() {
  Window w = window();
  DisplayConnection x(display_.name());
  if (!w || !x.dpy) return false;
  XSetInputFocus(x.dpy, w, RevertToParent, CurrentTime);
  XSync(x.dpy, False);
  return true;
}

bool Engine::runXdotool(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"xdotool"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv = pointers(all);
  std::vector<std::string> env = childEnvironment({}, display_.name());
  std::vector<char*> envp = pointers(env);
  pid_t pid = -1;
  if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), envp.data()) != 0) return false;
  int code = waitChild(pid, 10000);
  if (code < 0) killChild(pid);
  return code == 0;
}

// Events go to the focused window as real device events: SDL drops events
// that another client sends straight to a window.
bool Engine::key(const std::string& keysym) { return focus() && runXdotool({"key", keysym}); }
bool Engine::keyDown(const std::string& keysym) { return focus() && runXdotool({"keydown", keysym}); }
bool Engine::keyUp(const std::string& keysym) { return focus() && runXdotool({"keyup", keysym}); }

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
  int result = XGrabPointer(x.dpy, DefaultRootWindow(x.dpy), False, 0, GrabModeAsync, GrabModeAsync, None,
                            None, CurrentTime);
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
    exitCode_ = waitChild(pid_, timeoutMs);
    if (exitCode_ < 0) killChild(pid_);
  }
  // The console is complete once both pipes have closed.
  if (outReader_.joinable()) outReader_.join();
  if (errReader_.joinable()) errReader_.join();
  return exitCode_;
}

}  // namespace e2e
