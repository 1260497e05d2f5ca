// assetgen — makes every file under data/ from the sources in tools/assetgen, and the
// program's icon (--icon) for the Windows build.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tools/assetgen/generators.h"
#include "tools/assetgen/icon.h"

int main(int argc, char** argv) {
    CLI::App app{"assetgen: generates the demo's pictures, meshes and music into a data folder"};
    GenContext ctx{"data", "tools/assetgen/sources", false};
    std::vector<std::string> only;
    std::string icon;
    app.add_option("--out", ctx.outDir, "Output folder (created if missing)");
    app.add_option("--sources", ctx.sourceDir, "Folder of the editable sources");
    app.add_option("--only", only, "Generate only these parts: pictures, pixelart, meshes, music, contact");
    app.add_flag("-v,--verbose", ctx.verbose, "List every file written");
    app.add_option("--icon", icon, "Write only the program's icon (.ico) to this file");
    CLI11_PARSE(app, argc, argv);
    if (!icon.empty()) {
        generateIcon(ctx.sourceDir, icon);
        return 0;
    }

    struct Part { const char* name; std::function<void(const GenContext&)> run; };
    const Part parts[] = {
        {"pictures", generatePictures},
        {"pixelart", generatePixelArt},
        {"meshes", generateMeshes},
        {"music", generateMusic},
        {"contact", generateContactSheet},
    };
    std::filesystem::create_directories(ctx.outDir);
    std::filesystem::create_directories(ctx.outDir + "/pixeldyr");
    std::filesystem::create_directories(ctx.outDir + "/greets");
    for (const Part& part : parts) {
        if (!only.empty() && std::find(only.begin(), only.end(), part.name) == only.end()) continue;
        auto t0 = std::chrono::steady_clock::now();
        std::fprintf(stderr, "assetgen: %s...\n", part.name);
        part.run(ctx);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::fprintf(stderr, "assetgen: %s done in %.2f s\n", part.name, s);
    }
    return 0;
}
