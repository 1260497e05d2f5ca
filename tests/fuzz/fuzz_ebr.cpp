// libFuzzer target: parseModel over arbitrary bytes must return, never crash or leak,
// and whatever it accepts must be safe for the renderer to walk.
#include "assets/mesh.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Model model{nullptr, 0};
    std::string error;
    if (!parseModel(data, size, &model, &error)) {
        if (error.empty() || model.meshes || model.meshCount) __builtin_trap();
        return 0;
    }
    for (int32_t m = 0; m < model.meshCount; ++m) {
        const Mesh* mesh = model.meshes[m];
        if (mesh->vertexCount > kMaxMeshVertices || mesh->indexCount % 3) __builtin_trap();
        for (int32_t k = 0; k < mesh->indexCount; ++k)
            if (mesh->indices[k] < 0 || mesh->indices[k] >= mesh->vertexCount) __builtin_trap();
        for (int32_t j = 0; j < mesh->vertexCount; ++j) {
            const Vertex& v = mesh->vertices[j];
            if (std::isnan(v.nx) || std::isnan(v.ny) || std::isnan(v.nz) || v.w != 1.0f)
                __builtin_trap();
        }
    }
    clearModel(&model);
    return 0;
}
