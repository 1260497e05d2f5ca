// assets/report.h — how the loaders tell of a file they cannot use. They only report; the
// program that uses them decides what happens next (the demo ends the run for a picture
// and shows a message box for a mesh).
//
// Offers: AssetKind, AssetProblem, AssetReporter, setAssetReporter, reportAssetProblem.
// Needs:  nothing.
#pragma once

enum class AssetKind { picture, mesh };

struct AssetProblem {
    AssetKind kind;
    const char* path;      // the file, as the loader was given it
    const char* message;   // the words for the user: for a picture the whole console line
                           // ("File not found: data/x.png \n"), for a mesh the message box
                           // text ("Error: .ebr file not found")
    const char* reason;    // the cause in detail ("Permission denied", "IHDR: CRC error")
};

// Called once per problem. When it returns, the loader goes on with a stand-in: a picture
// becomes 1x1 transparent pixel, a mesh file an empty Model.
typedef void (*AssetReporter)(const AssetProblem& problem);

// Installs the reporter; null restores the default, which writes "path: reason" and the
// message to standard error and returns.
void setAssetReporter(AssetReporter reporter);

// Hands a problem to the installed reporter.
void reportAssetProblem(const AssetProblem& problem);
