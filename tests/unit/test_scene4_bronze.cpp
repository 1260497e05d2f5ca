// The bronze object scene: the trail pass, the shared sprite flicker, the twist of a mesh
// from its rest copy, the layers of a frame drawn from small hand-made pictures, and the
// start-up with the object's mesh file missing.
#include <gtest/gtest.h>

#include <cmath>

#include "scenes/sprites_captions.h"
#include "scenes/lcg_rand.h"
#include "scenes/scene4_bronze.h"
#include "scenes/twist.h"
#include "tests/unit/fixtures.h"

using namespace fixtures;

TEST(DarkenTrails, EveryByteValueBecomesSixTenthsTruncated) {
    // 300 bytes: whole blocks and a tail, every value at least once.
    uint8_t bytes[301];
    for (int i = 0; i < 301; ++i) bytes[i] = static_cast<uint8_t>((i * 7) % 256);
    darkenTrails(bytes, 300);
    for (int i = 0; i < 300; ++i) {
        const int v = (i * 7) % 256;
        ASSERT_EQ(bytes[i], static_cast<int>(0.6 * v)) << "byte " << v;
    }
    EXPECT_EQ(bytes[300], (300 * 7) % 256) << "past the count nothing changes";
}

TEST(DarkenTrails, UntouchedPixelFadesFrameByFrameAndOnlyTheCountChanges) {
    uint32_t pixels[3] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    const uint8_t expected[] = {153, 91, 54, 32, 19, 11, 6, 3, 1, 0, 0};
    for (uint8_t e : expected) {
        darkenTrails(reinterpret_cast<uint8_t*>(pixels), 8);   // the first two pixels only
        ASSERT_EQ(pixels[0], 0x01010101u * e);
        ASSERT_EQ(pixels[1], 0x01010101u * e);
        ASSERT_EQ(pixels[2], 0xFFFFFFFFu);
    }
}

TEST(FlickerIndex, SeedsTheSharedGeneratorFifteenTimesASecond) {
    struct Case { float t; int index; int nextRand; } cases[] = {
        {50.0f, 1, -1},      // seed 750 * 99 = 74250: first rand() 13131
        {100.0f, 0, -1},     // seed 1500 * 99 = 148500: first rand() 26225
    };
    for (const Case& c : cases) EXPECT_EQ(flickerIndex(c.t), c.index) << "t = " << c.t;
    rng::srand(74250);
    EXPECT_EQ(rng::rand(), 13131);
    rng::srand(148500);
    EXPECT_EQ(rng::rand(), 26225);
    // The generator is left just past the seed's first number.
    flickerIndex(50.0f);
    rng::srand(74250);
    rng::rand();
    const int expectedNext = rng::rand();
    flickerIndex(50.0f);
    EXPECT_EQ(rng::rand(), expectedNext);
    // Within one fifteenth of a second the index stays.
    for (float t : {50.001f, 50.03f, 50.066f}) EXPECT_EQ(flickerIndex(t), 1) << "t = " << t;
}

TEST(Twist, AnglesGrowWithTimeAndLagWithDistance) {
    // A vertex at the origin (w = 1) has rest length 1.
    EXPECT_FLOAT_EQ(restLength(Vertex{0, 0, 0, 1, 0, 0, 0, 0, 0}), 1.0f);
    EXPECT_FLOAT_EQ(restLength(Vertex{3, -2, 5, 1, 0, 0, 0, 0, 0}), std::sqrt(39.0f));
    EXPECT_NEAR(objectTwistAngle(48.0f, 1.0f), 144.0f - 0.03f, 2e-5f);
    EXPECT_NEAR(objectTwistAngle(60.0f, 10.0f), 180.0f - 0.3f, 2e-5f);
    EXPECT_NEAR(logoTwistAngle(80.0f, 1.0f), 160.0f - 0.006f, 2e-5f);
    EXPECT_NEAR(logoTwistAngle(90.0f, 100.0f), 180.0f - 0.6f, 2e-5f);
}

TEST(Twist, RestPositionsTurnAboutTheSwingingAxis) {
    // Reference positions worked out independently in double precision with Rodrigues'
    // formula (the demo's row vectors turn by minus the angle) from the rounded angles.
    struct Case { TwistAngle angle; float t; Vertex rest; float x, y, z, tolerance; } cases[] = {
        {objectTwistAngle, 50.0f, vertexAt(3, -2, 5), 4.6172f, 2.4702f, 3.2526f, 1e-3f},
        {objectTwistAngle, 61.3f, vertexAt(-10.5f, 0.25f, 2), -3.8203f, 8.8081f, -4.7048f, 2e-3f},
        {logoTwistAngle, 80.0f, vertexAt(100, 0, -40), -38.5550f, -50.9391f, 86.7105f, 1e-2f},
        {logoTwistAngle, 90.5f, vertexAt(-7, 3, 60), -38.1435f, 20.1955f, 42.3700f, 1e-2f},
    };
    for (const Case& c : cases) {
        Model* target = modelOf({newMesh({c.rest, vertexAt(0, 0, 0)}, {})});
        Model* rest = modelOf({newMesh({c.rest, vertexAt(0, 0, 0)}, {})});
        float* lengths = newRestLengths(rest);
        ASSERT_TRUE(twistFirstMesh(target, rest, lengths, c.t, c.angle));
        const Vertex& v = target->meshes[0]->vertices[0];
        EXPECT_NEAR(v.x, c.x, c.tolerance) << "t = " << c.t;
        EXPECT_NEAR(v.y, c.y, c.tolerance) << "t = " << c.t;
        EXPECT_NEAR(v.z, c.z, c.tolerance) << "t = " << c.t;
        EXPECT_FLOAT_EQ(v.w, 1.0f);
        const Vertex& origin = target->meshes[0]->vertices[1];
        EXPECT_EQ(origin.x, 0.0f);
        EXPECT_EQ(origin.z, 0.0f);
        delete[] lengths;
        freeModel(target);
        freeModel(rest);
    }
}

TEST(Twist, RebuildsFromTheRestCopyTwistsOnlyTheFirstMeshAndRenormals) {
    Model* target = modelOf({octahedron(10), octahedron(10)});
    Model* rest = modelOf({octahedron(10), octahedron(10)});
    float* lengths = newRestLengths(rest);
    ASSERT_NE(lengths, nullptr);
    target->meshes[0]->vertices[0].u = 0.9f;   // not the rest value: must come back
    ASSERT_TRUE(twistFirstMesh(target, rest, lengths, 55.0f, objectTwistAngle));
    ASSERT_TRUE(twistFirstMesh(target, rest, lengths, 57.0f, objectTwistAngle));

    Model* once = modelOf({octahedron(10)});
    ASSERT_TRUE(twistFirstMesh(once, rest, lengths, 57.0f, objectTwistAngle));
    const Mesh* twisted = target->meshes[0];
    for (int32_t i = 0; i < twisted->vertexCount; ++i) {
        const Vertex& a = twisted->vertices[i];
        const Vertex& b = once->meshes[0]->vertices[i];
        EXPECT_EQ(a.x, b.x) << i;
        EXPECT_EQ(a.y, b.y) << i;
        EXPECT_EQ(a.z, b.z) << i;
        EXPECT_EQ(a.u, rest->meshes[0]->vertices[i].u) << i;
        // Each corner's normal points along the corner itself after the turn.
        const float r = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
        EXPECT_NEAR(r, 10.0f, 1e-4f) << i;
        EXPECT_NEAR(a.nx, a.x / r, 1e-4f) << i;
        EXPECT_NEAR(a.ny, a.y / r, 1e-4f) << i;
        EXPECT_NEAR(a.nz, a.z / r, 1e-4f) << i;
    }
    // The second mesh keeps its loaded corners.
    EXPECT_EQ(target->meshes[1]->vertices[0].x, 10.0f);
    EXPECT_EQ(target->meshes[1]->vertices[0].y, 0.0f);
    delete[] lengths;
    freeModel(target);
    freeModel(rest);
    freeModel(once);
}

TEST(Twist, MissingOrMismatchedMeshesAreLeftOut) {
    Model* empty = emptyModel();
    Model* one = modelOf({octahedron(10)});
    Model* other = modelOf({octahedron(10)});
    Model* small = modelOf({squareXZ(5)});
    float* lengths = newRestLengths(one);
    EXPECT_EQ(newRestLengths(empty), nullptr);
    EXPECT_FALSE(twistFirstMesh(empty, one, lengths, 50.0f, objectTwistAngle));
    EXPECT_FALSE(twistFirstMesh(one, empty, lengths, 50.0f, objectTwistAngle));
    EXPECT_FALSE(twistFirstMesh(small, one, lengths, 50.0f, objectTwistAngle));
    EXPECT_FALSE(twistFirstMesh(one, other, nullptr, 50.0f, objectTwistAngle));
    EXPECT_EQ(one->meshes[0]->vertices[0].x, 10.0f);
    delete[] lengths;
    for (Model* m : {empty, one, other, small}) freeModel(m);
}

namespace {

constexpr uint32_t kBronze = 0xFFC08040;
constexpr uint32_t kRed = 0x40300000;      // a thin red wash, partly transparent
constexpr uint32_t kCredit1 = 0xFF11AA11;
constexpr uint32_t kCredit2 = 0xFF22BB22;
constexpr uint32_t kPrevious = 0xFFFFFFFF;

uint32_t leftColour(int i) { return 0xFF000010u + static_cast<uint32_t>(i); }
uint32_t rightColour(int i) { return 0xFF000020u + static_cast<uint32_t>(i); }

// The red added at 180, then the two (transparent) frames over it.
uint32_t washed(uint32_t colour) {
    blendAdd(&colour, kRed, 180);
    return over(over(colour, 0x00000000, 255), 0x00000000, 255);
}

// What a pixel that no sprite, credit or object covers becomes from `previous`.
uint32_t bare(uint32_t previous) {
    darkenTrails(reinterpret_cast<uint8_t*>(&previous), 4);
    return washed(previous);
}

// Frees what a scene state holds, whether SetUp made it or initScene4 loaded it (the demo
// keeps what it loads until it exits).
void release(Scene4State* state) {
    for (Image* image : {state->frame2, state->black, state->s, state->white, state->red, state->cred1, state->cred2})
        freeImage(image);
    for (int i = 0; i < 5; ++i) {
        freeImage(state->leftSprites[i]);
        freeImage(state->rightSprites[i]);
    }
    freeTexture(state->bronze);
    for (Model* m : {state->box, state->thing, state->thingRest}) freeModel(m);
    delete[] state->restLength;
}

class Scene4Test : public ::testing::Test {
protected:
    Scene4State state{};
    float silence[4] = {0, 0, 0, 0};

    void SetUp() override {
        state.box = emptyModel();
        state.frame2 = solidImage(screenWidth, screenHeight, 0x00000000);
        state.s = solidImage(screenWidth, screenHeight, 0x00000000);
        state.black = solidImage(4, 4, 0xFF000000);
        state.white = solidImage(4, 4, 0xFFFFFFFF);
        state.red = solidImage(screenWidth, screenHeight, kRed);
        for (int i = 0; i < 5; ++i) {
            state.leftSprites[i] = solidImage(8, 8, leftColour(i));
            state.rightSprites[i] = solidImage(8, 8, rightColour(i));
        }
        state.bronze = solidOneLevelTexture(kBronze);
        state.thing = emptyModel();
        state.thingRest = emptyModel();
        state.restLength = nullptr;
        state.cred1 = solidImage(100, 20, kCredit1);
        state.cred2 = solidImage(100, 20, kCredit2);
        fillScreen(kPrevious);
    }
    void TearDown() override { release(&state); }
    void withObject() {
        freeModel(state.thing);
        freeModel(state.thingRest);
        state.thing = modelOf({octahedron(10)});
        state.thingRest = modelOf({octahedron(10)});
        state.restLength = newRestLengths(state.thingRest);
    }
    int bronzePixels() const {
        int n = 0;
        for (int32_t i = 0; i < screenWidth * screenHeight; ++i)
            n += (screen->pixels[i] & 0x00FFFFFF) == (washed(kBronze) & 0x00FFFFFF) ? 1 : 0;
        return n;
    }
};

}  // namespace

TEST_F(Scene4Test, SpritesShareOneIndexInsideTheirWindows) {
    struct Case { float t; bool left, right; } cases[] = {
        {48.1f, false, false}, {48.2f, false, false}, {48.55f, true, false}, {48.6f, true, false},
        {50.0f, true, true},   {69.2f, true, true},   {69.3f, false, false}, {70.0f, false, false},
    };
    for (const Case& c : cases) {
        fillScreen(kPrevious);
        renderScene4(&state, c.t, silence);
        const int index = flickerIndex(c.t);
        // Under the opening fade a pixel without a sprite matches its bare neighbour.
        const uint32_t noSprite = c.t < 48.5f ? pixelAt(300, 320) : bare(kPrevious);
        EXPECT_EQ(pixelAt(22, 322), c.left ? leftColour(index) : noSprite) << "t = " << c.t;
        EXPECT_EQ(pixelAt(482, 322), c.right ? rightColour(index) : noSprite) << "t = " << c.t;
    }
    fillScreen(kPrevious);
    renderScene4(&state, 50.0f, silence);
    EXPECT_EQ(pixelAt(20, 320), leftColour(1));
    EXPECT_EQ(pixelAt(480, 320), rightColour(1));
}

TEST_F(Scene4Test, CreditsWobbleInThenBobOneAfterTheOther) {
    // The credits are 20 rows high from y = trunc(340 + 7 w): row 350 is always covered.
    const uint32_t under = bare(kPrevious);
    struct Case { float t; uint32_t probe; const char* what; } cases[] = {
        {60.2f, under, "at the wobble's start bound nothing"},
        {60.3f, over(under, kCredit1, 200), "first credit wobbling at opacity 200"},
        {60.5f, under, "at 60.5 neither wobbling nor bobbing"},
        {62.0f, kCredit1, "first credit bobbing"},
        {63.4f, under, "between the two credits"},
        {65.0f, kCredit2, "second credit bobbing"},
        {66.8f, under, "after the second credit"},
    };
    for (const Case& c : cases) {
        fillScreen(kPrevious);
        renderScene4(&state, c.t, silence);
        EXPECT_EQ(pixelAt(230, 350), c.probe) << c.what;
    }
    // Bobbing: the credit's top row is trunc(340 + 7 sin(2t)).
    fillScreen(kPrevious);
    renderScene4(&state, 62.0f, silence);
    const int32_t top = static_cast<int32_t>(340.0f + 7.0f * static_cast<float>(std::sin(124.0)));
    EXPECT_EQ(pixelAt(230, top), kCredit1);
    EXPECT_EQ(pixelAt(230, top - 1), under);
}

TEST_F(Scene4Test, ComesUpOutOfBlackAndEndsInWhite) {
    const uint32_t under = bare(kPrevious);
    struct Case { float t; uint32_t probe; } cases[] = {
        {48.0001f, over(under, 0xFF000000, 254)},
        {48.25f, over(under, 0xFF000000, 127)},
        {48.5f, under},
        {70.9f, under},
        {71.65f, over(under, 0xFFFFFFFF, 127)},
        {72.3999f, over(under, 0xFFFFFFFF, 254)},
    };
    for (const Case& c : cases) {
        fillScreen(kPrevious);
        renderScene4(&state, c.t, silence);
        EXPECT_EQ(pixelAt(600, 10), c.probe) << "t = " << c.t;
    }
}

TEST_F(Scene4Test, TrailsFadeUnderTheObjectAndTheBassWidensTheView) {
    withObject();
    fillScreen(kPrevious);
    renderScene4(&state, 55.0f, silence);
    EXPECT_EQ(pixelAt(320, 230), washed(kBronze)) << "the object covers the middle";
    EXPECT_EQ(pixelAt(600, 100), bare(kPrevious)) << "elsewhere the last frame fades";
    const int narrow = bronzePixels();

    const float bass[4] = {0, 0.5f, 0, 0};
    fillScreen(kPrevious);
    renderScene4(&state, 55.0f, bass);
    const int wide = bronzePixels();
    // 60 instead of 40 degrees: the object covers about (tan 20 / tan 30)^2 = 0.4 as much.
    EXPECT_GT(narrow, 500);
    EXPECT_LT(wide, narrow * 6 / 10);
    EXPECT_GT(wide, narrow * 3 / 10);
}

TEST_F(Scene4Test, ObjectWithoutItsRestCopyIsLeftOut) {
    withObject();
    freeModel(state.thingRest);
    state.thingRest = emptyModel();
    fillScreen(kPrevious);
    renderScene4(&state, 55.0f, silence);
    EXPECT_EQ(pixelAt(320, 230), bare(kPrevious));
}

TEST(Scene4Start, MissingObjectFileLeavesTheSceneWithoutIt) {
    {
        DataWithout data({"thing.ebr"});
        Scene4State state{};
        initScene4(&state);
        EXPECT_EQ(state.thing->meshCount, 0);
        EXPECT_EQ(state.restLength, nullptr);
        const float silence[4] = {0, 0, 0, 0};
        renderScene4(&state, 55.0f, silence);
        EXPECT_NE(state.box->meshCount, 0);
        release(&state);
    }
    {
        DataWithout data({});
        Scene4State state{};
        initScene4(&state);
        ASSERT_GT(state.thing->meshCount, 0);
        const Mesh* rest = state.thingRest->meshes[0];
        ASSERT_EQ(rest->vertexCount, state.thing->meshes[0]->vertexCount);
        ASSERT_NE(state.restLength, nullptr);
        for (int32_t i = 0; i < rest->vertexCount; i += 97) {
            const Vertex& v = rest->vertices[i];
            EXPECT_FLOAT_EQ(state.restLength[i], std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z + 1.0f));
        }
        const float silence[4] = {0, 0, 0, 0};
        renderScene4(&state, 55.0f, silence);
        EXPECT_NE(state.thing->meshes[0]->vertices[0].x, rest->vertices[0].x) << "twisted";
        release(&state);
    }
}
