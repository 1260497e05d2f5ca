// assets/mesh.cpp — the .ebr mesh reader, smooth normals and the scenes' load helper.
//
// Nothing in a file is trusted: every count is checked against the bytes that remain
// before anything is allocated for it, so a damaged file is refused with a reason
// instead of being read past its end.
#include "assets/mesh.h"

#include "assets/report.h"
#include "platform/paths.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

namespace {

// Far above any asset; keeps a stray device file or a mistaken path from filling memory.
constexpr size_t kMaxModelFileBytes = 512u * 1024u * 1024u;

constexpr size_t kBlockHeaderBytes = 12;   // vertexCount, triangleCount, nameLength
constexpr size_t kVertexRecordBytes = 20;  // x, y, z, u, v
constexpr size_t kTriangleRecordBytes = 12;

// Little-endian cursor over the file's bytes; reads fail instead of running off the end.
struct Reader {
    const uint8_t* data;
    size_t left;

    uint32_t word() {  // caller has checked left >= 4
        const uint32_t w = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                           uint32_t(data[3]) << 24;
        data += 4;
        left -= 4;
        return w;
    }
    int32_t i32() { return static_cast<int32_t>(word()); }
    float f32() {
        const uint32_t w = word();
        float f;
        std::memcpy(&f, &w, sizeof f);
        return f;
    }
};

std::string meshLabel(int32_t index) { return "mesh " + std::to_string(index) + ": "; }

void freeMesh(Mesh* mesh) {
    if (!mesh) return;
    delete[] mesh->vertices;
    delete[] mesh->indices;
    delete mesh;
}

// Reads one mesh block; on failure returns null with the reason in *error.
Mesh* parseMesh(Reader* in, int32_t index, std::string* error) {
    const std::string label = meshLabel(index);
    if (in->left < kBlockHeaderBytes) {
        *error = label + "the file ends inside the mesh's counts";
        return nullptr;
    }
    const int32_t vertexCount = in->i32();
    const int32_t triangleCount = in->i32();
    const int32_t nameLength = in->i32();
    if (vertexCount < 0 || triangleCount < 0 || nameLength < 0) {
        *error = label + "negative count (vertices " + std::to_string(vertexCount) +
                 ", triangles " + std::to_string(triangleCount) + ", name length " +
                 std::to_string(nameLength) + ")";
        return nullptr;
    }
    if (vertexCount > kMaxMeshVertices) {
        *error = label + std::to_string(vertexCount) + " vertices, more than the " +
                 std::to_string(kMaxMeshVertices) + " a mesh may have";
        return nullptr;
    }
    if (static_cast<size_t>(nameLength) > in->left) {
        *error = label + "the file ends inside the mesh's name";
        return nullptr;
    }
    in->data += nameLength;
    in->left -= static_cast<size_t>(nameLength);
    if (static_cast<size_t>(vertexCount) > in->left / kVertexRecordBytes) {
        *error = label + "the file ends inside the vertex records (" +
                 std::to_string(vertexCount) + " announced)";
        return nullptr;
    }
    const size_t vertexBytes = static_cast<size_t>(vertexCount) * kVertexRecordBytes;
    const size_t triangleRoom = (in->left - vertexBytes) / kTriangleRecordBytes;
    if (static_cast<size_t>(triangleCount) > triangleRoom ||
        triangleCount > std::numeric_limits<int32_t>::max() / 3) {
        *error = label + "the file ends inside the triangle records (" +
                 std::to_string(triangleCount) + " announced)";
        return nullptr;
    }

    Mesh* mesh = new Mesh;
    mesh->vertexCount = vertexCount;
    mesh->indexCount = 3 * triangleCount;
    mesh->vertices = new Vertex[static_cast<size_t>(vertexCount)];
    mesh->indices = new int32_t[static_cast<size_t>(mesh->indexCount)];

    for (int32_t j = 0; j < vertexCount; ++j) {
        Vertex& v = mesh->vertices[j];
        v.x = in->f32();
        v.y = in->f32();
        v.z = in->f32();
        v.w = 1.0f;
        v.nx = v.ny = v.nz = 0.0f;
        v.u = in->f32();
        const float fileV = in->f32();
        v.v = 1.0f - fileV;
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z) ||
            !std::isfinite(v.u) || !std::isfinite(fileV)) {
            *error = label + "vertex " + std::to_string(j) + " has a coordinate that is not a finite number";
            freeMesh(mesh);
            return nullptr;
        }
    }
    for (int32_t k = 0; k < mesh->indexCount; ++k) {
        const int32_t i = in->i32();
        if (i < 0 || i >= vertexCount) {
            *error = label + "triangle " + std::to_string(k / 3) + " uses vertex " +
                     std::to_string(i) + ", the mesh has " + std::to_string(vertexCount);
            freeMesh(mesh);
            return nullptr;
        }
        mesh->indices[k] = i;
    }
    computeNormals(mesh);
    return mesh;
}

}  // namespace

bool parseModel(const uint8_t* data, size_t size, Model* model, std::string* error) {
    std::string reason;
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    if (model->meshes || model->meshCount != 0) return fail("the model to fill is not empty");

    Reader in{data, data ? size : 0};
    if (in.left < 4) return fail("the file is too short to hold a mesh count");
    const int32_t meshCount = in.i32();
    if (meshCount < 0) return fail("negative mesh count " + std::to_string(meshCount));
    if (static_cast<size_t>(meshCount) > in.left / kBlockHeaderBytes)
        return fail("the file is too short for the " + std::to_string(meshCount) +
                    " meshes it announces");

    Model built{nullptr, 0};
    built.meshes = new Mesh*[static_cast<size_t>(meshCount)];
    for (int32_t i = 0; i < meshCount; ++i) {
        Mesh* mesh = parseMesh(&in, i, &reason);
        if (!mesh) {
            clearModel(&built);
            return fail(reason);
        }
        built.meshes[built.meshCount++] = mesh;
    }
    if (meshCount == 0) {
        delete[] built.meshes;
        built.meshes = nullptr;
    }
    *model = built;
    return true;
}

bool loadModel(FILE* file, Model* model, std::string* error) {
    if (!file) {
        if (error) *error = "no file to read";
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    bool tooLarge = false;
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (bytes.size() + got > kMaxModelFileBytes) {
            tooLarge = true;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (got < sizeof chunk) break;
    }
    const bool readError = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (tooLarge || readError) {
        if (error)
            *error = tooLarge ? "the file is larger than any mesh file can be"
                              : std::string("cannot read the file: ") + std::strerror(readErrno);
        return false;
    }
    return parseModel(bytes.data(), bytes.size(), model, error);
}

void computeNormals(Mesh* mesh) {
    Vertex* v = mesh->vertices;
    const int32_t* idx = mesh->indices;
    for (int32_t j = 0; j < mesh->vertexCount; ++j) v[j].nx = v[j].ny = v[j].nz = 0.0f;

    // Unnormalised face vectors: larger faces weigh more in the shared corners.
    for (int32_t k = 0; k + 2 < mesh->indexCount; k += 3) {
        Vertex& a = v[idx[k]];
        Vertex& b = v[idx[k + 1]];
        Vertex& c = v[idx[k + 2]];
        const float e1x = b.x - a.x, e1y = b.y - a.y, e1z = b.z - a.z;
        const float e2x = c.x - a.x, e2y = c.y - a.y, e2z = c.z - a.z;
        const float nx = e1y * e2z - e1z * e2y;
        const float ny = e1z * e2x - e1x * e2z;
        const float nz = e1x * e2y - e1y * e2x;
        a.nx += nx; a.ny += ny; a.nz += nz;
        b.nx += nx; b.ny += ny; b.nz += nz;
        c.nx += nx; c.ny += ny; c.nz += nz;
    }

    for (int32_t j = 0; j < mesh->vertexCount; ++j) {
        Vertex& p = v[j];
        const float len2 = p.nx * p.nx + p.ny * p.ny + p.nz * p.nz;
        // A vertex no triangle gives a direction (unused, or only in degenerate
        // triangles) keeps the zero vector rather than 0 * inf = NaN, which would turn
        // into NaN environment-map coordinates.
        if (!(len2 > 0.0f && len2 <= FLT_MAX)) {
            p.nx = p.ny = p.nz = 0.0f;
            continue;
        }
        // As normalize does it: the square root rounded to float first, then its reciprocal.
        const float length = static_cast<float>(std::sqrt(static_cast<double>(len2)));
        const float k = 1.0f / length;
        p.nx *= k;
        p.ny *= k;
        p.nz *= k;
    }
}

Model* openModel(const char* path) {
    Model* model = new Model{nullptr, 0};
    std::string reason;
    FILE* file = openFile(path, "rb");
    if (!file) {
        const int openErrno = errno;
        // A folder: the Linux C library opens it and fails at the first read, the Windows one
        // refuses to open it. Said the same way on both.
        std::error_code ec;
        reason = std::filesystem::is_directory(filePath(path), ec)
                     ? std::string("cannot read the file: ") + std::strerror(EISDIR)
                     : std::strerror(openErrno);
    } else if (loadModel(file, model, &reason))
        return model;
    reportAssetProblem({AssetKind::mesh, path, "Error: .ebr file not found", reason.c_str()});
    return model;
}

Mesh* firstMesh(const Model* model) {
    if (!model || model->meshCount < 1 || !model->meshes) return nullptr;
    return model->meshes[0];
}

void clearModel(Model* model) {
    if (!model) return;
    for (int32_t i = 0; i < model->meshCount; ++i) freeMesh(model->meshes[i]);
    delete[] model->meshes;
    model->meshes = nullptr;
    model->meshCount = 0;
}

void freeModel(Model* model) {
    clearModel(model);
    delete model;
}
