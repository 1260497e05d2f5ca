// The greetings scene: which creature and word passes a frame draws (with the overlapping
// windows), where they land on the picture, the 2D layers drawn from small hand-made
// pictures, and start-up with a greeting's mesh file missing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scenes/sprites_captions.h"
#include "scenes/scene6_greetings.h"
#include "tests/unit/fixtures.h"

using namespace fixtures;

namespace {

struct Pass {
    Model* Scene6State::*mesh;
    bool pixel;
    bool operator==(const Pass& o) const { return mesh == o.mesh && pixel == o.pixel; }
};

std::vector<Pass> passesAt(float t) {
    GreetingPass out[kMaxGreetingPasses];
    const int n = greetingPasses(t, out);
    std::vector<Pass> passes;
    for (int i = 0; i < n; ++i) passes.push_back(Pass{out[i].mesh, out[i].pixel});
    return passes;
}

}  // namespace

TEST(GreetingPasses, RowsFollowOneAnotherAndOverlapForATenthOfASecond) {
    using S = Scene6State;
    const Pass pxl{&S::pxl, true}, pxl2{&S::pxl2, true};
    struct Case { float t; std::vector<Pass> passes; } cases[] = {
        {97.0f, {}},
        {98.0f, {}},
        {99.0f, {pxl, {&S::quillan, false}}},
        {101.15f, {pxl, {&S::quillan, false}, {&S::valmora, false}}},
        {101.2f, {{&S::valmora, false}}},   // row 1 and row 2's creature both closed
        {102.0f, {pxl2, {&S::valmora, false}}},
        {104.3f, {}},
        {105.0f, {pxl, {&S::pennart, false}}},
        {107.25f, {pxl, {&S::pennart, false}, {&S::drossel, false}}},
        {107.3f, {{&S::drossel, false}}},
        {109.0f, {pxl2, {&S::drossel, false}}},
        {112.0f, {pxl, {&S::tindral, false}}},
        {115.0f, {pxl2, {&S::morwick, false}}},
        {120.9f, {pxl, {&S::you, false}}},
        {121.0f, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(passesAt(c.t), c.passes) << "t = " << c.t;
}

namespace {

constexpr uint32_t kGreet = 0xFF30C0E0;
uint32_t spriteColour(int i) { return 0xFF000050u + static_cast<uint32_t>(i); }

// Frees what a scene state holds, whether SetUp made it or initScene6 loaded it (the demo
// keeps what it loads until it exits).
void release(Scene6State* state) {
    for (Texture* t : {state->blokk, state->rainbow, state->blackTexture}) freeTexture(t);
    for (Model* m : {state->pxl, state->pxl2, state->quillan, state->pennart, state->drossel,
                     state->you, state->tindral, state->morwick, state->valmora, state->simplebox})
        freeModel(m);
    for (Image* image : {state->frame, state->white, state->s, state->greet}) freeImage(image);
    for (int i = 0; i < 5; ++i) freeImage(state->sprites[i]);
}

class Scene6Test : public ::testing::Test {
protected:
    Scene6State state{};

    void SetUp() override {
        state.blokk = solidOneLevelTexture(0xFF40C080);
        state.rainbow = solidOneLevelTexture(0xFF8040C0);
        state.blackTexture = solidOneLevelTexture(0xFF102030);
        for (Model** m : {&state.pxl, &state.pxl2, &state.quillan, &state.pennart, &state.drossel,
                          &state.you, &state.tindral, &state.morwick, &state.valmora, &state.simplebox})
            *m = emptyModel();
        state.frame = solidImage(screenWidth, screenHeight, 0x00000000);
        state.s = solidImage(screenWidth, screenHeight, 0x00000000);
        state.white = solidImage(4, 4, 0xFFFFFFFF);
        for (int i = 0; i < 5; ++i) state.sprites[i] = solidImage(8, 8, spriteColour(i));
        state.greet = solidImage(200, 30, kGreet);
        fillScreen(0xFF123456);
    }
    void TearDown() override { release(&state); }

    // Mean row of the pixels of one colour (RGB), or -1 when there are none.
    double meanRow(uint32_t colour, int* count) const {
        double sum = 0;
        int n = 0;
        for (int32_t y = 0; y < screenHeight; ++y)
            for (int32_t x = 0; x < screenWidth; ++x)
                if ((screen->pixels[y * screenWidth + x] & 0xFFFFFF) == (colour & 0xFFFFFF)) {
                    sum += y;
                    ++n;
                }
        *count = n;
        return n ? sum / n : -1;
    }
};

}  // namespace

TEST_F(Scene6Test, SpriteCaptionAndFadesOverACleanedPicture) {
    // Probes: the sprite at (22, 332); the caption's row 410 at x 200 (30 rows high from
    // y = trunc(395 + 7 w)); a bare pixel at (600, 100). The picture is cleared to 0.
    const uint32_t white = 0xFFFFFFFF;
    struct Case { float t; uint32_t caption, bare; } cases[] = {
        {95.6f, 0, over(0, white, 229)},           // coming up out of white
        {96.0f, 0, over(0, white, 127)},
        {96.5f, 0, 0},
        {96.75f, over(0, kGreet, 200), 0},         // wobbling in
        {97.0f, 0, 0},                             // neither wobbling nor bobbing
        {100.0f, kGreet, 0},
        {120.0f, kGreet, 0},
        {120.5f, over(kGreet, white, 127), over(0, white, 127)},
    };
    for (const Case& c : cases) {
        renderScene6(&state, c.t);
        uint32_t sprite = spriteColour(flickerIndex(c.t));
        if (c.t < 96.5f) sprite = over(sprite, white, c.t < 96.0f ? 229 : 127);
        if (c.t > 120.0f) sprite = over(sprite, white, 127);
        EXPECT_EQ(pixelAt(22, 332), sprite) << "t = " << c.t;
        if (c.t < 96.5f) continue;   // under the opening fade only the sprite is checked
        EXPECT_EQ(pixelAt(200, 410), c.caption) << "t = " << c.t;
        EXPECT_EQ(pixelAt(600, 100), c.bare) << "t = " << c.t;
    }
    renderScene6(&state, 100.0f);
    EXPECT_EQ(pixelAt(20, 330), spriteColour(0)) << "index 0 at t = 100";
}

TEST_F(Scene6Test, CreatureAboveItsWordInFrontOfTheBox) {
    // A creature square and a word square, both face-on at the origin, and a box: at
    // sin 2t = 0 they do not swing. The creature is lowered 1, the word 1.5, so from the
    // eye 6 units away they land around rows 230 + 200 * 1.732 * (1, 1.5) / 6.
    freeModel(state.pxl);
    freeModel(state.quillan);
    freeModel(state.simplebox);
    state.pxl = modelOf({squareXZ(15)});
    state.quillan = modelOf({squareXZ(20)});
    state.simplebox = modelOf({octahedron(2)});
    const float t = static_cast<float>(32 * M_PI);   // 100.53: sin 2t = 0
    renderScene6(&state, t);
    int creature = 0, word = 0, box = 0;
    const double creatureRow = meanRow(0xFF40C080, &creature);
    const double wordRow = meanRow(0xFF102030, &word);
    meanRow(0xFF8040C0, &box);
    EXPECT_GT(creature, 400);
    EXPECT_GT(word, 400);
    EXPECT_GT(box, 1000);
    EXPECT_NEAR(creatureRow, 230 + 200 * 1.732 / 6, 3);
    EXPECT_NEAR(wordRow, 230 + 200 * 1.732 * 1.5 / 6, 3);
    // Three passes in the overlap: the next word, set apart below this one, draws too.
    renderScene6(&state, 101.15f);
    int alone = 0;
    meanRow(0xFF102030, &alone);
    freeModel(state.valmora);
    state.valmora = modelOf({squareXZ(20)});
    for (int32_t i = 0; i < 4; ++i) state.valmora->meshes[0]->vertices[i].z -= 45;
    renderScene6(&state, 101.15f);
    int both = 0;
    meanRow(0xFF102030, &both);
    EXPECT_GT(alone, 30);   // nearly edge-on: the swing is large here
    EXPECT_GT(both, alone * 3 / 2);
}

TEST(Scene6Start, MissingGreetingFileLeavesItsPassBlank) {
    DataWithout data({"greets/valmora.ebr", "simplebox.ebr"});
    Scene6State state{};
    initScene6(&state);
    EXPECT_EQ(state.valmora->meshCount, 0);
    EXPECT_EQ(state.simplebox->meshCount, 0);
    EXPECT_GT(state.quillan->meshCount, 0);
    for (float t : {96.0f, 101.15f, 103.0f}) renderScene6(&state, t);
    release(&state);
}
