// The packer's bytes checked against layouts worked out by hand.
#include <gtest/gtest.h>

#include "pack_content.h"
#include "pack_fixture.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(ArchiveLayout, EmptyContentIsTheTwelveByteArchive) {
  EXPECT_EQ(Bytes({7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), encode(PackContent()));
}

TEST(ArchiveLayout, OnePixelRedTextureIsElevenBytes) {
  PackContent content;
  content.textures.push_back({"a", 1, 1, {0xFF, 0, 0, 0xFF}});
  Bytes expected = {7,    0,    1,    0,  // version, one texture
                    0x01, 0x00, 0x61, 0x01, 0x00, 0x01, 0x00, 0xFF, 0x00, 0x00, 0xFF,  // the record
                    0,    0,    0,    0,    0,    0,    0,    0};  // four empty tables
  EXPECT_EQ(expected, encode(content));
}

TEST(ArchiveLayout, FontWithOneGlyph) {
  PackContent content;
  FontDef font;
  font.name = "F";
  font.spaceWidth = 3;
  font.spacing = -1;
  Glyph g;
  g.code = 0x41;
  g.width = 2;
  g.height = 1;
  g.bitmap = {1, 0};
  font.glyphs.push_back(g);
  content.fonts.push_back(font);
  Bytes expected = {
      7,    0,    0,    0,    0,    0,    1,    0,     // version, no textures or sounds, one font
      1,    0,    'F',  3,    0,    0xFF, 0xFF, 1, 0,  // name, spaceWidth 3, spacing -1, 1 glyph
      0x41, 0x02, 0x01, 0x01, 0x00,                    // the glyph
      0,    0,    0,    0};
  EXPECT_EQ(expected, encode(content));
}

TEST(ArchiveLayout, SoundMaskObjectAndLinkBytes) {
  PackContent content;
  content.sounds.push_back({"s", {9, 8, 7}});
  content.masks = {0x12345678};
  SceneDef scene;
  scene.name = "S";
  ObjectDef o;
  o.name = "o";
  o.id = "i";
  o.imageScale = 1.0f;            // 00 00 80 3F
  o.imageOffset = {-2.0f, 0.5f};  // 00 00 00 C0, 00 00 00 3F
  o.layer = 1;
  o.blend = 2;
  o.kind = KindMarker;
  o.collisionGroup = 4;
  o.immovableByOtherScenes = true;
  o.mass = 2.0f;  // 00 00 00 40
  o.inertiaRadius = 0.0f;
  o.position = {1.0f, -1.0f};  // 00 00 80 3F, 00 00 80 BF
  o.outline = {{0.5f, 2.0f}};
  scene.objects.push_back(o);
  LinkDef l;
  l.name = "l";
  l.obj1 = "o";
  l.anchor = {2.0f, 1.0f};
  scene.links.push_back(l);
  content.scenes.push_back(scene);
  Bytes expected = {
      7, 0, 0,    0,                                            // version, no textures
      1, 0, 1,    0,    's',  3,    0,    0,    0, 9,    8, 7,  // one sound of 3 bytes
      0, 0,                                                     // no fonts
      1, 0, 0x78, 0x56, 0x34, 0x12,                             // one mask
      1, 0, 1,    0,    'S',  1,    0,                          // one scene "S", one object
      1, 0, 'o',  1,    0,    'i',  0,    0,    0, 0,    0, 0,  // name, id, img, litImg, linkedTo
      0, 0, 0x80, 0x3F, 0,    0,    0,    0xC0, 0, 0,    0, 0x3F,  // imageScale, imageOffset
      1, 2, 3,    4,    1,                                // layer, blend, kind, group, immovable
      0, 0, 0,    0x40, 0,    0,    0,    0,              // mass, inertiaRadius
      0, 0, 0x80, 0x3F, 0,    0,    0x80, 0xBF,           // position
      1, 0, 0,    0,    0,    0x3F, 0,    0,    0, 0x40,  // one outline point
      1, 0, 1,    0,    'l',  1,    0,    'o',  0, 0,     // one link: name, obj1, obj2
      0, 0, 0,    0x40, 0,    0,    0x80, 0x3F};          // anchor
  EXPECT_EQ(expected, encode(content));
}

TEST(ArchiveLayout, ValuesThatDoNotFitAreRefused) {
  std::string error;
  Bytes out;
  PackContent longName;
  longName.textures.push_back({std::string(65536, 'n'), 0, 0, {}});
  EXPECT_FALSE(encodeArchive(longName, out, error));
  EXPECT_NE(std::string::npos, error.find("65536 bytes long")) << error;

  PackContent maxName;
  maxName.sounds.push_back({std::string(65535, 'n'), {}});
  out.clear();
  EXPECT_TRUE(encodeArchive(maxName, out, error)) << error;
  EXPECT_EQ(12u + 65535 + 6, out.size());

  PackContent wide;
  wide.textures.push_back({"w", 65536, 0, {}});
  EXPECT_FALSE(encodeArchive(wide, out, error));
  EXPECT_NE(std::string::npos, error.find("texture 'w'")) << error;

  PackContent group;
  SceneDef scene;
  scene.name = "S";
  scene.objects.resize(1);
  scene.objects[0].name = "o";
  scene.objects[0].layer = 256;
  group.scenes.push_back(scene);
  EXPECT_FALSE(encodeArchive(group, out, error));
  EXPECT_NE(std::string::npos, error.find("object 'o' layer 256")) << error;

  PackContent many;
  many.masks.assign(65536, 0);
  EXPECT_FALSE(encodeArchive(many, out, error));
  EXPECT_NE(std::string::npos, error.find("mask count")) << error;
}

}  // namespace
