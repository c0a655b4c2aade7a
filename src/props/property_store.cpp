// The property store: one ordered byte-wise map mirrored into save.dat.
//
// save.dat is a count and then length-prefixed key and value texts, all
// lengths signed 32-bit little-endian. A damaged file keeps every entry that
// precedes the damage and nothing after it. Saving writes a temporary file
// next to save.dat, syncs it and renames it over the old file, so a crash or
// a full disk leaves the previous store intact.
#include "props/property_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <string_view>

#include "content/archive_reader.h"
#include "props/durable_file.h"
#include "props/property_store_internal.h"

namespace {

constexpr char fileName[] = "save.dat";

struct Store {
  // std::string compares through char_traits<char>, which orders bytes as
  // unsigned values: "A" < "a" < "\x80". The transparent comparison lets a
  // script read a property every step without building a key string.
  std::map<std::string, std::string, std::less<>> entries;
  bool loaded = false;
  bool hasFile = false;
  bool inMemory = false;  // no file at all: nothing read, nothing written
  std::string file, seed;
  SaveFolder folder = SaveFolder::mustExist;
};

Store& store() {
  static Store instance;
  return instance;
}

PropertySaveHook saveHook = nullptr;

// One length-prefixed text; false when the file is damaged or ends here.
bool readText(ArchiveReader& reader, std::string& text) {
  int32_t length = int32_t(reader.readU32());
  if (!reader.isOpen() || length < 0 || length > reader.remaining()) return false;
  std::vector<unsigned char> bytes = reader.readBlock(length);
  if (int64_t(bytes.size()) != length) return false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

void putU32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(char((value >> shift) & 0xFF));
}

bool putText(std::string& out, const std::string& text) {
  if (text.size() > size_t(std::numeric_limits<int32_t>::max())) return false;
  putU32(out, uint32_t(text.size()));
  out += text;
  return true;
}

bool encodeStore(std::string& out) {
  const auto& entries = store().entries;
  if (entries.size() > size_t(std::numeric_limits<int32_t>::max())) return false;
  putU32(out, uint32_t(entries.size()));
  for (const auto& entry : entries)
    if (!putText(out, entry.first) || !putText(out, entry.second)) return false;
  return true;
}

bool fileMissing(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

// Adds the entries of a save.dat image to the store; stops at the damage.
void loadFrom(ArchiveReader& reader) {
  if (!reader.isOpen()) return;
  auto& entries = store().entries;
  int32_t count = int32_t(reader.readU32());
  // Every entry takes at least 8 bytes, so a damaged count ends with the file.
  for (int32_t i = 0; i < count && reader.isOpen(); ++i) {
    std::string key, value;
    if (!readText(reader, key) || !readText(reader, value)) break;
    entries[std::move(key)] = std::move(value);  // a repeated key keeps the later value
  }
}

void reportSaveFailure() {
  std::printf("[SYSTEM] Unable to save the properties file ('%s')\n", fileName);
}

}  // namespace

void setPropertyFile(const char* path, const char* seed, SaveFolder folder) {
  Store& s = store();
  s.inMemory = false;
  s.hasFile = path != nullptr;
  s.file = path ? path : "";
  s.seed = seed ? seed : "";
  s.folder = folder;
}

void keepPropertiesInMemory() {
  Store& s = store();
  s.inMemory = true;
  s.hasFile = false;
  s.file.clear();
  s.seed.clear();
}

void loadProperties() {
  Store& s = store();
  if (s.loaded) return;
  s.loaded = true;
  // Only a file that is not there gives way to the seed: one that cannot be
  // read is the player's own, and its next save replaces it as ever.
  const char* path = s.hasFile ? s.file.c_str() : nullptr;
  if (!s.seed.empty() && (!path || fileMissing(s.file))) path = s.seed.c_str();
  ArchiveReader reader(path);
  loadFrom(reader);
}

void startPropertiesFrom(const unsigned char* image, size_t size) {
  Store& s = store();
  s.entries.clear();
  s.loaded = true;
  ArchiveReader reader(image, size);
  loadFrom(reader);
}

std::string propertiesImage() {
  loadProperties();
  std::string bytes;
  if (!encodeStore(bytes)) bytes.clear();
  return bytes;
}

void saveProperties() {
  const Store& s = store();
  if (s.inMemory) return;
  std::string bytes;
  if (!s.hasFile || !encodeStore(bytes)) {
    reportSaveFailure();
    return;
  }
  ReplaceResult result = replaceFile(s.file, bytes, s.folder == SaveFolder::create, saveHook);
  if (result == ReplaceResult::failed) reportSaveFailure();
}

const std::string* getProperty(const char* key, size_t keyLength) {
  loadProperties();
  if (!key) return nullptr;
  const auto& entries = store().entries;
  auto found = entries.find(std::string_view(key, keyLength));
  return found == entries.end() ? nullptr : &found->second;
}

void setProperty(const char* key, size_t keyLength, const char* value, size_t valueLength) {
  loadProperties();
  if (!key) return;
  auto& entries = store().entries;
  if (value)
    entries[std::string(key, keyLength)].assign(value, valueLength);
  else
    entries.erase(std::string(key, keyLength));
  saveProperties();
}

void setPropertySaveHook(PropertySaveHook hook) {
  saveHook = hook;
}

void resetPropertiesForTest() {
  store().entries.clear();
  store().loaded = false;
}

size_t propertyCount() {
  return store().entries.size();
}
