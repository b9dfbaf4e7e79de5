#include "engine/effects/FieldGusts.h"

#include <math.h>

#include "core/names/CRandom.h"
#include "engine/effects/GWind.h"

void FieldWind(float& wx, float& wy)
{
    wx = GWind::pThe ? GWind::pThe->wind.x : 0.0f;
    wy = GWind::pThe ? GWind::pThe->wind.y : 0.0f;
}

float GustStrength(float wx, float wy) { return fminf(fmaxf(sqrtf(wx * wx + wy * wy) * 0.5f, 0.0f), 1.0f); }

int CarriedCount(float amount, float& carry)
{
    const float first = roundf(amount);
    const float rest = amount - first + carry;
    const float second = roundf(rest);
    carry = rest - second;
    return static_cast<int>(first + second);
}

int GustsDue(int population, float strength, float frameTime, float& carry)
{
    const float wanted =
        (GlobalRandom.Rand(1.0f) + 1.0f) * static_cast<float>(population) * strength * frameTime * 0.5f;
    return CarriedCount(wanted, carry);
}

int PickMember(int first, int count)
{
    return first + static_cast<int>(GlobalRandom.Rand() % static_cast<unsigned long>(count));
}
