#include "scenes/scene1.h"

void initScene1(Scene1State* /*state*/) {}

void renderScene1(Scene1State* /*state*/, float /*t*/) {}
