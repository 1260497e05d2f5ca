// scenes/window.h — the scenes' one test of music time against a window of it. Every
// window is open, start < t < end: at a bound itself the window is shut.
//
// Offers: inWindow; windowProbe, for the test that proves the scenes' bound tables
//         complete (scenes/scene_table.h: onSceneBound).
#pragma once

// When set, told the bounds of every window tested. Null in the demo; a test sets it.
using WindowProbe = void (*)(float start, float end);
inline WindowProbe windowProbe = nullptr;

inline bool inWindow(float t, float start, float end) {
    if (windowProbe) windowProbe(start, end);
    return t > start && t < end;
}
