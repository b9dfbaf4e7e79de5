#include "engine/object/CProfile.h"

CProfile* CProfile::pThe = nullptr;
static CProfile s_Profile;
