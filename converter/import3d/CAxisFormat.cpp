#include "converter/import3d/CAxisFormat.h"

#include "converter/core/ConsoleOutput.h"
#include "core/math/CMatrix.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

CAxisFormat::CAxisFormat(const char* format, int cullFront, const char* order)
{
    Parse(format, cullFront);
    SetOrder(order);
}

void CAxisFormat::Parse(const char* text, int cullFront)
{
    CullFront = static_cast<unsigned char>(cullFront);
    std::string upper(text ? text : "");
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    std::vector<std::string> words;
    for (char* word = strtok(&upper[0], ", "); word; word = strtok(nullptr, ", "))
        words.push_back(word);
    if (words.size() < 3)
        vbail("Parsing axis format, not enough tokens - we expected 3\nOrig line:%s\n", text ? text : "");
    struct Letter {
        char First;
        int Axis;
        float Sign;
    };
    static const Letter letters[] = {{'E', 0, 1}, {'W', 0, -1}, {'S', 1, 1}, {'N', 1, -1}, {'U', 2, 1}, {'D', 2, -1}};
    for (int word = 0; word < 3; ++word) {
        for (const Letter& letter : letters) {
            if (words[word][0] != letter.First)
                continue;
            WordOfDirection[letter.Axis] = word;
            AxisOfWord[word] = letter.Axis;
            Sign[letter.Axis] = letter.Sign;
        }
    }
}

void CAxisFormat::SetOrder(const char* order)
{
    static const int codes[9] = {-1, 0, 4, 12, -1, 8, 16, 20, -1};
    for (int i = 0; i < 3 && order && order[i]; ++i) {
        const char c = static_cast<char>(toupper(static_cast<unsigned char>(order[i])));
        if (c < 'X' || c > 'Z')
            continue;
        AxisOfOrderLetter[i] = c - 'X';
        OrderPosition[c - 'X'] = i;
    }
    const int code = codes[3 * AxisOfOrderLetter[0] + AxisOfOrderLetter[1]];
    OrderCode = code < 0 ? 0 : code;
}

const CAxisFormat& CAxisFormat::LightWave()
{
    static const CAxisFormat format("East,Up,North", 0, "ZXY");
    return format;
}

void CAxisFormat::Convert(const CAxisFormat& source, float* vector) const
{
    float out[3];
    for (int d = 0; d < 3; ++d)
        out[WordOfDirection[d]] = vector[source.WordOfDirection[d]] * source.Sign[d] * Sign[d];
    for (int i = 0; i < 3; ++i)
        vector[i] = out[i];
}

// The angle about each source axis, signed as that axis converts, goes to the destination axis
// it becomes; the rotation is built in the source's order (named in destination axes) and read
// back in this convention's order.
void CAxisFormat::ConvertAngles(const CAxisFormat& source, float* angles) const
{
    float signedAngles[3];
    for (int w = 0; w < 3; ++w) {
        const int d = source.AxisOfWord[w];
        signedAngles[w] = angles[w] * source.Sign[d] * Sign[d];
    }
    CVector rotation = {0.0f, 0.0f, 0.0f};
    float* r[3] = {&rotation.x, &rotation.y, &rotation.z};
    for (int k = 0; k < 3; ++k)
        *r[WordOfDirection[source.AxisOfWord[k]]] = signedAngles[source.OrderPosition[k]];
    static const int codes[9] = {-1, 0, 4, 12, -1, 8, 16, 20, -1};
    const int first = WordOfDirection[source.AxisOfWord[source.AxisOfOrderLetter[0]]];
    const int second = WordOfDirection[source.AxisOfWord[source.AxisOfOrderLetter[1]]];
    const int code = codes[3 * first + second];
    CMatrix matrix;
    const CVector origin = {0.0f, 0.0f, 0.0f};
    matrix.SetEuler(code < 0 ? 0 : code, origin, rotation);
    CVector position, out;
    matrix.GetEuler(OrderCode, position, out);
    angles[0] = out.x, angles[1] = out.y, angles[2] = out.z;
}
