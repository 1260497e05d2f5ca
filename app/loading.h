// app/loading.h — the picture shown while the scenes load.
//
// Needs: assets/image.h, gfx2d/blit.h (stretchCopy), render3d/renderer.h (screen size).
#pragma once
#include "assets/image.h"

// Presenting reads exactly screenWidth x screenHeight pixels. Returns `image` itself when it
// has that size; otherwise a new image of that size holding `image` scaled to fill it
// (nearest neighbour), so a picture of another size is never read past its end.
Image* fitToScreen(Image* image);
