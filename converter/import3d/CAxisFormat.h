#pragma once
// An axis convention: which word of a format text ("East,South,Up") names each axis and with
// which sign, plus the rotation order, and the conversion of points and angles between two.

class CAxisFormat {
public:
    CAxisFormat() = default;
    CAxisFormat(const char* format, int cullFront, const char* order);

    // Fatal when the text holds fewer than three words.
    void Parse(const char* text, int cullFront);
    void SetOrder(const char* order);
    // Converts a vector given in the source convention into this one, in place.
    void Convert(const CAxisFormat& source, float* vector) const;
    // Converts Euler angles (in the source's order) into this convention's order, in place.
    void ConvertAngles(const CAxisFormat& source, float* angles) const;

    // The convention LightWave files use: "East,Up,North", order "ZXY".
    static const CAxisFormat& LightWave();

    unsigned char CullFront = 0;
    int WordOfDirection[3] = {0, 1, 2}; // east/west, south/north, up/down
    int AxisOfWord[3] = {0, 1, 2};
    float Sign[3] = {1.0f, 1.0f, 1.0f}; // of X, Y, Z
    int OrderPosition[3] = {0, 1, 2};   // of X, Y, Z in the order text
    int AxisOfOrderLetter[3] = {0, 1, 2};
    int OrderCode = 0;
};
