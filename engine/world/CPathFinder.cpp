#include "engine/world/CPathFinder.h"

CPathFinder::CPathFinder() : KeepAlive(0), TimeUsed(0.0f) {}

CPathFinder::~CPathFinder() {}

void CPathFinder::ResetAbilityToPathAgain()
{
    if (KeepAlive > 0)
        --KeepAlive;
    TimeUsed = 0.0f;
}
