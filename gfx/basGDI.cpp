#include "gfx/basGDI.h"
