// The record header is the contract between converter and engine: its layouts must match the
// packed data format byte for byte, and its constants must keep the values stored files use.
#include "engine/include/RhuTypes.h"

#include <cstddef>
#include <gtest/gtest.h>

#pragma GCC diagnostic ignored "-Winvalid-offsetof"

namespace {

TEST(RhuTypesHeader, RecordMembersSitWhereTheLoaderReadsThem)
{
    struct Case {
        const char* member;
        size_t actual;
        size_t expected;
    };
    const Case cases[] = {
        {"CZelLoad.pZel", offsetof(rhu::CZelLoad, pZel), 4},
        {"CZelLoad.File", offsetof(rhu::CZelLoad, File), 8},
        {"CZelBinary.Data", offsetof(rhu::CZelBinary, Data), 4},
        {"EditableFillData.Length", offsetof(rhu::EditableFillData, Length), 4},
        {"EditableFillData.Data", offsetof(rhu::EditableFillData, Data), 8},
        {"CMessage.hRecipient", offsetof(rhu::CMessage, hRecipient), 4},
        {"CMessage.Priority", offsetof(rhu::CMessage, Priority), 8},
        {"CVariableLengthMessage.Size", offsetof(rhu::CVariableLengthMessage, Size), 12},
        {"CSetPosMessage.Pos", offsetof(rhu::CSetPosMessage, Pos), 12},
        {"CInputTrigger.pNext", offsetof(rhu::CInputTrigger, pNext), 4},
        {"CInputTrigger.InputLabel", offsetof(rhu::CInputTrigger, InputLabel), 8},
        {"CInputTrigger.InputValue", offsetof(rhu::CInputTrigger, InputValue), 12},
        {"CInputTrigger.Size", offsetof(rhu::CInputTrigger, Size), 16},
        {"CInputTrigger.Padding1", offsetof(rhu::CInputTrigger, Padding1), 18},
        {"CInputTrigger.InputDefs", offsetof(rhu::CInputTrigger, InputDefs), 20},
        {"CInputDef.SubCodes.Condition", offsetof(rhu::CInputDef, SubCodes.Condition), 3},
        {"CVeskLabelFixup.Key", offsetof(rhu::CVeskLabelFixup, Key), 4},
        {"CVeskLabelFixup.pLabel", offsetof(rhu::CVeskLabelFixup, pLabel), 8},
        {"CVector.Z", offsetof(rhu::CVector, Z), 8},
        {"CPlaySoundMessage.LipSync", offsetof(rhu::CPlaySoundMessage, LipSync), 28},
        {"CSoundSample.SampleRate", offsetof(rhu::CSoundSample, SampleRate), 12},
        {"CSoundDefinition.Flags", offsetof(rhu::CSoundDefinition, Flags), 8},
        {"CSoundDefinition.Priority", offsetof(rhu::CSoundDefinition, Priority), 12},
        {"CSoundDefinition.pNext", offsetof(rhu::CSoundDefinition, pNext), 24},
        {"CSoundDefinition.pSampleData", offsetof(rhu::CSoundDefinition, pSampleData), 28},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.member;
}

TEST(RhuTypesHeader, ConstantsKeepTheirStoredValues)
{
    struct Case {
        const char* name;
        unsigned long actual;
        unsigned long expected;
    };
    const Case cases[] = {
        {"MESSAGE_LENGTH_IS_VARIABLE", rhu::MESSAGE_LENGTH_IS_VARIABLE, 0xFFFFFFFFul},
        {"INPUT_CONFIG_ALL", rhu::INPUT_CONFIG_ALL, 0x008000FF},
        {"INPUT_CONFIG_1", rhu::INPUT_CONFIG_1, 0x00800001},
        {"INPUT_MOUSE_AXIS_Z", rhu::INPUT_MOUSE_AXIS_Z, 0x04020006},
        {"INPUT_GAMEPAD_AXIS_8", rhu::INPUT_GAMEPAD_AXIS_8, 0x0504001F},
        {"INPUT_GAMEPAD_DPAD_1", rhu::INPUT_GAMEPAD_DPAD_1, 0x04040020},
        {"INPUT_GAMEPAD_TRIGGER_R3_DIGITAL", rhu::INPUT_GAMEPAD_TRIGGER_R3_DIGITAL, 0x0004000F},
        {"INPUT_GAMEPAD_STICK_RIGHT_Y", rhu::INPUT_GAMEPAD_STICK_RIGHT_Y, 0x0504001F},
        {"INPUT_ESCAPE", rhu::INPUT_ESCAPE, 0x00010001},
        {"INPUT_SPACE", rhu::INPUT_SPACE, 0x00010039},
        {"INPUT_NUMPADENTER", rhu::INPUT_NUMPADENTER, 0x0001009C},
        {"INPUT_SLEEP", rhu::INPUT_SLEEP, 0x000100DF},
        {"CDestroyMessage_CMessageId", rhu::CDestroyMessage::CMessageId, 0x00020017},
        {"SOUND_MUSIC", rhu::SOUND_MUSIC, 128},
        {"PRIM_ZALWAYS", rhu::PRIM_ZALWAYS, 16384},
        {"PS2_VIF_TAG_MESH_COMP", rhu::PS2_VIF_TAG_MESH_COMP, 0x6D008025},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.name;
}

} // namespace
