// assets/mesh.h — the demo's own binary mesh format (.ebr) and its loader.
//
// Offers: Vertex, Mesh, Model, parseModel (returns errors; the core the fuzzer drives),
//         loadModel (from an open FILE*), computeNormals, openModel (the scenes' one-call
//         "open, load or report" helper).
// Needs:  assets/report.h for the missing-file report.
//
// File layout, little-endian, no header:
//   int32 meshCount, then meshCount blocks of
//   int32 vertexCount, int32 triangleCount, int32 nameLength, nameLength bytes (skipped),
//   vertexCount * (float x, y, z, u, v), triangleCount * (int32 i0, i1, i2).
// v grows upwards in the file; in memory v = 1 - v_file, so v = 0 is the texture's top row.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct Vertex {
    float x, y, z, w;      // object-space position, w = 1 after loading
    float nx, ny, nz;      // unit normal (computeNormals)
    float u, v;            // texture coordinates, v = 0 at the top row
};

struct Mesh {
    Vertex* vertices;
    int32_t* indices;      // three per triangle
    int32_t vertexCount;
    int32_t indexCount;    // 3 * triangleCount
};

struct Model {
    Mesh** meshes;
    int32_t meshCount;
};

// Most vertices one mesh may have: the renderer's transformed-vertex buffer holds this many.
constexpr int32_t kMaxMeshVertices = 1000000;

// Parses a whole .ebr file held in memory into `model` (which must be empty) and computes
// normals. Refuses short files, negative or absurd counts, indices outside their mesh,
// non-finite coordinates and meshes larger than kMaxMeshVertices: returns false with the
// reason in *error and leaves `model` empty.
bool parseModel(const uint8_t* data, size_t size, Model* model, std::string* error);

// Reads the whole open file into `model` and closes the file. A malformed file leaves
// `model` empty and returns false with the reason in *error.
bool loadModel(FILE* file, Model* model, std::string* error = nullptr);

// Smooth per-vertex normals: the sum of the unnormalised face normals (e1 x e2) of every
// triangle that uses the vertex, scaled to unit length. A vertex that gets no direction
// (used by no triangle, or only by degenerate ones) keeps the normal (0, 0, 0).
void computeNormals(Mesh* mesh);

// The scenes' mesh loading step: a new empty Model, filled from `path` when the file opens
// and is well formed; otherwise the problem goes to the asset reporter (assets/report.h)
// with the message "Error: .ebr file not found" and the Model stays empty. Never returns null.
Model* openModel(const char* path);

// The model's first mesh; null when there is no model or it has no mesh.
Mesh* firstMesh(const Model* model);

// Releasing mirrors loading (as for pictures, assets/image.h):
//   loadModel(file, model)   -> clearModel(model): frees every mesh, the record stays, empty
//   openModel(path)          -> freeModel: clearModel, then deletes the heap record
// Both accept null. The demo keeps its models for the whole run; tools and tests release.
void clearModel(Model* model);
void freeModel(Model* model);
