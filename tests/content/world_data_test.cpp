// Loading hand-made archives: console lines, records, damage and lookups.
#include "content/world_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <utility>

#include "allocation_probe.h"
#include "archive_bytes.h"

namespace {

struct Loaded {
  std::unique_ptr<WorldData> data;
  std::string out;   // everything printed while loading
  std::string head;  // the first line the loader prints for this file
  std::string path;
};

Loaded load(const Bytes& bytes, ContentBackend& backend) {
  TempFile file(bytes.data);
  testing::internal::CaptureStdout();
  auto data = std::make_unique<WorldData>(file.path(), backend);
  std::fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  return {std::move(data), out, "Loading world data from '" + std::string(file.path()) + "'..\n",
          file.path()};
}

Bytes& noFontsMasksScenes(Bytes& b) {
  return b.u16(0).u16(0).u16(0);
}

Bytes& texture(Bytes& b, const std::string& name, unsigned w, unsigned h, unsigned char px) {
  return b.str(name).u16(w).u16(h).fill(size_t(w) * h * 4, px);
}

Bytes& object(Bytes& b, const std::string& name, const std::string& id, const std::string& img,
              const std::string& litImg) {
  b.str(name).str(id).str(img).str(litImg).str("");
  b.f32(1.5f).f32(2).f32(-3);         // imageScale, imageOffset
  b.raw({1, 1, 2, 5, 7});             // layer, blend, kind, group, immovable
  b.f32(4).f32(9).f32(100).f32(200);  // mass, inertiaRadius, position
  return b.u16(3).f32(0).f32(0).f32(10).f32(0).f32(0).f32(10);
}

}  // namespace

TEST(ArchiveLoading, SmallestArchiveLoadsEmpty) {
  NullContentBackend backend;
  Bytes b;
  b.raw({7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  Loaded l = load(b, backend);
  EXPECT_EQ(l.out, l.head + "World data loaded!\n");
  EXPECT_FALSE(l.data->loadFailed);
  EXPECT_EQ(
      l.data->textureCount() + l.data->soundCount() + l.data->fontCount() + l.data->sceneCount(),
      0);
  for (uint32_t mask : l.data->collisionMasks) EXPECT_EQ(mask, 0u);
}

TEST(ArchiveLoading, OtherVersionsStopBeforeAnyRecord) {
  for (unsigned version : {6u, 8u, 0x0107u}) {
    RecordingBackend backend;
    Bytes b;
    b.u16(version).u16(1);
    texture(b, "t", 1, 1, 9);
    noFontsMasksScenes(b.u16(0));
    Loaded l = load(b, backend);
    EXPECT_EQ(l.out, l.head + "Invalid world data version!\n") << version;
    EXPECT_TRUE(l.data->loadFailed);
    EXPECT_EQ(l.data->textureCount(), 0);
    EXPECT_TRUE(backend.uploads.empty());
  }
  // An empty file reads as version 0.
  NullContentBackend backend;
  Loaded empty = load(Bytes(), backend);
  EXPECT_EQ(empty.out, empty.head + "Invalid world data version!\n");
  EXPECT_TRUE(empty.data->loadFailed);
}

TEST(ArchiveLoading, UnopenablePathsReportTheOpenError) {
  NullContentBackend backend;
  TempFile dirHolder({});
  // Standard error names the file and the reason.
  const std::pair<std::string, std::string> cases[] = {
      {"/nonexistent/orvane/data.dat", "No such file or directory"},
      {dirHolder.dir(), "not a regular file"}};
  for (const auto& [path, reason] : cases) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    WorldData data(path.c_str(), backend);
    std::fflush(stdout);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Loading world data from '" + path + "'..\nError opening the world data file!\n");
    EXPECT_EQ(err, "Cannot open the world data file '" + path + "': " + reason + "\n");
    EXPECT_TRUE(data.loadFailed);
  }
  testing::internal::CaptureStdout();
  WorldData none(nullptr, backend);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Loading world data from ''..\nError opening the world data file!\n");
  EXPECT_TRUE(none.loadFailed);
  // Made in code instead: quietly empty, and not a failed load.
  testing::internal::CaptureStdout();
  WorldData made(backend);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(made.loadFailed);
  EXPECT_EQ(made.sceneCount() + made.textureCount() + made.soundCount() + made.fontCount(), 0);
}

TEST(ArchiveLoading, FullArchiveFillsEveryRecord) {
  RecordingBackend backend;
  Bytes b;
  b.u16(7).u16(3);
  b.raw({0x01, 0x00, 0x61, 0x01, 0x00, 0x01, 0x00, 0xFF, 0x00, 0x00, 0xFF});  // 'a', red
  b.str("wide").u16(2).u16(1).raw({1, 2, 3, 4, 5, 6, 7, 8});
  b.str("lit").u16(0).u16(0);
  b.u16(2).str("boing").u32(3).raw({0xAA, 0xBB, 0xCC}).str("silent").u32(0);
  b.u16(1).str("Big.txt").u16(0xFFFE).u16(2);  // spaceWidth -2, spacing 2
  b.u16(3).raw({0x41, 0x02, 0x01, 0x01, 0x00});
  b.raw({0x42, 0x03, 0x01, 0xFF, 0x00, 0x7F});
  b.raw({0x43, 0x05, 0x00});
  b.u16(2).u32(0x80000001).u32(6);
  b.u16(1).str("Table").u16(2);
  object(b, "flipper", "SpawnPoint", "wide", "lit");
  object(b, "lamp", "", "nope", "");
  b.u16(1).str("hinge").str("flipper").str("").f32(12.5f).f32(-1);
  Loaded l = load(b, backend);

  EXPECT_EQ(l.out, l.head +
                       "[WORLD(data)] Texture 'a', 1*1\n"
                       "[WORLD(data)] Texture 'wide', 2*1\n"
                       "[WORLD(data)] Texture 'lit', 0*0\n"
                       "[WORLD(data)] Sound 'boing'\n"
                       "[WORLD(data)] Sound 'silent'\n"
                       "[WORLD(data)] Font 'Big.txt'\n"
                       "[WORLD(data)] Scene 'Table'\n"
                       "[WORLD(data)]   Object 'flipper' (id: 'SpawnPoint', img: 'wide')\n"
                       "[WORLD(data)]   Object 'lamp' (id: '', img: 'nope')\n"
                       "[WORLD(data)]   Link 'hinge' (obj1: 'flipper', obj2: '')\n"
                       "World data loaded!\n");
  const WorldData& d = *l.data;
  ASSERT_FALSE(d.loadFailed);

  ASSERT_EQ(backend.uploads.size(), 3u);
  EXPECT_EQ(backend.uploads[0].rgba, (std::vector<unsigned char>{0xFF, 0, 0, 0xFF}));
  EXPECT_EQ(backend.uploads[1].width, 2);
  EXPECT_EQ(backend.uploads[1].rgba, (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(backend.uploads[2].width, 0);  // a 0*0 texture still gets a name
  EXPECT_EQ(d.textures[2].texture, 3u);
  EXPECT_EQ(d.textures[0].name, "a");

  ASSERT_EQ(backend.soundData.size(), 2u);
  EXPECT_EQ(backend.soundData[0], (std::vector<unsigned char>{0xAA, 0xBB, 0xCC}));
  EXPECT_TRUE(backend.soundData[1].empty());
  EXPECT_NE(d.sounds[0].sound, nullptr);

  const FontDef& font = d.fonts[0];
  EXPECT_EQ(font.spaceWidth, -2);
  EXPECT_EQ(font.spacing, 2);
  ASSERT_EQ(font.glyphCount(), 3);
  EXPECT_EQ(font.glyphs[0].code, 0x41);
  EXPECT_EQ(font.glyphs[0].bitmap, (std::vector<unsigned char>{1, 0}));
  EXPECT_EQ(font.glyphs[1].bitmap, (std::vector<unsigned char>{1, 0, 1}));  // 0xFF and 0x7F ink
  EXPECT_EQ(font.glyphs[2].width, 5);
  EXPECT_TRUE(font.glyphs[2].bitmap.empty());

  EXPECT_EQ(d.collisionMasks[0], 0x80000001u);
  EXPECT_EQ(d.collisionMasks[1], 6u);
  EXPECT_EQ(d.collisionMasks[2], 0u);

  const SceneDef& scene = d.scenes[0];
  ASSERT_EQ(scene.objectCount(), 2);
  const ObjectDef& flipper = scene.objects[0];
  EXPECT_EQ(flipper.imageScale, 1.5f);
  EXPECT_EQ(flipper.imageOffset.y, -3.0f);
  EXPECT_EQ(flipper.layer, 1);
  EXPECT_EQ(flipper.kind, 2);
  EXPECT_EQ(flipper.collisionGroup, 5);
  EXPECT_TRUE(flipper.immovableByOtherScenes);
  EXPECT_EQ(flipper.mass, 4.0f);
  EXPECT_EQ(flipper.position.y, 200.0f);
  ASSERT_EQ(flipper.outlineCount(), 3);
  EXPECT_EQ(flipper.outline[2].y, 10.0f);
  EXPECT_EQ(flipper.imgTexture, &d.textures[1]);
  EXPECT_EQ(flipper.litImgTexture, &d.textures[2]);
  EXPECT_EQ(scene.objects[1].imgTexture, nullptr);     // unknown name, silently
  EXPECT_EQ(scene.objects[1].litImgTexture, nullptr);  // empty name
  ASSERT_EQ(scene.linkCount(), 1);
  EXPECT_EQ(scene.links[0].obj1, "flipper");
  EXPECT_EQ(scene.links[0].anchor.x, 12.5f);
}

TEST(ArchiveLoading, MaskTableKeepsTheFirst32) {
  NullContentBackend backend;
  Bytes many;
  many.u16(7).u16(0).u16(0).u16(0).u16(40);
  for (uint32_t i = 0; i < 40; ++i) many.u32(i + 1);
  many.u16(1).str("after").u16(0).u16(0);
  Loaded l = load(many, backend);
  ASSERT_FALSE(l.data->loadFailed);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(l.data->collisionMasks[i], uint32_t(i + 1));
  EXPECT_EQ(l.data->scenes[0].name, "after");  // all 40 values were consumed

  Bytes few;
  few.u16(7).u16(0).u16(0).u16(0).u16(3).u32(0xFFFFFFFF).u32(2).u32(3).u16(0);
  Loaded f = load(few, backend);
  ASSERT_FALSE(f.data->loadFailed);
  EXPECT_EQ(f.data->collisionMasks[0], 0xFFFFFFFFu);
  for (int i = 3; i < 32; ++i) EXPECT_EQ(f.data->collisionMasks[i], 0u);
}

TEST(ArchiveLoading, TrailingBytesChangeNothing) {
  NullContentBackend backend;
  Bytes b;
  b.raw({7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x55});
  Loaded l = load(b, backend);
  EXPECT_EQ(l.out, l.head + "World data loaded!\n");
}

TEST(TruncatedArchive, RecordsAfterTheBreakExistEmpty) {
  RecordingBackend backend;
  Bytes b;
  b.u16(7).u16(3);
  texture(b, "a", 1, 1, 7);
  b.str("b").u16(4).u16(4).fill(10, 1);  // 64 pixel bytes announced, 10 present
  Loaded l = load(b, backend);
  EXPECT_EQ(l.out, l.head +
                       "[WORLD(data)] Texture 'a', 1*1\n"
                       "[WORLD(data)] Texture 'b', 4*4\n"
                       "[WORLD(data)] Texture '', 0*0\n"
                       "Error loading the world data!\n");
  EXPECT_TRUE(l.data->loadFailed);
  ASSERT_EQ(l.data->textureCount(), 3);
  EXPECT_EQ(l.data->textures[1].width, 4);
  EXPECT_EQ(l.data->textures[2].name, "");
  ASSERT_EQ(backend.uploads.size(), 3u);   // every record has a texture name
  EXPECT_EQ(backend.uploads[1].width, 0);  // never handed a short buffer
}

TEST(TruncatedArchive, CutInsideAScene) {
  NullContentBackend backend;
  Bytes b;
  b.u16(7).u16(0).u16(0).u16(0).u16(0).u16(2).str("S").u16(2).str("o1").u16(5).raw({'x', 'y'});
  Loaded l = load(b, backend);
  EXPECT_EQ(l.out, l.head +
                       "[WORLD(data)] Scene 'S'\n"
                       "[WORLD(data)]   Object 'o1' (id: 'xy', img: '')\n"
                       "[WORLD(data)]   Object '' (id: '', img: '')\n"
                       "[WORLD(data)] Scene ''\n"
                       "Error loading the world data!\n");
  ASSERT_EQ(l.data->sceneCount(), 2);
  // The cut id keeps its announced length, the missing bytes zero.
  EXPECT_EQ(l.data->scenes[0].objects[0].id, std::string("xy\0\0\0", 5));
  EXPECT_EQ(l.data->scenes[0].linkCount(), 0);
  EXPECT_EQ(l.data->scenes[1].objectCount(), 0);
}

TEST(DamagedArchive, OversizeTextureIsRefusedWithoutAllocating) {
  RecordingBackend backend;
  Bytes b;
  b.u16(7).u16(2).str("huge").u16(65535).u16(65535).fill(80, 0xEE);
  resetLargestAllocation();
  Loaded l = load(b, backend);
  EXPECT_LT(largestAllocation(), size_t(1) << 20);
  EXPECT_TRUE(l.data->loadFailed);
  EXPECT_EQ(l.data->textures[0].width, 65535);
  ASSERT_EQ(backend.uploads.size(), 2u);
  EXPECT_EQ(backend.uploads[0].width, 0);
  EXPECT_NE(l.out.find("Texture 'huge', 65535*65535\n"), std::string::npos);
}

TEST(DamagedArchive, OversizeSoundIsRefusedWithoutAllocating) {
  for (uint32_t length : {0x80000000u, 0xFFFFFFFFu, 1000u}) {
    RecordingBackend backend;
    Bytes b;
    b.u16(7).u16(0).u16(2).str("s").u32(length).fill(50, 1);
    resetLargestAllocation();
    Loaded l = load(b, backend);
    EXPECT_LT(largestAllocation(), size_t(1) << 20) << length;
    EXPECT_TRUE(l.data->loadFailed);
    // The audio system still sees both records, with no data, and says so.
    ASSERT_EQ(backend.soundData.size(), 2u) << length;
    EXPECT_TRUE(backend.soundData[0].empty()) << "no partial sound is created";
    EXPECT_TRUE(backend.soundData[1].empty());
    EXPECT_EQ(l.data->sounds[0].sound, nullptr);
  }
}

TEST(DamagedArchive, CountsBeyondTheEndStayBounded) {
  // Only the loop running when the file ends can add records; nested counts
  // read after the end are 0.
  NullContentBackend backend;
  Bytes b;
  b.u16(7).u16(0).u16(0).u16(0).u16(0).u16(65535).str("first").u16(65535);
  Loaded l = load(b, backend);
  EXPECT_TRUE(l.data->loadFailed);
  ASSERT_EQ(l.data->sceneCount(), 65535);
  EXPECT_EQ(l.data->scenes[0].objectCount(), 65535);
  EXPECT_EQ(l.data->scenes[1].objectCount(), 0);
  EXPECT_EQ(l.data->scenes[65534].name, "");
}

TEST(Lookups, ExactFirstMatchOnWholeNames) {
  NullContentBackend backend;
  Bytes b;
  b.u16(7).u16(4);
  texture(b, "", 0, 0, 0);
  texture(b, "dup", 1, 1, 1);
  texture(b, "dup", 1, 1, 2);
  texture(b, std::string("ab\0c", 4), 0, 0, 0);
  b.u16(1).str("ping").u32(0);
  b.u16(1).str("Big.txt").u16(0).u16(0).u16(0);
  b.u16(0).u16(1).str("Table").u16(2);
  object(b, "SpawnPoint", "other", "", "");
  object(b, "plunger", "SpawnPoint", "", "");
  b.u16(0);
  Loaded l = load(b, backend);
  const WorldData& d = *l.data;
  ASSERT_FALSE(d.loadFailed);

  EXPECT_EQ(d.findTexture("dup"), &d.textures[1]);
  EXPECT_EQ(d.findTexture(""), &d.textures[0]);
  EXPECT_EQ(d.findTexture("du"), nullptr);
  EXPECT_EQ(d.findTexture("ab"), nullptr);  // stored name has an embedded zero byte
  EXPECT_EQ(d.findTexture(nullptr), nullptr);
  EXPECT_EQ(d.findSound("ping"), &d.sounds[0]);
  EXPECT_EQ(d.findFont("Big.txt"), &d.fonts[0]);
  EXPECT_EQ(d.findFont("big.txt"), nullptr);
  ASSERT_EQ(d.findScene("Table"), &d.scenes[0]);
  EXPECT_EQ(d.findScene("table"), nullptr);

  const SceneDef& table = d.scenes[0];
  EXPECT_EQ(table.findObjectById("SpawnPoint"), &table.objects[1]);
  EXPECT_EQ(table.findObjectById("plunger"), nullptr);  // a name, not an id
  EXPECT_EQ(table.findObjectById(""), nullptr);         // no object has an empty id here
  EXPECT_EQ(table.findObjectById(nullptr), nullptr);
  EXPECT_EQ(table.objects[0].imgTexture, nullptr);  // an empty img is no image
}

TEST(CatalogLifetime, ReleasesEveryMadeSoundOnce) {
  RecordingBackend backend;
  {
    Bytes b;
    b.u16(7).u16(0).u16(3).str("a").u32(1).u8(1).str("b").u32(1).u8(2).str("c").u32(1).u8(3);
    noFontsMasksScenes(b.u16(0));
    Loaded l = load(b, backend);
    ASSERT_FALSE(l.data->loadFailed);
    EXPECT_TRUE(backend.released.empty());
  }
  ASSERT_EQ(backend.released.size(), 3u);
  for (uintptr_t i = 0; i < 3; ++i)
    EXPECT_EQ(backend.released[i], reinterpret_cast<SoundHandle*>(i + 1));

  RecordingBackend silent;
  silent.makeSounds = false;  // as with no audio system
  {
    Bytes b;
    b.u16(7).u16(0).u16(1).str("a").u32(1).u8(1);
    noFontsMasksScenes(b.u16(0));
    Loaded l = load(b, silent);
    EXPECT_FALSE(l.data->loadFailed);
    EXPECT_EQ(l.data->sounds[0].sound, nullptr);
  }
  EXPECT_TRUE(silent.released.empty());
}

namespace {

// Scene 'T' with the objects 'a' and 'b', then whatever block follows.
Bytes twoObjects() {
  Bytes b;
  b.u16(7).u16(0).u16(0).u16(0).u16(0).u16(1).str("T").u16(2);
  object(b, "a", "", "", "");
  object(b, "b", "", "", "");
  return b.u16(0);
}

const char* const twoObjectLines =
    "[WORLD(data)] Scene 'T'\n"
    "[WORLD(data)]   Object 'a' (id: '', img: '')\n"
    "[WORLD(data)]   Object 'b' (id: '', img: '')\n";

Bytes& material(Bytes& b, unsigned scene, unsigned object, float e, float falloff, float f) {
  return b.u16(scene).u16(object).f32(e).f32(falloff).f32(f);
}

}  // namespace

TEST(MaterialBlock, GivesTheNamedObjectsTheirMaterials) {
  NullContentBackend backend;
  Bytes b = twoObjects();
  material(b.u32(0x4C54414D).u32(1), 0, 1, 0.5f, 2, 0.25f);
  Loaded l = load(b, backend);
  EXPECT_EQ(l.out, l.head + twoObjectLines + "[WORLD(data)] Materials of 1 objects\n" +
                       "World data loaded!\n");
  const ObjectDef& a = l.data->scenes[0].objects[0];
  const ObjectDef& o = l.data->scenes[0].objects[1];
  EXPECT_FALSE(a.hasMaterial);
  ASSERT_TRUE(o.hasMaterial);
  EXPECT_EQ(o.material.elasticity, 0.5f);
  EXPECT_EQ(o.material.elasticityFalloff, 2.0f);
  EXPECT_EQ(o.material.friction, 0.25f);
}

// Damage in the block costs only the damaged records, with a line naming the
// file and the fault; the load itself still succeeds.
TEST(MaterialBlock, DamagedRecordsAreIgnoredWithALine) {
  const uint32_t tag = 0x4C54414D;  // "MATL"
  struct Case {
    const char* what;
    std::function<void(Bytes&)> block;
    std::string warning;  // after "[WORLD(data)] WARNING! '<path>': "; "" for none
    int kept;             // the count of the closing line; -1 when there is none
    bool aHas;
  } cases[] = {
      {"not a block", [](Bytes& b) { b.u32(0x12345678).u32(1); }, "", -1, false},
      {"short of a tag",
       [](Bytes& b) {
         b.raw({'M', 'A', 'T'});
       },
       "", -1, false},
      {"no count", [&](Bytes& b) { b.u32(tag).u16(1); },
       "the materials block ends before its count; no materials", -1, false},
      {"truncated", [&](Bytes& b) { material(b.u32(tag).u32(3), 0, 0, 1, 0, 0).fill(15, 0); },
       "the materials block announces 3 materials but holds 1", 1, true},
      {"scene past the end", [&](Bytes& b) { material(b.u32(tag).u32(1), 1, 0, 1, 0, 0); },
       "material 0 names scene 1, but the archive has 1; ignored", 0, false},
      {"object past the end", [&](Bytes& b) { material(b.u32(tag).u32(1), 0, 2, 1, 0, 0); },
       "material 0 names object 2 of scene 'T', which has 2; ignored", 0, false},
      {"NaN", [&](Bytes& b) { material(b.u32(tag).u32(1), 0, 0, 0, 0, std::nanf("")); },
       "material 0 for object 'a' of scene 'T' has friction nan, outside 0 to 1; ignored", 0,
       false},
      {"falloff too steep", [&](Bytes& b) { material(b.u32(tag).u32(1), 0, 0, 0.5f, 10.5f, 0); },
       "material 0 for object 'a' of scene 'T' has elasticityFalloff 10.5, outside 0 to 10; "
       "ignored",
       0, false},
      {"twice",
       [&](Bytes& b) { material(material(b.u32(tag).u32(2), 0, 0, 1, 0, 0), 0, 0, 0, 0, 1); },
       "material 1 is a second one for object 'a' of scene 'T'; ignored", 1, true},
  };
  for (const Case& c : cases) {
    NullContentBackend backend;
    Bytes b = twoObjects();
    c.block(b);
    Loaded l = load(b, backend);
    EXPECT_FALSE(l.data->loadFailed) << c.what;
    const ObjectDef& a = l.data->scenes[0].objects[0];
    EXPECT_EQ(a.hasMaterial, c.aHas) << c.what;
    EXPECT_EQ(a.material.elasticity, c.aHas ? 1.0f : 0.0f) << c.what;  // the first record's
    EXPECT_FALSE(l.data->scenes[0].objects[1].hasMaterial) << c.what;
    std::string expected = l.head + twoObjectLines;
    if (!c.warning.empty())
      expected += "[WORLD(data)] WARNING! '" + l.path + "': " + c.warning + "\n";
    if (c.kept >= 0)
      expected += "[WORLD(data)] Materials of " + std::to_string(c.kept) + " objects\n";
    EXPECT_EQ(l.out, expected + "World data loaded!\n") << c.what;
  }
}

TEST(MaterialBlock, ManyDamagedRecordsAreCountedNotListed) {
  NullContentBackend backend;
  Bytes b = twoObjects();
  b.u32(0x4C54414D).u32(20);
  for (int i = 0; i < 20; ++i) material(b, 5, 0, 0, 0, 0);
  Loaded l = load(b, backend);
  size_t lines = 0;
  for (size_t at = l.out.find("WARNING!"); at != std::string::npos;
       at = l.out.find("WARNING!", at + 1))
    ++lines;
  EXPECT_EQ(lines, 9u);
  EXPECT_NE(l.out.find("': 12 more damaged materials ignored\n"), std::string::npos) << l.out;
}

TEST(MaterialValues, RangesIncludeTheirEndsAndNotNaN) {
  const float nan = std::nanf("");
  struct Case {
    Material m;
    const char* fault;
  } cases[] = {
      {{0, 0, 0}, nullptr},
      {{1, 10, 1}, nullptr},
      {{1.0001f, 0, 0}, "elasticity"},
      {{0, 10.01f, -1}, "elasticityFalloff"},  // the first one
      {{0, 0, nan}, "friction"},
  };
  for (const Case& c : cases) {
    const char* fault = materialFault(c.m);
    EXPECT_STREQ(fault, c.fault) << c.m.elasticity << " " << c.m.elasticityFalloff << " "
                                 << c.m.friction;
  }
}
