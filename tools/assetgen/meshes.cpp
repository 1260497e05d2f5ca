#include "tools/assetgen/generators.h"

void generateMeshes(const GenContext& /*ctx*/) {}
