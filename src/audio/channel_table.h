// Which mixing channel a new effect takes: a free one, or else the one whose
// effect started longest ago, so that a burst of effects never goes silent.
#pragma once

#include <cstdint>

class ChannelTable {
 public:
  static constexpr int channelCount = 256;

  ChannelTable() { reset(); }
  void reset();

  // The first channel that isPlaying reports free; when none is free, the
  // channel started longest ago (which the caller must halt first).
  template <typename IsPlaying>
  int pick(IsPlaying isPlaying) const {
    for (int i = 0; i < channelCount; ++i)
      if (!isPlaying(i)) return i;
    return oldest();
  }

  void started(int channel);  // records the start order of channel

 private:
  int oldest() const;

  uint64_t startOrder[channelCount];
  uint64_t nextOrder = 1;
};
