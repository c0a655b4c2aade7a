// The desktop icon: the default table's bumper art scaled to one icon size.
//   orvane-icon IN.png SIZE OUT.png
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#include <stb/stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: orvane-icon IN.png SIZE OUT.png\n");
    return 2;
  }
  int size = std::atoi(argv[2]);
  int w = 0, h = 0, channels = 0;
  unsigned char* pixels = stbi_load(argv[1], &w, &h, &channels, 4);
  if (!pixels || w != h || size < 16 || size > 512) {
    std::fprintf(stderr, "orvane-icon: '%s' is not a square PNG, or %s is no icon size\n", argv[1],
                 argv[2]);
    stbi_image_free(pixels);
    return 1;
  }
  // The sRGB filter weights colour by alpha, so the soft rim does not darken.
  std::vector<unsigned char> icon(size_t(size) * size * 4);
  bool ok = stbir_resize_uint8_srgb(pixels, w, h, 0, icon.data(), size, size, 0, 4, 3, 0) &&
            stbi_write_png(argv[3], size, size, 4, icon.data(), size * 4);
  stbi_image_free(pixels);
  if (!ok) std::fprintf(stderr, "orvane-icon: cannot write '%s'\n", argv[3]);
  return ok ? 0 : 1;
}
