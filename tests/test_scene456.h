// Small hand-made pieces for the tests of the bronze object, tunnel and greetings scenes:
// solid pictures and textures, tiny meshes, and a copy of data/ with chosen files missing.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>

#include "assets/image.h"
#include "assets/mesh.h"
#include "display/messagebox.h"
#include "gfx2d/blit.h"
#include "render3d/renderer.h"
#include "scene_fixture.h"

namespace fixture {

using scenefix::deleteTexture;

inline Image* solid(int32_t w, int32_t h, uint32_t value) { return scenefix::filled(w, h, value); }

// A one-level 256x256 texture of one colour (the rasteriser addresses 256x256 levels).
inline Texture* solidTexture(uint32_t value) {
    return new Texture{0, new Image*[1]{solid(256, 256, value)}};
}

inline Mesh* newMesh(std::initializer_list<Vertex> vertices, std::initializer_list<int32_t> indices) {
    Mesh* mesh = new Mesh{new Vertex[vertices.size()], new int32_t[indices.size()],
                          static_cast<int32_t>(vertices.size()), static_cast<int32_t>(indices.size())};
    std::copy(vertices.begin(), vertices.end(), mesh->vertices);
    std::copy(indices.begin(), indices.end(), mesh->indices);
    computeNormals(mesh);
    return mesh;
}

inline Vertex at(float x, float y, float z, float u = 0.5f, float v = 0.5f) {
    return Vertex{x, y, z, 1.0f, 0, 0, 0, u, v};
}

inline Model* modelOf(std::initializer_list<Mesh*> meshes) {
    Model* model = new Model{new Mesh*[meshes.size()], static_cast<int32_t>(meshes.size())};
    std::copy(meshes.begin(), meshes.end(), model->meshes);
    return model;
}

inline Model* emptyModel() { return new Model{nullptr, 0}; }

inline void deleteModel(Model* model) {
    freeModel(model);
    delete model;
}

// A closed octahedron of radius r around the origin: whatever turns it, it covers the
// point the origin projects to.
inline Mesh* octahedron(float r) {
    return newMesh({at(r, 0, 0), at(-r, 0, 0), at(0, r, 0), at(0, -r, 0), at(0, 0, r), at(0, 0, -r)},
                   {0, 2, 4, 2, 1, 4, 1, 3, 4, 3, 0, 4, 2, 0, 5, 1, 2, 5, 3, 1, 5, 0, 3, 5});
}

// A square of half-size h in the x-z plane at y = 0 (seen face-on along the y axis).
inline Mesh* squareXZ(float h) {
    return newMesh({at(-h, 0, -h), at(h, 0, -h), at(h, 0, h), at(-h, 0, h)}, {0, 1, 2, 0, 2, 3});
}

inline uint32_t over(uint32_t dst, uint32_t src, int32_t opacity) {
    blendAlpha(&dst, src, opacity);
    return dst;
}

inline uint32_t& pixelAt(int32_t x, int32_t y) { return screen->pixels[y * screenWidth + x]; }

inline void fillScreen(uint32_t value) {
    std::fill(screen->pixels, screen->pixels + screenWidth * screenHeight, value);
}

inline int countScreen(uint32_t value) {
    return static_cast<int>(std::count(screen->pixels, screen->pixels + screenWidth * screenHeight, value));
}

// Runs the scene initialisers inside a temporary copy of the generated data/ (symbolic
// links) from which the given files are left out, then returns to the previous folder.
class DataWithout {
public:
    explicit DataWithout(std::set<std::string> missing) {
        namespace fs = std::filesystem;
        setMessageBoxesEnabled(false);
        previous_ = fs::current_path();
        root_ = fs::temp_directory_path() / ("scene456_data_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        const fs::path source = DEMO_DATA_DIR;
        for (const auto& entry : fs::recursive_directory_iterator(source)) {
            const fs::path relative = fs::relative(entry.path(), source);
            const fs::path target = root_ / "data" / relative;
            if (entry.is_directory()) {
                fs::create_directories(target);
            } else if (!missing.count(relative.generic_string())) {
                fs::create_directories(target.parent_path());
                fs::create_symlink(entry.path(), target);
            }
        }
        fs::current_path(root_);
    }
    ~DataWithout() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(root_);
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path root_;
};

}  // namespace fixture
