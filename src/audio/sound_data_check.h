// Header checks on encoded sound files before the mixer decodes them. The
// mixer's sample-rate converter overruns its own buffers on absurd rates and
// channel counts, so a damaged file is refused here instead of crashing.
#pragma once

#include <cstddef>

namespace AudioSystem {

constexpr unsigned lowestSampleRate = 1000;
constexpr unsigned highestSampleRate = 384000;
constexpr unsigned mostChannels = 8;

// nullptr when the data may be handed to the mixer; otherwise what is wrong.
// Formats it does not know pass, for the mixer to accept or refuse.
const char* soundDataProblem(const unsigned char* data, size_t length);
// The same for the first length bytes of a file of fileLength bytes; chunk
// headers must lie within the bytes at hand.
const char* soundDataProblem(const unsigned char* data, size_t length, size_t fileLength);

}  // namespace AudioSystem
