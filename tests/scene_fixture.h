// Small hand-made pieces for the scene tests: solid pictures, a solid texture with its full
// mip chain, and a closed cube mesh.
#pragma once
#include <algorithm>
#include <cstdint>

#include "assets/image.h"
#include "assets/mesh.h"

namespace scenefix {

inline Image* filled(int32_t w, int32_t h, uint32_t value) {
    Image* image = newImage(w, h);
    std::fill(image->pixels, image->pixels + w * h, value);
    return image;
}

// A 256x256 texture of one colour with all nine levels down to 1x1.
inline Texture* solidTexture(uint32_t value) {
    Texture* texture = new Texture{8, new Image*[9]};
    texture->levels[0] = filled(256, 256, value);
    for (int i = 1; i <= 8; ++i) texture->levels[i] = halveImage(texture->levels[i - 1]);
    return texture;
}

inline void deleteTexture(Texture* texture) {
    if (!texture) return;
    for (int i = 0; i <= texture->maxLevel; ++i) freeImage(texture->levels[i]);
    delete[] texture->levels;
    delete texture;
}

// A closed cube of half-size h with shared corners (normals along the diagonals), every
// vertex at texture coordinate (uv, uv). With `oneTriangle`, only its first triangle: a
// mesh of another size.
inline Mesh* cubeMesh(float h, float uv, bool oneTriangle = false) {
    const int32_t faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                  {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    const int32_t n = oneTriangle ? 3 : 8;
    const int32_t indexCount = oneTriangle ? 3 : 36;
    Mesh* mesh = new Mesh{new Vertex[n], new int32_t[indexCount], n, indexCount};
    for (int32_t i = 0; i < n; ++i)
        mesh->vertices[i] = Vertex{(i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h, 1.0f,
                                   0, 0, 0, uv, uv};
    std::copy(&faces[0][0], &faces[0][0] + indexCount, mesh->indices);
    computeNormals(mesh);
    return mesh;
}

}  // namespace scenefix
