#include "tools/assetgen/generators.h"

void generatePixelArt(const GenContext& /*ctx*/) {}
