// Placeholder property store.
#include "props/property_store.h"
const std::string* getProperty(const char*, size_t) { return nullptr; }
void setProperty(const char*, size_t, const char*, size_t) {}
void loadProperties() {}
void saveProperties() {}
