// scenes/scene1.h — scene 1.
#pragma once
#include "assets/image.h"
#include "assets/mesh.h"

struct Scene1State {
};

void initScene1(Scene1State* state);
void renderScene1(Scene1State* state, float t);
