#pragma once
// Particle and emitter definitions: the stages of the engine's particle effects, read from the
// keys of a Particle or Emitter statement and written as one public record each. A block that
// derives from another starts from its values: the keys it gives replace them, and a maximum it
// leaves out follows the minimum it gives.
#include "converter/core/CdbElement.h"

#include <string>

class CRhuParser;

struct ParticleRange {
    float Min = 0.0f, Max = 0.0f, Bias = 1.0f;
};

struct ParticleValues {
    std::string NextParticle;
    std::string Texture;
    float MinColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float MaxColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float Size[3] = {};
    ParticleRange Scale;
    float MinDamp[3] = {}, MaxDamp[3] = {};
    float MinSpin[3] = {}, MaxSpin[3] = {};
    float Facing[3] = {};
    float Flocking[3] = {};
    int IsPathStyle = 0;
    float Gravity = 0.0f;
    ParticleRange Lifespan;
    float Absorb = 0.0f;
    float Wind = 1.0f;
    int Additive = 0;
    int Alpha = 1;
    int Collides = 0;
    int ZBuffer = 1;
    int ZWrite = 0;
};

class CdbParticleDef : public CdbElement {
public:
    CdbParticleDef(const char* label, CDatabase* database) : CdbElement(label, database) {}
    void Parse(CRhuParser& parser, int node);
    void Dump(CZelWriter& writer) override;

    ParticleValues Values;
};

struct EmitterValues {
    float Vector[3] = {};
    ParticleRange ArpetureIn, ArpetureEx;
    float Ellipse[3] = {};
    ParticleRange Velocity, Period, Count, Lifespan;
    std::string Particle;
    std::string NextEmitter;
};

class CdbEmitterDef : public CdbElement {
public:
    CdbEmitterDef(const char* label, CDatabase* database) : CdbElement(label, database) {}
    void Parse(CRhuParser& parser, int node);
    void Dump(CZelWriter& writer) override;

    EmitterValues Values;
};
