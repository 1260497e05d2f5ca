// scenes/scene2.h — scene 2.
#pragma once
#include "assets/image.h"
#include "assets/mesh.h"

struct Scene2State {
};

void initScene2(Scene2State* state);
void renderScene2(Scene2State* state, float t, const float* spectrum);
