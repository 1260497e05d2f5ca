// scenes/scene5.h — scene 5.
#pragma once
#include "assets/image.h"
#include "assets/mesh.h"

struct Scene5State {
};

void initScene5(Scene5State* state);
void renderScene5(Scene5State* state, float t, const float* spectrum);
