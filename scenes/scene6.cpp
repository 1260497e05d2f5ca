#include "scenes/scene6.h"

void initScene6(Scene6State* /*state*/) {}

void renderScene6(Scene6State* /*state*/, float /*t*/) {}
