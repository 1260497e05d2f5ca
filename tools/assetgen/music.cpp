#include "tools/assetgen/generators.h"

void generateMusic(const GenContext& /*ctx*/) {}
