// scenes/scene4.h — scene 4.
#pragma once
#include "assets/image.h"
#include "assets/mesh.h"

struct Scene4State {
};

void initScene4(Scene4State* state);
void renderScene4(Scene4State* state, float t, const float* spectrum);
