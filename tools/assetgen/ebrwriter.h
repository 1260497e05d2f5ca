// tools/assetgen/ebrwriter.h — building triangle meshes and writing them as .ebr files.
//
// Offers: EbrMesh (a mesh under construction), ebrAddVertex/ebrAddTriangle/ebrAddQuad,
//         ebrWeld (merge vertices at equal positions so normals are shared and smooth),
//         ebrSignedVolume, ebrFlipWinding, ebrBoundingRadius, encodeEbr, writeEbr.
// Needs:  tools/assetgen/music.h for writeFileAtomically.
//
// The file layout is the loader's (assets/mesh.h): int32 meshCount, then per mesh int32
// vertexCount, int32 triangleCount, int32 nameLength, the name, five float32 per vertex
// (x, y, z, u, v with v growing upwards) and three int32 per triangle, all little-endian.
//
// Winding: a triangle whose corners run counter-clockwise seen from outside has its face
// normal (e1 x e2) pointing outwards, which is what the environment mapping expects.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct EbrMesh {
    std::string name;              // stored in the file, ignored by the loader
    std::vector<float> vertices;   // x, y, z, u, v per vertex; v grows upwards
    std::vector<int32_t> indices;  // three per triangle, zero-based
};

inline int32_t ebrVertexCount(const EbrMesh& mesh) { return int32_t(mesh.vertices.size() / 5); }
inline int32_t ebrTriangleCount(const EbrMesh& mesh) { return int32_t(mesh.indices.size() / 3); }

// Appends a vertex and returns its index.
int32_t ebrAddVertex(EbrMesh* mesh, float x, float y, float z, float u, float v);
void ebrAddTriangle(EbrMesh* mesh, int32_t a, int32_t b, int32_t c);
// Two triangles a-b-c and a-c-d; a, b, c, d counter-clockwise seen from the front.
void ebrAddQuad(EbrMesh* mesh, int32_t a, int32_t b, int32_t c, int32_t d);

// Merges vertices whose positions agree within `tolerance` (the first one's u, v are kept),
// drops triangles that become degenerate and unused vertices. Deterministic: survivors keep
// their first-seen order.
void ebrWeld(EbrMesh* mesh, float tolerance);

// Volume enclosed by the triangles (positive when a closed mesh is wound outwards).
double ebrSignedVolume(const EbrMesh& mesh);
// Reverses every triangle's winding.
void ebrFlipWinding(EbrMesh* mesh);
// Largest distance of a vertex from the origin.
float ebrBoundingRadius(const EbrMesh& mesh);

// The bytes of an .ebr file holding `meshes` in order.
std::vector<uint8_t> encodeEbr(const std::vector<EbrMesh>& meshes);

// Checks every mesh (finite coordinates, indices inside the mesh, at least one triangle,
// fewer than 1,000,000 vertices) and writes the file atomically. False with the reason in
// *error when a mesh is malformed or the file cannot be written.
bool writeEbr(const std::string& path, const std::vector<EbrMesh>& meshes, std::string* error);
