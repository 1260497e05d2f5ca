#include "assets/image.h"
