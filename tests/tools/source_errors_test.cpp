// Bad sources are refused with the file and line or object at fault, a
// nonzero exit code, and no output file touched.
#include <gtest/gtest.h>

#include "content/world_data.h"
#include "manifest.h"
#include "pack_fixture.h"

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A manifest with one scene file holding the given objects.
void writeScene(const ScratchDir& dir, const std::string& objects) {
  dir.write("manifest.lua", "return { scenes = { \"table.lua\" } }\n");
  dir.write("table.lua", "return { name = \"T\", objects = {\n" + objects + "\n} }\n");
}

ToolRun pack(const ScratchDir& dir, bool fixWinding = false) {
  std::vector<std::string> args = {dir / "manifest.lua", "-o", dir / "out/data.dat"};
  if (fixWinding) args.push_back("--fix-winding");
  return runTool(args);
}

TEST(PackWinding, ClockwiseOutlinesAreReversedSilentlyWithOrWithoutFixWinding) {
  ScratchDir dir;
  // (0,0) (10,0) (10,10): shoelace 0 + 100 + 0 = 100 > 0, clockwise on screen.
  writeScene(dir,
             "{ name = \"Wedge\", outline = { {0, 0}, {10, 0}, {10, 10} } },\n"
             "{ name = \"Good\", outline = { {0, 0}, {10, 10}, {10, 0} } },\n"
             "{ name = \"Line\", outline = { {0, 0}, {10, 0} } }");
  ToolRun run = pack(dir);
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_FALSE(contains(run.out, "Wedge")) << run.out;
  std::vector<unsigned char> plain = dir.read("out/data.dat");
  // Older build scripts pass --fix-winding: still accepted, and it changes nothing.
  ASSERT_EQ(0, pack(dir, true).code);
  EXPECT_EQ(plain, dir.read("out/data.dat"));

  NullContentBackend backend;
  WorldData data((dir / "out/data.dat").c_str(), backend);
  ASSERT_FALSE(data.loadFailed);
  const std::vector<Float2>& w = data.scenes[0].objects[0].outline;
  ASSERT_EQ(3u, w.size());
  EXPECT_EQ(10.0f, w[0].x);  // reversed: (10,10) (10,0) (0,0)
  EXPECT_EQ(10.0f, w[0].y);
  EXPECT_EQ(0.0f, w[2].x);
  EXPECT_LT(shoelaceSum(w), 0);
  const std::vector<Float2>& g = data.scenes[0].objects[1].outline;
  EXPECT_EQ(10.0f, g[1].y);  // already right: untouched
}

TEST(PackErrors, ObjectFieldsOutOfRangeNameTheObject) {
  struct Case {
    const char* object;
    const char* message;
  } cases[] = {
      {"{ name = \"K\", kind = 5 }", "table.lua: object 'K': kind 5 is outside 0..4"},
      {"{ name = \"K\", kind = -1 }", "object 'K': kind -1 is outside 0..4"},
      {"{ name = \"K\", kind = \"wall\" }", "object 'K': unknown kind 'wall'"},
      {"{ name = \"G\", collisionGroup = 32 }", "object 'G': collisionGroup 32 is outside 0..31"},
      {"{ name = \"G\", collisionGroup = 1.5 }",
       "object 'G': collisionGroup 1.5 is not a whole number"},
      {"{ name = \"L\", layer = 256 }", "object 'L': layer 256 is outside 0..255"},
      {"{ name = \"M\", mass = \"heavy\" }", "object 'M': mass must be a number, not a string"},
      {"{ name = \"M\", mass = 1/0 }", "object 'M': mass is not a finite number"},
      {"{ name = \"P\", position = {1} }", "object 'P': position needs a number y"},
      {"{ name = \"O\", outline = { {0, 0}, 5 } }", "object 'O': outline[2] must be a point"},
      {"{ name = \"I\", id = 7 }", "object 'I': id must be a string, not a number"},
      {"{ kind = 1 }", "table.lua: objects[1]: missing name"},
      {"{ name = string.rep(\"n\", 65536) }", "name is 65536 bytes long"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    writeScene(dir, c.object);
    ToolRun run = pack(dir);
    EXPECT_EQ(1, run.code) << c.object;
    EXPECT_TRUE(contains(run.err, c.message)) << c.object << "\n" << run.err;
    EXPECT_FALSE(dir.exists("out/data.dat"));
  }
}

TEST(PackErrors, LuaErrorsCarryFileAndLine) {
  ScratchDir dir;
  dir.write("manifest.lua", "return {\n  scenes = {\n    \"table.lua\",\n  ,\n}\n");
  EXPECT_TRUE(contains(pack(dir).err, "manifest.lua:4:"));

  writeScene(dir, "{ name = \"A\" },\n{ name = \"B\", outline = nil + 1 }");
  EXPECT_TRUE(contains(pack(dir).err, "table.lua:3: attempt to perform arithmetic"));

  // A helper misused on line 2 reports line 2 of the scene, not its own code.
  writeScene(dir, "{ name = \"C\", outline = circle(5, 2) }");
  EXPECT_TRUE(contains(pack(dir).err, "table.lua:2: circle: segments must be"));
  writeScene(dir, "{ name = \"C\", outline = polygon({ {1, 2}, \"x\" }) }");
  EXPECT_TRUE(contains(pack(dir).err, "table.lua:2: a point must be a table"));

  writeScene(dir, "include(\"parts/missing.lua\")");
  ToolRun run = pack(dir);
  EXPECT_TRUE(contains(run.err, "table.lua:2: include: cannot open ")) << run.err;
  EXPECT_TRUE(contains(run.err, "parts/missing.lua")) << run.err;
}

TEST(PackErrors, MissingAndBrokenFilesAreNamed) {
  ScratchDir dir;
  dir.write("manifest.lua", "return { textures = { { name = \"t\", file = \"gone.png\" } } }");
  ToolRun run = pack(dir);
  EXPECT_EQ(1, run.code);
  EXPECT_TRUE(contains(run.err, "manifest.lua: textures[1]: cannot open '" + (dir / "gone.png")))
      << run.err;

  dir.write("notpng.png", "GIF89a not a png");
  dir.write("manifest.lua", "return { textures = { { name = \"t\", file = \"notpng.png\" } } }");
  EXPECT_TRUE(contains(pack(dir).err, "notpng.png: not a readable PNG image"));

  dir.write("manifest.lua", "return { sounds = { { name = \"s\" } } }");
  EXPECT_TRUE(contains(pack(dir).err, "manifest.lua: sounds[1]: missing file"));

  dir.write("manifest.lua", "return { scenes = { \"nope.lua\" } }");
  EXPECT_TRUE(contains(pack(dir).err, "nope.lua"));

  dir.write("manifest.lua", "return { fonts = { { name = \"F\", file = \"f.txt\" } } }");
  dir.write("f.txt", "spacing 1\nglyph A\n##\n#\n");
  EXPECT_TRUE(contains(pack(dir).err, "f.txt:4: row is 1 pixels wide, but glyph 'A' is 2 wide"));

  dir.write("manifest.lua", "return { masks = { 0x100000000 } }");
  EXPECT_TRUE(contains(pack(dir).err, "masks[1] must be a whole number 0..0xFFFFFFFF"));

  dir.write("manifest.lua", "return 42");
  EXPECT_TRUE(contains(pack(dir).err, "the manifest must return a table"));
  EXPECT_FALSE(dir.exists("out/data.dat"));
}

TEST(PackErrors, FailedRunKeepsThePreviousArchiveAndLeavesNoTemporaryFile) {
  ScratchDir dir;
  dir.write("manifest.lua", "return { masks = { 1 }, scenes = { { name = \"T\" } } }");
  ASSERT_EQ(0, pack(dir).code);
  std::vector<unsigned char> before = dir.read("out/data.dat");
  EXPECT_EQ(16u + 7u, before.size());  // the mask and the empty scene 'T'

  dir.write("manifest.lua", "return { masks = { 1 }, scenes = { \"missing.lua\" } }");
  EXPECT_EQ(1, pack(dir).code);
  EXPECT_EQ(before, dir.read("out/data.dat"));
  int files = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir / "out")) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(1, files);
}

TEST(PackErrors, BadCommandLinesAreRefused) {
  EXPECT_EQ(2, runTool({}).code);
  EXPECT_EQ(2, runTool({"manifest.lua"}).code);
  EXPECT_EQ(2, runTool({"manifest.lua", "-o"}).code);
  EXPECT_EQ(2, runTool({"manifest.lua", "-o", "x", "--frobnicate"}).code);
  EXPECT_EQ(2, runTool({"--list", "a.dat", "manifest.lua"}).code);
  ToolRun missing = runTool({"--list", "/nonexistent/data.dat"});
  EXPECT_EQ(1, missing.code);
  EXPECT_TRUE(contains(missing.err, "cannot open '/nonexistent/data.dat'"));
}

TEST(PackNotes, DanglingReferencesAndUnknownFieldsAreReported) {
  ScratchDir dir;
  writeScene(dir, "{ name = \"A\", img = \"nope\", linkedTo = \"Ghost\", colisionGroup = 3 }");
  ToolRun run = pack(dir);
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_TRUE(contains(run.out, "object 'A': unknown field 'colisionGroup' ignored"));
  EXPECT_TRUE(contains(run.out, "object 'A': img 'nope' is not a texture of the manifest"));
  EXPECT_TRUE(contains(run.out, "object 'A': linkedTo 'Ghost' is not an object of the scene"));
}

TEST(PackDepfile, ListsEveryFileRead) {
  ScratchDir dir;
  dir.write("manifest.lua", "return { scenes = { \"s.lua\" } }");
  dir.write("s.lua", "return include(\"body.lua\")");
  dir.write("body.lua", "return { name = \"S\" }");
  ToolRun run = runTool({dir / "manifest.lua", "-o", dir / "data.dat", "--depfile", dir / "d.d"});
  ASSERT_EQ(0, run.code) << run.err;
  std::vector<unsigned char> bytes = dir.read("d.d");
  std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(0u, text.find((dir / "data.dat") + ":"));
  EXPECT_TRUE(contains(text, dir / "manifest.lua"));
  EXPECT_TRUE(contains(text, dir / "s.lua"));
  EXPECT_TRUE(contains(text, dir / "body.lua"));
}

}  // namespace

// Mistakes that pack but play wrong are warned about on standard error, and
// the archive is written all the same.
TEST(PackWarnings, MistakesThatPackButPlayWrong) {
  const std::string wall = "{ name = \"Wall\", outline = { {0, 0}, {10, 10}, {10, 0} } },\n";
  const std::string fall =
      "object 'Flipper': dynamic object with no link falls freely (a flipper needs its pivot; "
      "set 'free' if it is meant to)";
  struct Case {
    std::string objects, links;
    std::string warning;  // "" for none
  };
  const Case cases[] = {
      {wall + "{ name = \"Flipper\", kind = \"dynamic\" }", "", fall},
      // The pivot holds it; a free object and a scene without walls warn of nothing.
      {wall + "{ name = \"Flipper\", kind = \"dynamic\" }", "{ name = \"p\", obj1 = \"Flipper\" }",
       ""},
      {wall + "{ name = \"Flipper\", kind = \"dynamic\", free = true }", "", ""},
      {"{ name = \"Ball\", kind = \"dynamic\" }", "", ""},
      // A flipper whose kind was left out is static: its pivot holds nothing.
      {wall + "{ name = \"Flipper\" }", "{ name = \"p\", obj1 = \"Flipper\" }",
       "object 'Flipper': link 'p' joins a static object, which never moves (is its kind "
       "missing?)"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    dir.write("manifest.lua", "return { scenes = { \"table.lua\" } }\n");
    dir.write("table.lua", "return { name = \"T\", objects = {\n" + c.objects + "\n}, links = { " +
                               c.links + " } }\n");
    ToolRun run = pack(dir);
    EXPECT_EQ(0, run.code) << run.err;
    EXPECT_TRUE(dir.exists("out/data.dat"));
    std::string line = "orvane-pack: warning: " + (dir / "table.lua") + ": ";
    if (c.warning.empty())
      EXPECT_FALSE(contains(run.err, line)) << c.objects << "\n" << run.err;
    else
      EXPECT_TRUE(contains(run.err, line + c.warning + "\n")) << c.objects << "\n" << run.err;
  }
}

// The fonts and images the engine's score display looks for: each missing
// one is named, and a table that has them all hears nothing of it.
TEST(PackWarnings, MissingHudFontsAndImagesAreNamed) {
  ScratchDir dir;
  dir.write("manifest.lua", "return { scenes = { { name = \"T\" } } }\n");
  ToolRun run = pack(dir);
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_TRUE(contains(run.err, "orvane-pack: warning: " + (dir / "manifest.lua") +
                                    ": no font 'Small.txt', font 'Big.txt', texture "
                                    "'Images\\hud-lit.png', texture 'Images\\hud-unlit.png'; "
                                    "the engine's score display uses them and shows nothing "
                                    "without\n"))
      << run.err;
}

TEST(PackErrors, ManifestMistakesAreErrors) {
  struct Case {
    const char* manifest;
    const char* message;
  };
  const Case cases[] = {
      {"return { scenes = { { name = \"T\" } }, texures = {} }", "unknown key 'texures'"},
      {"return { scenes = {} }", "no scenes to pack (the list 'scenes' is empty)"},
      {"return { }", "no scenes to pack (the list 'scenes' is empty)"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    dir.write("manifest.lua", c.manifest);
    ToolRun run = pack(dir);
    EXPECT_EQ(1, run.code) << c.manifest;
    EXPECT_EQ("orvane-pack: " + (dir / "manifest.lua") + ": " + c.message + "\n", run.err);
    EXPECT_FALSE(dir.exists("out/data.dat"));
  }
}

TEST(PackErrors, PathsAreShownNormalised) {
  ScratchDir dir;
  dir.write("manifest.lua", "return { scenes = { \"maps/../scenes/./missing.lua\" } }");
  ToolRun run = pack(dir);
  EXPECT_EQ(1, run.code);
  EXPECT_TRUE(contains(run.err, dir / "scenes/missing.lua")) << run.err;
  EXPECT_FALSE(contains(run.err, "..")) << run.err;
}

TEST(PackCommandLine, HelpPrintsTheUsage) {
  for (const char* flag : {"--help", "-h"}) {
    ToolRun run = runTool({flag});
    EXPECT_EQ(0, run.code);
    EXPECT_EQ(0u, run.out.find("usage: orvane-pack MANIFEST.lua -o OUT/data.dat")) << run.out;
    EXPECT_EQ("", run.err);
  }
}
