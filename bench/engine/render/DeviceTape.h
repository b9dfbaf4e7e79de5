// A tape of the calls a frame makes on the Direct3D 9 device, for benchmarks that compare the
// renderer with exactly the same calls issued straight to the device. The benchmark defines
// Direct3DCreate9 itself, so the engine's device comes wrapped: every call goes through the
// wrapper, which forwards it and, while a tape is recording, keeps a copy of it with its data.
// Replaying the tape issues the same calls through the same wrapper, so both sides pay for it
// alike.
#pragma once

#include <d3d9.h>

#include <functional>
#include <vector>

class CallTape {
public:
    void Clear() { m_Calls.clear(); }
    size_t Size() const { return m_Calls.size(); }
    void Add(std::function<void(IDirect3DDevice9*)> call) { m_Calls.push_back(std::move(call)); }
    void Replay(IDirect3DDevice9* device) const
    {
        for (const auto& call : m_Calls)
            call(device);
    }

private:
    std::vector<std::function<void(IDirect3DDevice9*)>> m_Calls;
};

// The wrapped device the engine made last; null before the first.
IDirect3DDevice9* TapedDevice();
// While recording, every call on the wrapped device goes onto the tape.
void StartRecording(CallTape& tape);
void StopRecording();
// Calls made while recording that the tape cannot repeat (device creation of resources,
// resets, region presents); a trustworthy tape has none.
int UnrecordedCalls();
// While dry, draws, clears and presents do nothing (every other call still reaches the
// device): what is left of a frame is the work of whoever makes the calls. Never while
// recording.
void SetDry(bool dry);
