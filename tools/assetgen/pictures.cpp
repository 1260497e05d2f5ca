#include "tools/assetgen/generators.h"

void generatePictures(const GenContext& /*ctx*/) {}
