// Archive and save-file loading: the parse rate of a generated 64 MiB
// data.dat (textures and sounds) against plain big-block fread of the same
// file, the time for a table-sized archive of many small records, and the
// peak memory of loading damaged files whose announced sizes are hostile.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "content/world_data.h"
#include "props/property_store.h"
#include "props/property_store_internal.h"
#include "silence.h"

namespace {

constexpr int textureCount = 32, soundCount = 32;
constexpr int textureSide = 512;           // 1 MiB of pixels each
constexpr uint32_t soundBytes = 1u << 20;  // 1 MiB each
constexpr int rounds = 5;

// Accepts everything and keeps nothing: only parsing is measured.
class DiscardingBackend : public ContentBackend {
 public:
  unsigned uploadTexture(int, int, const unsigned char* rgba) override { return rgba ? 1 : 0; }
  SoundHandle* createSound(const unsigned char*, int) override { return nullptr; }
  void releaseSound(SoundHandle*) override {}
};

struct Writer {
  std::vector<unsigned char> bytes;
  Writer& u8(unsigned v) {
    bytes.push_back(uint8_t(v));
    return *this;
  }
  Writer& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
  Writer& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Writer& str(const std::string& s) {
    u16(unsigned(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  Writer& fill(size_t n, unsigned char b) {
    bytes.insert(bytes.end(), n, b);
    return *this;
  }
  bool save(const std::string& path) const {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    return std::fclose(f) == 0;
  }
};

// Written in pieces so that the generator itself stays small in memory.
bool writeLargeArchive(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::vector<unsigned char> block(size_t(textureSide) * textureSide * 4);
  for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 31 + 7);
  Writer w;
  w.u16(7).u16(textureCount);
  for (int i = 0; i < textureCount; ++i) {
    w.str("Images\\texture" + std::to_string(i) + ".png").u16(textureSide).u16(textureSide);
    std::fwrite(w.bytes.data(), 1, w.bytes.size(), f);
    w.bytes.clear();
    std::fwrite(block.data(), 1, block.size(), f);
  }
  w.u16(soundCount);
  for (int i = 0; i < soundCount; ++i) {
    w.str("Sounds\\sound" + std::to_string(i) + ".wav").u32(soundBytes);
    std::fwrite(w.bytes.data(), 1, w.bytes.size(), f);
    w.bytes.clear();
    std::fwrite(block.data(), 1, soundBytes, f);
  }
  w.u16(0).u16(0).u16(0);  // fonts, masks, scenes
  std::fwrite(w.bytes.data(), 1, w.bytes.size(), f);
  return std::fclose(f) == 0;
}

// A table's worth of small records: 20 scenes of 200 objects with outlines.
Writer manyRecordsArchive() {
  Writer w;
  w.u16(7).u16(0).u16(0).u16(0).u16(32);
  for (int i = 0; i < 32; ++i) w.u32(0xFFFFFFFFu);
  w.u16(20);
  for (int s = 0; s < 20; ++s) {
    w.str("Scene" + std::to_string(s)).u16(200);
    for (int o = 0; o < 200; ++o) {
      w.str("object" + std::to_string(o)).str("").str("Images\\none.png").str("").str("");
      w.fill(7 * 4 + 5, 0);  // the seven floats and five bytes of fields 6 to 17
      w.u16(16).fill(16 * 8, 0);
    }
    w.u16(0);
  }
  return w;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double rawSeconds(const std::string& path) {
  auto start = std::chrono::steady_clock::now();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  std::vector<unsigned char> block(size_t(1) << 22);
  size_t n, total = 0;
  while ((n = std::fread(block.data(), 1, block.size(), f)) > 0) total += n;
  std::fclose(f);
  double t = seconds(start);
  return total ? t : -1;
}

double loadSeconds(const std::string& path, bool& ok) {
  Silence quiet;
  DiscardingBackend backend;
  auto start = std::chrono::steady_clock::now();
  {
    WorldData catalog(path.c_str(), backend);
    ok = !catalog.loadFailed;
  }
  return seconds(start);
}

// Peak resident memory, in KiB, of a fresh child process that runs work.
// Measured in a child so that each case starts from the same small heap.
long childPeakKiB(const std::function<void()>& work) {
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    work();
    _exit(0);
  }
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) return -1;
  return usage.ru_maxrss;
}

void loadArchive(const std::string& path) {
  Silence quiet;
  DiscardingBackend backend;
  WorldData catalog(path.c_str(), backend);
}

void loadSave(const std::string& dir) {
  Silence quiet;
  setPropertyFile((dir + "/save.dat").c_str());
  loadProperties();
}

void hostileFigures(const std::string& dir) {
  struct Case {
    const char* what;
    Writer file;
    bool save;  // a save.dat rather than a data.dat
  };
  std::vector<Case> cases;
  cases.push_back(
      {"smallest archive (baseline)", Writer().u16(7).u16(0).u16(0).u16(0).u16(0).u16(0), false});
  cases.push_back({"texture 65535*65535, 100 bytes follow",
                   Writer().u16(7).u16(1).str("huge").u16(65535).u16(65535).fill(100, 1), false});
  cases.push_back({"sound length 2^31-1, 100 bytes follow",
                   Writer().u16(7).u16(0).u16(1).str("s").u32(0x7FFFFFFFu).fill(100, 1), false});
  cases.push_back({"sound length 2^32-1, 100 bytes follow",
                   Writer().u16(7).u16(0).u16(1).str("s").u32(0xFFFFFFFFu).fill(100, 1), false});
  cases.push_back({"65535 scenes, first with 65535 objects, then the end",
                   Writer().u16(7).u16(0).u16(0).u16(0).u16(0).u16(65535).str("s").u16(65535),
                   false});
  cases.push_back({"65535 fonts, first with 65535 glyphs, then the end",
                   Writer().u16(7).u16(0).u16(0).u16(65535).str("f").u32(0).u16(65535), false});
  cases.push_back({"save.dat count 2^31-1, then the end", Writer().u32(0x7FFFFFFFu), true});
  cases.push_back({"save.dat key length 2^31-1, 100 bytes follow",
                   Writer().u32(1).u32(0x7FFFFFFFu).fill(100, 'k'), true});
  cases.push_back({"save.dat value length 2^32-2 (negative)",
                   Writer().u32(1).u32(1).u8('k').u32(0xFFFFFFFEu).fill(100, 'v'), true});

  const std::string archive = dir + "/data.dat", save = dir + "/save.dat";
  std::printf("peak memory of a fresh process loading a damaged file:\n");
  for (const Case& c : cases) {
    long kib = -1;
    if (c.save && c.file.save(save)) kib = childPeakKiB([&] { loadSave(dir); });
    if (!c.save && c.file.save(archive)) kib = childPeakKiB([&] { loadArchive(archive); });
    std::printf("  %-55s %6.1f MiB peak RSS\n", c.what, kib / 1024.0);
  }
  std::remove(archive.c_str());
  std::remove(save.c_str());
}

}  // namespace

int main() {
  char dirTemplate[] = "/tmp/orvane-bench-archive-XXXXXX";
  if (!mkdtemp(dirTemplate)) return 1;
  const std::string dir = dirTemplate;

  // First, while this process is still small: forked children start from it.
  hostileFigures(dir);

  const std::string tablePath = dir + "/table.dat";
  if (!manyRecordsArchive().save(tablePath)) return 1;
  double bestTable = 1e9;
  bool ok = true;
  for (int i = 0; i < rounds; ++i) {
    bool loaded;
    bestTable = std::min(bestTable, loadSeconds(tablePath, loaded));
    ok = ok && loaded;
  }
  std::remove(tablePath.c_str());

  const std::string bigPath = dir + "/big.dat";
  if (!writeLargeArchive(bigPath)) return 1;
  const double megabytes =
      (double(textureCount) * textureSide * textureSide * 4 + double(soundCount) * soundBytes) /
      (1024.0 * 1024.0);
  rawSeconds(bigPath);  // warm the page cache for both
  double bestRaw = 1e9, bestParse = 1e9;
  for (int i = 0; i < rounds; ++i) {
    bestRaw = std::min(bestRaw, rawSeconds(bigPath));
    bool loaded;
    bestParse = std::min(bestParse, loadSeconds(bigPath, loaded));
    ok = ok && loaded;
  }
  long bigPeak = childPeakKiB([&] { loadArchive(bigPath); });
  std::remove(bigPath.c_str());
  rmdir(dir.c_str());
  if (!ok) {
    std::printf("archive load failed\n");
    return 1;
  }
  std::printf("table archive (20 scenes x 200 objects, best of %d): %.2f ms\n", rounds,
              bestTable * 1000);
  std::printf("large archive (%.0f MiB, best of %d): %.1f ms, %.0f MiB/s, peak RSS %.1f MiB\n",
              megabytes, rounds, bestParse * 1000, megabytes / bestParse, bigPeak / 1024.0);
  std::printf("raw fread of the same file (best of %d): %.0f MiB/s; load/raw %.2f\n", rounds,
              megabytes / bestRaw, bestRaw / bestParse);
  return 0;
}
