// Archive parsing speed: loads a generated 64 MiB data.dat (textures and
// sounds) and compares the rate with plain big-block fread of the same file.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "content/world_data.h"

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

void put16(std::FILE* f, unsigned v) {
  std::fputc(int(v & 0xFF), f);
  std::fputc(int((v >> 8) & 0xFF), f);
}
void put32(std::FILE* f, uint32_t v) {
  put16(f, v & 0xFFFF);
  put16(f, v >> 16);
}
void putStr(std::FILE* f, const std::string& s) {
  put16(f, unsigned(s.size()));
  std::fwrite(s.data(), 1, s.size(), f);
}

bool writeArchive(const char* path) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  std::vector<unsigned char> block(size_t(textureSide) * textureSide * 4);
  for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 31 + 7);
  put16(f, 7);
  put16(f, textureCount);
  for (int i = 0; i < textureCount; ++i) {
    putStr(f, "Images\\texture" + std::to_string(i) + ".png");
    put16(f, textureSide);
    put16(f, textureSide);
    std::fwrite(block.data(), 1, block.size(), f);
  }
  put16(f, soundCount);
  for (int i = 0; i < soundCount; ++i) {
    putStr(f, "Sounds\\sound" + std::to_string(i) + ".wav");
    put32(f, soundBytes);
    std::fwrite(block.data(), 1, soundBytes, f);
  }
  put16(f, 0);  // fonts
  put16(f, 0);  // masks
  put16(f, 0);  // scenes
  return std::fclose(f) == 0;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double rawSeconds(const char* path) {
  auto start = std::chrono::steady_clock::now();
  std::FILE* f = std::fopen(path, "rb");
  std::vector<unsigned char> block(size_t(1) << 22);
  size_t n, total = 0;
  while ((n = std::fread(block.data(), 1, block.size(), f)) > 0) total += n;
  std::fclose(f);
  double t = seconds(start);
  return total ? t : -1;
}

double parseSeconds(const char* path, bool& ok) {
  // The loader prints a line per record; keep them out of the figures.
  std::fflush(stdout);
  int saved = dup(1);
  int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  close(devnull);
  DiscardingBackend backend;
  auto start = std::chrono::steady_clock::now();
  bool failed;
  {
    WorldData catalog(path, backend);
    failed = catalog.loadFailed;
  }
  double t = seconds(start);
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  ok = !failed;
  return t;
}

}  // namespace

int main() {
  char path[] = "/tmp/orvane-bench-archive-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return 1;
  close(fd);
  if (!writeArchive(path)) return 1;
  const double megabytes =
      (double(textureCount) * textureSide * textureSide * 4 + double(soundCount) * soundBytes) /
      (1024.0 * 1024.0);

  rawSeconds(path);  // warm the page cache for both
  double bestRaw = 1e9, bestParse = 1e9;
  bool ok = true;
  for (int i = 0; i < rounds; ++i) {
    bestRaw = std::min(bestRaw, rawSeconds(path));
    bool loaded;
    bestParse = std::min(bestParse, parseSeconds(path, loaded));
    ok = ok && loaded;
  }
  std::remove(path);
  if (!ok) {
    std::printf("archive parse failed\n");
    return 1;
  }
  std::printf("archive parse (%.0f MiB, best of %d): %.0f MB/s\n", megabytes, rounds,
              megabytes / bestParse);
  std::printf("raw fread (%.0f MiB, best of %d): %.0f MB/s\n", megabytes, rounds,
              megabytes / bestRaw);
  std::printf("parse/raw: %.2f\n", bestRaw / bestParse);
  return 0;
}
