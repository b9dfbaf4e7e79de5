#include "engine/shell/CPerfTracker.h"

static CPerfTracker s_PerfTracker;
CPerfTracker* CPerfTracker::pThe = &s_PerfTracker;
