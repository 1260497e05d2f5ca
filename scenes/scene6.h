// scenes/scene6.h — scene 6.
#pragma once
#include "assets/image.h"
#include "assets/mesh.h"

struct Scene6State {
};

void initScene6(Scene6State* state);
void renderScene6(Scene6State* state, float t);
