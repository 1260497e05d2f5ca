#include "scenes/scene2.h"

void initScene2(Scene2State* /*state*/) {}

void renderScene2(Scene2State* /*state*/, float /*t*/, const float* /*spectrum*/) {}
