// The rippling sphere: the beat test and the spin, the ripple rebuilt from the rest copy,
// a missing or mismatched sphere, the glow passes, and which creatures and captions show
// when, drawn from small hand-made pictures.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "scenes/lcg_rand.h"
#include "scenes/scene3_sphere.h"
#include "tests/unit/fixtures.h"

namespace {

using namespace fixtures;

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kGrey = 0xFF404040;
constexpr uint32_t kRendered = 0xFFFF8000;
constexpr uint32_t kForu = 0xFF00FF80;

// A closed cube of half-size h, or, with `flat`, a single triangle: a mesh of another size.
Model cube(float h, bool flat = false) { return Model{new Mesh*[1]{cubeMesh(h, 0.5f, flat)}, 1}; }

// The renderer looking at the origin from 300 units on +z, full-screen viewport.
void lookAtOrigin(Texture* texture) {
    clearDepth(&renderer, screenWidth * screenHeight);
    renderer.viewportX = 0;
    renderer.viewportY = 0;
    renderer.viewportWidth = screenWidth;
    renderer.viewportHeight = screenHeight;
    mat4Perspective(renderer.projection, 45.0f, 1.6f, 1.0f, 1000.0f);
    mat4LookAt(renderer.view, Vec3{0, 0, 300}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
    renderer.model = mat4Identity();
    renderer.texture = texture;
    renderer.envMap = true;
    renderer.clipping = true;
}

}  // namespace

// ---- Spin ------------------------------------------------------------------------------

TEST(Scene3Spin, BeatThresholdsAndWhatEachDraws) {
    // f as the generator gives it for the n-th draw after seeding with 777.
    auto draw = [](int n) {
        rng::srand(777);
        int r = 0;
        for (int i = 0; i < n; ++i) r = rng::rand();
        return 2.0 * r / 32767.0 - 1.0;
    };
    struct Case { float bin2; bool newSpeed; bool jump; } cases[] = {
        {0.25f, false, false},
        {0.258f, false, false},   // the bounds themselves do not fire
        {0.26f, false, true},
        {0.263f, false, true},
        {0.27f, true, true},      // both, speed first, each with its own draw
    };
    for (const Case& c : cases) {
        SpinState spin{30.0f, 1.0f, 2.0f};
        const float spectrum[3] = {0.0f, 0.0f, c.bin2};
        rng::srand(777);
        updateSpin(&spin, 31.0f, spectrum, 0.5f);
        const double speed = c.newSpeed ? 0.85 * draw(1) + 0.75 : 1.0;
        const double jump = c.jump ? 110.0 * draw(c.newSpeed ? 2 : 1) : 0.0;
        EXPECT_NEAR(spin.spinSpeed, speed, 1e-5) << "bin 2 = " << c.bin2;
        // The angle advances by the speed of this frame, after the beat.
        EXPECT_NEAR(spin.spinAngle, 2.0 + jump + speed * 0.5, 1e-3) << "bin 2 = " << c.bin2;
        EXPECT_EQ(spin.beatTime, (c.newSpeed || c.jump) ? 31.0f : 30.0f) << "bin 2 = " << c.bin2;
        const int drawsUsed = (c.newSpeed ? 1 : 0) + (c.jump ? 1 : 0);
        const int next = rng::rand();
        rng::srand(777);
        for (int i = 0; i < drawsUsed; ++i) rng::rand();
        EXPECT_EQ(next, rng::rand()) << "draws used, bin 2 = " << c.bin2;
    }
}

TEST(Scene3Spin, NoBeatWithinATenthOfASecond) {
    const float loud[3] = {0.0f, 0.0f, 0.5f};
    struct Case { float beatTime; float t; bool beat; } cases[] = {
        {0.0f, 0.1f, false},                                  // exactly 0.1 apart
        {0.0f, std::nextafter(0.1f, 1.0f), true},
        {30.0f, 30.05f, false},
        {30.0f, 30.2f, true},
    };
    for (const Case& c : cases) {
        SpinState spin{c.beatTime, 1.0f, 0.0f};
        updateSpin(&spin, c.t, loud, 0.0f);
        EXPECT_EQ(spin.beatTime, c.beat ? c.t : c.beatTime) << "t = " << c.t;
        if (!c.beat) {
            EXPECT_EQ(spin.spinSpeed, 1.0f);
            EXPECT_EQ(spin.spinAngle, 0.0f);   // and delta 0 leaves the angle alone
        }
    }
}

// ---- Ripple ----------------------------------------------------------------------------

class Scene3SphereTest : public ::testing::Test {
protected:
    DeformingSphere sphere{};
    Texture* texture = nullptr;

    void SetUp() override {
        texture = solidMipTexture(0xFF30A0FF);
        lookAtOrigin(texture);
        fillScreen(kBlack);
    }
    void TearDown() override {
        clearModel(&sphere.shape);
        clearModel(&sphere.rest);
        freeTexture(texture);
    }
};

TEST_F(Scene3SphereTest, RippleIsRebuiltFromTheRestCopy) {
    sphere.shape = cube(26.0f);
    sphere.rest = cube(26.0f);
    const Mesh* rest = sphere.rest.meshes[0];
    const Mesh* shape = sphere.shape.meshes[0];

    // An earlier frame first: the next one must not build on it.
    drawDeformingSphere(&sphere, 30.0f);
    const float t = 33.3f;
    drawDeformingSphere(&sphere, t);
    EXPECT_GT(countScreen(0xFF30A0FF), 0) << "the sphere was not drawn";

    const double kx = 2 * std::sin(0.7 * t) + 5, ky = 2 * std::sin(1.1 * t) + 5;
    const double kz = 2 * std::sin(1.3 * t) + 5, amplitude = 15 * std::sin(0.8 * t) + 25;
    for (int32_t j = 0; j < rest->vertexCount; ++j) {
        const Vertex& p = rest->vertices[j];
        const double m = std::sin(t + kx * p.nx) * std::sin(t + ky * p.ny) * std::sin(t + kz * p.nz);
        EXPECT_NEAR(shape->vertices[j].x, p.x + p.nx * amplitude * m, 1e-3) << "vertex " << j;
        EXPECT_NEAR(shape->vertices[j].y, p.y + p.ny * amplitude * m, 1e-3) << "vertex " << j;
        EXPECT_NEAR(shape->vertices[j].z, p.z + p.nz * amplitude * m, 1e-3) << "vertex " << j;
    }
    // The rest copy is untouched; the drawn copy's normals follow the ripple.
    EXPECT_EQ(rest->vertices[0].x, -26.0f);
    EXPECT_NEAR(rest->vertices[0].nx, -1.0f / std::sqrt(3.0f), 1e-6f);
    bool normalsMoved = false;
    for (int32_t j = 0; j < shape->vertexCount; ++j)
        normalsMoved |= std::fabs(shape->vertices[j].nx - rest->vertices[j].nx) > 1e-3f ||
                        std::fabs(shape->vertices[j].ny - rest->vertices[j].ny) > 1e-3f;
    EXPECT_TRUE(normalsMoved);
}

// The ripple in the design's arithmetic: floats throughout, the sines taken in double
// precision and rounded to float. The single-precision sinf differs from that in the last
// bit for some of these arguments, which moves a vertex (and now and then a pixel).
TEST_F(Scene3SphereTest, RippleTakesSinesInDoublePrecision) {
    sphere.shape = cube(26.0f);
    sphere.rest = cube(26.0f);
    const Mesh* rest = sphere.rest.meshes[0];
    const Mesh* shape = sphere.shape.meshes[0];
    auto sine = [](float v) { return static_cast<float>(std::sin(static_cast<double>(v))); };
    int singleDiffers = 0;
    for (int k = 0; k < 200; ++k) {
        const float t = 24.5f + 0.117f * static_cast<float>(k);
        drawDeformingSphere(&sphere, t);
        const float kx = 2.0f * sine(0.7f * t) + 5.0f, ky = 2.0f * sine(1.1f * t) + 5.0f;
        const float kz = 2.0f * sine(1.3f * t) + 5.0f, amplitude = 15.0f * sine(0.8f * t) + 25.0f;
        for (int32_t j = 0; j < rest->vertexCount; ++j) {
            const Vertex& p = rest->vertices[j];
            const float args[3] = {t + kx * p.nx, t + ky * p.ny, t + kz * p.nz};
            for (float a : args) singleDiffers += std::sin(a) != sine(a);
            const float lift = amplitude * (sine(args[0]) * sine(args[1]) * sine(args[2]));
            ASSERT_EQ(shape->vertices[j].x, p.x + p.nx * lift) << "t " << t << ", vertex " << j;
            ASSERT_EQ(shape->vertices[j].y, p.y + p.ny * lift) << "t " << t << ", vertex " << j;
            ASSERT_EQ(shape->vertices[j].z, p.z + p.nz * lift) << "t " << t << ", vertex " << j;
        }
    }
#ifdef __GLIBC__   // mingw-w64's sinf is the double sine rounded: nothing tells them apart
    EXPECT_GT(singleDiffers, 0) << "no argument here tells the two sines apart";
#endif
}

TEST_F(Scene3SphereTest, MissingOrMismatchedSphereIsSkipped) {
    enum Kind { kEmpty, kCube, kFlat };
    struct Case { Kind shape; Kind rest; const char* what; } cases[] = {
        {kEmpty, kEmpty, "file missing: both copies empty"},
        {kCube, kEmpty, "rest copy empty"},
        {kEmpty, kCube, "drawn copy empty"},
        {kCube, kFlat, "mesh 0 of different sizes"},
    };
    for (const Case& c : cases) {
        auto make = [](Kind k) { return k == kEmpty ? Model{nullptr, 0} : cube(26.0f, k == kFlat); };
        sphere.shape = make(c.shape);
        sphere.rest = make(c.rest);
        fillScreen(kBlack);
        drawDeformingSphere(&sphere, 30.0f);
        EXPECT_EQ(countScreen(kBlack), screenWidth * screenHeight) << c.what;
        if (c.shape == kCube) {
            EXPECT_EQ(sphere.shape.meshes[0]->vertices[0].x, -26.0f) << c.what;
        }
        clearModel(&sphere.shape);
        clearModel(&sphere.rest);
    }
}

TEST_F(Scene3SphereTest, MissingOrEmptyFileLoadsNoSphere) {
    namespace fs = std::filesystem;
    const fs::path home = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("scene3_sphere_" + std::to_string(::getpid()));
    fs::create_directories(dir / "data");
    fs::current_path(dir);
    for (bool present : {false, true}) {
        if (present) {
            // A well-formed file holding no mesh at all.
            std::FILE* file = std::fopen("data/sphere.ebr", "wb");
            const int32_t meshCount = 0;
            std::fwrite(&meshCount, sizeof meshCount, 1, file);
            std::fclose(file);
        }
        DeformingSphere loaded{};
        initDeformingSphere(&loaded);
        EXPECT_EQ(loaded.shape.meshCount, 0) << (present ? "empty file" : "no file");
        EXPECT_EQ(loaded.rest.meshCount, 0) << (present ? "empty file" : "no file");
        drawDeformingSphere(&loaded, 30.0f);
        EXPECT_EQ(countScreen(kBlack), screenWidth * screenHeight);
    }
    fs::current_path(home);
    fs::remove_all(dir);
}

// ---- The frame -------------------------------------------------------------------------

// A black background with one grey pixel at (200, 200), which the glow samples as its
// pixel (10, 10); transparent overlays; an empty sphere; creatures as 8x8 blocks whose
// colour tells the frame (right: blue channel 0x20 + k, left: green channel 0x20 + k);
// two 100x20 captions.
class Scene3Test : public ::testing::Test {
protected:
    Scene3State state{};
    float spectrum[3] = {0, 0, 0};

    void SetUp() override {
        state.env = solidMipTexture(0xFF8080FF);
        state.sphere = new DeformingSphere();
        state.glow = newImage(32, 24);
        state.background = solidImage(screenWidth, screenHeight, kBlack);
        state.background->pixels[200 * screenWidth + 200] = kGrey;
        state.stripes = solidImage(1, 1, 0);
        state.frame2 = solidImage(1, 1, 0);
        state.s = solidImage(1, 1, 0);
        state.white = solidImage(4, 4, 0xFFFFFFFF);
        state.black = solidImage(4, 4, kBlack);
        for (int k = 0; k < 5; ++k) {
            state.rightSprites[k] = solidImage(8, 8, rightColour(k));
            state.leftSprites[k] = solidImage(8, 8, leftColour(k));
        }
        state.rendered = solidImage(100, 20, kRendered);
        state.foru = solidImage(100, 20, kForu);
        fillScreen(0xFF123456);
    }
    void TearDown() override {
        freeTexture(state.env);
        delete state.sphere;
        for (Image* image : {state.glow, state.background, state.stripes, state.frame2, state.s,
                             state.white, state.black, state.rendered, state.foru})
            freeImage(image);
        for (int k = 0; k < 5; ++k) {
            freeImage(state.rightSprites[k]);
            freeImage(state.leftSprites[k]);
        }
    }

    static uint32_t rightColour(int k) { return 0xFF000020u + static_cast<uint32_t>(k); }
    static uint32_t leftColour(int k) { return 0xFF002000u + (static_cast<uint32_t>(k) << 8); }
};

TEST_F(Scene3Test, GlowStrengthAndFlares) {
    struct Case { float t; float s0, s1, s2; int32_t base; int32_t flare; } cases[] = {
        {30.0f, 0, 0, 0, 180, 0},
        {30.0f, 0.5f, 0.25f, 0.125f, 211, 0},    // g = 0.25*2000*0.125*0.5 = 31.25
        {30.0f, 0.5f, 0.5f, 0.5f, 255, 0},       // g = 250: capped
        {35.0f, 0, 0, 0, 180, 0},                // flare windows are open at both ends
        {35.04f, 0, 0, 0, 180, 250},
        {35.08f, 0, 0, 0, 180, 0},
        {39.52f, 0.5f, 0.25f, 0.125f, 211, 255},
        {40.93f, 0, 0, 0, 180, 250},
    };
    Image* sample = solidImage(32, 24, kBlack);
    sample->pixels[10 * 32 + 10] = kGrey;
    Image* expected = newImage(screenWidth, screenHeight);
    for (const Case& c : cases) {
        spectrum[0] = c.s0;
        spectrum[1] = c.s1;
        spectrum[2] = c.s2;
        renderScene3(&state, c.t, spectrum, 0.0f);
        // Only the grey sample at glow pixel (10, 10) adds anything: its block of about
        // 20x20 pixels, once or twice, as the scaled additive blit places it.
        copyImage(state.background, expected);
        stretchDrawAdd(expected, sample, 0, 0, screenWidth, screenHeight, c.base);
        if (c.flare) stretchDrawAdd(expected, sample, 0, 0, screenWidth, screenHeight, c.flare);
        for (const Image* overlay : {state.stripes, state.frame2, state.s}) drawImage(expected, overlay, 0, 0, 255);
        // Rows 0-299: above the creatures and captions.
        EXPECT_TRUE(std::equal(screen->pixels, screen->pixels + 300 * screenWidth, expected->pixels))
            << "t = " << c.t;
        EXPECT_NE(pixelAt(210, 210), kBlack) << "t = " << c.t;
    }
    freeImage(expected);
    freeImage(sample);
}

TEST_F(Scene3Test, CreaturesAndCaptionsInTheirWindows) {
    enum Caption { kNone, kShimmer, kSteady };
    // Creature frames for t from the generator seeded with trunc(15t)*99, worked out by
    // hand: 30.25 -> 44847 -> 3; 30.3 -> 44946 -> 1; 33 -> 49005 -> 1; 40 -> 59400 -> 4;
    // 36.5 -> 54153 -> 4. -1: no creature.
    struct Case { float t; int right; Caption rendered; int left; Caption foru; } cases[] = {
        {24.55f, -1, kNone, -1, kNone},   // the white flash lies under the background
        {30.2f, -1, kNone, -1, kNone},
        {30.25f, 3, kNone, -1, kNone},
        {30.3f, 1, kNone, -1, kNone},
        {30.6f, -2, kShimmer, -1, kNone},
        {30.8f, -2, kNone, -1, kNone},    // neither the shimmer nor the steady caption
        {33.0f, 1, kSteady, -1, kNone},
        {35.8f, -1, kNone, -1, kNone},    // both end here
        {36.2f, -1, kNone, -1, kNone},
        {36.5f, -1, kNone, 4, kNone},
        {36.7f, -1, kNone, -2, kShimmer},
        {36.9f, -1, kNone, -2, kNone},
        {40.0f, -1, kNone, 4, kSteady},
    };
    for (const Case& c : cases) {
        renderScene3(&state, c.t, spectrum, 0.0f);
        const uint32_t rightSlot = pixelAt(453, 323), leftSlot = pixelAt(43, 323);
        // -2: some creature of the set, whichever the generator picks.
        const uint32_t rightWant = c.right == -1 ? kBlack : c.right == -2 ? 0xFF000020u : rightColour(c.right);
        const uint32_t leftWant = c.left == -1 ? kBlack : c.left == -2 ? 0xFF002000u : leftColour(c.left);
        EXPECT_EQ(c.right == -2 ? rightSlot & 0xFFFFFFE0u : rightSlot, rightWant) << "t = " << c.t;
        EXPECT_EQ(c.left == -2 ? leftSlot & 0xFFFFE0FFu : leftSlot, leftWant) << "t = " << c.t;

        struct { Caption mode; uint32_t colour; int32_t x; } captions[] = {
            {c.rendered, kRendered, 220}, {c.foru, kForu, 180}};
        for (const auto& cap : captions) {
            const int plain = countScreen(cap.colour);
            const int faint = countScreen(over(kBlack, cap.colour, 200));
            if (cap.mode == kNone) {
                EXPECT_EQ(plain + faint, 0) << "t = " << c.t;
            } else if (cap.mode == kSteady) {
                // Top row 340 + 7 sin(2t), truncated.
                const int32_t y = static_cast<int32_t>(340.0 + 7.0 * std::sin(2.0 * c.t));
                EXPECT_EQ(plain, 100 * 20) << "t = " << c.t;
                EXPECT_EQ(pixelAt(cap.x, y), cap.colour) << "t = " << c.t;
                EXPECT_EQ(pixelAt(cap.x + 99, y + 19), cap.colour) << "t = " << c.t;
                EXPECT_EQ(pixelAt(cap.x, y - 1), kBlack) << "t = " << c.t;
                EXPECT_EQ(pixelAt(cap.x, y + 20), kBlack) << "t = " << c.t;
            } else {
                // Wave-distorted at opacity 200 around row 340 + 7 sin t.
                const int32_t y = static_cast<int32_t>(340.0 + 7.0 * std::sin(c.t));
                EXPECT_EQ(plain, 0) << "t = " << c.t;
                EXPECT_GT(faint, 90 * 15) << "t = " << c.t;
                EXPECT_EQ(pixelAt(cap.x + 50, y + 10), over(kBlack, cap.colour, 200)) << "t = " << c.t;
            }
        }
        EXPECT_EQ(pixelAt(100, 100), kBlack) << "t = " << c.t;
    }
}

TEST_F(Scene3Test, BlackFadeGoesOverTheCreatures) {
    renderScene3(&state, 47.4f, spectrum, 0.0f);
    const uint32_t creature = pixelAt(43, 323);
    EXPECT_NE(creature, kBlack);
    EXPECT_LT(creature & 0xFF00, leftColour(0) & 0xFF00);
}
