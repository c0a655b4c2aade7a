// Walks an archive image in memory with a bounds-checked cursor. Every size
// is compared with the bytes that are left before anything is read, so a
// truncated or random file ends in one precise error line, never a crash.
#include "inspector.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "content/archive_format.h"

namespace {

struct Damage {
  size_t offset;
  std::string message;
};

class Cursor {
 public:
  Cursor(const unsigned char* data, size_t size) : data_(data), size_(size) {}

  size_t pos() const { return pos_; }
  size_t left() const { return size_ - pos_; }

  // Throws Damage unless n more bytes exist; context and what build
  // "<context> needs <n> bytes <what>, <left> left".
  void need(uint64_t n, const std::string& context, const std::string& what) const {
    if (n <= left()) return;
    throw Damage{pos_, context + " needs " + std::to_string(n) + " byte" + (n == 1 ? "" : "s") +
                           " " + what + ", " + std::to_string(left()) + " left"};
  }

  uint8_t u8(const std::string& context, const std::string& what) {
    need(1, context, what);
    return data_[pos_++];
  }
  uint16_t u16(const std::string& context, const std::string& what) {
    need(2, context, what);
    uint16_t v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t u32(const std::string& context, const std::string& what) {
    need(4, context, what);
    uint32_t v = uint32_t(data_[pos_]) | uint32_t(data_[pos_ + 1]) << 8 |
                 uint32_t(data_[pos_ + 2]) << 16 | uint32_t(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return v;
  }
  float f32(const std::string& context, const std::string& what) {
    uint32_t bits = u32(context, what);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  std::string str(const std::string& context, const std::string& what) {
    uint16_t n = u16(context, "for the length of " + what);
    need(n, context, "for " + what);
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  void skip(uint64_t n, const std::string& context, const std::string& what) {
    need(n, context, what);
    pos_ += size_t(n);
  }
  const unsigned char* at() const { return data_ + pos_; }
  bool nextU32Is(uint32_t v) const {
    if (left() < 4) return false;
    const unsigned char* p = data_ + pos_;
    return (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24) ==
           v;
  }

 private:
  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Names as they are stored, with bytes outside printable ASCII as \xNN.
std::string shown(const std::string& s) {
  std::string out = "'";
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out + "'";
}

// printf's %g with the fewest digits, six at least, that read back as the
// same float. (to_chars' own shortest form differs: it writes 1234567 as
// 1.234567e+06, and subnormals with fewer digits.)
std::string num(float f) {
  char buf[64];
  char* end = buf;
  for (int precision = 6; precision <= 9; ++precision) {
    end = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::general, precision).ptr;
    float back = 0;
    std::from_chars(buf, end, back);
    if (back == f) break;
  }
  return std::string(buf, end);
}

std::string pointText(float x, float y) {
  return "(" + num(x) + ", " + num(y) + ")";
}

// Reads the field types of archive_format.h for the lister. Errors name the
// record as "<prefix><index>" until its name is read, "<prefix>'<name>'"
// after. A labelled record gathers " <field> <value>" for its line, and its
// numbers are read "for <field>"; the other records show their fields in a
// shape of their own and read them "for its <field>".
class FieldLister {
 public:
  FieldLister(Cursor& in, std::string prefix, unsigned index, bool labelled)
      : in_(in),
        prefix_(std::move(prefix)),
        context_(prefix_ + std::to_string(index)),
        labelled_(labelled) {}

  const std::string& context() const { return context_; }
  const std::string& text() const { return text_; }

  void name(std::string& s) {
    s = in_.str(context_, "its name");
    context_ = prefix_ + shown(s);
  }
  void str(std::string& s, const char* field) {
    s = in_.str(context_, std::string("its ") + field);
    show(field, shown(s));
  }
  template <class T>
  void u8(T& v, const char* field) {
    unsigned raw = in_.u8(context_, purpose(field));
    v = T(raw);
    show(field, std::to_string(raw));
  }
  void u16(int& v, const char* field) {
    v = in_.u16(context_, purpose(field));
    show(field, std::to_string(v));
  }
  void i16(int& v, const char* field) {
    v = int16_t(in_.u16(context_, purpose(field)));
    show(field, std::to_string(v));
  }
  void f32(float& v, const char* field) {
    v = in_.f32(context_, purpose(field));
    show(field, num(v));
  }
  void point(Float2& p, const char* field) {
    p.x = in_.f32(context_, purpose(field) + ".x");
    p.y = in_.f32(context_, purpose(field) + ".y");
    show(field, pointText(p.x, p.y));
  }
  void flag(bool& b, const char* field) {
    unsigned raw = in_.u8(context_, purpose(field));
    b = raw != 0;
    show(field, std::to_string(raw));
  }
  template <class T>
  void kind(T& k, const char* field) {
    unsigned raw = in_.u8(context_, purpose(field));
    k = T(raw);
    const char* kindName = objectKindName(raw);
    show(field,
         std::to_string(raw) + (kindName ? std::string(" (") + kindName + ")" : " (unknown)"));
  }
  void group(int& g, const char* field) {
    g = in_.u8(context_, purpose(field));
    show(field, std::to_string(g) + (g > 31 ? " (above 31)" : ""));
  }

 private:
  std::string purpose(const char* field) const {
    return (labelled_ ? "for " : "for its ") + std::string(field);
  }
  void show(const char* field, const std::string& value) {
    if (labelled_) text_ += std::string(" ") + field + " " + value;
  }

  Cursor& in_;
  std::string prefix_, context_, text_;
  bool labelled_;
};

class Lister {
 public:
  Lister(const unsigned char* data, size_t size, std::string& out) : in_(data, size), out_(out) {}

  void run() {
    size_t at = in_.pos();
    uint16_t version = in_.u16("the archive", "for its version");
    std::string expected = std::to_string(archiveVersion);
    if (version != archiveVersion)
      throw Damage{at, "version is " + std::to_string(version) + ", expected " + expected};
    line(at, "version " + expected);

    unsigned n = count("textures");
    for (unsigned i = 0; i < n; ++i) texture(i);
    n = count("sounds");
    for (unsigned i = 0; i < n; ++i) sound(i);
    n = count("fonts");
    for (unsigned i = 0; i < n; ++i) font(i);
    n = count("masks");
    for (unsigned i = 0; i < n; ++i) {
      at = in_.pos();
      uint32_t mask = in_.u32("mask " + std::to_string(i), "for its value");
      char buf[64];
      std::snprintf(buf, sizeof buf, "mask %u: 0x%08X%s", i, unsigned(mask),
                    i >= 32 ? " (beyond group 31, not used)" : "");
      line(at, buf);
    }
    n = count("scenes");
    for (unsigned i = 0; i < n; ++i) scene(i);
    if (in_.nextU32Is(materialBlockTag)) materials();

    if (in_.left() == 0)
      line(in_.pos(), "end of archive");
    else
      line(in_.pos(),
           "end of archive; " + std::to_string(in_.left()) + " trailing bytes are never read");
  }

  void line(size_t offset, const std::string& text) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%10zu  ", offset);
    out_ += buf;
    out_ += text;
    out_ += '\n';
  }

 private:
  unsigned count(const char* what) {
    size_t at = in_.pos();
    unsigned n = in_.u16(std::string("the archive"), std::string("for its count of ") + what);
    line(at, std::string(what) + ": " + std::to_string(n));
    return n;
  }

  void texture(unsigned i) {
    size_t at = in_.pos();
    FieldLister fields(in_, "texture ", i, false);
    TextureDef t;
    textureFields(fields, t);
    const std::string& ctx = fields.context();
    line(at, ctx + " " + std::to_string(t.width) + "x" + std::to_string(t.height));
    in_.skip(uint64_t(t.width) * unsigned(t.height) * pixelBytes, ctx, "of pixels");
  }

  void sound(unsigned i) {
    size_t at = in_.pos();
    FieldLister fields(in_, "sound ", i, true);
    SoundDef s;
    soundFields(fields, s);
    const std::string& ctx = fields.context();
    uint32_t length = in_.u32(ctx, "for its length");
    if (length >= 0x80000000u)
      throw Damage{in_.pos() - 4,
                   ctx + " announces " + std::to_string(length) + " bytes (2 GiB or more)"};
    line(at, ctx + " " + std::to_string(length) + " bytes");
    in_.skip(length, ctx, "of sound data");
  }

  void font(unsigned i) {
    size_t at = in_.pos();
    FieldLister fields(in_, "font ", i, true);
    FontDef f;
    fontFields(fields, f);
    const std::string& ctx = fields.context();
    unsigned glyphs = in_.u16(ctx, "for its glyph count");
    line(at, ctx + fields.text() + ", " + std::to_string(glyphs) + " glyphs");
    for (unsigned g = 0; g < glyphs; ++g) {
      size_t gat = in_.pos();
      FieldLister glyphLister(in_, ctx + " glyph ", g, false);
      Glyph glyph;
      glyphFields(glyphLister, glyph);
      unsigned code = glyph.code, w = unsigned(glyph.width), h = unsigned(glyph.height);
      in_.skip(uint64_t(w) * h, glyphLister.context(), "of bitmap");
      char buf[64];
      if (code > 0x20 && code < 0x7F)
        std::snprintf(buf, sizeof buf, "  glyph 0x%02X '%c' %ux%u", code, char(code), w, h);
      else
        std::snprintf(buf, sizeof buf, "  glyph 0x%02X %ux%u", code, w, h);
      line(gat, buf);
    }
  }

  void scene(unsigned i) {
    size_t at = in_.pos();
    FieldLister fields(in_, "scene ", i, true);
    SceneDef s;
    sceneFields(fields, s);
    const std::string ctx = fields.context();
    scenes_.push_back({s.name, {}});
    unsigned objects = in_.u16(ctx, "for its object count");
    line(at, ctx + ", " + std::to_string(objects) + " objects");
    for (unsigned k = 0; k < objects; ++k) object(ctx, k);
    at = in_.pos();
    unsigned links = in_.u16(ctx, "for its link count");
    line(at, "  links: " + std::to_string(links));
    for (unsigned k = 0; k < links; ++k) link(ctx, k);
  }

  void object(const std::string& scene, unsigned k) {
    size_t at = in_.pos();
    FieldLister fields(in_, scene + " object ", k, true);
    ObjectDef o;
    objectFields(fields, o);
    const std::string& ctx = fields.context();
    scenes_.back().objects.push_back(o.name);
    unsigned points = in_.u16(ctx, "for its outline count");
    line(at, "  object " + shown(o.name) + fields.text() + " outline " + std::to_string(points) +
                 " points");
    in_.skip(uint64_t(points) * pointBytes, ctx, "of outline points");
  }

  void link(const std::string& scene, unsigned k) {
    size_t at = in_.pos();
    FieldLister fields(in_, scene + " link ", k, true);
    LinkDef l;
    linkFields(fields, l);
    line(at, "  link " + shown(l.name) + fields.text());
  }

  // The materials of objects listed above, named by scene and object index.
  void materials() {
    size_t at = in_.pos();
    const std::string block = "the materials block";
    in_.u32(block, "for its tag");
    uint32_t n = in_.u32(block, "for its count");
    line(at, "materials: " + std::to_string(n));
    in_.need(uint64_t(n) * materialRecordBytes, block, "of material records");
    for (uint32_t i = 0; i < n; ++i) {
      at = in_.pos();
      FieldLister fields(in_, "material ", unsigned(i), true);
      MaterialRecord record;
      materialFields(fields, record);
      const char* fault = materialFault(record.material);
      line(at, "  material" + fields.text() + " (" + target(record) + ")" +
                   (fault ? std::string(" (") + fault + " out of range)" : ""));
    }
  }

  std::string target(const MaterialRecord& record) const {
    if (size_t(record.scene) >= scenes_.size()) return "no such scene";
    const ListedScene& scene = scenes_[size_t(record.scene)];
    if (size_t(record.object) >= scene.objects.size()) return "no such object";
    return "scene " + shown(scene.name) + " object " + shown(scene.objects[size_t(record.object)]);
  }

  struct ListedScene {
    std::string name;
    std::vector<std::string> objects;
  };

  Cursor in_;
  std::string& out_;
  std::vector<ListedScene> scenes_;  // as far as listed
};

}  // namespace

bool listArchive(const unsigned char* data, size_t size, std::string& out) {
  Lister lister(data, size, out);
  try {
    lister.run();
    return true;
  } catch (const Damage& damage) {
    out += "error at byte " + std::to_string(damage.offset) + ": " + damage.message + "\n";
    return false;
  }
}
