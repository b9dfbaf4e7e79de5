#pragma once
// The sound tests' fixture: a still virtual clock, the mix captured to a WAV file, a fresh sound
// system, frames of 10 ms, and the debugger output collected.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ObjectTestSupport.h"
#include "engine/devices/GSoundSystem.h"
#include "tests/support/SoundRecords.h"

class SoundTest : public ObjectTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // One frame: the clock moves 10 ms (441 output frames) and the sound system runs.
    void Frame(float pauseFrameTime = 0.01f);
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            Frame();
    }
    // A 16-bit mono memory sample of the given samples and a definition over `count` of them.
    CSoundDefinition* Define(const SoundDefinitionSpec& spec, int samples = 1, const std::vector<short>& data = {});
    // Frame of the capture file the mix has reached.
    long Now() const;
    std::string Oracle(const std::string& args) const;
    // The capture file made current for the independent reader.
    const std::string& Mix() const;

    GSoundSystem* System = nullptr;
    std::string Capture;
    std::string DebugLog;

private:
    std::vector<std::vector<unsigned char>> Records;
    std::vector<CSoundSample*> Samples;
    std::vector<CSoundDefinition*> Definitions;
};

// Writes a canonical PCM WAV file of the sample bytes.
void WriteWav(const std::string& path, int channels, int rate, int bits, const std::vector<unsigned char>& data);
std::vector<unsigned char> NoiseBytes(int frames, int bits, unsigned seed);
