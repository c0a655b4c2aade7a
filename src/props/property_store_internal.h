// Test and fuzzing access to the process-wide property store.
#pragma once

#include <cstddef>

#include "props/durable_file.h"

// Runs after the new store is written and synced to the temporary file and
// before that file replaces save.dat. Returning false abandons the save right
// there, as if the process had died at that moment.
using PropertySaveHook = ReplaceHook;
void setPropertySaveHook(PropertySaveHook hook);

// Empties the store and forgets that save.dat was read, as at process start.
void resetPropertiesForTest();

// The number of entries held.
size_t propertyCount();
