#pragma once
// What the wind-blown fields (decals, objects) and the emitter field share: the wind's
// horizontal push, how many gusts or particles fall due in one frame with the fraction carried
// to the next, and the pick of a resting or mobile member.

// The level wind's horizontal vector; zero without a level wind.
void FieldWind(float& wx, float& wy);

// Gust strength from the horizontal wind: half its length, within [0, 1].
float GustStrength(float wx, float wy);

// Rounds amount to a whole count, carrying what rounding lost (and what it lost before) into
// carry, so that fractional rates still spawn their share over several frames.
int CarriedCount(float amount, float& carry);

// The gusts due this frame for a field of population members: a random share of the
// population scaled by the strength and the frame time, rounded with the carry.
int GustsDue(int population, float strength, float frameTime, float& carry);

// A member index in [first, first + count) from the next raw random value; count > 0.
int PickMember(int first, int count);
