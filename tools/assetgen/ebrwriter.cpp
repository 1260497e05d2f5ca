// tools/assetgen/ebrwriter.cpp — mesh building helpers and the .ebr writer.
#include "tools/assetgen/ebrwriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

#include "tools/assetgen/music.h"

namespace {

constexpr int32_t kMaxVertices = 1000000;  // the renderer's transformed-vertex buffer

void putInt(std::vector<uint8_t>* out, int32_t value) {
    const uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void putFloat(std::vector<uint8_t>* out, float value) {
    uint32_t u;
    std::memcpy(&u, &value, 4);
    putInt(out, static_cast<int32_t>(u));
}

// Reason why `mesh` cannot be written, or an empty string.
std::string checkMesh(const EbrMesh& mesh) {
    const std::string who = "mesh '" + mesh.name + "': ";
    if (mesh.vertices.size() % 5 != 0) return who + "vertex array is not a multiple of 5 floats";
    if (mesh.indices.size() % 3 != 0) return who + "index array is not a multiple of 3";
    const int32_t n = ebrVertexCount(mesh);
    if (n >= kMaxVertices) return who + std::to_string(n) + " vertices, too many for the renderer";
    if (mesh.indices.empty()) return who + "no triangles";
    for (float f : mesh.vertices)
        if (!std::isfinite(f)) return who + "non-finite vertex value";
    for (int32_t i : mesh.indices)
        if (i < 0 || i >= n) return who + "index " + std::to_string(i) + " outside 0.." + std::to_string(n - 1);
    return {};
}

}  // namespace

int32_t ebrAddVertex(EbrMesh* mesh, float x, float y, float z, float u, float v) {
    const int32_t index = ebrVertexCount(*mesh);
    mesh->vertices.insert(mesh->vertices.end(), {x, y, z, u, v});
    return index;
}

void ebrAddTriangle(EbrMesh* mesh, int32_t a, int32_t b, int32_t c) {
    mesh->indices.insert(mesh->indices.end(), {a, b, c});
}

void ebrAddQuad(EbrMesh* mesh, int32_t a, int32_t b, int32_t c, int32_t d) {
    ebrAddTriangle(mesh, a, b, c);
    ebrAddTriangle(mesh, a, c, d);
}

void ebrWeld(EbrMesh* mesh, float tolerance) {
    // Positions are snapped to a grid of `tolerance`; the generators place shared points
    // exactly (or within float rounding), far from the cell borders in practice.
    using Key = std::tuple<long long, long long, long long>;
    std::map<Key, int32_t> seen;
    const int32_t n = ebrVertexCount(*mesh);
    std::vector<int32_t> remap(n);
    std::vector<float> kept;
    for (int32_t i = 0; i < n; ++i) {
        const float* p = &mesh->vertices[5 * i];
        const Key key{std::llround(p[0] / tolerance), std::llround(p[1] / tolerance),
                      std::llround(p[2] / tolerance)};
        auto it = seen.find(key);
        if (it != seen.end()) {
            remap[i] = it->second;
            continue;
        }
        const int32_t index = int32_t(kept.size() / 5);
        seen.emplace(key, index);
        remap[i] = index;
        kept.insert(kept.end(), p, p + 5);
    }
    std::vector<int32_t> indices;
    for (size_t t = 0; t + 2 < mesh->indices.size(); t += 3) {
        const int32_t a = remap[mesh->indices[t]], b = remap[mesh->indices[t + 1]],
                      c = remap[mesh->indices[t + 2]];
        if (a == b || b == c || a == c) continue;
        indices.insert(indices.end(), {a, b, c});
    }
    mesh->vertices.swap(kept);
    mesh->indices.swap(indices);
}

double ebrSignedVolume(const EbrMesh& mesh) {
    double volume = 0.0;
    for (size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const float* a = &mesh.vertices[5 * mesh.indices[t]];
        const float* b = &mesh.vertices[5 * mesh.indices[t + 1]];
        const float* c = &mesh.vertices[5 * mesh.indices[t + 2]];
        // a . (b x c) / 6: the tetrahedron spanned with the origin.
        volume += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) +
                   double(a[1]) * (double(b[2]) * c[0] - double(b[0]) * c[2]) +
                   double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) / 6.0;
    }
    return volume;
}

void ebrFlipWinding(EbrMesh* mesh) {
    for (size_t t = 0; t + 2 < mesh->indices.size(); t += 3)
        std::swap(mesh->indices[t + 1], mesh->indices[t + 2]);
}

float ebrBoundingRadius(const EbrMesh& mesh) {
    double r2 = 0.0;
    for (size_t i = 0; i + 4 < mesh.vertices.size(); i += 5) {
        const double x = mesh.vertices[i], y = mesh.vertices[i + 1], z = mesh.vertices[i + 2];
        r2 = std::max(r2, x * x + y * y + z * z);
    }
    return static_cast<float>(std::sqrt(r2));
}

std::vector<uint8_t> encodeEbr(const std::vector<EbrMesh>& meshes) {
    std::vector<uint8_t> out;
    putInt(&out, int32_t(meshes.size()));
    for (const EbrMesh& mesh : meshes) {
        putInt(&out, ebrVertexCount(mesh));
        putInt(&out, ebrTriangleCount(mesh));
        putInt(&out, int32_t(mesh.name.size()));
        out.insert(out.end(), mesh.name.begin(), mesh.name.end());
        for (float f : mesh.vertices) putFloat(&out, f);
        for (int32_t i : mesh.indices) putInt(&out, i);
    }
    return out;
}

bool writeEbr(const std::string& path, const std::vector<EbrMesh>& meshes, std::string* error) {
    for (const EbrMesh& mesh : meshes) {
        const std::string problem = checkMesh(mesh);
        if (!problem.empty()) {
            *error = path + ": " + problem;
            return false;
        }
    }
    return writeFileAtomically(path, encodeEbr(meshes), error);
}
