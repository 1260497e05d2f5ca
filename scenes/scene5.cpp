#include "scenes/scene5.h"

void initScene5(Scene5State* /*state*/) {}

void renderScene5(Scene5State* /*state*/, float /*t*/, const float* /*spectrum*/) {}
