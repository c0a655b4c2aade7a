// Knobs for the long table runs: a number from the environment, and whether
// this is the AddressSanitizer build (which runs several times slower, so
// the runs there are shorter).
#pragma once

#include <cstdlib>

namespace table {

// The positive number in the environment variable `name`, or `otherwise`.
inline int envNumber(const char* name, int otherwise) {
  const char* text = std::getenv(name);
  return text && std::atoi(text) > 0 ? std::atoi(text) : otherwise;
}

inline bool sanitized() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#endif
#endif
  return false;
}

}  // namespace table
