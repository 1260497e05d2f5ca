// What the tests build their cases from, in one namespace: solid pictures and textures,
// small meshes and models, screen probes, guarded images and marker textures for the 2D
// blits and the 3D pipeline, a scope that lends the global renderer to a test, a copy of
// data/ with chosen files left out, and a recorder of the asset loaders' reports.
//
// What the makers here return is on the heap and goes back as the loaders' results do
// (assets/image.h, assets/mesh.h): pictures to freeImage, textures to freeTexture, models
// to freeModel; meshes go with the model they are put in.
#pragma once
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "assets/image.h"
#include "assets/mesh.h"
#include "assets/report.h"
#include "gfx2d/blit.h"
#include "render3d/clip.h"
#include "render3d/raster.h"
#include "render3d/renderer.h"

namespace fixtures {

// ---- Pictures and textures -------------------------------------------------------------

// A new heap picture of w x h pixels, every one `value`.
inline Image* solidImage(int32_t w, int32_t h, uint32_t value) {
    Image* image = newImage(w, h);
    std::fill(image->pixels, image->pixels + w * h, value);
    return image;
}

// A 256x256 texture of one colour with its full mip chain: nine levels down to 1x1, as
// loadTexture builds them.
inline Texture* solidMipTexture(uint32_t value) {
    Texture* texture = new Texture{8, new Image*[9]};
    texture->levels[0] = solidImage(256, 256, value);
    for (int i = 1; i <= 8; ++i) texture->levels[i] = halveImage(texture->levels[i - 1]);
    return texture;
}

// A 256x256 texture of one colour with level 0 only (maxLevel 0): enough where mipmapping
// is off, since the rasteriser addresses 256x256 levels.
inline Texture* solidOneLevelTexture(uint32_t value) {
    return new Texture{0, new Image*[1]{solidImage(256, 256, value)}};
}


// ---- Meshes and models -----------------------------------------------------------------

inline Vertex vertexAt(float x, float y, float z, float u = 0.5f, float v = 0.5f) {
    return Vertex{x, y, z, 1.0f, 0, 0, 0, u, v};
}

// A heap mesh of the given corners and indices, with computeNormals' normals.
inline Mesh* newMesh(std::initializer_list<Vertex> vertices, std::initializer_list<int32_t> indices) {
    Mesh* mesh = new Mesh{new Vertex[vertices.size()], new int32_t[indices.size()],
                          static_cast<int32_t>(vertices.size()), static_cast<int32_t>(indices.size())};
    std::copy(vertices.begin(), vertices.end(), mesh->vertices);
    std::copy(indices.begin(), indices.end(), mesh->indices);
    computeNormals(mesh);
    return mesh;
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
        mesh->vertices[i] = vertexAt((i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h, uv, uv);
    std::copy(&faces[0][0], &faces[0][0] + indexCount, mesh->indices);
    computeNormals(mesh);
    return mesh;
}

// A closed octahedron of radius r around the origin: whatever turns it, it covers the
// point the origin projects to.
inline Mesh* octahedron(float r) {
    return newMesh({vertexAt(r, 0, 0), vertexAt(-r, 0, 0), vertexAt(0, r, 0), vertexAt(0, -r, 0),
                    vertexAt(0, 0, r), vertexAt(0, 0, -r)},
                   {0, 2, 4, 2, 1, 4, 1, 3, 4, 3, 0, 4, 2, 0, 5, 1, 2, 5, 3, 1, 5, 0, 3, 5});
}

// A square of half-size h in the x-z plane at y = 0 (seen face-on along the y axis).
inline Mesh* squareXZ(float h) {
    return newMesh({vertexAt(-h, 0, -h), vertexAt(h, 0, -h), vertexAt(h, 0, h), vertexAt(-h, 0, h)},
                   {0, 1, 2, 0, 2, 3});
}

// A heap Model that owns the given heap meshes.
inline Model* modelOf(std::initializer_list<Mesh*> meshes) {
    Model* model = new Model{new Mesh*[meshes.size()], static_cast<int32_t>(meshes.size())};
    std::copy(meshes.begin(), meshes.end(), model->meshes);
    return model;
}

// A heap Model without meshes: what openModel gives for a missing file.
inline Model* emptyModel() { return new Model{nullptr, 0}; }


// ---- The screen --------------------------------------------------------------------------

// `src` blended over `dst` at `opacity`, as blendAlpha does it.
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

// ---- Guarded images, marker textures and the renderer ------------------------------------

constexpr uint32_t kGuardWord = 0xBAD0BAD0u;       // fills the guard runs around every GuardedImage
constexpr uint32_t kUntouchedPixel = 0xFE123456u;  // a GuardedImage's pixels until drawn on
constexpr size_t kGuardLength = 1 << 16;           // words in each guard run

// A picture whose pixel block sits between two runs of guard words, so that any write
// outside it shows up as a changed guard word.
struct GuardedImage {
    std::vector<uint32_t> block;
    Image image;

    GuardedImage(int32_t w, int32_t h, uint32_t fill = kUntouchedPixel)
        : block(kGuardLength * 2 + static_cast<size_t>(w) * h, kGuardWord),
          image{block.data() + kGuardLength, w, h} {
        std::fill(image.pixels, image.pixels + static_cast<size_t>(w) * h, fill);
    }
    GuardedImage(const GuardedImage&) = delete;
    GuardedImage& operator=(const GuardedImage&) = delete;

    uint32_t at(int x, int y) const { return image.pixels[static_cast<size_t>(y) * image.width + x]; }
    uint32_t& at(int x, int y) { return image.pixels[static_cast<size_t>(y) * image.width + x]; }
    std::vector<uint32_t> pixels() const {
        return std::vector<uint32_t>(image.pixels, image.pixels + static_cast<size_t>(image.width) * image.height);
    }
    bool guardsIntact() const {
        const size_t end = kGuardLength + static_cast<size_t>(image.width) * image.height;
        for (size_t i = 0; i < kGuardLength; ++i)
            if (block[i] != kGuardWord || block[end + i] != kGuardWord) return false;
        return true;
    }
};

// Texel (level L, row, col) = L << 16 | row << 8 | col with alpha 0, so a pixel shows
// exactly which texel of which level was copied (and that alpha was copied as it is).
inline uint32_t marker(int level, int row, int col) {
    return static_cast<uint32_t>(level) << 16 | static_cast<uint32_t>(row & 255) << 8 |
           static_cast<uint32_t>(col & 255);
}

// A mip chain of marker images, each level guarded like GuardedImage; level sizes follow
// halveImage (integer halving of width and height). Owns its levels.
struct MarkerTexture {
    std::vector<std::unique_ptr<GuardedImage>> images;
    std::vector<Image*> levelPtrs;
    Texture texture;

    MarkerTexture(int32_t w, int32_t h, int32_t maxLevel) {
        for (int L = 0; L <= maxLevel; ++L) {
            const int32_t lw = w >> L, lh = h >> L;
            images.push_back(std::make_unique<GuardedImage>(lw, lh));
            for (int y = 0; y < lh; ++y)
                for (int x = 0; x < lw; ++x) images.back()->at(x, y) = marker(L, y, x);
            levelPtrs.push_back(&images.back()->image);
        }
        texture = Texture{maxLevel, levelPtrs.data()};
    }
    bool guardsIntact() const {
        for (const auto& img : images)
            if (!img->guardsIntact()) return false;
        return true;
    }
};

// Points the global renderer at `target` with a cleared depth buffer and the texture, and
// puts every field back when it goes out of scope.
struct RendererScope {
    RendererSettings saved;

    RendererScope(Image* target, Texture* tex) : saved(saveRendererSettings(renderer)) {
        renderer.screen = target;
        renderer.texture = tex;
        renderer.mipmapping = false;
        renderer.mipBias = 0.0f;
        renderer.envMap = false;
        renderer.clipping = true;
        clearDepth(&renderer, screenWidth * screenHeight);
    }
    ~RendererScope() { restoreRendererSettings(&renderer, saved); }
    RendererScope(const RendererScope&) = delete;
    RendererScope& operator=(const RendererScope&) = delete;
};

// The x coordinates written in row y (pixels other than kUntouchedPixel), left to right.
inline std::vector<int> rowCoverage(const GuardedImage& img, int y) {
    std::vector<int> xs;
    for (int x = 0; x < img.image.width; ++x)
        if (img.at(x, y) != kUntouchedPixel) xs.push_back(x);
    return xs;
}

// The columns from..to, both included.
inline std::vector<int> columns(int from, int to) {
    std::vector<int> v;
    for (int x = from; x <= to; ++x) v.push_back(x);
    return v;
}

// ---- Files the scenes load -----------------------------------------------------------------

// Makes a temporary copy of the generated data/ (symbolic links) from which the given
// files are left out, and works inside it while it lives: the scene initialisers then load
// from it. Message boxes are switched off; the previous folder comes back afterwards.
class DataWithout {
public:
    explicit DataWithout(std::set<std::string> missing) {
        namespace fs = std::filesystem;
        previous_ = fs::current_path();
        root_ = fs::temp_directory_path() / ("data_without_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        const fs::path source = DEMO_DATA_DIR;
        for (const auto& entry : fs::recursive_directory_iterator(source)) {
            const fs::path relative = fs::relative(entry.path(), source);
            const fs::path target = root_ / "data" / relative;
            if (entry.is_directory()) {
                fs::create_directories(target);
            } else if (!missing.count(relative.generic_string())) {
                fs::create_directories(target.parent_path());
                std::error_code linkError;
                fs::create_symlink(entry.path(), target, linkError);
                if (linkError) fs::copy_file(entry.path(), target);   // no links (Windows)
            }
        }
        fs::current_path(root_);
    }
    ~DataWithout() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(root_);
    }
    DataWithout(const DataWithout&) = delete;
    DataWithout& operator=(const DataWithout&) = delete;

private:
    std::filesystem::path previous_;
    std::filesystem::path root_;
};

struct ReportedProblem {
    AssetKind kind;
    std::string path, message, reason;
};

// Records what the asset loaders report while it lives, instead of the default report on
// standard error; the default reporter comes back afterwards.
struct ReportedProblems {
    std::vector<ReportedProblem> problems;

    ReportedProblems() {
        current() = this;
        setAssetReporter([](const AssetProblem& p) {
            current()->problems.push_back({p.kind, p.path, p.message, p.reason});
        });
    }
    ~ReportedProblems() {
        setAssetReporter(nullptr);
        current() = nullptr;
    }
    ReportedProblems(const ReportedProblems&) = delete;
    ReportedProblems& operator=(const ReportedProblems&) = delete;

    static ReportedProblems*& current() {
        static ReportedProblems* recorder = nullptr;
        return recorder;
    }
};

}  // namespace fixtures
