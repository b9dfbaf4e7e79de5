#include "converter/import2d/CdbParticleDef.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/RecordOut.h"
#include "qvrn/ParserInterface.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const float DegreesToRadians = 0.017453289f;

// The numbers of a key's value node (xyz, rgba or RangeData), in order.
std::vector<float> Numbers(CRhuParser& parser, int key, const char* valueNode)
{
    std::vector<float> numbers;
    const int value = parser.FindChild(key, valueNode, true);
    ParserInterface* runtime = parser.Parser();
    for (int child = runtime->GetChildNode(value, 0); child; child = runtime->GetNextSibling(child))
        if (std::string(parser.NodeName(child)) == "Number")
            numbers.push_back(static_cast<float>(atof(parser.NodeText(child))));
    return numbers;
}

// Each reader keeps the value it is given (the default, or the parent's) when the key is absent.
bool ReadVector(CRhuParser& parser, int node, const char* key, float* vector)
{
    const int found = parser.FindChild(node, key, false);
    if (found) {
        const std::vector<float> n = Numbers(parser, found, "xyz");
        for (size_t i = 0; i < 3 && i < n.size(); ++i)
            vector[i] = n[i];
    }
    VerbosePrintf(3, "\t%s - %g,%g,%g\n", key, vector[0], vector[1], vector[2]);
    return found != 0;
}

void ReadRange(CRhuParser& parser, int node, const char* key, ParticleRange& range)
{
    if (const int found = parser.FindChild(node, key, false)) {
        const std::vector<float> n = Numbers(parser, found, "RangeData");
        range.Min = n.at(0);
        range.Max = n.size() > 1 ? n[1] : range.Min;
        if (n.size() > 2)
            range.Bias = n[2];
    }
    VerbosePrintf(3, "\t%s - %g,%g,%g\n", key, range.Min, range.Max, range.Bias);
}

bool ReadColour(CRhuParser& parser, int node, const char* key, float* colour)
{
    const int found = parser.FindChild(node, key, false);
    if (found) {
        const std::vector<float> n = Numbers(parser, found, "rgba");
        for (size_t i = 0; i < 4 && i < n.size(); ++i)
            colour[i] = n[i];
    }
    VerbosePrintf(3, "\t%s - %g,%g,%g,%g\n", key, colour[0], colour[1], colour[2], colour[3]);
    return found != 0;
}

void ReadInt(CRhuParser& parser, int node, const char* key, int& value)
{
    if (const int found = parser.FindChild(node, key, false))
        value = atoi(parser.GetChildText(found, "Number", true));
    VerbosePrintf(3, "\t%s - %d\n", key, value);
}

void ReadFloat(CRhuParser& parser, int node, const char* key, float& value)
{
    if (const int found = parser.FindChild(node, key, false))
        value = static_cast<float>(atof(parser.GetChildText(found, "Number", true)));
    VerbosePrintf(3, "\t%s - %g\n", key, value);
}

void ReadLabel(CRhuParser& parser, int node, const char* key, std::string& label)
{
    if (const int found = parser.FindChild(node, key, false))
        label = parser.GetChildText(found, "Label", true);
}

// A derived block starts as a copy of its parent, which must be of the same kind.
template <class Def, class Values> void StartFromParent(CRhuParser& parser, int node, const Def& def, Values& values)
{
    const char* derived = parser.GetChildText(node, "DerivedFrom", false);
    if (!derived || !*derived)
        return;
    const Def* parent = dynamic_cast<const Def*>(def.GetDatabase()->FindElement(derived));
    if (!parent)
        vbail("Error: Cannot find derived particle block %s\n%s\n", derived, parser.PlaceOf(node).c_str());
    values = parent->Values;
}

void Vector(RecordOut& record, const char* name, const float* v, float scale = 1.0f)
{
    const char* axes[3] = {".X", ".Y", ".Z"};
    for (int a = 0; a < 3; ++a)
        record.Float((std::string(name) + axes[a]).c_str(), v[a] * scale);
}

void Range(RecordOut& record, const char* name, const ParticleRange& range, float scale = 1.0f)
{
    record.Float((std::string(name) + ".Min").c_str(), range.Min * scale);
    record.Float((std::string(name) + ".Max").c_str(), range.Max * scale);
    record.Float((std::string(name) + ".Bias").c_str(), range.Bias);
}

} // namespace

void CdbParticleDef::Parse(CRhuParser& parser, int node)
{
    ParticleValues& v = Values;
    StartFromParent(parser, node, *this, v);
    if (ReadColour(parser, node, "PaMinColor", v.MinColor) && !parser.FindChild(node, "PaMaxColor", false))
        std::copy(v.MinColor, v.MinColor + 4, v.MaxColor);
    ReadColour(parser, node, "PaMaxColor", v.MaxColor);
    ReadVector(parser, node, "PaSize", v.Size);
    ReadRange(parser, node, "PaScale", v.Scale);
    if (ReadVector(parser, node, "PaMinDamp", v.MinDamp) && !parser.FindChild(node, "PaMaxDamp", false))
        std::copy(v.MinDamp, v.MinDamp + 3, v.MaxDamp);
    ReadVector(parser, node, "PaMaxDamp", v.MaxDamp);
    if (ReadVector(parser, node, "PaMinSpin", v.MinSpin) && !parser.FindChild(node, "PaMaxSpin", false))
        std::copy(v.MinSpin, v.MinSpin + 3, v.MaxSpin);
    ReadVector(parser, node, "PaMaxSpin", v.MaxSpin);
    ReadVector(parser, node, "PaFacing", v.Facing);
    ReadVector(parser, node, "PaFlocking", v.Flocking);
    ReadInt(parser, node, "PaIsPathStyle", v.IsPathStyle);
    ReadFloat(parser, node, "PaGravity", v.Gravity);
    ReadRange(parser, node, "PaLifespan", v.Lifespan);
    ReadFloat(parser, node, "PaAbsorb", v.Absorb);
    ReadFloat(parser, node, "PaWind", v.Wind);
    ReadInt(parser, node, "PaAdditive", v.Additive);
    ReadInt(parser, node, "PaAlpha", v.Alpha);
    ReadInt(parser, node, "PaCollides", v.Collides);
    ReadInt(parser, node, "PaZBuffer", v.ZBuffer);
    ReadInt(parser, node, "PaZWrite", v.ZWrite);
    ReadLabel(parser, node, "PaTexture", v.Texture);
    ReadLabel(parser, node, "PaParticle", v.NextParticle);
}

void CdbParticleDef::Dump(CZelWriter& writer)
{
    const ParticleValues& v = Values;
    RecordOut record(writer, "ParticleDef", GetLabel(), true);
    const char* channels[4] = {".Red", ".Green", ".Blue", ".Alpha"};
    for (int c = 0; c < 4; ++c)
        record.Float((std::string("MinColor") + channels[c]).c_str(), v.MinColor[c]);
    for (int c = 0; c < 4; ++c)
        record.Float((std::string("MaxColor") + channels[c]).c_str(), v.MaxColor[c]);
    Vector(record, "Size", v.Size);
    Range(record, "Scale", v.Scale);
    Vector(record, "MinDamp", v.MinDamp);
    Vector(record, "MaxDamp", v.MaxDamp);
    Vector(record, "MinSpin", v.MinSpin, DegreesToRadians);
    Vector(record, "MaxSpin", v.MaxSpin, DegreesToRadians);
    Vector(record, "Flocking", v.Flocking);
    record.Signed("Facing",
                  (v.Facing[0] != 0.0f ? 1 : 0) | (v.Facing[1] != 0.0f ? 2 : 0) | (v.Facing[2] != 0.0f ? 4 : 0));
    unsigned long flags = 0;
    const struct {
        int value;
        const char* constant;
    } bits[] = {{v.IsPathStyle, "PARDEF_PATHSTYLE"}, {v.Alpha, "PARDEF_ALPHA"},   {v.Additive, "PARDEF_ADDITIVE"},
                {v.ZBuffer, "PARDEF_ZBUFFER"},       {v.ZWrite, "PARDEF_ZWRITE"}, {v.Collides, "PARDEF_COLLIDE"}};
    for (const auto& bit : bits)
        if (bit.value)
            flags |= Constant(bit.constant);
    record.Unsigned("Flags", flags);
    record.Float("Absorption", v.Absorb);
    record.Float("Gravity", v.Gravity);
    record.Float("Wind", v.Wind);
    Range(record, "Lifespan", v.Lifespan);
    record.Pointer("pTexture", v.Texture);
    record.Pointer("pNextDef", v.NextParticle);
}

void CdbEmitterDef::Parse(CRhuParser& parser, int node)
{
    EmitterValues& v = Values;
    StartFromParent(parser, node, *this, v);
    ReadVector(parser, node, "EmVector", v.Vector);
    ReadRange(parser, node, "EmArpetureIn", v.ArpetureIn);
    ReadRange(parser, node, "EmArpetureEx", v.ArpetureEx);
    ReadVector(parser, node, "EmEllipse", v.Ellipse);
    ReadRange(parser, node, "EmVelocity", v.Velocity);
    ReadRange(parser, node, "EmPeriod", v.Period);
    ReadRange(parser, node, "EmCount", v.Count);
    ReadRange(parser, node, "EmLifespan", v.Lifespan);
    ReadLabel(parser, node, "EmParticle", v.Particle);
    ReadLabel(parser, node, "EmEmitter", v.NextEmitter);
}

void CdbEmitterDef::Dump(CZelWriter& writer)
{
    const EmitterValues& v = Values;
    RecordOut record(writer, "EmitterDef", GetLabel(), true);
    Vector(record, "Vector", v.Vector, DegreesToRadians);
    Range(record, "ArpetureIn", v.ArpetureIn, DegreesToRadians);
    Range(record, "ArpetureEx", v.ArpetureEx, DegreesToRadians);
    Vector(record, "Ellipse", v.Ellipse);
    Range(record, "Velocity", v.Velocity);
    Range(record, "Period", v.Period);
    Range(record, "Count", v.Count);
    Range(record, "Lifespan", v.Lifespan);
    record.Pointer("pParticle", v.Particle);
    record.Pointer("pNextDef", v.NextEmitter);
}
