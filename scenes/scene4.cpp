#include "scenes/scene4.h"

void initScene4(Scene4State* /*state*/) {}

void renderScene4(Scene4State* /*state*/, float /*t*/, const float* /*spectrum*/) {}
