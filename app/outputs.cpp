#include "app/outputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"

namespace fs = std::filesystem;

namespace {

// Creates a file of that name and removes it again; false with errno's account.
bool probeNewFile(const std::string& path, std::string* reason) {
    FILE* file = openFile(path, "wbx");
    if (!file) {
        *reason = std::strerror(errno);
        return false;
    }
    std::fclose(file);
    std::error_code ec;
    fs::remove(filePath(path), ec);
    return true;
}

bool isFrameFile(const std::string& name) {
    if (name.rfind("frame_", 0) != 0) return false;
    const size_t png = name.find(".png");
    return png != std::string::npos &&
           (png + 4 == name.size() || name.compare(png, 8, ".png.tmp") == 0);
}

}  // namespace

bool prepareCaptureFolder(const std::string& dir, std::string* error) {
    std::error_code ec;
    const fs::path folder = filePath(dir);
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        *error = "cannot create " + dir + ": " + (ec ? ec.message() : "not a directory");
        return false;
    }
    std::string reason;
    if (!probeNewFile(pathText(folder / ".pixeldemo-write-test"), &reason)) {
        *error = "cannot write into " + dir + ": " + reason;
        return false;
    }
    long frames = 0;
    std::string example;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = pathText(entry.path().filename());
        if (!isFrameFile(name)) continue;
        if (frames == 0 || name < example) example = name;
        ++frames;
    }
    if (frames > 0) {
        *error = dir + " already holds " + std::to_string(frames) + " frame file" +
                 (frames == 1 ? "" : "s") + " of an earlier capture (" + example +
                 (frames == 1 ? "" : ", ...") +
                 "), which would mix with the new frames; capture into an empty or new "
                 "folder, or remove them first";
        return false;
    }
    return true;
}

bool checkOutputFile(const std::string& path, std::string* error) {
    std::error_code ec;
    const fs::path file = filePath(path);
    if (fs::is_directory(file, ec)) {
        *error = "cannot write " + path + ": it is a folder";
        return false;
    }
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec)) {
        *error = "cannot write " + path + ": the folder " + pathText(folder) + " does not exist";
        return false;
    }
    std::string reason;
    if (fs::exists(file, ec)) {
        FILE* existing = openFile(path, "ab");
        if (!existing) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        std::fclose(existing);
        return true;
    }
    if (!probeNewFile(path, &reason)) {
        *error = "cannot write " + path + ": " + reason;
        return false;
    }
    return true;
}

bool checkRunOutputs(const DemoOptions& o, std::string* error) {
    if (!o.captureDir.empty() && !prepareCaptureFolder(o.captureDir, error)) return false;
    for (const std::string* file : {&o.sheetPath, &o.analyzeOut, &o.flashesOut, &o.videoPath}) {
        if (!file->empty() && !checkOutputFile(*file, error)) return false;
    }
    return true;
}
