#pragma once
// Skew detection, which deskew rotates back by.
#include "PxBitmap.h"

namespace pximg {

// The page's skew in hundredths of a degree, reporting progress over 0..33 percent.
int32_t DetectSkew(PxBitmap* bitmap, int32_t* angle);

} // namespace pximg
