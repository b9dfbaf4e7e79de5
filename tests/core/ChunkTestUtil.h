#pragma once
// Reading chunk files from tests the way a damaged file stresses the reader most.
#include "core/riff/CZRiffFile.h"

// Reads everything each chunk holds (a four-character code, a string, the rest in pieces),
// descending into lists up to eight deep; returns the chunks visited. Every chunk entered
// spends one of budget, so that a walk the reader never lets end still stops.
int WalkChunks(CZRiffFile& riff, int depth, int& budget);
