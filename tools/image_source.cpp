// Texture decoding through stb_image, forced to four channels so every
// texture lands in the archive as RGBA8 whatever its PNG colour type.
#include "image_source.h"

#include <climits>
#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

bool decodePng(const std::vector<unsigned char>& bytes, const std::string& label,
               PackTexture& texture, std::string& error) {
  if (bytes.size() > size_t(INT_MAX)) {
    error = label + ": image file too large";
    return false;
  }
  int w = 0, h = 0, channels = 0;
  const int len = int(bytes.size());
  if (!stbi_info_from_memory(bytes.data(), len, &w, &h, &channels)) {
    error = label + ": not a readable PNG image (" + stbi_failure_reason() + ")";
    return false;
  }
  if (w > 0xFFFF || h > 0xFFFF) {
    error = label + ": image is " + std::to_string(w) + "x" + std::to_string(h) +
            " pixels; a texture is at most 65535 wide and 65535 high";
    return false;
  }
  unsigned char* pixels = stbi_load_from_memory(bytes.data(), len, &w, &h, &channels, 4);
  if (!pixels) {
    error = label + ": cannot decode PNG image (" + stbi_failure_reason() + ")";
    return false;
  }
  texture.width = w;
  texture.height = h;
  texture.rgba.assign(pixels, pixels + size_t(w) * size_t(h) * 4);
  stbi_image_free(pixels);
  return true;
}
