#include "render3d/clip.h"
