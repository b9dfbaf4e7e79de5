#pragma once
// An axis convention: which word of a format text ("East,South,Up") names each axis and with
// which sign, plus the rotation order. Only parsing lives here so far; the 3D import adds
// the conversions between two formats.

class CAxisFormat {
public:
    CAxisFormat() = default;
    CAxisFormat(const char* format, int cullFront, const char* order);

    // Fatal when the text holds fewer than three words.
    void Parse(const char* text, int cullFront);
    void SetOrder(const char* order);

    unsigned char CullFront = 0;
    int WordOfDirection[3] = {0, 1, 2}; // east/west, south/north, up/down
    int AxisOfWord[3] = {0, 1, 2};
    float Sign[3] = {1.0f, 1.0f, 1.0f}; // of X, Y, Z
    int OrderPosition[3] = {0, 1, 2};   // of X, Y, Z in the order text
    int AxisOfOrderLetter[3] = {0, 1, 2};
    int OrderCode = 0;
};
