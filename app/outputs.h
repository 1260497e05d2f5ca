// app/outputs.h — the files and folders a run will write, checked before any work starts,
// so that a capture of thousands of frames does not end by saying its sheet cannot be
// written, and frames of an earlier capture never mix with new ones.
//
// Each returns true, or false with a message naming the path and the reason in *error.
#pragma once
#include <string>

#include "app/options.h"

// Creates the capture folder when needed. Refuses a path that is a file or lies under one,
// a folder where no file can be created, and a folder that already holds frames
// (frame_*.png, or partial frames of an interrupted run): the user's files are never
// deleted unasked.
bool prepareCaptureFolder(const std::string& dir, std::string* error);

// A file the run will write at its end (the sheet, the music plot, the video): not a
// folder, its folder exists, and a file can be created there (an existing file is left as
// it is; a probe file is created and removed).
bool checkOutputFile(const std::string& path, std::string* error);

// Every output of the run the options ask for: the capture folder (prepared), the sheet,
// the music and flash plots and the video file.
bool checkRunOutputs(const DemoOptions& options, std::string* error);
