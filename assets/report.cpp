#include "assets/report.h"

#include <cstdio>

namespace {

void reportOnStderr(const AssetProblem& problem) {
    std::fprintf(stderr, "%s: %s\n", problem.path, problem.reason);
    std::fputs(problem.message, stderr);
    if (problem.kind == AssetKind::mesh) std::fputc('\n', stderr);
    std::fflush(stderr);
}

AssetReporter reporter = reportOnStderr;

}  // namespace

void setAssetReporter(AssetReporter r) { reporter = r ? r : reportOnStderr; }

void reportAssetProblem(const AssetProblem& problem) { reporter(problem); }
