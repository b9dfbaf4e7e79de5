#include "engine/render/CameraKeyframes.h"

#include <cmath>
#include <cstdio>

#include "engine/object/CGameTimer.h"
#include "engine/render/CRenderer.h"
#include "engine/render/GPCXRenderMessage.h"
#include "engine/world/GmvCamera.h"

namespace {

CameraRecorder Recorder;

const float kTwoPi = 6.2831855f;
const float kMessageSeconds = 1.0f;

float Wrap(float angle)
{
    angle = std::fmod(angle, kTwoPi);
    return angle < 0.0f ? angle + kTwoPi : angle;
}

CVector Hermite(const CVector& p0, const CVector& p1, const CVector& t0, const CVector& t1, float u)
{
    const float u2 = u * u, u3 = u2 * u;
    return p0 * (2 * u3 - 3 * u2 + 1) + p1 * (3 * u2 - 2 * u3) + t0 * (u3 - 2 * u2 + u) + t1 * (u3 - u2);
}

void ShowSpan(int index)
{
    char text[64];
    std::snprintf(text, sizeof text, "Camera Keyframe %d Spans %f", index, double(Recorder.Keyframes[index].Span));
    AddRenderMessage(text, kMessageSeconds);
}

} // namespace

CameraRecorder& GetCameraRecorder() { return Recorder; }

void ToggleCameraCycle()
{
    if (!Recorder.Capture) {
        Recorder.PlaybackTime = 0.0f;
        Recorder.Capture = Recorder.Playback = true;
    } else {
        Recorder.Capture = Recorder.Playback = false;
    }
    CRenderer::GetDevice().SetScreenshotRequest(Recorder.Capture ? 1 : 0);
}

void ToggleCameraPlayback()
{
    if (Recorder.Playback) {
        Recorder.Playback = false;
        AddRenderMessage("Camera Playback Stopped", kMessageSeconds);
    } else {
        Recorder.PlaybackTime = 0.0f;
        Recorder.Playback = true;
        AddRenderMessage("Camera Playback Started", kMessageSeconds);
    }
}

void ClearCameraKeyframes()
{
    Recorder.Count = 0;
    AddRenderMessage("Camera Keyframes Cleared", kMessageSeconds);
}

void AddCameraKeyframe()
{
    GmvCamera* camera = GmvCamera::pThe;
    if (!camera || Recorder.Count >= CameraRecorder::kMaxKeyframes)
        return;
    const int index = Recorder.Count;
    char text[64];
    std::snprintf(text, sizeof text, "Camera Keyframe %d Added", index);
    AddRenderMessage(text, kMessageSeconds);
    CameraKeyframe& k = Recorder.Keyframes[index];
    k.Eye = camera->GetPos();
    k.Focus = camera->GetFocus();
    const CVector d = k.Eye - k.Focus;
    k.Pitch = Wrap(-std::atan2(d.z, std::sqrt(d.x * d.x + d.y * d.y)));
    k.Roll = 0.0f;
    k.Yaw = Wrap(std::atan2(d.x, -d.y));
    k.Distance = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    k.Span = 1.0f;
    Recorder.Count = index + 1;
}

void LengthenCameraKeyframe()
{
    if (Recorder.Count < 1)
        return;
    const int last = Recorder.Count - 1;
    Recorder.Keyframes[last].Span += 0.1f;
    ShowSpan(last);
}

void ShortenCameraKeyframe()
{
    if (Recorder.Count < 1)
        return;
    const int last = Recorder.Count - 1;
    float& span = Recorder.Keyframes[last].Span;
    span -= 0.1f;
    if (span < 0.0f)
        span = 0.0f;
    ShowSpan(last);
}

bool CameraPathAt(float t, CVector& eye, CVector& focus)
{
    const int n = Recorder.Count;
    if (n < 1)
        return false;
    int i = 0;
    while (t > Recorder.Keyframes[i].Span) {
        t -= Recorder.Keyframes[i].Span;
        if (++i >= n) {
            i = n - 1;
            break;
        }
    }
    const float span = Recorder.Keyframes[i].Span;
    float u = span != 0.0f ? t / span : 0.0f;
    u = u < 0.0f ? 0.0f : u > 1.0f ? 1.0f : u;
    auto at = [n](int k) -> const CameraKeyframe& { return Recorder.Keyframes[k < 0 ? 0 : k >= n ? n - 1 : k]; };
    eye = Hermite(at(i).Eye, at(i + 1).Eye, (at(i + 1).Eye - at(i - 1).Eye) * 0.15f,
                  (at(i + 2).Eye - at(i).Eye) * 0.15f, u);
    focus = Hermite(at(i).Focus, at(i + 1).Focus, (at(i + 1).Focus - at(i - 1).Focus) * 0.15f,
                    (at(i + 2).Focus - at(i).Focus) * 0.15f, u);
    return true;
}

void PlayCameraKeyframes()
{
    if (!Recorder.Playback)
        return;
    CVector eye, focus;
    if (!CameraPathAt(Recorder.PlaybackTime, eye, focus))
        return;
    if (GmvCamera* camera = GmvCamera::pThe) {
        camera->SetFocus(focus);
        camera->SetEye(eye);
    }
    Recorder.PlaybackTime += CGameTimer::PauseFrameTime();
}
