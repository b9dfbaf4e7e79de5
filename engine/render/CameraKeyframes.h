#pragma once
// The debug recorder of camera keyframes: debug keys add the current camera as a keyframe,
// lengthen or shorten the last one's span, clear the list and start or stop playback; each
// frame begins by moving the camera along the recorded path while playback is on. Capture
// mode also saves every presented frame as an image.
#include "core/math/CVector.h"

struct CameraKeyframe {
    CVector Eye;
    CVector Focus;
    float Pitch, Roll, Yaw;
    float Distance;
    float Span; // seconds from this keyframe to the next
};

struct CameraRecorder {
    enum { kMaxKeyframes = 93 };
    CameraKeyframe Keyframes[kMaxKeyframes];
    int Count;
    bool Playback;
    bool Capture;
    float PlaybackTime;
};
CameraRecorder& GetCameraRecorder();

void ToggleCameraCycle();
void ToggleCameraPlayback();
void ClearCameraKeyframes();
// Nothing without a camera object, or once the table is full.
void AddCameraKeyframe();
void LengthenCameraKeyframe();
void ShortenCameraKeyframe();

// The eye and focus of the recorded path at a time (a cubic Hermite curve through the
// keyframes); false with no keyframes.
bool CameraPathAt(float time, CVector& eye, CVector& focus);
// At the start of a frame while playback is on: moves the camera object along the path and
// advances the playback time by the pause-aware frame time.
void PlayCameraKeyframes();
