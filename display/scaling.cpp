// The geometry of fitting the frame into the window: picture rectangle and scaling passes.
#include "display/display.h"

#include <algorithm>

FrameScaling planFrameScaling(int frameWidth, int frameHeight, int outputWidth,
                              int outputHeight) {
    FrameScaling plan = {1, false, 0, 0, false, 0, 0, 0, 0};
    if (frameWidth <= 0 || frameHeight <= 0 || outputWidth <= 0 || outputHeight <= 0) {
        return plan;
    }
    // The side that fills the window decides; the other is rounded to the nearest pixel.
    // Products in 64 bits: window sizes times frame sizes can pass 2^31 in principle.
    const int64_t fw = frameWidth, fh = frameHeight, ow = outputWidth, oh = outputHeight;
    if (ow * fh <= oh * fw) {
        plan.width = outputWidth;
        plan.height = static_cast<int>((ow * fh * 2 + fw) / (fw * 2));
    } else {
        plan.height = outputHeight;
        plan.width = static_cast<int>((oh * fw * 2 + fh) / (fh * 2));
    }
    plan.x = (outputWidth - plan.width) / 2;
    plan.y = (outputHeight - plan.height) / 2;

    plan.factor = std::max(1, std::min(plan.width / frameWidth, plan.height / frameHeight));
    const bool whole =
        plan.width == plan.factor * frameWidth && plan.height == plan.factor * frameHeight;
    plan.linear = !whole;
    // Between 1x and 2x a factor of 1 would leave plain linear filtering, which blends every
    // screen pixel; doubling first and filtering down keeps a solid core in each pixel. A
    // ratio of more than 1/2 lets linear filtering see every texel, so nothing is dropped.
    const bool enlarged = plan.width > frameWidth || plan.height > frameHeight;
    if (!whole && plan.factor == 1 && enlarged) plan.factor = 2;
    plan.intermediate = !whole && plan.factor >= 2;
    if (plan.intermediate) {
        plan.intermediateWidth = frameWidth * plan.factor;
        plan.intermediateHeight = frameHeight * plan.factor;
    }
    return plan;
}
