#pragma once
// What the effect objects share when they list their fields.
#include "engine/object/EditableInfo.h"

// Definitions, textures and resources named in creation data are resolved when it loads.
constexpr BYTE kResolvedPointerFlags = EDITABLE_FROM_FILLDATA | EDITABLE_RESOLVED_POINTER;
