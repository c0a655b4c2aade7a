// The archive inspector on good, truncated and random archives.
#include "inspector.h"

#include <gtest/gtest.h>

#include <random>

#include "pack_content.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes sample() {
  PackContent c;
  c.textures.push_back({"a", 1, 1, {0xFF, 0, 0, 0xFF}});
  c.sounds.push_back({"s", {1, 2, 3}});
  FontDef font;
  font.name = "F";
  font.spaceWidth = 3;
  font.spacing = -1;
  Glyph g;
  g.code = 'A';
  g.width = 2;
  g.height = 1;
  g.bitmap = {1, 0};
  font.glyphs.push_back(g);
  c.fonts.push_back(font);
  c.masks = {0xFFFFFFFF};
  SceneDef scene;
  scene.name = "T";
  ObjectDef o;
  o.name = "Ball";
  o.img = "b";
  o.imageScale = 0.5f;
  o.kind = KindDynamic;
  o.collisionGroup = 2;
  o.mass = 1.25f;
  o.inertiaRadius = 8;
  o.position = {10, -2.5f};
  o.outline = {{0, 0}, {0, 1}, {1, 1}};
  scene.objects.push_back(o);
  LinkDef l;
  l.name = "j";
  l.obj1 = "Ball";
  l.anchor = {1, 2};
  scene.links.push_back(l);
  c.scenes.push_back(scene);
  Bytes out;
  std::string error;
  EXPECT_TRUE(encodeArchive(c, out, error));
  return out;
}

std::string list(const Bytes& b, bool* ok = nullptr) {
  std::string out;
  bool result = listArchive(b.data(), b.size(), out);
  if (ok) *ok = result;
  return out;
}

TEST(Inspector, ListsEveryRecordWithItsOffset) {
  bool ok = false;
  std::string text = list(sample(), &ok);
  EXPECT_TRUE(ok);
  // Offsets: texture at 4 (11 bytes), sound count 15, sound 17 (2+1+4+3),
  // font count 27, font 29, glyph 29+3+6=38, mask count 43, mask 45,
  // scene count 49, scene 51, object 51+3+2=56 (45+4+1+24 = 74 bytes),
  // link count 130, link 132, end 132+3+6+2+8 = 151.
  const char* expected =
      "         0  version 7\n"
      "         2  textures: 1\n"
      "         4  texture 'a' 1x1\n"
      "        15  sounds: 1\n"
      "        17  sound 's' 3 bytes\n"
      "        27  fonts: 1\n"
      "        29  font 'F' spaceWidth 3 spacing -1, 1 glyphs\n"
      "        38    glyph 0x41 'A' 2x1\n"
      "        43  masks: 1\n"
      "        45  mask 0: 0xFFFFFFFF\n"
      "        49  scenes: 1\n"
      "        51  scene 'T', 1 objects\n"
      "        56    object 'Ball' id '' img 'b' litImg '' linkedTo '' imageScale 0.5 "
      "imageOffset (0, 0) layer 0 blend 0 kind 1 (dynamic) collisionGroup 2 "
      "immovableByOtherScenes 0 mass 1.25 inertiaRadius 8 position (10, -2.5) outline 3 points\n"
      "       130    links: 1\n"
      "       132    link 'j' obj1 'Ball' obj2 '' anchor (1, 2)\n"
      "       151  end of archive\n";
  EXPECT_EQ(expected, text);
}

TEST(Inspector, SaysWhereADamagedArchiveGoesWrong) {
  Bytes b = sample();
  bool ok = true;
  std::string text = list(Bytes(b.begin(), b.begin() + 14), &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(std::string::npos, text.find("         4  texture 'a' 1x1\n"));
  EXPECT_NE(std::string::npos,
            text.find("error at byte 11: texture 'a' needs 4 bytes of pixels, 3 left\n"))
      << text;

  // A 10x10 texture with 37 bytes of pixels.
  Bytes big = {7, 0, 1, 0, 1, 0, 'x', 10, 0, 10, 0};
  big.resize(big.size() + 37, 0);
  EXPECT_NE(std::string::npos,
            list(big).find("error at byte 11: texture 'x' needs 400 bytes of pixels, 37 left"));

  EXPECT_EQ("error at byte 0: version is 8, expected 7\n", list({8, 0}));
  EXPECT_EQ("error at byte 0: the archive needs 2 bytes for its version, 1 left\n", list({7}));
  EXPECT_NE(std::string::npos, list({7, 0, 0, 0, 1, 0, 1, 0, 's', 0xFF, 0xFF, 0xFF, 0xFF})
                                   .find("error at byte 9: sound 's' announces 4294967295 bytes"));

  Bytes trailing = b;
  trailing.push_back(0);
  EXPECT_NE(
      std::string::npos,
      list(trailing, &ok).find("       151  end of archive; 1 trailing bytes are never read"));
  EXPECT_TRUE(ok);
}

TEST(Inspector, EveryTruncationFailsCleanly) {
  Bytes b = sample();
  for (size_t n = 0; n < b.size(); ++n) {
    bool ok = true;
    std::string text = list(Bytes(b.begin(), b.begin() + n), &ok);
    EXPECT_FALSE(ok) << n;
    size_t last = text.rfind("error at byte ");
    ASSERT_NE(std::string::npos, last) << n;
    EXPECT_EQ(text.size(), text.find('\n', last) + 1) << "the error is the last line";
  }
}

TEST(Inspector, RandomBytesNeverCrash) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    Bytes b(rng() % 200);
    for (unsigned char& c : b) c = static_cast<unsigned char>(rng());
    if (b.size() >= 2 && round % 2 == 0) b[0] = 7, b[1] = 0;  // get past the version
    std::string text;
    listArchive(b.data(), b.size(), text);
  }
  // Huge announced sizes are compared with the bytes left, never allocated.
  Bytes huge = {7, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_NE(std::string::npos,
            list(huge).find("texture '' needs 17179344900 bytes of pixels, 0 left"));
}

}  // namespace
