#include "scenes/scene7.h"

void initScene7(Scene7State* /*state*/) {}

void renderScene7(Scene7State* /*state*/, float /*t*/) {}
