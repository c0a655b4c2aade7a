// Reading a small settings file of the player's whole, safely: only a regular
// file (a pipe or a device in its place would hold the start-up) and only up
// to a size that a settings file can have.
#pragma once

#include <cstddef>
#include <string>

enum class SmallFile {
  read,        // text holds the whole file
  missing,     // nothing at path (or no path): the settings' defaults, quietly
  refused,     // not a regular file, or larger than maxBytes
  unreadable,  // a regular file that could not be read
};

SmallFile readSmallFile(const std::string& path, size_t maxBytes, std::string& text);
