// scenes/scene7.h — scene 7.
#pragma once
#include "assets/image.h"
#include "assets/mesh.h"

struct Scene7State {
};

void initScene7(Scene7State* state);
void renderScene7(Scene7State* state, float t);
