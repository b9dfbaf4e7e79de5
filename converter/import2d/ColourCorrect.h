#pragma once
// Hue in degrees (-1: undefined, gives grey), saturation and value in 0-1. Sectors outside the
// colour wheel leave the outputs as they were.
void HSVtoRGB(double hue, double saturation, double value, double& r, double& g, double& b);
