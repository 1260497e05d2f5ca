// scenes/scene3.h — scene 3.
#pragma once
#include "assets/image.h"
#include "assets/mesh.h"

struct Scene3State {
};

void initScene3(Scene3State* state);
void renderScene3(Scene3State* state, float t, const float* spectrum, float delta);
