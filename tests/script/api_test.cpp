// The script API driven through real scripts against a real world.
#include <memory>

#include "script_fixture.h"
#include "world/physics.h"
#include "world/step_length.h"
#include "world/world.h"

namespace {

std::vector<Float2> square(float half) {
  return {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
}

ObjectDef object(const char* name, const char* id, int kind, Float2 position, float half = 0) {
  ObjectDef d;
  d.name = name;
  d.id = id;
  d.kind = ObjectKind(kind);
  d.position = position;
  if (half > 0) d.outline = square(half);
  if (kind == KindDynamic) {
    d.mass = 1;
    d.inertiaRadius = 10;
  }
  return d;
}

class ApiTest : public ScriptTest {
 protected:
  static void SetUpTestSuite() { initPhysics(); }

  void SetUp() override {
    ScriptTest::SetUp();
    SceneDef table;
    table.name = "Table";
    table.objects.push_back(object("Wall", "wall", KindStatic, {0, 0}, 20));
    table.objects.push_back(object("Lamp", "lamp", KindProp, {10, 0}));
    table.objects.push_back(object("Start", "BallStart", KindMarker, {10, 20}));
    table.objects.push_back(object("Lamp2", "lamp", KindProp, {30, 0}));
    table.objects.push_back(object("Lane", "lane", KindTrigger, {200, 200}, 30));
    data.scenes.push_back(table);
    SceneDef ball;
    ball.name = "Ball";
    ball.objects.push_back(object("Ball", "ball", KindDynamic, {0, 0}, 5));
    data.scenes.push_back(ball);
    SceneDef many;
    many.name = "Many";
    for (int i = 0; i < 9000; ++i) many.objects.push_back(object("Dot", "dot", KindProp, {0, 0}));
    data.scenes.push_back(many);
    FontDef font;
    font.name = "Big.txt";
    Glyph glyph;
    glyph.code = 'A';
    glyph.width = glyph.height = 1;
    glyph.bitmap = {1};
    font.glyphs.push_back(glyph);
    data.fonts.push_back(font);
    data.sounds.push_back(SoundDef{"bell", nullptr});

    ::testing::internal::CaptureStdout();
    world = std::make_unique<World>(data);  // no fonts or images: warnings
    ::testing::internal::GetCapturedStdout();
    attachScriptWorld(world.get());
  }

  void TearDown() override {
    ScriptTest::TearDown();  // the script goes before the world
    attachScriptWorld(nullptr);
    ::testing::internal::CaptureStdout();
    world.reset();
    ::testing::internal::GetCapturedStdout();
  }

  std::string error(const std::string& code) {
    std::string out = run(code);
    std::string prefix = "Lua error: runtime error (";
    EXPECT_EQ(out.rfind(prefix, 0), 0u) << out;
    return out.substr(prefix.size(), out.size() - prefix.size() - 2);
  }

  std::string worldSteps(int count) {
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < count; ++i) world->step(stepLength);
    return ::testing::internal::GetCapturedStdout();
  }

  NullContentBackend backend;
  WorldData data{nullptr, backend};
  std::unique_ptr<World> world;
};

TEST_F(ApiTest, CountErrorsNameTheFunction) {
  EXPECT_EQ(error("SceneSpawn()"), "Not enough parameters for function 'SceneSpawn'!");
  EXPECT_EQ(error("ObjectGetAngle()"), "Not enough parameters for function 'ObjectGetAngle'!");
  EXPECT_EQ(error("ObjectGetVelocity()"),
            "Not enough parameters for function 'ObjectGetVelocity'!");
  EXPECT_EQ(error("ObjectGetGameId()"), "Not enough parameters for function 'ObjectGetGameId'!");
  EXPECT_EQ(error("PropertySet('a')"), "Not enough parameters for function 'PropertySet'!");
  EXPECT_EQ(error("HudSetScore(1, 2, 3)"), "Too many parameters for function 'HudSetScore'!");
  EXPECT_EQ(error("WorldClear(1)"), "Too many parameters for function 'WorldClear'!");
  EXPECT_EQ(error("MusicStop(nil)"), "Too many parameters for function 'MusicStop'!");
  EXPECT_EQ(error("HudShowText('A')"), "Not enough parameters for function 'HudShowText'!");
  EXPECT_EQ(error("HudShowText('A', 1, 2, true, 5)"),
            "Too many parameters for function 'HudShowText'!");
  EXPECT_EQ(error("SceneGetObjectsById(1, 2, 3)"),
            "Too many parameters for function 'SceneGetObjectsById'!");
}

TEST_F(ApiTest, SceneSpawnPlacesAndNumbersScenes) {
  EXPECT_EQ(run("print(SceneSpawn('Nope'), SceneSpawn('table'))"), "-1\t-1\n");
  EXPECT_EQ(world->sceneCount(), 0);
  EXPECT_EQ(error("SceneSpawn('Ball', 5)"),
            "The second parameter must be a Vec2 for 'SceneSpawn'!");
  EXPECT_EQ(error("SceneSpawn(nil)"), "No scene name given for 'SceneSpawn'!");
  EXPECT_EQ(world->sceneCount(), 0);

  std::string out = run(
      "local a = SceneSpawn('Ball') local b = SceneSpawn('Ball', nil)\n"
      "local c = SceneSpawn('Ball', Vec2(40, -7.5))\n"
      "WorldClear() local d = SceneSpawn('Ball')\n"
      "print(a, b, c, d, ObjectGetPos(SceneGetObjects(d)), ObjectGetAngle(SceneGetObjects(d)))\n"
      "print(ObjectGetPos(SceneGetObjectByName(c, 'Ball')))");
  EXPECT_NE(out.find("\n1\t2\t3\t4\t(0, 0)\t0\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("[WORLD] Spawning scene 'Ball' at (0.00, 0.00)\n"), 0u) << out;
  EXPECT_NE(out.find("[WORLD] Clearing world\n"), std::string::npos) << out;
}

TEST_F(ApiTest, NamesWithZeroBytesMatchNothing) {
  run("t = SceneSpawn('Table')");
  EXPECT_EQ(run("print(SceneSpawn('Ball\\0x'), SceneGetObjectByName(t, 'Lamp\\0'), "
                "select('#', SceneGetSpecialPos(t, 'BallStart\\0')), "
                "select('#', SceneGetObjectsById(t, 'lamp\\0')))"),
            "-1\tnil\t0\t0\n");
  EXPECT_EQ(run("SoundPlay('bell\\0x')"), "[AUDIO] Sound 'bell' not found!\n");
  EXPECT_EQ(world->sceneCount(), 1);
}

TEST_F(ApiTest, SceneRemoveOfUnknownSceneLogsBothLines) {
  EXPECT_EQ(run("SceneRemove(SceneSpawn('Nope'))"),
            "[WORLD] Removing scene #-1\n[WORLD]   (not found; cannot remove)\n");
}

TEST_F(ApiTest, SceneObjectLookups) {
  run("t = SceneSpawn('Table', Vec2(300, 400))");
  // Four instantiated objects, numbered in file order; the marker has none.
  EXPECT_EQ(run("print(SceneGetObjects(t))"), "1\t2\t3\t4\n");
  EXPECT_EQ(run("print(select('#', SceneGetObjects(99)), select('#', SceneGetObjects(t + 0.5)))"),
            "0\t4\n");
  EXPECT_EQ(run("local l = SceneGetObjectsList(t) print(#l, l[1], l[4])\n"
                "local e = SceneGetObjectsList(99) print(type(e), next(e))"),
            "4\t1\t4\ntable\tnil\n");
  EXPECT_EQ(run("print(SceneGetObjectsById(t, 'lamp'))\n"
                "print(select('#', SceneGetObjectsById(t, 'BallStart')), "
                "select('#', SceneGetObjectsById(99, 'lamp')))"),
            "2\t3\n0\t0\n");
  EXPECT_EQ(run("print(SceneGetSpecialPos(t, 'BallStart'))\n"
                "print(select('#', SceneGetSpecialPos(t, 'none')), "
                "select('#', SceneGetSpecialPos(99, 'BallStart')))"),
            "(10, 20)\n0\t0\n");
  EXPECT_EQ(run("print(SceneGetObjectByName(t, 'Lane'), SceneGetObjectByName(t, 'lane'))"),
            "4\tnil\n");
  EXPECT_EQ(error("SceneGetSpecialPos(t, nil)"),
            "Second parameter to 'SceneGetSpecialPos' must be a string id.");
  EXPECT_EQ(error("SceneGetObjectByName(t, {})"),
            "Must given an object name for 'SceneGetObjectByName'!");
  EXPECT_EQ(error("SceneGetObjectsById(t)"),
            "Not enough parameters for function 'SceneGetObjectsById'!");
  EXPECT_EQ(error("SceneGetObjectsById(t, false)"),
            "Must given an object id for 'SceneGetObjectsById'!");
}

TEST_F(ApiTest, HugeScenesFailInsteadOfOverflowingTheStack) {
  run("m = SceneSpawn('Many')");
  EXPECT_EQ(error("SceneGetObjects(m)"), "Too many results for function 'SceneGetObjects'!");
  EXPECT_EQ(error("SceneGetObjectsById(m, 'dot')"),
            "Too many results for function 'SceneGetObjectsById'!");
  EXPECT_EQ(run("print(#SceneGetObjectsList(m))"), "9000\n");
}

TEST_F(ApiTest, ObjectGettersAndLamps) {
  run("t = SceneSpawn('Table', Vec2(300, 400))");
  EXPECT_EQ(run("print(ObjectGetScene(2.9), ObjectGetName(2), ObjectGetGameId(3), "
                "ObjectGetPos(2), ObjectGetVelocity(2), ObjectGetTorque(2))"),
            "1\tLamp\tlamp\t(310, 400)\t(0, 0)\t0\n");
  EXPECT_EQ(run("print(ObjectGetScene(99), ObjectGetName(0), ObjectGetPos(-1), "
                "ObjectGetAngle(99), ObjectIsLit(99))"),
            "nil\tnil\tnil\tnil\tnil\n");
  EXPECT_EQ(run("print(ObjectIsLit(2)) ObjectSetLit(2, 0) print(ObjectIsLit(2))\n"
                "ObjectSetLit(2, false) print(ObjectIsLit(2)) ObjectSetLit(2, 'on')\n"
                "print(ObjectIsLit(2)) ObjectSetLit(2, nil) print(ObjectIsLit(2))"),
            "false\ntrue\nfalse\ntrue\nfalse\n");
  EXPECT_EQ(world->findObjectByNumber(2)->lit, 0);
}

TEST_F(ApiTest, ObjectMaterials) {
  ObjectDef& lamp = data.scenes[0].objects[1];
  lamp.hasMaterial = true;
  lamp.material = {0.5f, 3, 0.25f};
  run("t = SceneSpawn('Table')");
  // The wall sets none: it reads as the plain contact.
  EXPECT_EQ(run("print(ObjectGetMaterial(1)) print(ObjectGetMaterial(2)) "
                "print(select('#', ObjectGetMaterial(99)), ObjectGetMaterial(99))"),
            "0.2\t0\t0\n0.5\t3\t0.25\n1\tnil\n");
  EXPECT_EQ(run("ObjectSetMaterial(1, 0.3, 10, 1) print(ObjectGetMaterial(1))\n"
                "ObjectSetMaterial(99, 1, 1, 1) ObjectSetMaterial(1, '0.7', 0, 0) "
                "print(ObjectGetMaterial(1))"),
            "0.3\t10\t1\n0.7\t0\t0\n");
  const WorldObject* wall = world->findObjectByNumber(1);
  EXPECT_TRUE(wall->hasMaterial);

  const std::pair<const char*, const char*> errors[] = {
      {"ObjectSetMaterial(1, 0.5, 0)", "Not enough parameters for function 'ObjectSetMaterial'!"},
      {"ObjectSetMaterial(1, 0.5, 0, 0, 0)",
       "Too many parameters for function 'ObjectSetMaterial'!"},
      {"ObjectGetMaterial()", "Not enough parameters for function 'ObjectGetMaterial'!"},
      {"ObjectSetMaterial(1, 1.5, 0, 0)",
       "The elasticity for 'ObjectSetMaterial' must be a number from 0 to 1!"},
      {"ObjectSetMaterial(1, 0, -1, 0)",
       "The elasticityFalloff for 'ObjectSetMaterial' must be a number from 0 to 10!"},
      {"ObjectSetMaterial(99, 0, 0, 0/0)",
       "The friction for 'ObjectSetMaterial' must be a number from 0 to 1!"},
      {"ObjectSetMaterial(1, 0, 0, {})",
       "The friction for 'ObjectSetMaterial' must be a number from 0 to 1!"},
  };
  for (const auto& [code, message] : errors) EXPECT_EQ(error(code), message) << code;
  EXPECT_EQ(wall->material.elasticity, 0.7f);  // no refused call changed it
}

TEST_F(ApiTest, ObjectMotionActsOnBodiesOnly) {
  run("t = SceneSpawn('Table') b = SceneSpawn('Ball', Vec2(500, 500))\n"
      "ball = SceneGetObjects(b)");
  run("ObjectSetVelocity(1, Vec2(5, 5)) ObjectSetTorque(1, 3) ObjectSetVelocity(99, Vec2(1, 1))"
      " ObjectSetVelocity(ball, Vec2(30, -60)) ObjectSetTorque(ball, 2)");
  worldSteps(1);
  EXPECT_EQ(run("print(ObjectGetVelocity(1), ObjectGetTorque(1))\n"
                "local v = ObjectGetVelocity(ball) print(v.x, v.y, ObjectGetTorque(ball))"),
            "(0, 0)\t0\n30\t-60\t2\n");
  // A number in place of the vector stops the ball.
  run("ObjectSetVelocity(ball, 7) ObjectSetTorque(ball, 0)");
  worldSteps(1);
  EXPECT_EQ(run("print(ObjectGetVelocity(ball))"), "(0, 0)\n");
}

TEST_F(ApiTest, WorldAndCamera) {
  EXPECT_EQ(run("WorldSetGravity(250)"), "[WORLD] Gravity set to 250.000000\n");
  EXPECT_EQ(run("print(CamGet()) CamSet(Vec2(12, -3.5)) print(CamGet())"), "(0, 0)\n(12, -3.5)\n");
  EXPECT_EQ(world->camera.x, 12);
  EXPECT_EQ(run("CamSet(5) print(CamGet())"), "(0, 0)\n");
}

TEST_F(ApiTest, NonFiniteNumbersReachTheWorldHarmlessly) {
  run("b = SceneSpawn('Ball') ball = SceneGetObjects(b)\n"
      "ObjectSetVelocity(ball, Vec2(math.huge, 0/0)) ObjectAddImpulse(ball, Vec2(-math.huge, 1))\n"
      "ObjectSetTorque(ball, 0/0) ObjectAddTorque(ball, math.huge) HudSetScore(0/0, math.huge)\n"
      "HudSetPlayers(-math.huge) CamSet(Vec2(0/0, math.huge))");
  worldSteps(3);
  EXPECT_EQ(world->hud().players, 0);
}

TEST_F(ApiTest, Properties) {
  EXPECT_EQ(run("PropertySet('api-hi', 42) local v = PropertyGet('api-hi') print(v, type(v))"),
            "42\tstring\n");
  EXPECT_EQ(run("PropertySet('api-hi', nil) PropertySet('api-t', 'x') PropertySet('api-t', true)\n"
                "print(PropertyGet('api-hi'), PropertyGet('api-t'), PropertyGet('api-never'))"),
            "nil\tnil\tnil\n");
  EXPECT_EQ(run("PropertySet('api-z\\0key', 'a\\0b\\0') local v = PropertyGet('api-z\\0key')\n"
                "print(#v, v == 'a\\0b\\0', PropertyGet('api-z'))"),
            "4\ttrue\tnil\n");
  EXPECT_EQ(run("PropertySet({}, 'x') print(PropertyGet({}))"), "nil\n");
}

TEST_F(ApiTest, Hud) {
  Hud& hud = world->hud();
  EXPECT_EQ(run("print(HudIsClear()) HudShowText('A', 2) print(HudIsClear())"), "true\nfalse\n");
  EXPECT_FLOAT_EQ(hud.textTimer, 2);
  EXPECT_FALSE(hud.inverted);
  EXPECT_FLOAT_EQ(hud.blinkPeriod, 0);
  EXPECT_FALSE(hud.scrolling);
  run("HudShowText('A', 2, 0.5, 0)");
  EXPECT_TRUE(hud.inverted);
  EXPECT_FLOAT_EQ(hud.blinkPeriod, 0.5f);
  run("HudScrollText('A', 3, nil, false)");
  EXPECT_TRUE(hud.scrolling);
  EXPECT_FALSE(hud.inverted);
  EXPECT_EQ(run("HudClear() print(HudIsClear())"), "true\n");

  run("HudSetPlayers(7)");
  EXPECT_EQ(hud.players, 4);
  run("HudSetPlayers(2.9) HudSetScore(0, 1234.9) HudSetScore(4, 99) HudSetScore(-0.5, 7)");
  EXPECT_EQ(hud.players, 2);
  EXPECT_EQ(hud.scores[0], 7);  // -0.5 truncates to player 0
  EXPECT_EQ(hud.scores[3], 0);
  run("HudSetVisible(nil)");
  EXPECT_FALSE(hud.visible);
  run("HudSetVisible(0)");
  EXPECT_TRUE(hud.visible);
}

TEST_F(ApiTest, SoundsMusicAndTitleNeverFailTheScript) {
  std::string line = "[AUDIO] Sound 'missing' not found!\n";
  EXPECT_EQ(run("SoundPlay('missing') SoundPlay('missing', 0.5) SoundPlay('bell') print('on')"),
            line + line + "on\n");
  EXPECT_EQ(error("SoundPlay(nil)"), "Invalid sound name for 'SoundPlay'!");
  EXPECT_EQ(error("MusicPlay({})"), "Invalid music file name for 'MusicPlay'!");
  EXPECT_EQ(run("MusicStop() GfxSetTitle(nil) GfxSetTitle(5) print('on')"), "on\n");
}

// Handlers that remove what the world is in the middle of updating.
class RemovalTest : public ApiTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(RemovalTest, HandlerRemovingScenesDuringAStepRunsClean) {
  ScriptEvents events(L ? L : (start(""), L), keys);
  world->setEvents(&events);
  run(std::string(
          "table = SceneSpawn('Table') ball = SceneSpawn('Ball', Vec2(230, 200))\n"
          "entered = 0\nfunction trigger_object_enter(ts, to, os, oo) entered = entered + 1 ") +
      GetParam() + " end\nfunction trigger_scene_enter(ts, to, os) " + GetParam() + " end");
  std::string out = worldSteps(20);
  EXPECT_EQ(run("print(entered)"), "1\n") << out;
  EXPECT_EQ(out.find("Lua error"), std::string::npos) << out;
  world->setEvents(nullptr);
}

const char* const handlerNames[] = {"RemoveTriggerScene", "RemoveOtherScene", "ClearWorld",
                                    "RemoveBothAndRespawn"};

INSTANTIATE_TEST_SUITE_P(Handlers, RemovalTest,
                         ::testing::Values("SceneRemove(ts)", "SceneRemove(os)", "WorldClear()",
                                           "SceneRemove(ts) SceneRemove(os) SceneSpawn('Ball', "
                                           "Vec2(230, 200))"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(handlerNames[param.index]);
                         });

}  // namespace
