#include "scenes/scene3.h"

void initScene3(Scene3State* /*state*/) {}

void renderScene3(Scene3State* /*state*/, float /*t*/, const float* /*spectrum*/, float /*delta*/) {}
