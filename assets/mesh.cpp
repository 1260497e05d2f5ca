#include "assets/mesh.h"
