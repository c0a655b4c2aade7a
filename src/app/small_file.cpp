// The checks before the read, and the read.
#include "app/small_file.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

SmallFile readSmallFile(const std::string& path, size_t maxBytes, std::string& text) {
  text.clear();
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) return SmallFile::missing;
  if (!S_ISREG(info.st_mode) || size_t(info.st_size) > maxBytes) return SmallFile::refused;
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  if (!in) return SmallFile::unreadable;
  text = bytes.str();
  return SmallFile::read;
}
