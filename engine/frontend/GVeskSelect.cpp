#include "engine/frontend/GVeskSelect.h"

IMPLEMENT_GOBJECT(GVeskSelect, 0x00808000)
