#include "engine/devices/COSInput.h"

#include <cstring>

COSInput::COSInput() { std::strcpy(Name, "None"); }

COSInput::~COSInput() {}

int COSInput::GetChangedControls(InputControl*, int) { return -1; }
