#include "render3d/draw.h"
