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

// A drive (or network share) named at the start of the path that does not exist: Q: or
// \\server\share; "" when the path names none, or it exists. POSIX paths have no root
// name. Without this, Windows answers a missing drive with an error that points elsewhere
// ("File name too long").
std::string missingDrive(const fs::path& path) {
    if (!path.has_root_name()) return "";
    std::error_code ec;
    const fs::path root = path.root_name() / path.root_directory();
    if (fs::exists(root, ec)) return "";
    return pathText(path.root_name());
}

// The first folder on the way to `path` that is missing (the one whose parent exists):
// where creating `path` stops when that parent cannot take a new folder.
std::string firstMissingFolder(const fs::path& path) {
    std::error_code ec;
    fs::path missing = path;
    for (fs::path p = path; p.has_relative_path(); p = p.parent_path()) {
        if (fs::exists(p, ec)) break;
        missing = p;
    }
    return pathText(missing);
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
    const std::string drive = missingDrive(folder);
    if (!drive.empty()) {
        *error = "cannot create " + dir + ": the drive " + drive + " does not exist";
        return false;
    }
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        const std::string missing = firstMissingFolder(folder);
        *error = "cannot create " + dir + ": " +
                 (!ec ? std::string("not a directory")
                  : missing != pathText(folder) && ec == std::errc::no_such_file_or_directory
                      ? "the folder " + missing + " cannot be made (" + ec.message() + ")"
                      : ec.message());
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
    const std::string drive = missingDrive(file);
    if (!drive.empty()) {
        *error = "cannot write " + path + ": the drive " + drive + " does not exist";
        return false;
    }
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
