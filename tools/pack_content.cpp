// Encodes packed content into data.dat's byte layout, and reads and writes
// the packer's files safely.
#include "pack_content.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

// Little-endian byte sink that remembers the first value that did not fit.
class ArchiveWriter {
 public:
  explicit ArchiveWriter(std::vector<unsigned char>& out) : out_(out) {}

  void u8(uint32_t v) { out_.push_back(uint8_t(v)); }
  void u16(uint32_t v) {
    u8(v & 0xFF);
    u8(v >> 8);
  }
  void u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void f32(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    u32(bits);
  }
  void bytes(const unsigned char* p, size_t n) { out_.insert(out_.end(), p, p + n); }

  void str(const std::string& s, const std::string& what) {
    if (s.size() > 0xFFFF)
      fail(what + " is " + std::to_string(s.size()) + " bytes long (at most 65535)");
    u16(uint32_t(s.size()));
    bytes(reinterpret_cast<const unsigned char*>(s.data()), s.size());
  }
  void count(size_t n, const std::string& what) {
    if (n > 0xFFFF) fail(what + ": " + std::to_string(n) + " is more than 65535");
    u16(uint32_t(n));
  }
  void byteField(int v, const std::string& what) {
    if (v < 0 || v > 255) fail(what + " " + std::to_string(v) + " does not fit in a byte");
    u8(uint32_t(v));
  }
  void point(Float2 p) {
    f32(p.x);
    f32(p.y);
  }

  void fail(const std::string& message) {
    if (error_.empty()) error_ = message;
  }
  const std::string& error() const { return error_; }

 private:
  std::vector<unsigned char>& out_;
  std::string error_;
};

// Writes the field types of archive_format.h; a value that does not fit is
// reported as "<what> <field> ...". The 16-bit fields are checked by their
// records, whose messages say more.
class FieldWriter {
 public:
  FieldWriter(ArchiveWriter& w, std::string what) : w_(w), what_(std::move(what)) {}

  void name(const std::string& s) { str(s, "name"); }
  void str(const std::string& s, const char* field) { w_.str(s, what_ + " " + field); }
  void u8(unsigned char v, const char*) { w_.u8(v); }
  void u8(int v, const char* field) { w_.byteField(v, what_ + " " + field); }
  void u16(int v, const char*) { w_.u16(uint32_t(v)); }
  void i16(int v, const char*) { w_.u16(uint32_t(v) & 0xFFFF); }
  void f32(float v, const char*) { w_.f32(v); }
  void point(Float2 p, const char*) { w_.point(p); }
  void flag(bool b, const char*) { w_.u8(b ? 1 : 0); }
  void kind(ObjectKind k, const char*) { w_.u8(k); }
  void group(int g, const char* field) { w_.byteField(g, what_ + " " + field); }

 private:
  ArchiveWriter& w_;
  std::string what_;
};

std::string quoted(const std::string& kind, const std::string& name) {
  return kind + " '" + name + "'";
}

void writeTexture(ArchiveWriter& w, const PackTexture& t) {
  std::string what = quoted("texture", t.name);
  FieldWriter fields(w, what);
  textureFields(fields, t);
  if (t.width < 0 || t.width > 0xFFFF || t.height < 0 || t.height > 0xFFFF)
    w.fail(what + " is " + std::to_string(t.width) + "x" + std::to_string(t.height) +
           " pixels (at most 65535 each way)");
  if (t.rgba.size() != size_t(t.width) * size_t(t.height) * pixelBytes)
    w.fail(what + " has " + std::to_string(t.rgba.size()) + " pixel bytes for its size");
  w.bytes(t.rgba.data(), t.rgba.size());
}

void writeSound(ArchiveWriter& w, const PackSound& s) {
  std::string what = quoted("sound", s.name);
  FieldWriter fields(w, what);
  soundFields(fields, s);
  if (s.data.size() >= 0x80000000u) w.fail(what + " is 2 GiB or more");
  w.u32(uint32_t(s.data.size()));
  w.bytes(s.data.data(), s.data.size());
}

void writeFont(ArchiveWriter& w, const FontDef& f) {
  std::string what = quoted("font", f.name);
  FieldWriter fields(w, what);
  fontFields(fields, f);
  if (f.spaceWidth < -32768 || f.spaceWidth > 32767 || f.spacing < -32768 || f.spacing > 32767)
    w.fail(what + ": spaceWidth and spacing must fit in -32768..32767");
  w.count(f.glyphs.size(), what + " glyph count");
  for (const Glyph& g : f.glyphs) {
    std::string gwhat = what + " glyph " + std::to_string(g.code);
    FieldWriter glyphWriter(w, gwhat);
    glyphFields(glyphWriter, g);
    if (g.bitmap.size() != size_t(g.width) * size_t(g.height) || g.width < 0 || g.height < 0) {
      w.fail(gwhat + " has a bitmap of the wrong size");
      continue;
    }
    w.bytes(g.bitmap.data(), g.bitmap.size());
  }
}

void writeObject(ArchiveWriter& w, const ObjectDef& o, const std::string& scene) {
  std::string what = quoted("scene", scene) + " " + quoted("object", o.name);
  FieldWriter fields(w, what);
  objectFields(fields, o);
  w.count(o.outline.size(), what + " outline point count");
  for (Float2 p : o.outline) w.point(p);
}

void writeScene(ArchiveWriter& w, const SceneDef& s) {
  std::string what = quoted("scene", s.name);
  FieldWriter fields(w, what);
  sceneFields(fields, s);
  w.count(s.objects.size(), what + " object count");
  for (const ObjectDef& o : s.objects) writeObject(w, o, s.name);
  w.count(s.links.size(), what + " link count");
  for (const LinkDef& l : s.links) {
    FieldWriter linkWriter(w, what + " " + quoted("link", l.name));
    linkFields(linkWriter, l);
  }
}

// Only when some object sets a material, so that other tables keep the
// bytes they always had.
void writeMaterials(ArchiveWriter& w, const std::vector<SceneDef>& scenes) {
  std::vector<MaterialRecord> records;
  for (size_t s = 0; s < scenes.size(); ++s)
    for (size_t o = 0; o < scenes[s].objects.size(); ++o)
      if (scenes[s].objects[o].hasMaterial)
        records.push_back({int(s), int(o), scenes[s].objects[o].material});
  if (records.empty()) return;
  w.u32(materialBlockTag);
  w.u32(uint32_t(records.size()));
  FieldWriter fields(w, "material");
  for (const MaterialRecord& record : records) materialFields(fields, record);
}

}  // namespace

bool encodeArchive(const PackContent& content, std::vector<unsigned char>& out,
                   std::string& error) {
  ArchiveWriter w(out);
  w.u16(archiveVersion);
  w.count(content.textures.size(), "texture count");
  for (const PackTexture& t : content.textures) writeTexture(w, t);
  w.count(content.sounds.size(), "sound count");
  for (const PackSound& s : content.sounds) writeSound(w, s);
  w.count(content.fonts.size(), "font count");
  for (const FontDef& f : content.fonts) writeFont(w, f);
  w.count(content.masks.size(), "mask count");
  for (uint32_t m : content.masks) w.u32(m);
  w.count(content.scenes.size(), "scene count");
  for (const SceneDef& s : content.scenes) writeScene(w, s);
  writeMaterials(w, content.scenes);
  error = w.error();
  return error.empty();
}

bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error) {
  bytes.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open '" + path + "': " + std::strerror(errno);
    return false;
  }
  unsigned char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) error = "cannot read '" + path + "'";
  return ok;
}

bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path target(path);
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  std::string temp = path + ".tmp" + std::to_string(long(getpid()));
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    error = "cannot create '" + temp + "': " + std::strerror(errno);
    return false;
  }
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fflush(f) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    error = "cannot write '" + temp + "': " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    error = "cannot rename '" + temp + "' to '" + path + "': " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}
