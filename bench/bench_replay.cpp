// What recording costs, and how fast a recording plays back headless. Runs
// the real engine on the packed default table with a ten-minute recording of
// keys played the way a player would, and prints:
//   - microseconds of CPU per world step replaying it, without and with
//     -record (the same steps either way), each the median of five runs;
//   - the CPU and wall time of a headless replay of all ten minutes, with
//     its checks, and whether the replay found the world as recorded;
//   - the size of a recording per minute of play.
// Child CPU time, not wall time: the machine running this is often shared.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/replay_file.h"

namespace {

constexpr int64_t tenMinutes = 10 * 60 * 300;
constexpr int64_t timedSteps = 30000;

const std::string engine = std::string(ORVANE_BINARY_DIR) + "/orvane";

bool copyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  if (!in || !out) return false;
  out << in.rdbuf();
  return bool(out);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

double wallNow() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct RunTime {
  double cpu = -1, wall = -1;
};

// Runs the engine with its console in logPath; the child's CPU time.
RunTime run(std::vector<std::string> args, const std::string& logPath) {
  args.insert(args.begin(), engine);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  double start = wallNow();
  pid_t pid = fork();
  if (pid == 0) {
    int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
      dup2(log, 1);
      dup2(log, 2);
    }
    execv(engine.c_str(), argv.data());
    _exit(127);
  }
  RunTime t;
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return t;
  t.wall = wallNow() - start;
  t.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  return t;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Ten minutes of a player: a game started every two minutes, flippers in a
// steady rhythm, the plunger pulled for a second every four, now and then
// a nudge.
bool writePlayerKeys(const std::string& path) {
  ReplayWriter writer;
  std::string error;
  if (!writer.open(path.c_str(), ReplayHeader(), error)) return false;
  KeyState previous;
  for (int64_t step = 0; step < tenMinutes; ++step) {
    KeyState keys;
    keys[KeyStart1] = step % 36000 < 30;
    keys[KeyLpad] = step % 170 < 25;
    keys[KeyRpad] = (step + 85) % 190 < 25;
    keys[KeyLaunch] = step % 1200 >= 300 && step % 1200 < 600;
    keys[KeyPush] = step % 4700 < 10;
    if (keys != previous) writer.keys(step, keys);
    previous = keys;
  }
  writer.finish(tenMinutes);
  return true;
}

}  // namespace

int main() {
  std::string built = std::string(ORVANE_BINARY_DIR) + "/default/";
  char scratch[] = "/tmp/orvane-bench-replay-XXXXXX";
  if (!mkdtemp(scratch)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = scratch;
  const std::string table = dir + "/table", keys = dir + "/keys.rec", full = dir + "/full.rec",
                    out = dir + "/out.rec", log = dir + "/console.txt";
  mkdir(table.c_str(), 0755);
  if (!copyFile(built + "data.dat", table + "/data.dat") ||
      !copyFile(built + "game.lua", table + "/game.lua")) {
    std::printf("build the default_table target first (%sdata.dat)\n", built.c_str());
    return 1;
  }
  if (!writePlayerKeys(keys)) {
    std::printf("cannot write %s\n", keys.c_str());
    return 1;
  }
  // The recording with the world's checks, as the engine makes it.
  if (run({table, "-headless", "-replay", keys, "-record", full}, log).cpu < 0) {
    std::printf("the engine failed:\n%s", readFile(log).c_str());
    return 1;
  }

  // Start-up is the same with and without recording; the difference of the
  // two medians is what recording adds to the steps.
  std::vector<double> plain, recording;
  for (int i = 0; i < 5; ++i) {
    std::string steps = std::to_string(timedSteps);
    plain.push_back(run({table, "-headless", "-replay", full, "-steps", steps}, log).cpu);
    recording.push_back(
        run({table, "-headless", "-replay", full, "-steps", steps, "-record", out}, log).cpu);
  }
  double startup = median({run({table, "-headless", "-steps", "0"}, log).cpu,
                           run({table, "-headless", "-steps", "0"}, log).cpu,
                           run({table, "-headless", "-steps", "0"}, log).cpu});
  auto perStep = [&](double cpu) { return (cpu - startup) / double(timedSteps) * 1e6; };
  std::printf("Default table replayed headless, %lld steps per run, CPU time, median of 5\n",
              static_cast<long long>(timedSteps));
  std::printf("%-34s %7.2f us/step\n", "without recording", perStep(median(plain)));
  std::printf("%-34s %7.2f us/step\n", "with -record", perStep(median(recording)));
  std::printf("%-34s %7.3f s\n", "start-up and shutdown", startup);

  std::vector<double> cpu, wall;
  for (int i = 0; i < 3; ++i) {
    RunTime t = run({table, "-headless", "-replay", full}, log);
    cpu.push_back(t.cpu);
    wall.push_back(t.wall);
  }
  std::string console = readFile(log);
  bool ended = console.find("[REPLAY] End of the recording at step " +
                            std::to_string(tenMinutes)) != std::string::npos;
  bool differs = console.find("differs from the recording") != std::string::npos;
  std::printf("Ten minutes of play replayed headless (%lld steps), median of 3\n",
              static_cast<long long>(tenMinutes));
  std::printf("%-34s %7.2f s CPU, %.2f s wall, %.0f x real time\n", "replay", median(cpu),
              median(wall), 600.0 / median(wall));
  std::printf("%-34s %s\n", "the world as recorded",
              !ended    ? "NO: the replay did not reach its end"
              : differs ? "NO: it differs"
                        : "yes");
  std::printf("%-34s %.1f KiB per minute of play\n", "recording size",
              double(readFile(full).size()) / 1024.0 / 10.0);

  for (const std::string& f : {keys, full, out, log, table + "/data.dat", table + "/game.lua"})
    unlink(f.c_str());
  rmdir(table.c_str());
  rmdir(dir.c_str());
  return 0;
}
