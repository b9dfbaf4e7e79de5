#include "converter/import3d/PS2Icon.h"

#include "converter/core/CZelWriter.h"
#include "converter/import2d/CdbTexture.h"
#include "converter/import2d/CzBitmap.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/Geometry.h"
#include "converter/import3d/RecordOut.h"
#include "core/output/ZOutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const unsigned long DescriptionSize = 964;
const unsigned long TitleOffset = 192;
const int IconSide = 128;
const int CubicFilter = 4;
const char* const TitleLines[2] = {"Tyx:", "Kestrafine"};
const char* const IconFile = "List.ico";

struct Punctuation {
    unsigned char ascii;
    unsigned short code;
};

const Punctuation PunctuationCodes[] = {
    {0x20, 0x8140}, {0x21, 0x8149}, {0x22, 0x8168}, {0x23, 0x8194}, {0x24, 0x8190}, {0x25, 0x8193}, {0x26, 0x8195},
    {0x27, 0x8166}, {0x28, 0x8169}, {0x29, 0x816A}, {0x2A, 0x8196}, {0x2B, 0x817B}, {0x2C, 0x8143}, {0x2D, 0x817C},
    {0x2E, 0x8144}, {0x2F, 0x815E}, {0x3A, 0x8146}, {0x3B, 0x8147}, {0x3C, 0x8171}, {0x3D, 0x8181}, {0x3E, 0x8172},
    {0x3F, 0x8148}, {0x40, 0x8197}, {0x5B, 0x816D}, {0x5C, 0x818F}, {0x5D, 0x816E}, {0x5E, 0x814F}, {0x5F, 0x8151},
    {0x60, 0x8165}, {0x7B, 0x816F}, {0x7C, 0x8162}, {0x7D, 0x8170}, {0x7E, 0x8150}};
// Control characters and bytes that start no Shift-JIS character have no full-width form:
// they show as a full-width question mark rather than as nothing.
const unsigned short Unconvertible = 0x8148;

struct Bytes {
    std::vector<unsigned char> Data;
    void Put(const void* p, size_t n)
    {
        const unsigned char* b = static_cast<const unsigned char*>(p);
        Data.insert(Data.end(), b, b + n);
    }
    void U32(unsigned long v)
    {
        const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        Put(b, 4);
    }
    void F32(float v)
    {
        unsigned long bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void I16(long v)
    {
        const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
        Put(b, 2);
    }
};

void PutU32(std::vector<unsigned char>& d, size_t at, unsigned long v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutF32(std::vector<unsigned char>& d, size_t at, float v)
{
    unsigned long bits;
    std::memcpy(&bits, &v, 4);
    PutU32(d, at, bits);
}

long Scaled(double value, double scale)
{
    const double v = std::max(-32767.0, std::min(32767.0, value * scale));
    return static_cast<long>(v);
}

struct IconVertex {
    long Position[3], Normal[3], U, V;
};

// Fan triangles of every polygon, in polygon order.
std::vector<int> Triangles(const CGeometry& layer)
{
    std::vector<int> corners;
    for (const CPoly* poly : layer.Polys)
        for (size_t k = 2; k < poly->Verts.size(); ++k)
            corners.insert(corners.end(), {poly->Verts[0], poly->Verts[k - 1], poly->Verts[k]});
    return corners;
}

// The model's vertices of frame 0, scaled so that the largest coordinate of any frame is 10.
std::vector<IconVertex> BakeVertices(const CGeometry& layer)
{
    const std::vector<CVertex*>& verts = layer.Verts.Verts;
    size_t count = 0;
    while (count < verts.size() && verts[count])
        ++count;
    float largest = -3.4028235e38f;
    for (size_t i = 0; i < count; ++i)
        for (const CVertex* v = verts[i]; v; v = v->pNextFrame)
            for (float c : {v->X, -v->Z, v->Y})
                largest = std::max(largest, std::fabs(c));
    const double s = 10.0 / largest;
    std::vector<IconVertex> out(count);
    for (size_t i = 0; i < count; ++i) {
        const CVertex& v = *verts[i];
        const float position[3] = {v.X, -v.Z, v.Y};
        const float normal[3] = {v.NX, v.NY, v.NZ};
        for (int a = 0; a < 3; ++a) {
            out[i].Position[a] = Scaled(position[a], s * 1024.0);
            out[i].Normal[a] = Scaled(normal[a], 4096.0);
        }
        out[i].U = Scaled(v.U, 4096.0);
        out[i].V = Scaled(1.0f - v.V, 4096.0);
    }
    return out;
}

// The texture's source image at 128 by 128, as 16-bit texels with the alpha bit set.
void PutTexture(Bytes& model, const CdbTexture& texture)
{
    CzBitmap bitmap;
    bitmap.Load(texture.GetDeferredName());
    bitmap.Resample(IconSide, IconSide, CubicFilter, CubicFilter);
    const CPixel* pixels = bitmap.GetBitmap();
    for (int i = 0; i < IconSide * IconSide; ++i) {
        const CPixel& p = pixels[i];
        model.I16(0x8000 | (p.B >> 3) << 10 | (p.G >> 3) << 5 | (p.R >> 3));
    }
    bitmap.ReleaseBitmap();
}

} // namespace

std::vector<unsigned short> ShiftJisCodes(const char* text)
{
    std::vector<unsigned short> codes;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (*c >= 0x81 && *c <= 0x98 && c[1]) {
            codes.push_back(static_cast<unsigned short>(c[0] << 8 | c[1]));
            ++c;
        } else if (*c >= 'a' && *c <= 'z') {
            codes.push_back(static_cast<unsigned short>(*c + 0x8220));
        } else if ((*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9')) {
            codes.push_back(static_cast<unsigned short>(*c + 0x821F));
        } else {
            unsigned short code = Unconvertible;
            for (const Punctuation& p : PunctuationCodes)
                if (p.ascii == *c)
                    code = p.code;
            codes.push_back(code);
        }
    }
    codes.push_back(0);
    return codes;
}

std::vector<unsigned char> PS2IconDescription()
{
    std::vector<unsigned char> d(DescriptionSize, 0);
    std::memcpy(d.data(), "PS2D", 4);
    PutU32(d, 12, 64);
    const unsigned long background[4][3] = {{16, 128, 24}, {32, 255, 48}, {16, 128, 24}, {32, 255, 48}};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c)
            PutU32(d, 16 + 16 * i + 4 * c, background[i][c]);
    const float lights[9][3] = {{0.577f, -0.577f, 0.577f}, {0, 1.0f, 0},          {0, 0, 1.0f}, // directions
                                {0.15f, 1.0f, 0.15f},      {0.25f, 0.25f, 0.25f}, {0, 0, 0},    // colours
                                {0.15f, 0.15f, 0.15f}};                                         // ambient
    for (int i = 0; i < 7; ++i)
        for (int c = 0; c < 3; ++c)
            PutF32(d, 80 + 16 * i + 4 * c, lights[i][c]);
    // The two lines follow each other; offset 6 tells where the second begins.
    size_t at = TitleOffset;
    for (int line = 0; line < 2; ++line) {
        std::vector<unsigned short> codes = ShiftJisCodes(TitleLines[line]);
        codes.pop_back();
        if (line == 0)
            d[6] = static_cast<unsigned char>(codes.size() * 2);
        for (unsigned short code : codes) {
            d[at++] = static_cast<unsigned char>(code >> 8);
            d[at++] = static_cast<unsigned char>(code);
        }
    }
    for (size_t name : {260u, 324u, 388u})
        std::memcpy(&d[name], IconFile, std::strlen(IconFile) + 1);
    return d;
}

void WritePS2Icon(CdbMesh& mesh, CZelWriter& writer)
{
    const std::string label = mesh.GetLabel();
    const CGeometry* layer = mesh.FindGeometry(label + "_LOD_0");
    if (!layer)
        vbail("Error: Expected to find layer data (LOD_0) for some geometry!\nMESH: %s\n", label.c_str());
    const std::vector<int> corners = Triangles(*layer);
    const std::vector<IconVertex> vertices = BakeVertices(*layer);
    const CMaterial* material = layer->Polys.empty() ? nullptr : mesh.FindMaterial(layer->Polys[0]->Surface.c_str());
    const CdbTexture* texture = material ? dynamic_cast<const CdbTexture*>(material->Texture) : nullptr;

    Bytes model;
    model.U32(0x00010000);
    model.U32(1);
    model.U32(texture ? 7 : 3);
    model.F32(1.0f);
    model.U32(static_cast<unsigned long>(corners.size()));
    for (int corner : corners) {
        const IconVertex& v = vertices.at(static_cast<size_t>(corner));
        for (long p :
             {v.Position[0], v.Position[1], v.Position[2], 0L, v.Normal[0], v.Normal[1], v.Normal[2], 0L, v.U, v.V})
            model.I16(p);
        model.U32(0xFFFFFFFF);
    }
    for (unsigned long word : {1UL, 1UL})
        model.U32(word);
    model.F32(1.0f);
    for (unsigned long word : {0UL, 0UL, 0UL, 1UL, 0UL})
        model.U32(word);
    model.F32(1.0f);
    if (texture)
        PutTexture(model, *texture);

    const std::vector<unsigned char> description = PS2IconDescription();
    std::printf("ALL WERE LIST.ICO!!!!\n");
    writer.DefineSymbol((label + "_Icon_Sys_Head").c_str(), nullptr, false, 4);
    writer.WriteData(description.data(), static_cast<unsigned long>(description.size()), 1, "icon description");
    writer.DefineSymbol((label + "_Icon_Sys_Tail").c_str(), nullptr, false, 4);
    writer.DefineSymbol((label + "_Icon_List_Head").c_str(), nullptr, false, 4);
    writer.WriteData(model.Data.data(), static_cast<unsigned long>(model.Data.size()), 1, "icon model");
    writer.DefineSymbol((label + "_Icon_List_Tail").c_str(), nullptr, false, 4);
    RecordOut record(writer, "CPS2Icon3D", label.c_str(), true);
    const struct {
        const char* member;
        const char* suffix;
    } parts[] = {{"pIconSysHead", "_Icon_Sys_Head"},
                 {"pIconSysTail", "_Icon_Sys_Tail"},
                 {"pIconListHead", "_Icon_List_Head"},
                 {"pIconListTail", "_Icon_List_Tail"}};
    for (const auto& part : parts)
        record.Pointer(part.member, label + part.suffix);
}
