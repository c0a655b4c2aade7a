// Start order of the mixing channels.
#include "audio/channel_table.h"

void ChannelTable::reset() {
  for (uint64_t& order : startOrder) order = 0;
  nextOrder = 1;
}

void ChannelTable::started(int channel) {
  if (channel >= 0 && channel < channelCount) startOrder[channel] = nextOrder++;
}

int ChannelTable::oldest() const {
  int best = 0;
  for (int i = 1; i < channelCount; ++i)
    if (startOrder[i] < startOrder[best]) best = i;
  return best;
}
