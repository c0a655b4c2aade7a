// Fuzzes the data.dat loader: any input must load or fail cleanly, within
// bounded memory, and leave a catalog whose references point into itself
// and whose materials are all in range.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "content/world_data.h"

namespace {

std::string archivePath;

// Counts what the loader hands over, and insists on sane arguments.
class CheckingBackend : public ContentBackend {
 public:
  unsigned uploadTexture(int width, int height, const unsigned char* rgba) override {
    if (width < 0 || height < 0 || !rgba) __builtin_trap();
    // Touch the last pixel so the sanitizer sees any buffer that is too short.
    if (width > 0 && height > 0) sink += rgba[size_t(width) * height * 4 - 1];
    return ++textures;
  }
  SoundHandle* createSound(const unsigned char* data, int length) override {
    if (length < 0 || !data) __builtin_trap();
    if (length > 0) sink += data[length - 1];
    ++made;
    return reinterpret_cast<SoundHandle*>(uintptr_t(made));
  }
  void releaseSound(SoundHandle*) override { ++released; }
  unsigned textures = 0;
  int made = 0, released = 0;
  unsigned sink = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The loader prints a line per record; keep the fuzzer's console readable.
  if (!std::freopen("/dev/null", "w", stdout)) return 0;
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  archivePath = std::string(dir) + "/orvane-fuzz-archive-" + std::to_string(getpid()) + ".dat";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(archivePath.c_str(), "wb");
  if (!file) return 0;
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);

  CheckingBackend backend;
  {
    WorldData catalog(archivePath.c_str(), backend);
    for (const SceneDef& scene : catalog.scenes) {
      for (const ObjectDef& object : scene.objects) {
        if (object.imgTexture && object.imgTexture != catalog.findTexture(object.img.c_str()))
          __builtin_trap();
        if (object.litImgTexture &&
            object.litImgTexture != catalog.findTexture(object.litImg.c_str()))
          __builtin_trap();
        // A material the block gives is one the world can use as it is.
        if (object.hasMaterial && materialFault(object.material)) __builtin_trap();
      }
    }
    for (const FontDef& font : catalog.fonts)
      for (const Glyph& glyph : font.glyphs)
        for (unsigned char ink : glyph.bitmap)
          if (ink > 1) __builtin_trap();
    if (!catalog.loadFailed && size < 12) __builtin_trap();  // 12 bytes is the smallest archive
  }
  if (backend.released != backend.made) __builtin_trap();
  return 0;
}
