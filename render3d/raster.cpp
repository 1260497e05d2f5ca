#include "render3d/raster.h"
