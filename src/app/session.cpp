// The session: live or recorded input for each world step, the recording
// being made, and the check that a replay still runs the recorded game.
#include "app/session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "app/hash.h"
#include "app/paths.h"
#include "props/property_store.h"
#include "script/script_host.h"
#include "world/world_checksum.h"

namespace {

// The checksum of a file's bytes; 0 when it is not a regular file that can
// be read (a pipe in its place would hold the start-up).
uint64_t fileChecksum(const char* path) {
  struct stat info;
  if (!path || stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  uint64_t hash = hashStart;
  char chunk[64 * 1024];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
    hash = hashBytes(chunk, size_t(in.gcount()), hash);
  return hash;
}

uint64_t freshSeed() {
  uint64_t now = uint64_t(std::chrono::system_clock::now().time_since_epoch().count());
  return now ^ (uint64_t(getpid()) << 40);
}

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

bool Session::open(const CommandLine& options) {
  headless_ = options.headless;
  stepLimit_ = options.steps;
  seed_ = freshSeed();
  if (!options.replayFile.empty() && !openReplay(options)) return false;
  if (!options.recordFile.empty() && !openRecording(options)) return false;
  return true;
}

bool Session::openReplay(const CommandLine& options) {
  const char* path = options.replayFile.c_str();
  std::string error;
  struct stat info;
  // Only a regular file: a pipe could hold the start-up forever.
  if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = "it cannot be opened as a file";
  } else if (std::FILE* file = std::fopen(path, "rb")) {
    reader_.open(file, error);
  } else {
    error = "it cannot be opened";
  }
  if (!error.empty()) {
    std::printf("[REPLAY] Unable to play '%s': %s\n", path, error.c_str());
    return false;
  }
  const ReplayHeader& header = reader_.header();
  std::printf("[REPLAY] Playing '%s'\n", path);
  if (header.tableData != fileChecksum(dataPath("data.dat")))
    std::printf("[REPLAY] WARNING: data.dat is not the one the game was recorded on\n");
  if (header.tableScript != fileChecksum(dataPath("game.lua")))
    std::printf("[REPLAY] WARNING: game.lua is not the one the game was recorded on\n");
  seed_ = header.seed;
  // The game starts from the recorded properties, and a replay never
  // writes over the table's own: changes go to -save, or stay in memory.
  startPropertiesFrom(reinterpret_cast<const unsigned char*>(header.properties.data()),
                      header.properties.size());
  if (options.saveFile.empty())
    keepPropertiesInMemory();
  else
    setPropertyFile(options.saveFile.c_str());
  replaying_ = true;
  return true;
}

bool Session::openRecording(const CommandLine& options) {
  const char* path = options.recordFile.c_str();
  if (!options.replayFile.empty() && sameFile(options.recordFile, options.replayFile)) {
    std::printf("[RECORD] Unable to record to '%s': it is the recording being played\n", path);
    return false;
  }
  ReplayHeader header;
  header.seed = seed_;
  header.tableData = fileChecksum(dataPath("data.dat"));
  header.tableScript = fileChecksum(dataPath("game.lua"));
  header.properties = propertiesImage();
  std::string error;
  if (!writer_.open(path, header, error)) {
    std::printf("[RECORD] Unable to record to '%s': %s\n", path, error.c_str());
    return false;
  }
  recordFile_ = options.recordFile;
  std::printf("[RECORD] Recording to '%s'\n", path);
  return true;
}

void Session::attach(const World* world, lua_State* L) {
  world_ = world;
  L_ = L;
}

bool Session::beforeStep(const KeyState& live) {
  if (step_ == stepLimit_) {
    std::printf("Stopping after %lld steps\n", static_cast<long long>(step_));
    return false;
  }
  while (replaying_) {
    if (!hasPending_) {
      ReplayRead read = reader_.next(pending_);
      if (read == ReplayRead::CutShort || read == ReplayRead::Damaged) {
        endReplay(read);
        break;
      }
      hasPending_ = true;
    }
    if (pending_.step > step_) break;
    hasPending_ = false;
    apply(pending_);
  }
  if (replayEnded_ && headless_) return false;
  if (!replaying_) setKeys(live);
  return true;
}

void Session::apply(const ReplayEvent& event) {
  switch (event.kind) {
    case ReplayEventKind::Keys:
      setKeys(event.keys);
      break;
    case ReplayEventKind::Fps:
      setFps(event.fps);
      break;
    case ReplayEventKind::Check:
      if (diverged_) break;
      if (checksum() == event.check) {
        lastMatch_ = step_;
      } else {
        // Reported once: after the first difference every later check
        // differs too, and says nothing new.
        diverged_ = true;
        std::printf(
            "[REPLAY] The game differs from the recording at step %lld (it was the same at step "
            "%lld)\n",
            static_cast<long long>(step_), static_cast<long long>(lastMatch_));
      }
      break;
    case ReplayEventKind::End:
      endReplay(ReplayRead::End);
      break;
  }
}

void Session::endReplay(ReplayRead why) {
  replaying_ = false;
  replayEnded_ = true;
  const char* then = headless_ ? "" : "; live input from here";
  long long at = static_cast<long long>(step_);
  if (why == ReplayRead::End)
    std::printf("[REPLAY] End of the recording at step %lld%s\n", at, then);
  else if (why == ReplayRead::CutShort)
    std::printf("[REPLAY] The recording stops at step %lld: %s%s\n", at, reader_.problem().c_str(),
                then);
  else
    std::printf("[REPLAY] The recording is damaged from step %lld on: %s%s\n", at,
                reader_.problem().c_str(), then);
}

void Session::setKeys(const KeyState& keys) {
  if (keys == keys_) return;
  keys_ = keys;
  writeEvent([&] { writer_.keys(step_, keys_); });
}

void Session::setFps(float value) {
  setScriptFps(L_, value);
  writeEvent([&] { writer_.fps(step_, value); });
}

void Session::liveFps(float value) {
  if (!replaying_) setFps(value);
}

void Session::afterStep() {
  ++step_;
  if (step_ % replayCheckInterval == 0 && writer_.isOpen())
    writeEvent([&] { writer_.check(step_, checksum()); });
}

void Session::finish() {
  writeEvent([&] { writer_.finish(step_); });
}

uint64_t Session::checksum() {
  if (checksumStep_ != step_) {
    checksum_ = world_ ? worldChecksum(*world_) : 0;
    checksumStep_ = step_;
  }
  return checksum_;
}

void Session::reportWriteFailure() {
  std::printf("[RECORD] Unable to write to '%s'; the recording stops at step %lld\n",
              recordFile_.c_str(), static_cast<long long>(step_));
}
