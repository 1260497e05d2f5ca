// libFuzzer target: the command line. parseOptions over any list of arguments must return
// (no exception, crash or leak), explain every refusal, and whatever it accepts must be a
// consistent set of options.
#include "app/options.h"
#include "app/version.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Arguments are the input split at NUL bytes; more than this many are not worth the time.
constexpr size_t kMaxArgs = 64;

void check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

// --version prints this; the libraries' versions (app/version.cpp) need SDL and the rest,
// which the command line does not.
std::string versionText() { return "pixeldemo (options fuzzer)\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"pixeldemo"};
    if (size > 0) {
        args.emplace_back();
        for (size_t i = 0; i < size; ++i) {
            if (data[i] != 0) {
                args.back().push_back(static_cast<char>(data[i]));
            } else {
                if (args.size() > kMaxArgs) return 0;
                args.emplace_back();
            }
        }
    }
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    DemoOptions o;
    std::string help, error;
    const int code = parseOptions(static_cast<int>(args.size()), argv.data(), &o, &help, &error);
    if (code == 0) {
        check(!help.empty() && error.empty());
        return 0;
    }
    if (code != -1) {
        check(code == 2 && !error.empty() && help.empty());
        return 0;
    }
    // Accepted: every value is one the demo can run with.
    check(help.empty() && error.empty());
    check(o.depth == 32 || o.depth == 24 || o.depth == 16);
    check(o.start >= 0.0 && o.start <= 3600.0);
    check(o.fps >= 1 && o.fps <= 1000);
    check(o.from >= 0.0f && o.to >= 0.0f && o.from <= o.to);
    check(o.benchPasses >= 1 && o.benchPasses <= 10);
    check(o.threads == 0 || (o.threads >= 1 && o.threads <= 16));
    check(int(o.bench) + int(!o.captureDir.empty()) + int(!o.videoPath.empty()) <= 1);
    if (!o.videoPath.empty()) check(o.videoPath.size() > 4);
    if (o.headless()) check(!o.windowed && !o.depthGiven && o.start == 0.0);
    if (o.benchPasses > 1) check(o.bench);
    if (!o.sheetPath.empty()) check(!o.captureDir.empty());
    if (!o.analyzeOut.empty()) check(!o.headless() && !o.windowed && !o.depthGiven);
    return 0;
}
