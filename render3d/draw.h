// render3d/draw.h — the scenes' entry points into the 3D pipeline.
//
// drawMesh transforms every vertex by model*view*projection, divides by w, takes texture
// coordinates from the mesh or (envMap) from the eye-space normal, and sends each
// triangle through the clipper to the rasteriser. Nothing is drawn while drawing is
// suspended (assets/image.h).
#pragma once
#include <cstdint>

#include "assets/mesh.h"
#include "render3d/renderer.h"

void drawMesh(Renderer* r, const Vertex* vertices, const int32_t* indices,
              int32_t vertexCount, int32_t indexCount);
void drawModel(Renderer* r, const Model* model);
