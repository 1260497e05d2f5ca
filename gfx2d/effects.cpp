#include "gfx2d/effects.h"
