// The process-wide list of recent contacts, filled by the collider and read
// and emptied by the debug overlay once per frame.
#include "world/contact_log.h"

ContactLog contactLog;

void ContactLog::add(Float2 position, Float2 normal) {
  if (count < 0 || count > wrapAt) count = 0;
  positions[count] = position;
  normals[count] = normal;
  if (++count > wrapAt) count = 0;
}
