#pragma once
// Sound records built in memory as a packed file would hold them, for tests that play sounds
// without a converted file.
#include <cstring>
#include <vector>

#include "engine/devices/CSoundDefinition.h"
#include "engine/devices/CSoundSample.h"

// A memory sample over a stored format and its data; the record lives in `storage`.
inline CSoundSample* BuildMemorySample(std::vector<unsigned char>& storage, const WAVEFORMATEX& format,
                                       const void* data, unsigned long bytes, unsigned long rate)
{
    storage.assign(sizeof(CSoundSample) + sizeof format + bytes, 0);
    unsigned char* raw = storage.data() + sizeof(CSoundSample);
    std::memcpy(raw, &format, sizeof format);
    if (bytes)
        std::memcpy(raw + sizeof format, data, bytes);
    CSoundSample* sample = reinterpret_cast<CSoundSample*>(storage.data());
    sample->Length = bytes;
    sample->pRawData = raw;
    sample->SampleRate = rate;
    ZelConstructInPlace<CSoundSample>(sample);
    return sample;
}

// A streamed sample naming a WAV file; `name` must outlive it.
inline CSoundSample* BuildStreamedSample(std::vector<unsigned char>& storage, const char* name)
{
    storage.assign(sizeof(CSoundSample), 0);
    CSoundSample* sample = reinterpret_cast<CSoundSample*>(storage.data());
    sample->Length = CSoundSample::kStreamed;
    sample->pRawData = const_cast<char*>(name);
    ZelConstructInPlace<CSoundSample>(sample);
    return sample;
}

struct SoundDefinitionSpec {
    const char* Name;
    unsigned char Flags;
    float Priority;
    float FadeMultiplier;
    float Volume;
};

// A definition over the samples, linked into the lookup like a loaded one.
inline CSoundDefinition* BuildDefinition(std::vector<unsigned char>& storage, const SoundDefinitionSpec& spec,
                                         const std::vector<CSoundSample*>& samples)
{
    storage.assign(sizeof(CSoundDefinition) + samples.size() * sizeof(CSoundSample*), 0);
    CSoundDefinition* definition = reinterpret_cast<CSoundDefinition*>(storage.data());
    definition->Id = CCRC32::GetCRC(spec.Name);
    definition->Flags = spec.Flags;
    definition->SampleCount = static_cast<unsigned char>(samples.size());
    definition->Priority = spec.Priority;
    definition->FadeMultiplier = spec.FadeMultiplier;
    definition->Volume = spec.Volume;
    if (!samples.empty())
        std::memcpy(storage.data() + sizeof(CSoundDefinition), samples.data(), samples.size() * sizeof(CSoundSample*));
    ZelConstructInPlace<CSoundDefinition>(definition);
    return definition;
}
