#include "gfx2d/blit.h"
