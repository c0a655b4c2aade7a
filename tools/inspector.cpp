// Walks an archive image in memory with a bounds-checked cursor. Every size
// is compared with the bytes that are left before anything is read, so a
// truncated or random file ends in one precise error line, never a crash.
#include "inspector.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "pack_content.h"

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

// The shortest decimal form that reads back as the same float.
std::string num(float f) {
  char buf[64];
  for (int precision = 6; precision <= 9; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, double(f));
    if (std::strtof(buf, nullptr) == f) break;
  }
  return buf;
}

std::string pointText(float x, float y) {
  return "(" + num(x) + ", " + num(y) + ")";
}

class Lister {
 public:
  Lister(const unsigned char* data, size_t size, std::string& out) : in_(data, size), out_(out) {}

  void run() {
    size_t at = in_.pos();
    uint16_t version = in_.u16("the archive", "for its version");
    std::string expected = std::to_string(kArchiveVersion);
    if (version != kArchiveVersion)
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
    std::string ctx = "texture " + std::to_string(i);
    std::string name = in_.str(ctx, "its name");
    ctx = "texture " + shown(name);
    unsigned w = in_.u16(ctx, "for its width");
    unsigned h = in_.u16(ctx, "for its height");
    line(at, ctx + " " + std::to_string(w) + "x" + std::to_string(h));
    in_.skip(uint64_t(w) * h * 4, ctx, "of pixels");
  }

  void sound(unsigned i) {
    size_t at = in_.pos();
    std::string ctx = "sound " + std::to_string(i);
    std::string name = in_.str(ctx, "its name");
    ctx = "sound " + shown(name);
    uint32_t length = in_.u32(ctx, "for its length");
    if (length >= 0x80000000u)
      throw Damage{in_.pos() - 4,
                   ctx + " announces " + std::to_string(length) + " bytes (2 GiB or more)"};
    line(at, ctx + " " + std::to_string(length) + " bytes");
    in_.skip(length, ctx, "of sound data");
  }

  void font(unsigned i) {
    size_t at = in_.pos();
    std::string ctx = "font " + std::to_string(i);
    std::string name = in_.str(ctx, "its name");
    ctx = "font " + shown(name);
    int spaceWidth = int16_t(in_.u16(ctx, "for spaceWidth"));
    int spacing = int16_t(in_.u16(ctx, "for spacing"));
    unsigned glyphs = in_.u16(ctx, "for its glyph count");
    line(at, ctx + " spaceWidth " + std::to_string(spaceWidth) + " spacing " +
                 std::to_string(spacing) + ", " + std::to_string(glyphs) + " glyphs");
    for (unsigned g = 0; g < glyphs; ++g) {
      size_t gat = in_.pos();
      std::string gctx = ctx + " glyph " + std::to_string(g);
      unsigned code = in_.u8(gctx, "for its code");
      unsigned w = in_.u8(gctx, "for its width");
      unsigned h = in_.u8(gctx, "for its height");
      in_.skip(uint64_t(w) * h, gctx, "of bitmap");
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
    std::string ctx = "scene " + std::to_string(i);
    std::string name = in_.str(ctx, "its name");
    ctx = "scene " + shown(name);
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
    std::string ctx = scene + " object " + std::to_string(k);
    std::string name = in_.str(ctx, "its name");
    ctx = scene + " object " + shown(name);
    std::string id = in_.str(ctx, "its id");
    std::string img = in_.str(ctx, "its img");
    std::string litImg = in_.str(ctx, "its litImg");
    std::string linkedTo = in_.str(ctx, "its linkedTo");
    float scale = in_.f32(ctx, "for imageScale");
    float ox = in_.f32(ctx, "for imageOffset.x");
    float oy = in_.f32(ctx, "for imageOffset.y");
    unsigned layer = in_.u8(ctx, "for layer");
    unsigned blend = in_.u8(ctx, "for blend");
    unsigned kind = in_.u8(ctx, "for kind");
    unsigned group = in_.u8(ctx, "for collisionGroup");
    unsigned immovable = in_.u8(ctx, "for immovableByOtherScenes");
    float mass = in_.f32(ctx, "for mass");
    float inertia = in_.f32(ctx, "for inertiaRadius");
    float px = in_.f32(ctx, "for position.x");
    float py = in_.f32(ctx, "for position.y");
    unsigned points = in_.u16(ctx, "for its outline count");
    std::string kindText =
        std::to_string(kind) +
        (kind < std::size(kKindNames) ? std::string(" (") + kKindNames[kind] + ")" : " (unknown)");
    line(at, "  object " + shown(name) + " id " + shown(id) + " img " + shown(img) + " litImg " +
                 shown(litImg) + " linkedTo " + shown(linkedTo) + " imageScale " + num(scale) +
                 " imageOffset " + pointText(ox, oy) + " layer " + std::to_string(layer) +
                 " blend " + std::to_string(blend) + " kind " + kindText + " collisionGroup " +
                 std::to_string(group) + (group > 31 ? " (above 31)" : "") +
                 " immovableByOtherScenes " + std::to_string(immovable) + " mass " + num(mass) +
                 " inertiaRadius " + num(inertia) + " position " + pointText(px, py) + " outline " +
                 std::to_string(points) + " points");
    in_.skip(uint64_t(points) * 8, ctx, "of outline points");
  }

  void link(const std::string& scene, unsigned k) {
    size_t at = in_.pos();
    std::string ctx = scene + " link " + std::to_string(k);
    std::string name = in_.str(ctx, "its name");
    ctx = scene + " link " + shown(name);
    std::string obj1 = in_.str(ctx, "its obj1");
    std::string obj2 = in_.str(ctx, "its obj2");
    float ax = in_.f32(ctx, "for anchor.x");
    float ay = in_.f32(ctx, "for anchor.y");
    line(at, "  link " + shown(name) + " obj1 " + shown(obj1) + " obj2 " + shown(obj2) +
                 " anchor " + pointText(ax, ay));
  }

  Cursor in_;
  std::string& out_;
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
