#include "render3d/renderer.h"
