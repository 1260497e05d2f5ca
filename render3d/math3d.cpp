#include "render3d/math3d.h"
