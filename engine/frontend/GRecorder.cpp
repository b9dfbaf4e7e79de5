#include "engine/frontend/GRecorder.h"

void GRecorder::Record(CMessage*) {}
