// Records what the asset loaders report while it lives, instead of the default report on
// standard error; the previous reporter comes back afterwards.
#pragma once
#include <string>
#include <vector>

#include "assets/report.h"

struct ReportedProblem {
    AssetKind kind;
    std::string path, message, reason;
};

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
