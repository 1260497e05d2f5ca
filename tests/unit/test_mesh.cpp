// The .ebr reader, smooth normals and the scenes' load helper. Every file is built here.
#include "assets/mesh.h"
#include "render3d/math3d.h"
#include "tests/unit/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using fixtures::ReportedProblem;
using fixtures::ReportedProblems;
using Bytes = std::vector<uint8_t>;

struct MeshSpec {
    std::string name;
    std::vector<std::array<float, 5>> vertices;  // x, y, z, u, v as stored in the file
    std::vector<std::array<int32_t, 3>> triangles;
};

void putWord(Bytes* out, uint32_t w) {
    for (int i = 0; i < 4; ++i) out->push_back(uint8_t(w >> (8 * i)));
}
void putInt(Bytes* out, int32_t i) { putWord(out, static_cast<uint32_t>(i)); }
void putFloat(Bytes* out, float f) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    putWord(out, w);
}

Bytes ebr(const std::vector<MeshSpec>& meshes) {
    Bytes out;
    putInt(&out, int32_t(meshes.size()));
    for (const MeshSpec& m : meshes) {
        putInt(&out, int32_t(m.vertices.size()));
        putInt(&out, int32_t(m.triangles.size()));
        putInt(&out, int32_t(m.name.size()));
        out.insert(out.end(), m.name.begin(), m.name.end());
        for (const auto& v : m.vertices)
            for (float f : v) putFloat(&out, f);
        for (const auto& t : m.triangles)
            for (int32_t i : t) putInt(&out, i);
    }
    return out;
}

// One counter-clockwise unit triangle in the z = 0 plane.
MeshSpec unitTriangle(std::string name = "tri") {
    return {std::move(name), {{0, 0, 0, 0.5f, 0.25f}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}}, {{0, 1, 2}}};
}

// Owns a parsed model for the length of a test.
struct Parsed {
    Model model{nullptr, 0};
    std::string error;
    bool ok = false;
    explicit Parsed(const Bytes& bytes) {
        ok = parseModel(bytes.data(), bytes.size(), &model, &error);
    }
    ~Parsed() { clearModel(&model); }
};

void expectNormal(const Vertex& v, float x, float y, float z) {
    EXPECT_NEAR(v.nx, x, 1e-6f);
    EXPECT_NEAR(v.ny, y, 1e-6f);
    EXPECT_NEAR(v.nz, z, 1e-6f);
}

// ---------------------------------------------------------------------------------------
// Layout

TEST(ParseModel, ReadsEveryMeshInFileOrder) {
    MeshSpec quad{"", {{-1, -1, 2, 0, 0}, {1, -1, 2, 1, 0}, {1, 1, 2, 1, 1}, {-1, 1, 2, 0, 1}},
                  {{0, 1, 2}, {0, 2, 3}}};
    Parsed p(ebr({unitTriangle("first mesh"), quad}));
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.model.meshCount, 2);

    const Mesh& tri = *p.model.meshes[0];
    ASSERT_EQ(tri.vertexCount, 3);
    ASSERT_EQ(tri.indexCount, 3);
    EXPECT_EQ(tri.vertices[1].x, 1.0f);
    EXPECT_EQ(tri.vertices[0].u, 0.5f);    // u as stored
    EXPECT_EQ(tri.vertices[0].v, 0.75f);   // v flipped: 1 - 0.25
    EXPECT_EQ(tri.vertices[2].v, 0.0f);

    // Nameless block: its vertices follow the counts directly.
    const Mesh& q = *p.model.meshes[1];
    ASSERT_EQ(q.vertexCount, 4);
    ASSERT_EQ(q.indexCount, 6);
    EXPECT_EQ(std::vector<int32_t>(q.indices, q.indices + 6), (std::vector<int32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(q.vertices[3].x, -1.0f);
    EXPECT_EQ(q.vertices[3].y, 1.0f);
    EXPECT_EQ(q.vertices[3].z, 2.0f);
    for (const Mesh* m : {&tri, &q})
        for (int j = 0; j < m->vertexCount; ++j) EXPECT_EQ(m->vertices[j].w, 1.0f);
}

TEST(ParseModel, EmptyModelsAndMeshes) {
    Parsed none(ebr({}));
    ASSERT_TRUE(none.ok) << none.error;
    EXPECT_EQ(none.model.meshCount, 0);
    EXPECT_EQ(none.model.meshes, nullptr);

    Parsed hollow(ebr({MeshSpec{"empty", {}, {}}}));
    ASSERT_TRUE(hollow.ok) << hollow.error;
    ASSERT_EQ(hollow.model.meshCount, 1);
    EXPECT_EQ(hollow.model.meshes[0]->vertexCount, 0);
    EXPECT_EQ(hollow.model.meshes[0]->indexCount, 0);
}

TEST(ParseModel, TrailingBytesAfterTheLastMeshAreIgnored) {
    Bytes bytes = ebr({unitTriangle()});
    bytes.insert(bytes.end(), {1, 2, 3});
    Parsed p(bytes);
    EXPECT_TRUE(p.ok) << p.error;
}

// ---------------------------------------------------------------------------------------
// Normals

TEST(ComputeNormals, FollowTheWindingOfOneTriangle) {
    Parsed ccw(ebr({unitTriangle()}));
    ASSERT_TRUE(ccw.ok);
    for (int j = 0; j < 3; ++j) expectNormal(ccw.model.meshes[0]->vertices[j], 0, 0, 1);

    MeshSpec cw = unitTriangle();
    cw.triangles = {{0, 2, 1}};
    Parsed back(ebr({cw}));
    ASSERT_TRUE(back.ok);
    for (int j = 0; j < 3; ++j) expectNormal(back.model.meshes[0]->vertices[j], 0, 0, -1);
}

// Normals are scaled to unit length as normalize does it: the square root rounded to float,
// then its reciprocal. Taking the reciprocal of the double square root and rounding once
// differs in the last place for many lengths; some of the lengths here are such.
TEST(ComputeNormals, ScaleAsNormalizeDoes) {
    int differFromOneRounding = 0;
    for (int i = 0; i < 24; ++i) {
        for (int j = 0; j < 24; ++j) {
            const float b = 1.0f + 0.37f * static_cast<float>(i);
            const float c = 0.5f + 0.73f * static_cast<float>(j);
            // Face normal (1, 0, 0) x (0, b, c) = (0, -c, b), exact in floats.
            Mesh* mesh = fixtures::newMesh(
                {fixtures::vertexAt(0, 0, 0), fixtures::vertexAt(1, 0, 0), fixtures::vertexAt(0, b, c)},
                {0, 1, 2});
            Vec3 want;
            normalize(want, Vec3{0.0f, -c, b});
            const Vertex& got = mesh->vertices[2];
            EXPECT_EQ(got.ny, want.y) << b << " " << c;
            EXPECT_EQ(got.nz, want.z) << b << " " << c;
            const float len2 = c * c + b * b;
            const float once = static_cast<float>(1.0 / std::sqrt(static_cast<double>(len2)));
            if (b * once != want.z || -c * once != want.y) ++differFromOneRounding;
            freeModel(fixtures::modelOf({mesh}));
        }
    }
    EXPECT_GT(differFromOneRounding, 0) << "no length here tells the two roundings apart";
}

TEST(ComputeNormals, LargerFaceDominatesASharedCorner) {
    // Vertex 0 is shared: a 4x4 right triangle facing +z (face vector (0,0,16)) and a
    // 1x1 one facing +x (face vector (1,0,0)).
    MeshSpec m{"", {{0, 0, 0, 0, 0}, {4, 0, 0, 0, 0}, {0, 4, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}},
               {{0, 1, 2}, {0, 3, 4}}};
    Parsed p(ebr({m}));
    ASSERT_TRUE(p.ok);
    const Vertex* v = p.model.meshes[0]->vertices;
    const float len = std::sqrt(16.0f * 16.0f + 1.0f);
    expectNormal(v[0], 1 / len, 0, 16 / len);
    expectNormal(v[1], 0, 0, 1);
    expectNormal(v[3], 1, 0, 0);
}

TEST(ComputeNormals, DegenerateTriangleChangesNothing) {
    MeshSpec plain = unitTriangle();
    MeshSpec extra = plain;
    extra.triangles.push_back({0, 0, 1});  // two equal corners
    extra.triangles.push_back({0, 1, 1});
    Parsed a(ebr({plain})), b(ebr({extra}));
    ASSERT_TRUE(a.ok && b.ok);
    for (int j = 0; j < 3; ++j) {
        const Vertex& va = a.model.meshes[0]->vertices[j];
        const Vertex& vb = b.model.meshes[0]->vertices[j];
        EXPECT_EQ(va.nx, vb.nx);
        EXPECT_EQ(va.ny, vb.ny);
        EXPECT_EQ(va.nz, vb.nz);
    }
}

TEST(ComputeNormals, VertexWithoutDirectionGetsZeroNotNaN) {
    // Vertex 3 is used by nobody, vertex 4 only by a collapsed triangle.
    MeshSpec m = unitTriangle();
    m.vertices.push_back({5, 5, 5, 0, 0});
    m.vertices.push_back({7, 7, 7, 0, 0});
    m.triangles.push_back({4, 4, 4});
    Parsed p(ebr({m}));
    ASSERT_TRUE(p.ok);
    expectNormal(p.model.meshes[0]->vertices[3], 0, 0, 0);
    expectNormal(p.model.meshes[0]->vertices[4], 0, 0, 0);
    expectNormal(p.model.meshes[0]->vertices[0], 0, 0, 1);
}

TEST(ComputeNormals, RecomputesFromCurrentPositionsOnly) {
    Parsed p(ebr({unitTriangle()}));
    ASSERT_TRUE(p.ok);
    Mesh* mesh = p.model.meshes[0];
    // Tilt the triangle into the x = 0 plane, as the scenes deform meshes every frame.
    mesh->vertices[1].x = 0;
    mesh->vertices[1].z = 1;
    computeNormals(mesh);
    computeNormals(mesh);  // a second pass must not accumulate onto the first
    for (int j = 0; j < 3; ++j) expectNormal(mesh->vertices[j], -1, 0, 0);
}

// ---------------------------------------------------------------------------------------
// Malformed files: refused, reason given, model left empty

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct BadFile {
    const char* name;
    std::function<Bytes()> make;
};

Bytes withInt(Bytes b, size_t offset, int32_t value) {
    Bytes patch;
    putInt(&patch, value);
    std::copy(patch.begin(), patch.end(), b.begin() + long(offset));
    return b;
}

// Offsets in a file holding unitTriangle("tri"): counts at 4, 8, 12, name at 16,
// vertices at 19, triangles at 79.
const BadFile kBadFiles[] = {
    {"empty", [] { return Bytes{}; }},
    {"shorter_than_count", [] { return Bytes{1, 0}; }},
    {"negative_mesh_count", [] { return withInt(ebr({unitTriangle()}), 0, -1); }},
    {"absurd_mesh_count", [] { return withInt(ebr({unitTriangle()}), 0, 0x7FFFFFFF); }},
    {"two_meshes_announced_one_present", [] { return withInt(ebr({unitTriangle()}), 0, 2); }},
    {"negative_vertex_count", [] { return withInt(ebr({unitTriangle()}), 4, -3); }},
    {"negative_triangle_count", [] { return withInt(ebr({unitTriangle()}), 8, -1); }},
    {"negative_name_length", [] { return withInt(ebr({unitTriangle()}), 12, -4); }},
    {"name_longer_than_file", [] { return withInt(ebr({unitTriangle()}), 12, 1 << 30); }},
    {"vertex_count_past_end", [] { return withInt(ebr({unitTriangle()}), 4, 4); }},
    {"absurd_vertex_count", [] { return withInt(ebr({unitTriangle()}), 4, 0x7FFFFFFF); }},
    {"absurd_triangle_count", [] { return withInt(ebr({unitTriangle()}), 8, 0x7FFFFFFF); }},
    {"index_equal_to_vertex_count", [] {
         MeshSpec m = unitTriangle();
         m.triangles[0][2] = 3;
         return ebr({m});
     }},
    {"negative_index", [] {
         MeshSpec m = unitTriangle();
         m.triangles.push_back({0, -1, 2});
         return ebr({m});
     }},
    {"index_of_the_other_mesh", [] {
         MeshSpec big{"", {}, {}};
         for (int i = 0; i < 5; ++i) big.vertices.push_back({float(i), 0, 0, 0, 0});
         MeshSpec small = unitTriangle();
         small.triangles[0] = {0, 1, 4};  // valid only in the first mesh
         return ebr({big, small});
     }},
    {"nan_position", [] {
         MeshSpec m = unitTriangle();
         m.vertices[1][1] = kNaN;
         return ebr({m});
     }},
    {"infinite_u", [] {
         MeshSpec m = unitTriangle();
         m.vertices[2][3] = -kInf;
         return ebr({m});
     }},
    {"infinite_v", [] {
         MeshSpec m = unitTriangle();
         m.vertices[0][4] = kInf;
         return ebr({m});
     }},
    {"second_mesh_broken", [] {
         MeshSpec m = unitTriangle();
         m.triangles[0][0] = 9;
         return ebr({unitTriangle(), m});
     }},
};

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }

class ParseModelBad : public ::testing::TestWithParam<BadFile> {};

TEST_P(ParseModelBad, IsRefusedWithAReason) {
    Parsed p(GetParam().make());
    EXPECT_FALSE(p.ok);
    EXPECT_FALSE(p.error.empty());
    EXPECT_EQ(p.model.meshCount, 0);
    EXPECT_EQ(p.model.meshes, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, ParseModelBad, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParseModelBadTruncation, EveryCutIsRefused) {
    const Bytes whole = ebr({unitTriangle(), unitTriangle("second")});
    for (size_t keep = 0; keep < whole.size(); ++keep) {
        const Bytes cut(whole.begin(), whole.begin() + long(keep));
        Parsed p(cut);
        EXPECT_FALSE(p.ok) << "kept " << keep << " of " << whole.size();
    }
}

TEST(ParseModelLimits, VertexCountUpToTheRendererBuffer) {
    MeshSpec m{"", {}, {}};
    m.vertices.assign(size_t(kMaxMeshVertices), {0, 0, 0, 0, 0});
    {
        Parsed p(ebr({m}));
        EXPECT_TRUE(p.ok) << p.error;
    }
    m.vertices.push_back({0, 0, 0, 0, 0});
    Parsed p(ebr({m}));
    EXPECT_FALSE(p.ok);
    EXPECT_NE(p.error.find(std::to_string(kMaxMeshVertices)), std::string::npos) << p.error;
}

TEST(ParseModelLimits, RefusesToFillAModelThatIsNotEmpty) {
    const Bytes bytes = ebr({unitTriangle()});
    Model model{nullptr, 0};
    ASSERT_TRUE(parseModel(bytes.data(), bytes.size(), &model, nullptr));
    Mesh** before = model.meshes;
    std::string error;
    EXPECT_FALSE(parseModel(bytes.data(), bytes.size(), &model, &error));
    EXPECT_EQ(model.meshes, before);
    clearModel(&model);
}

// ---------------------------------------------------------------------------------------
// loadModel and openModel

std::string scratchPath(const char* name) {
    return ::testing::TempDir() + "meshtest_" + std::to_string(getpid()) + "_" + name;
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

TEST(LoadModel, ReadsTheWholeOpenFile) {
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    const Bytes bytes = ebr({unitTriangle(), unitTriangle()});
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    Model model{nullptr, 0};
    std::string error;
    ASSERT_TRUE(loadModel(f, &model, &error)) << error;  // closes f
    EXPECT_EQ(model.meshCount, 2);
    clearModel(&model);

    FILE* bad = std::tmpfile();
    ASSERT_NE(bad, nullptr);
    std::fwrite(bytes.data(), 1, 10, bad);
    std::rewind(bad);
    EXPECT_FALSE(loadModel(bad, &model, &error));
    EXPECT_EQ(model.meshCount, 0);
    EXPECT_FALSE(error.empty());
}

TEST(OpenModel, ReportsMissingAndBrokenFilesAndCarriesOn) {
    struct Case {
        const char* name;
        Bytes bytes;           // written to the path unless `missing`
        bool missing;
        int32_t meshCount;     // expected; -1: refused
        const char* reason;    // the start of the reported reason
    };
    const Case cases[] = {
        {"missing.ebr", {}, true, -1, "No such file or directory"},
        {"short.ebr", {3, 0, 0}, false, -1, "the file is too short"},
        {"bad_index.ebr", withInt(ebr({unitTriangle()}), 79, 50), false, -1,
         "mesh 0: triangle 0 uses vertex 50"},
        {"good.ebr", ebr({unitTriangle()}), false, 1, ""},
    };
    for (const Case& c : cases) {
        const std::string path = scratchPath(c.name);
        std::remove(path.c_str());
        if (!c.missing) writeBytes(path, c.bytes);
        const ReportedProblems reported;
        Model* model = openModel(path.c_str());
        ASSERT_NE(model, nullptr);
        if (c.meshCount < 0) {
            EXPECT_EQ(model->meshCount, 0) << c.name;
            EXPECT_EQ(model->meshes, nullptr) << c.name;
            ASSERT_EQ(reported.problems.size(), 1u) << c.name;
            const ReportedProblem& p = reported.problems[0];
            EXPECT_EQ(p.kind, AssetKind::mesh);
            EXPECT_EQ(p.path, path);
            EXPECT_EQ(p.message, "Error: .ebr file not found");
            EXPECT_EQ(p.reason.rfind(c.reason, 0), 0u) << p.reason;
        } else {
            EXPECT_EQ(model->meshCount, c.meshCount) << c.name;
            EXPECT_TRUE(reported.problems.empty()) << c.name;
        }
        freeModel(model);
        std::remove(path.c_str());
    }
}

}  // namespace
