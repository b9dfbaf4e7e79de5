// On-screen messages and the camera keyframe recorder: the exact texts, the recorder's edge
// cases, the path it plays, and a message drawn with the packed font on the overlay.
#include <gtest/gtest.h>

#include <cmath>

#include "RenderResourceSupport.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CameraKeyframes.h"
#include "engine/render/GPCXRenderMessage.h"
#include "engine/world/GmvCamera.h"
#include "engine/zel/CZelFile.h"

namespace {

class MessageTest : public RenderResourceTest {
protected:
    void SetUp() override
    {
        RenderResourceTest::SetUp();
        GetCameraRecorder() = CameraRecorder{};
    }
    void TearDown() override
    {
        GetCameraRecorder() = CameraRecorder{};
        CRenderer::GetDevice().SetScreenshotRequest(0);
        RenderResourceTest::TearDown();
    }
    static std::string Shown() { return GPCXRenderMessage::pThe ? GPCXRenderMessage::pThe->GetText() : "(none)"; }
    static GmvCamera* Camera(const CVector& eye, const CVector& focus)
    {
        GmvCamera* camera = GmvCamera::Create();
        camera->SetPos(eye);
        camera->SetFocus(focus);
        return camera;
    }
};

TEST_F(MessageTest, RecorderShowsItsTexts)
{
    AddCameraKeyframe(); // no camera object: nothing, not even a message
    LengthenCameraKeyframe();
    EXPECT_EQ(GPCXRenderMessage::pThe, nullptr);
    EXPECT_EQ(GetCameraRecorder().Count, 0);

    Camera(CVector(0, -10, 10), CVector(0, 0, 0));
    AddCameraKeyframe();
    EXPECT_EQ(Shown(), "Camera Keyframe 0 Added");
    EXPECT_EQ(GPCXRenderMessage::pThe->GetTimeLeft(), 1.0f);
    const CameraKeyframe& k = GetCameraRecorder().Keyframes[0];
    EXPECT_FLOAT_EQ(k.Distance, std::sqrt(200.0f));
    EXPECT_FLOAT_EQ(k.Pitch, 6.2831855f - 3.14159265f / 4);
    EXPECT_FLOAT_EQ(k.Yaw, 0.0f);
    EXPECT_EQ(k.Span, 1.0f);
    AddCameraKeyframe();
    EXPECT_EQ(Shown(), "Camera Keyframe 1 Added");
    LengthenCameraKeyframe();
    EXPECT_EQ(Shown(), "Camera Keyframe 1 Spans 1.100000");
    GetCameraRecorder().Keyframes[1].Span = 0.05f;
    ShortenCameraKeyframe();
    EXPECT_EQ(Shown(), "Camera Keyframe 1 Spans 0.000000");
    ToggleCameraPlayback();
    EXPECT_EQ(Shown(), "Camera Playback Started");
    ToggleCameraPlayback();
    EXPECT_EQ(Shown(), "Camera Playback Stopped");
    ClearCameraKeyframes();
    EXPECT_EQ(Shown(), "Camera Keyframes Cleared");
    EXPECT_EQ(GetCameraRecorder().Count, 0);

    // The table holds 93 keyframes; more are not added.
    for (int i = 0; i < 100; ++i)
        AddCameraKeyframe();
    EXPECT_EQ(GetCameraRecorder().Count, 93);
    EXPECT_EQ(Shown(), "Camera Keyframe 92 Added");

    // Capture mode is the screenshot request: on with playback from the start, then off.
    ToggleCameraCycle();
    EXPECT_TRUE(GetCameraRecorder().Capture && GetCameraRecorder().Playback);
    ToggleCameraCycle();
    EXPECT_FALSE(GetCameraRecorder().Capture || GetCameraRecorder().Playback);
}

TEST_F(MessageTest, MessagesKeepTheirTextAndGoWhenTheirTimeIsUp)
{
    AddRenderMessage("100% done %d", 0.0f);
    GPCXRenderMessage* message = GPCXRenderMessage::pThe;
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(Shown(), "100% done %d");
    EXPECT_TRUE(message->GetRender().IsLinked());
    EXPECT_EQ(message->GetRender().GetViewport(), 7);
    EXPECT_EQ(message->GetRender().GetPriority(), 0xFFF0);
    CGameTimer::tFrameTime = 0.1f;
    message->Process();
    EXPECT_FALSE(message->GetRender().IsLinked());
    // Over-long text is cut to 511 characters; a new message replaces the shown one.
    const std::string longText(600, 'x');
    AddRenderMessage(longText.c_str(), 2.0f);
    EXPECT_EQ(GPCXRenderMessage::pThe, message);
    EXPECT_EQ(Shown(), longText.substr(0, 511));
    message->Process();
    EXPECT_TRUE(message->GetRender().IsLinked());
    EXPECT_FLOAT_EQ(message->GetTimeLeft(), 1.9f);
    message->Destroy();
    ResetWorld();
    EXPECT_EQ(GPCXRenderMessage::pThe, nullptr);
}

// The path runs through the keyframes on a cubic Hermite curve and stays at the last one.
TEST_F(MessageTest, PlaybackFollowsTheKeyframes)
{
    GmvCamera* camera = Camera(CVector(0, 0, 10), CVector(0, 0, 0));
    AddCameraKeyframe();
    camera->SetPos(CVector(10, 0, 10));
    camera->SetFocus(CVector(10, 5, 0));
    AddCameraKeyframe();
    GetCameraRecorder().Keyframes[1].Span = 2.0f;
    camera->SetPos(CVector(30, 0, 10));
    AddCameraKeyframe();
    CVector eye, focus;
    ASSERT_TRUE(CameraPathAt(0.0f, eye, focus));
    EXPECT_EQ(eye, CVector(0, 0, 10));
    ASSERT_TRUE(CameraPathAt(1.0f, eye, focus));
    EXPECT_EQ(eye, CVector(10, 0, 10));
    EXPECT_EQ(focus, CVector(10, 5, 0));
    // Half way along the first segment: P0/2 + P1/2 + (T0 - T1)/8 with T0 = 0.15 x (P1 - P0)
    // and T1 = 0.15 x (P2 - P0).
    ASSERT_TRUE(CameraPathAt(0.5f, eye, focus));
    EXPECT_FLOAT_EQ(eye.x, 5.0f + (1.5f - 4.5f) / 8.0f);
    ASSERT_TRUE(CameraPathAt(100.0f, eye, focus));
    EXPECT_EQ(eye, CVector(30, 0, 10));

    ToggleCameraPlayback();
    camera->SetPos(CVector(99, 99, 99));
    CRenderer::GetDevice().BeginFrame();
    CRenderer::GetDevice().EndFrame();
    EXPECT_EQ(camera->GetPos(), CVector(0, 0, 10));
}

TEST_F(MessageTest, MessageDrawsWithTheFontOnTheOverlay)
{
    WriteFixtures();
    CZelFile file;
    ASSERT_EQ(file.Load("sprites.zel"), 0);
    AddRenderMessage("Timer Unlocked", 1.0f);
    // The line starts at (0, 50): 'T' covers 0..8 by 50..60; the space after "Timer" is five
    // pixels, so 'U' starts at 5 x 9 + 5 = 50.
    EXPECT_EQ(Frame("3,55 52,55 3,45 3,65"),
              Expect({{"3,55", "FFFFFF"}, {"52,55", "FFFFFF"}, {"3,45", "000040"}, {"3,65", "000040"}}));
}

} // namespace
