#include "app/loading.h"

#include "gfx2d/blit.h"
#include "render3d/renderer.h"

Image* fitToScreen(Image* image) {
    if (image->width == screenWidth && image->height == screenHeight) return image;
    Image* fitted = newImage(screenWidth, screenHeight);
    stretchCopy(image, fitted, 0, screenWidth, screenHeight);
    return fitted;
}
