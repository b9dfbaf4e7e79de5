// Records that packed data holds, and the named constants scripts may use, declared once for
// both sides: the converter reads this header (preprocessed with RHU_TYPEINFO defined) into its
// type file, and the engine checks its own classes against the copies declared here in
// namespace rhu. Keep it free of includes, templates and bit-fields, and give a class a table
// pointer only where its base chain starts: the converter lays records out byte for byte with
// no padding, exactly as pack(1) does.
#ifndef RHUTYPES_H
#define RHUTYPES_H

#ifdef RHU_TYPEINFO
#define RHU_EXPORT __rhuexport
#else
#define RHU_EXPORT
namespace rhu {
#endif

#pragma pack(push, 1)

#ifndef RHU_TYPEINFO
// The type database knows CCRC32 as a builtin 32-bit name key.
typedef unsigned long CCRC32;
// The type database knows offset as a builtin 16-bit self-relative offset.
typedef unsigned short offset;
#endif

const RHU_EXPORT unsigned short FILLDATA_EMBEDDED_GOBJECT = 1;
const RHU_EXPORT unsigned short FILLDATA_EMBEDDED_POINTER = 4;
const RHU_EXPORT unsigned short FILLDATA_ZEL_POINTER = 8;
const RHU_EXPORT unsigned short FILLDATA_ZEL_HANDLE = 16;
const RHU_EXPORT unsigned short FILLDATA_SAVED_EMBEDDED_GOBJECT = 2;

const RHU_EXPORT unsigned long MESSAGE_LENGTH_IS_VARIABLE = 0xFFFFFFFF;

const RHU_EXPORT unsigned long COLLISIONDATA_PLOT = 1;
const RHU_EXPORT unsigned long COLLISIONDATA_COLLIDE = 2;
const RHU_EXPORT unsigned long COLLISIONDATA_LOCALPATH = 4;
const RHU_EXPORT unsigned long COLLISIONDATA_GLOBALPATH = 8;
const RHU_EXPORT unsigned long COLLISIONDATA_SPECIAL = 16;
const RHU_EXPORT unsigned long COLLISION_SIMPLEVOLUME = 0;
const RHU_EXPORT unsigned long COLLISION_CYLINDER = 1;
const RHU_EXPORT unsigned long COLLISION_SPHERE = 2;

const RHU_EXPORT unsigned char INPUT_DEVICE_NONE = 0;
const RHU_EXPORT unsigned char INPUT_DEVICE_KEYBOARD = 1;
const RHU_EXPORT unsigned char INPUT_DEVICE_MOUSE = 2;
const RHU_EXPORT unsigned char INPUT_DEVICE_GAMEPAD = 4;
const RHU_EXPORT unsigned char INPUT_DEVICE_CONFIG = 128;
const RHU_EXPORT unsigned char INPUT_CONDITION_ONPRESS = 0;
const RHU_EXPORT unsigned char INPUT_CONDITION_ONRELEASE = 1;
const RHU_EXPORT unsigned char INPUT_CONDITION_ISDOWN = 2;
const RHU_EXPORT unsigned char INPUT_CONDITION_ISUP = 3;
const RHU_EXPORT unsigned char INPUT_CONDITION_ONCHANGE = 4;
const RHU_EXPORT unsigned char INPUT_CONDITION_STREAM = 5;

const RHU_EXPORT unsigned long INPUT_CONFIG_ALL = INPUT_DEVICE_CONFIG << 16 | 0xFF;
const RHU_EXPORT unsigned long INPUT_CONFIG_1 = INPUT_DEVICE_CONFIG << 16 | 0x01;
const RHU_EXPORT unsigned long INPUT_CONFIG_2 = INPUT_DEVICE_CONFIG << 16 | 0x02;
const RHU_EXPORT unsigned long INPUT_CONFIG_3 = INPUT_DEVICE_CONFIG << 16 | 0x04;
const RHU_EXPORT unsigned long INPUT_CONFIG_4 = INPUT_DEVICE_CONFIG << 16 | 0x08;
const RHU_EXPORT unsigned long INPUT_CONFIG_5 = INPUT_DEVICE_CONFIG << 16 | 0x10;
const RHU_EXPORT unsigned long INPUT_CONFIG_6 = INPUT_DEVICE_CONFIG << 16 | 0x20;
const RHU_EXPORT unsigned long INPUT_CONFIG_7 = INPUT_DEVICE_CONFIG << 16 | 0x40;
const RHU_EXPORT unsigned long INPUT_CONFIG_8 = INPUT_DEVICE_CONFIG << 16 | 0x80;

const RHU_EXPORT unsigned long INPUT_MOUSE_BUTTON_1 = 0x00020000;
const RHU_EXPORT unsigned long INPUT_MOUSE_BUTTON_2 = 0x00020001;
const RHU_EXPORT unsigned long INPUT_MOUSE_BUTTON_3 = 0x00020002;
const RHU_EXPORT unsigned long INPUT_MOUSE_BUTTON_4 = 0x00020003;
const RHU_EXPORT unsigned long INPUT_MOUSE_AXIS_X = 0x05020004;
const RHU_EXPORT unsigned long INPUT_MOUSE_AXIS_Y = 0x05020005;
const RHU_EXPORT unsigned long INPUT_MOUSE_AXIS_Z = 0x04020006;
const RHU_EXPORT unsigned long INPUT_MOUSE_AXIS_ABSOLUTE_X = 0x05020007;
const RHU_EXPORT unsigned long INPUT_MOUSE_AXIS_ABSOLUTE_Y = 0x05020008;

const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_0 = 0x00040000;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_1 = 0x00040001;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_2 = 0x00040002;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_3 = 0x00040003;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_4 = 0x00040004;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_5 = 0x00040005;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_6 = 0x00040006;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_7 = 0x00040007;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_8 = 0x00040008;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_9 = 0x00040009;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_10 = 0x0004000A;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_11 = 0x0004000B;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_12 = 0x0004000C;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_13 = 0x0004000D;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_14 = 0x0004000E;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_15 = 0x0004000F;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_16 = 0x00040010;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_17 = 0x00040011;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_18 = 0x00040012;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_19 = 0x00040013;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_UP = 0x00040014;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_DOWN = 0x00040015;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_LEFT = 0x00040016;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_RIGHT = 0x00040017;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_AXIS_1 = 0x05040018;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_AXIS_2 = 0x05040019;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_AXIS_3 = 0x0504001A;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_AXIS_4 = 0x0504001B;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_AXIS_5 = 0x0504001C;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_AXIS_6 = 0x0504001D;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_AXIS_7 = 0x0504001E;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_AXIS_8 = 0x0504001F;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_1 = 0x04040020;

const RHU_EXPORT unsigned long INPUT_GAMEPAD_START_DIGITAL = 0x00040000;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_SELECT_DIGITAL = 0x00040001;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_LEFT_DIGITAL = 0x00040002;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_RIGHT_DIGITAL = 0x00040003;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_UP_DIGITAL = 0x00040004;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_DOWN_DIGITAL = 0x00040005;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_SQUARE_DIGITAL = 0x00040006;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_CIRCLE_DIGITAL = 0x00040007;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_TRIANGLE_DIGITAL = 0x00040008;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_X_DIGITAL = 0x00040009;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_L1_DIGITAL = 0x0004000A;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_L2_DIGITAL = 0x0004000B;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_L3_DIGITAL = 0x0004000C;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_R1_DIGITAL = 0x0004000D;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_R2_DIGITAL = 0x0004000E;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_R3_DIGITAL = 0x0004000F;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_LEFT_ANALOG = 0x05040010;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_RIGHT_ANALOG = 0x05040011;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_UP_ANALOG = 0x05040012;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DPAD_DOWN_ANALOG = 0x05040013;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_SQUARE_ANALOG = 0x05040014;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_CIRCLE_ANALOG = 0x05040015;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_TRIANGLE_ANALOG = 0x05040016;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_BUTTON_X_ANALOG = 0x05040017;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_L1_ANALOG = 0x05040018;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_L2_ANALOG = 0x05040019;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_R1_ANALOG = 0x0504001A;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_TRIGGER_R2_ANALOG = 0x0504001B;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_STICK_LEFT_X = 0x0504001C;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_STICK_LEFT_Y = 0x0504001D;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_STICK_RIGHT_X = 0x0504001E;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_STICK_RIGHT_Y = 0x0504001F;
const RHU_EXPORT unsigned long INPUT_GAMEPAD_DISCONNECT = 0x00040020;

const RHU_EXPORT unsigned long INPUT_TEXT = 0x00010000;
const RHU_EXPORT unsigned long INPUT_ESCAPE = 0x00010001;
const RHU_EXPORT unsigned long INPUT_1 = 0x00010002;
const RHU_EXPORT unsigned long INPUT_2 = 0x00010003;
const RHU_EXPORT unsigned long INPUT_3 = 0x00010004;
const RHU_EXPORT unsigned long INPUT_4 = 0x00010005;
const RHU_EXPORT unsigned long INPUT_5 = 0x00010006;
const RHU_EXPORT unsigned long INPUT_6 = 0x00010007;
const RHU_EXPORT unsigned long INPUT_7 = 0x00010008;
const RHU_EXPORT unsigned long INPUT_8 = 0x00010009;
const RHU_EXPORT unsigned long INPUT_9 = 0x0001000A;
const RHU_EXPORT unsigned long INPUT_0 = 0x0001000B;
const RHU_EXPORT unsigned long INPUT_MINUS = 0x0001000C;
const RHU_EXPORT unsigned long INPUT_EQUALS = 0x0001000D;
const RHU_EXPORT unsigned long INPUT_BACK = 0x0001000E;
const RHU_EXPORT unsigned long INPUT_TAB = 0x0001000F;
const RHU_EXPORT unsigned long INPUT_Q = 0x00010010;
const RHU_EXPORT unsigned long INPUT_W = 0x00010011;
const RHU_EXPORT unsigned long INPUT_E = 0x00010012;
const RHU_EXPORT unsigned long INPUT_R = 0x00010013;
const RHU_EXPORT unsigned long INPUT_T = 0x00010014;
const RHU_EXPORT unsigned long INPUT_Y = 0x00010015;
const RHU_EXPORT unsigned long INPUT_U = 0x00010016;
const RHU_EXPORT unsigned long INPUT_I = 0x00010017;
const RHU_EXPORT unsigned long INPUT_O = 0x00010018;
const RHU_EXPORT unsigned long INPUT_P = 0x00010019;
const RHU_EXPORT unsigned long INPUT_LBRACKET = 0x0001001A;
const RHU_EXPORT unsigned long INPUT_RBRACKET = 0x0001001B;
const RHU_EXPORT unsigned long INPUT_RETURN = 0x0001001C;
const RHU_EXPORT unsigned long INPUT_LCONTROL = 0x0001001D;
const RHU_EXPORT unsigned long INPUT_A = 0x0001001E;
const RHU_EXPORT unsigned long INPUT_S = 0x0001001F;
const RHU_EXPORT unsigned long INPUT_D = 0x00010020;
const RHU_EXPORT unsigned long INPUT_F = 0x00010021;
const RHU_EXPORT unsigned long INPUT_G = 0x00010022;
const RHU_EXPORT unsigned long INPUT_H = 0x00010023;
const RHU_EXPORT unsigned long INPUT_J = 0x00010024;
const RHU_EXPORT unsigned long INPUT_K = 0x00010025;
const RHU_EXPORT unsigned long INPUT_L = 0x00010026;
const RHU_EXPORT unsigned long INPUT_SEMICOLON = 0x00010027;
const RHU_EXPORT unsigned long INPUT_APOSTROPHE = 0x00010028;
const RHU_EXPORT unsigned long INPUT_GRAVE = 0x00010029;
const RHU_EXPORT unsigned long INPUT_LSHIFT = 0x0001002A;
const RHU_EXPORT unsigned long INPUT_BACKSLASH = 0x0001002B;
const RHU_EXPORT unsigned long INPUT_Z = 0x0001002C;
const RHU_EXPORT unsigned long INPUT_X = 0x0001002D;
const RHU_EXPORT unsigned long INPUT_C = 0x0001002E;
const RHU_EXPORT unsigned long INPUT_V = 0x0001002F;
const RHU_EXPORT unsigned long INPUT_B = 0x00010030;
const RHU_EXPORT unsigned long INPUT_N = 0x00010031;
const RHU_EXPORT unsigned long INPUT_M = 0x00010032;
const RHU_EXPORT unsigned long INPUT_COMMA = 0x00010033;
const RHU_EXPORT unsigned long INPUT_PERIOD = 0x00010034;
const RHU_EXPORT unsigned long INPUT_SLASH = 0x00010035;
const RHU_EXPORT unsigned long INPUT_RSHIFT = 0x00010036;
const RHU_EXPORT unsigned long INPUT_MULTIPLY = 0x00010037;
const RHU_EXPORT unsigned long INPUT_LMENU = 0x00010038;
const RHU_EXPORT unsigned long INPUT_SPACE = 0x00010039;
const RHU_EXPORT unsigned long INPUT_CAPITAL = 0x0001003A;
const RHU_EXPORT unsigned long INPUT_F1 = 0x0001003B;
const RHU_EXPORT unsigned long INPUT_F2 = 0x0001003C;
const RHU_EXPORT unsigned long INPUT_F3 = 0x0001003D;
const RHU_EXPORT unsigned long INPUT_F4 = 0x0001003E;
const RHU_EXPORT unsigned long INPUT_F5 = 0x0001003F;
const RHU_EXPORT unsigned long INPUT_F6 = 0x00010040;
const RHU_EXPORT unsigned long INPUT_F7 = 0x00010041;
const RHU_EXPORT unsigned long INPUT_F8 = 0x00010042;
const RHU_EXPORT unsigned long INPUT_F9 = 0x00010043;
const RHU_EXPORT unsigned long INPUT_F10 = 0x00010044;
const RHU_EXPORT unsigned long INPUT_NUMLOCK = 0x00010045;
const RHU_EXPORT unsigned long INPUT_SCROLL = 0x00010046;
const RHU_EXPORT unsigned long INPUT_NUMPAD7 = 0x00010047;
const RHU_EXPORT unsigned long INPUT_NUMPAD8 = 0x00010048;
const RHU_EXPORT unsigned long INPUT_NUMPAD9 = 0x00010049;
const RHU_EXPORT unsigned long INPUT_SUBTRACT = 0x0001004A;
const RHU_EXPORT unsigned long INPUT_NUMPAD4 = 0x0001004B;
const RHU_EXPORT unsigned long INPUT_NUMPAD5 = 0x0001004C;
const RHU_EXPORT unsigned long INPUT_NUMPAD6 = 0x0001004D;
const RHU_EXPORT unsigned long INPUT_ADD = 0x0001004E;
const RHU_EXPORT unsigned long INPUT_NUMPAD1 = 0x0001004F;
const RHU_EXPORT unsigned long INPUT_NUMPAD2 = 0x00010050;
const RHU_EXPORT unsigned long INPUT_NUMPAD3 = 0x00010051;
const RHU_EXPORT unsigned long INPUT_NUMPAD0 = 0x00010052;
const RHU_EXPORT unsigned long INPUT_DECIMAL = 0x00010053;
const RHU_EXPORT unsigned long INPUT_F11 = 0x00010057;
const RHU_EXPORT unsigned long INPUT_F12 = 0x00010058;
const RHU_EXPORT unsigned long INPUT_F13 = 0x00010064;
const RHU_EXPORT unsigned long INPUT_F14 = 0x00010065;
const RHU_EXPORT unsigned long INPUT_F15 = 0x00010066;
const RHU_EXPORT unsigned long INPUT_KANA = 0x00010070;
const RHU_EXPORT unsigned long INPUT_CONVERT = 0x00010079;
const RHU_EXPORT unsigned long INPUT_NOCONVERT = 0x0001007B;
const RHU_EXPORT unsigned long INPUT_YEN = 0x0001007D;
const RHU_EXPORT unsigned long INPUT_NUMPADEQUALS = 0x0001008D;
const RHU_EXPORT unsigned long INPUT_CIRCUMFLEX = 0x00010090;
const RHU_EXPORT unsigned long INPUT_AT = 0x00010091;
const RHU_EXPORT unsigned long INPUT_COLON = 0x00010092;
const RHU_EXPORT unsigned long INPUT_UNDERLINE = 0x00010093;
const RHU_EXPORT unsigned long INPUT_KANJI = 0x00010094;
const RHU_EXPORT unsigned long INPUT_STOP = 0x00010095;
const RHU_EXPORT unsigned long INPUT_AX = 0x00010096;
const RHU_EXPORT unsigned long INPUT_UNLABELED = 0x00010097;
const RHU_EXPORT unsigned long INPUT_NUMPADENTER = 0x0001009C;
const RHU_EXPORT unsigned long INPUT_RCONTROL = 0x0001009D;
const RHU_EXPORT unsigned long INPUT_NUMPADCOMMA = 0x000100B3;
const RHU_EXPORT unsigned long INPUT_DIVIDE = 0x000100B5;
const RHU_EXPORT unsigned long INPUT_SYSRQ = 0x000100B7;
const RHU_EXPORT unsigned long INPUT_RMENU = 0x000100B8;
const RHU_EXPORT unsigned long INPUT_PAUSE = 0x000100C5;
const RHU_EXPORT unsigned long INPUT_HOME = 0x000100C7;
const RHU_EXPORT unsigned long INPUT_UP = 0x000100C8;
const RHU_EXPORT unsigned long INPUT_PRIOR = 0x000100C9;
const RHU_EXPORT unsigned long INPUT_LEFT = 0x000100CB;
const RHU_EXPORT unsigned long INPUT_RIGHT = 0x000100CD;
const RHU_EXPORT unsigned long INPUT_END = 0x000100CF;
const RHU_EXPORT unsigned long INPUT_DOWN = 0x000100D0;
const RHU_EXPORT unsigned long INPUT_NEXT = 0x000100D1;
const RHU_EXPORT unsigned long INPUT_INSERT = 0x000100D2;
const RHU_EXPORT unsigned long INPUT_DELETE = 0x000100D3;
const RHU_EXPORT unsigned long INPUT_LWIN = 0x000100DB;
const RHU_EXPORT unsigned long INPUT_RWIN = 0x000100DC;
const RHU_EXPORT unsigned long INPUT_APPS = 0x000100DD;
const RHU_EXPORT unsigned long INPUT_POWER = 0x000100DE;
const RHU_EXPORT unsigned long INPUT_SLEEP = 0x000100DF;

class CZelFile;
class CEmbeddedFillData;
class CRendTexture;

class RHU_EXPORT CVector {
public:
    union {
        float X;
        float Red;
    };
    union {
        float Y;
        float Green;
    };
    union {
        float Z;
        float Blue;
    };
};

class RHU_EXPORT CZelStaticResource {
public:
    virtual ~CZelStaticResource();
};

class RHU_EXPORT CZelLoad : public CZelStaticResource {
public:
    CZelFile* pZel;
    char File[0];
};

struct RHU_EXPORT CZelBinary {
    unsigned long Length;
    unsigned char Data[0];
};

union RHU_EXPORT HGOBJECT {
    unsigned long Handle;
    struct {
        unsigned short Player;
        unsigned short Id;
    } UniqueHandle;
};

struct RHU_EXPORT EditableFillData {
    unsigned long Crc;
    unsigned short Length;
    unsigned char ArrayIndex;
    unsigned char Flags;
    unsigned char Data[0];
};

class RHU_EXPORT CFillData : public CZelStaticResource {
public:
    unsigned long ClassId;
    unsigned long LabelId;
    EditableFillData* pData;
};

class RHU_EXPORT CDefaultFillData : public CFillData {};

class RHU_EXPORT CPresetFillData : public CFillData {
public:
    int Player;
    HGOBJECT hgobject;
};

class RHU_EXPORT CEmbeddedFillData : public CFillData {
public:
    int Player;
};

class RHU_EXPORT CVeskTemplateFillData : public CEmbeddedFillData {
public:
    char* pName;
    CVeskTemplateFillData* pNext;
};

class RHU_EXPORT CVeskExtraData : public CZelStaticResource {
public:
    CVeskExtraData* pNext;
    char* pFileName;
    CFillData* pReference;
    char* pLabel;
    bool bDumped;
    unsigned char __filler[3];
    unsigned long LabelCRC;
};

class RHU_EXPORT CMessage {
public:
    unsigned long MessageId;
    HGOBJECT hRecipient;
    unsigned char Priority;
    unsigned char __filler[3];
};

class RHU_EXPORT CVariableLengthMessage : public CMessage {
public:
    unsigned short Size;
};

class RHU_EXPORT CSetPosMessage : public CMessage {
public:
    enum { DefaultPriority = 10, CMessageId = 17 };
    CVector Pos;
};

class RHU_EXPORT CSetRotMessage : public CMessage {
public:
    enum { DefaultPriority = 10, CMessageId = 18 };
    CVector Rot;
};

class RHU_EXPORT CCreateMessage : public CMessage {
public:
    enum { DefaultPriority = 10, CMessageId = 21 };
    unsigned long TemplateId;
    unsigned long ClassId;
    HGOBJECT hObject;
    CVector Pos;
    CVector Rot;
};

class RHU_EXPORT CCreateIdMessage : public CMessage {
public:
    enum { DefaultPriority = 10, CMessageId = 22 };
    unsigned long ClassId;
    HGOBJECT hObject;
    CVector Pos;
    CVector Rot;
};

class RHU_EXPORT CDestroyMessage : public CMessage {
public:
    enum { DefaultPriority = 10, CMessageId = 0x00020017 };
};

const RHU_EXPORT signed long CSimpleVolCollision_MAX_POINTS = 16;

class RHU_EXPORT CBaseCollision : public CZelStaticResource {
public:
    unsigned short Size;
    unsigned char Type;
    unsigned char Flags;
};

class RHU_EXPORT CCollisionData {
public:
    float PlotX;
    float PlotY;
    union {
        float PlotRadius;
        unsigned long Flags;
    };
    unsigned char CollArray[0];
};

struct RHU_EXPORT EndPoint {
    float X;
    float Y;
    float Nx;
    float Ny;
};

struct RHU_EXPORT PlaneDef {
    float Height;
    float DeltaX;
    float DeltaY;
};

class RHU_EXPORT CSimpleVolCollision : public CBaseCollision {
public:
    float X;
    float Y;
    float Radius;
    PlaneDef Top;
    PlaneDef Bottom;
    signed long Count;
    EndPoint Points[0];
};

class RHU_EXPORT CCylinderCollision : public CBaseCollision {
public:
    float X;
    float Y;
    float Top;
    float Bottom;
    float Radius;
};

class RHU_EXPORT CSphereCollision : public CBaseCollision {
public:
    CVector Offset;
    float Radius;
};

class RHU_EXPORT CRendResource : public CZelStaticResource {};
class RHU_EXPORT CRendRectangle : public CRendResource {};
class RHU_EXPORT CRendEllipse : public CRendResource {};
class RHU_EXPORT CRendLine : public CRendResource {};
class RHU_EXPORT CRendBox : public CRendResource {};
// The front end's bar: one quad whose texture is cut at the fill.
class RHU_EXPORT CRendBarIndicator : public CRendResource {};
class RHU_EXPORT CRendWorldRect : public CRendResource {};
class RHU_EXPORT CRendWorldEllipse : public CRendResource {};
class RHU_EXPORT CRendLineBatch : public CRendResource {};
// The mini-map's built-in screen resources.
class RHU_EXPORT CRendMiniMapObjects : public CRendResource {};
class RHU_EXPORT CRendMiniMapCamPointer : public CRendResource {};
class RHU_EXPORT CRendMiniMapXMarker : public CRendResource {};
class RHU_EXPORT CRendMiniMapImage : public CRendResource {};
class RHU_EXPORT CRendMiniMapCamera : public CRendResource {};

// Sprites, fonts and logos: frames of texture pages, each frame's extent in 1/16 pixel round
// the sprite's origin and its texture coordinates in 1/4096.
struct RHU_EXPORT SpriteFrame {
    unsigned short Flags; // 1: the next frame is another part of the same image
    unsigned short TextureIndex;
    signed short Left;
    signed short Right;
    signed short Top;
    signed short Bottom;
    signed short LeftCoord;
    signed short RightCoord;
    signed short TopCoord;
    signed short BottomCoord;
};

struct RHU_EXPORT SpriteBatch {
    unsigned long Flags;
    unsigned short NumFrames;
    unsigned short NumTextures;
    CRendTexture** pTextures;
    SpriteFrame* pFrames;
};

struct RHU_EXPORT AttachPoint {
    signed short X;
    signed short Y;
};

struct RHU_EXPORT SpriteBox {
    signed long Left;
    signed long Top;
    signed long Right;
    signed long Bottom;
};

class CSimpleAnimation;

class RHU_EXPORT CSprite : public CRendResource {
public:
    SpriteBatch SpriteData;
    signed long BoxFrameNo;
    SpriteBox Box;
    CSimpleAnimation* pAnimation;
    unsigned long NumAttachPoints;
    AttachPoint AttachPoints[0];
};

class RHU_EXPORT CBaseFont : public CRendResource {
public:
    unsigned long SpaceSize;
    signed long Kerning;
    unsigned long Height;
    unsigned long Leading;
};

class RHU_EXPORT CzFont : public CBaseFont {
public:
    SpriteBatch SpriteData;
    unsigned char ASCII2Frame[256];
};

class RHU_EXPORT CLogo : public CZelStaticResource {
public:
    SpriteBatch SpriteData;
};

class CAnimation;

// One of several resources, shown by the render's index.
class RHU_EXPORT CRendIndexed : public CRendResource {
public:
    unsigned long Count;
    CAnimation* pAnimation;
    CRendResource* pElements[0];
};

// A named place on a resource or skeleton node: the position, then the name key.
class RHU_EXPORT CAttachPoint : public CVector {
public:
    unsigned long Crc32;
};

// Timeline triggers of the animations, sorted by time and ended by a record of type 0xFFFF.
struct RHU_EXPORT Trigger {
    float Time;
    unsigned long Flag;
    unsigned short Type;
    unsigned short ChannelIndex;
};

class RHU_EXPORT CAnimation : public CZelStaticResource {};

// A table of animations by row and variant: Count entries follow in Data, nested tables
// (HasResources 0) or animation records (HasResources 1).
class RHU_EXPORT CAnimTable {
public:
    unsigned short Count;
    unsigned short HasResources;
    void* Data[1];
};

// One key of a hierarchy animation: KeySize bytes, one packed rotation per channel.
struct RHU_EXPORT HierarchyKey {
    float Time;
    CVector Position;
    unsigned long Rots[0];
};

class CRendStaticSkeleton;

class RHU_EXPORT CHierarchyAnimation : public CAnimation {
public:
    Trigger* pTriggers;
    float EndTime;
    float FadeIn;
    float FadeOut;
    unsigned short NumChannels;
    unsigned short KeySize;
    unsigned long ActiveChannels;
    CRendStaticSkeleton* pSkeleton;
    unsigned long NoKeys;
    HierarchyKey* pKeys;
    CVector* pMovementKeys;
    float RootWeight;
    float Weights[0];
};

struct RHU_EXPORT SimpleKey {
    float Time;
    unsigned long Index;
};

class RHU_EXPORT CSimpleAnimation : public CAnimation {
public:
    Trigger* pTriggers;
    float EndTime;
    unsigned long NoKeys;
    SimpleKey* pKeys;
};

// A skeleton node: its resource, its attach points and per point the node hanging there.
struct RHU_EXPORT StaticNode {
    CRendResource* pResource;
    unsigned long NoAttachPoints;
    CAttachPoint* pAttachPoints;
    StaticNode** pChildren;
};

class RHU_EXPORT CRendStaticSkeleton : public CRendResource {
public:
    CVector Centroid;
    CVector Center;
    CVector MaxSize;
    CVector MinSize;
    float MaxRadius;
    float MaxRadiusXY;
    float ScaleFactor;
    CAnimation* pAnimation;
    unsigned long NoAttachPoints;
    unsigned long NoNodes;
    StaticNode Nodes[0];
};

// A colour table: EntryCount entries of EntryBpp bits each follow the record.
class RHU_EXPORT CRendPalette : public CZelStaticResource {
public:
    signed long EntryCount;
    signed long EntryBpp;
    unsigned char Entries[0];
};

// A texture's pixels as the converter writes them: every level, largest first, follows the
// header in rows without padding.
struct RHU_EXPORT ZelTexture {
    unsigned short Width;
    unsigned short Height;
    unsigned short BitDepth;
    unsigned short NumMips;
    unsigned long Flags;
    CRendPalette* pPalette;
    unsigned char* pMap;
    unsigned char Map[0];
};

class CInternalTexture;

// A texture of packed data: its pixels until the device texture is made, or the texture it
// repeats.
class RHU_EXPORT CRendTexture : public CZelStaticResource {
public:
    union {
        ZelTexture* pTextureData;
        CInternalTexture* pTexture;
        CRendTexture* pSharedTexture;
    };
    unsigned long IsShared;
};

// Raw per-pixel values of a bitmap, rows top to bottom: one byte (Dimension 1) or four
// (Dimension 4) each.
struct RHU_EXPORT CDataMap {
    signed short Width;
    signed short Height;
    signed long Dimension;
    unsigned char* pData;
};

// Meshes: materials, the portable vertex-batch form and, for the PC, sub-meshes of strip
// indices over vertex buffers that the engine builds its device buffers from.
const RHU_EXPORT signed short PCXBUF_COLORVERTS = 3;

// What a material's effect record holds: its name key first, then the outline width, the
// coordinate scale and the coordinate scroll of the shell and environment effects.
struct RHU_EXPORT MaterialEffect {
    CCRC32 Name;
    float Width;
    float Scale;
    float UScroll;
    float VScroll;
};

struct RHU_EXPORT Material {
    CCRC32 Name;
    MaterialEffect* Effect;
    unsigned long Flags;
    CVector Ambient;
    CVector Emissive;
    CVector Diffuse;
    CVector Specular;
    float Alpha;
    CRendTexture* pTexture;
    CRendTexture* pDetailMap;
    signed long BumpDepth;
    float BumpScale;
    float DetailScale;
    float UScroll;
    float VScroll;
};

// One material slot: NumMaterials variants from pMaterial on; the draw picks one into
// pUsedMaterial.
struct RHU_EXPORT MaterialData {
    unsigned short NumMaterials;
    unsigned short DefaultMaterial;
    Material* pMaterial;
    Material* pUsedMaterial;
    signed char NormalIndex;
    signed char TexCoordIndex;
    unsigned short Flags;
};

// The members of a generic vertex batch's vertex records: positions, normals and texture
// coordinates, one of each per frame that the batch's layout holds.
struct RHU_EXPORT Vertex {
    float X;
    float Y;
    float Z;
};

struct RHU_EXPORT Normal {
    float X;
    float Y;
    float Z;
};

struct RHU_EXPORT TexCoord {
    float U;
    float V;
};

struct RHU_EXPORT BumpMatrix {
    signed short Ux;
    signed short Uy;
    signed short Uz;
    signed short Vx;
    signed short Vy;
    signed short Vz;
};

// A run of primitives of one material: the first NumTriangles primitives have three 16-bit
// vertex indices each, every other one a count and that many indices. The offsets count
// from the member that holds them.
struct RHU_EXPORT PrimitiveBatch {
    unsigned short NumPrimitives;
    unsigned short NumTriangles;
    signed short OffsetToNextBatch;
    signed short OffsetToMaterialData;
    unsigned short NumMaterials;
    unsigned short Flags;
};

struct RHU_EXPORT VertexBatch {
    float LODDepth;
    unsigned long NumVerts;
    unsigned char* pVertexList;
    PrimitiveBatch* pPrimitiveList;
    void* pEdgeList;
    void* pFaceNormals;
    unsigned long Flags;
    unsigned short VertexSize;
    unsigned short PositionOffset;
    unsigned short NumPositions;
    unsigned short ColourOffset;
    unsigned short NormalOffset;
    unsigned short NumNormals;
    unsigned short TexCoordOffset;
    unsigned short NumTexCoords;
    unsigned short BumpMatrixOffset;
    unsigned short BumpCoordIndex;
    unsigned short UserDataOffset;
    unsigned short UserDataSize;
};

struct RHU_EXPORT PCXBufferDesc {
    signed short Version;
    signed short Revision;
    signed long NumElements;
    signed long RawSize;
    void* pDXHandle;
    void* pData;
};

struct RHU_EXPORT PCXSubMesh {
    unsigned long Flags;
    float LODDepth;
    signed short NumMaterials;
    signed short NumBuffers;
    MaterialData* pMaterialData;
    PCXBufferDesc* pBuffers;
};

struct RHU_EXPORT PCXBufferV01 {
    float X;
    float Y;
    float Z;
    float NX;
    float NY;
    float NZ;
    float U;
    float V;
};

struct RHU_EXPORT PCXBufferV02 {
    unsigned short I;
};

struct RHU_EXPORT PCXBufferV03 {
    unsigned short I1;
    unsigned short I2;
    unsigned short I3;
};

struct RHU_EXPORT PCXBufferV04 : public PCXBufferV01 {
    float DR;
    float DG;
    float DB;
    float DA;
};

struct RHU_EXPORT PCXBufferV05 : public PCXBufferV01 {
    unsigned long RGBA;
};

class RHU_EXPORT CRendBaseMesh : public CRendResource {
public:
    CVector Centroid;
    CVector Center;
    CVector MaxSize;
    CVector MinSize;
    float MaxRadius;
    float MaxRadiusXY;
    unsigned long NumAttachPoints;
    CAttachPoint* pAttachPoints;
    CCollisionData* pCollisionData;
};

class RHU_EXPORT CRendMesh : public CRendBaseMesh {
public:
    signed short NumMeshes;
    signed short NumShadows;
    VertexBatch* pBatches;
};

class RHU_EXPORT CRendPCXMesh : public CRendBaseMesh {
public:
    signed short NumSubs;
    signed short NSFiller;
    PCXSubMesh* pSubs;
};

// Terrain maps: a grid of height vertices ("cells") with two tile layers, a decal slot, flags
// and a packed normal each, the decals that cells may show and the map's border exclusions.
struct RHU_EXPORT BasicCell {
    unsigned char Flags; // BACKGROUND_* bits 0-3, the user value in bits 4-7
    unsigned char DecalIndex;
    signed short Height; // sixteenths of a world unit
    unsigned long BaseTile;
    unsigned long TopTile;
    unsigned long VertNormal; // bytes 0-2 the normal (length 127), byte 3 the decal timer
};

struct RHU_EXPORT ExtraCellData {
    unsigned char Flags;
    unsigned char SplitData;
    signed short Height;
    unsigned long BaseTile;
    unsigned long TopTile;
    unsigned long VertNormal;
};

struct RHU_EXPORT DecalData {
    unsigned char Flags;
    unsigned char Time;
    unsigned char NextDecal;
    unsigned char pad0;
    unsigned long DecalTile;
};

struct RHU_EXPORT DecalEntry {
    unsigned long Crc;
    unsigned long Index;
};

struct RHU_EXPORT BorderExclude {
    unsigned long Side;
    unsigned short Start;
    unsigned short End;
};

struct RHU_EXPORT MapWritePos {
    signed short dx;
    signed short dy;
    signed long count;
};

struct RHU_EXPORT MapWriteCell {
    unsigned char Flags;
    unsigned char FlagMask;
    signed short Height;
    unsigned long BaseTile;
    unsigned long TopTile;
};

struct RHU_EXPORT BackgroundBatch {
    unsigned long Flags;
    CVector Origin;
    unsigned short MapWidth;
    unsigned short MapHeight;
    unsigned short CellSize;
    unsigned short UserDataOffset;
    unsigned short UserDataSize;
    unsigned short TileWidth;
    float ooTileWidth;
    unsigned long MapRowSize;
    float MaxZheight;
    float MinZheight;
    BasicCell* pMapCells;
    unsigned short NumMaterialLists;
    unsigned short DefaultMaterialList;
    Material* pMaterialList;
    CRendTexture* pTextures;
    unsigned short LastFOWDecal;
    unsigned char NumDecalMaterialLists;
    unsigned char DefaultDecalMaterialList;
    Material* pDecalMaterialList;
    CRendTexture* pDecalTextures;
    DecalData* pDecals;
    VertexBatch VBatch;
    unsigned long ViewportData;
    unsigned long CameraMask;
    BorderExclude* pBorderExcludeList;
};

class RHU_EXPORT CRendMap : public CRendResource {
public:
    float* pFOWBuffer;
    signed long iFOWStride;
    BackgroundBatch Map;
    DecalEntry** ppDecalHashTable;
};

// The Xbox form of a mesh: the PC records with 12-byte packed vertices (positions and normals in
// 11, 11 and 10 bits, texture coordinates in 1/2048) whose buffer descriptors carry each frame's
// extent in Constants.
struct RHU_EXPORT XBufferDesc {
    signed short Version;
    signed short Revision;
    signed long NumElements;
    signed long RawSize;
    void* pDXHandle;
    void* pData;
    float Constants[8];
};

struct RHU_EXPORT XSubMesh {
    unsigned long Flags;
    float LODDepth;
    signed short NumMaterials;
    signed short NumBuffers;
    MaterialData* pMaterialData;
    XBufferDesc* pBuffers;
};

struct RHU_EXPORT XBufferV05 {
    unsigned long XYZ;
    unsigned long Normal;
    signed short U;
    signed short V;
};

class RHU_EXPORT CRendXBMesh : public CRendBaseMesh {
public:
    signed short NumSubs;
    signed short NSFiller;
    XSubMesh* pSubs;
};

// A console memory-card icon: its description and its model, each as raw bytes between a head
// and a tail symbol.
class RHU_EXPORT CPS2Icon3D : public CZelStaticResource {
public:
    void* pIconSysHead;
    void* pIconSysTail;
    void* pIconListHead;
    void* pIconListTail;
};

// The console's records: a packet header of one quadword (a DMA tag and two VIF codes) opens
// every run of vertices or sprite frames the vector unit takes in one transfer. Sprite frames
// keep the address word for the table of their texture numbers.
struct RHU_EXPORT PS2_DMA_Header {
    unsigned long DMATag;
    union {
        unsigned long DMAAddress;
        unsigned short* pSpriteFrameIndex;
    };
    unsigned long VIFTag;
    unsigned long Data;
};

struct RHU_EXPORT PS2SpriteFrame {
    signed short Left;
    signed short Right;
    signed short Top;
    signed short Bottom;
    unsigned short LeftCoord; // low two bits: SPRITE_RENDER_NEXT
    unsigned short RightCoord;
    unsigned short TopCoord;
    unsigned short BottomCoord;
};

// Mesh vertices: U carries the draw bit in its lowest bit (the lowest mantissa bit of the
// float forms); a vertex without it only starts a strip.
struct RHU_EXPORT PS2Vert {
    CVector Pos;
    float U;
    float NormalX;
    float NormalY;
    float NormalZ;
    float V;
};

struct RHU_EXPORT PS2VertRGBA : public PS2Vert {
    float R;
    float G;
    float B;
    float A;
};

// Positions in 1/32767 of the sub-frame's scale, normals in 1/32767, texture coordinates in
// 1/4096.
struct RHU_EXPORT PS2VertC {
    signed short X;
    signed short Y;
    signed short Z;
    signed short U;
    signed short NX;
    signed short NY;
    signed short NZ;
    signed short V;
};

// One packet of a frame: at most PS2_MESH_MAX_VERTS vertex slots, whole strips, the second
// half starting at LERPBreakPos; the packet (its header and vertices) is at pVerts.
struct RHU_EXPORT PS2MeshSubFrame {
    unsigned short NumVerts;
    unsigned short LERPBreakPos;
    offset pVerts;
    offset pNext; // 0 after the last
    float ScaleX;
    float ScaleY;
    float ScaleZ;
};

struct RHU_EXPORT PS2MeshFrame {
    PS2MeshSubFrame* pData;
};

struct RHU_EXPORT PS2SubMesh {
    float LODDepth;
    MaterialData* pMaterialData;
    signed short NumFrames;
    signed short NumMaterials;
    unsigned long Flags;
    PS2MeshFrame* pFrames;
};

class RHU_EXPORT CRendPS2Mesh : public CRendBaseMesh {
public:
    signed short NumSubs;
    signed short Compressed;
    PS2SubMesh* pSubs;
};

union RHU_EXPORT CInputDef {
    unsigned long Code;
    struct {
        unsigned short Control;
        unsigned char Device;
        unsigned char Condition;
    } SubCodes;
};

class RHU_EXPORT CInputTrigger : public CZelStaticResource {
public:
    CInputTrigger* pNext;
    unsigned long InputLabel;
    unsigned long InputValue;
    unsigned char Size;
    unsigned char Active;
    unsigned short Padding1;
    CInputDef InputDefs[0];
};

class RHU_EXPORT CVeskLabelFixup : public CZelStaticResource {
public:
    unsigned long Key;
    char pLabel[0];
};

class RHU_EXPORT CKeyFrameMessage : public CMessage {
public:
    enum { DefaultPriority = 10, CMessageId = 0x0001001E };
};

class RHU_EXPORT CCineCreateMessage : public CMessage {
public:
    enum { DefaultPriority = 10, CMessageId = 0x0001001F };
    CEmbeddedFillData* pCreateMe;
    HGOBJECT hParent;
};

class RHU_EXPORT CPlaySoundMessage : public CMessage {
public:
    enum { DefaultPriority = 10, CMessageId = 0x0001001C };
    CCRC32 SoundId;
    CVector Pos;
    int LipSync;
};

class RHU_EXPORT CCineLoadLevelMessage : public CMessage {
public:
    enum { DefaultPriority = 10, CMessageId = 0x0001001B };
    char* pLevelName;
};

// The header each network datagram starts with, little-endian; up to 400 bytes of messages
// follow it back to back.
struct RHU_EXPORT CPacketHeader {
    unsigned long ConnectionId; // bits 0-6; the rest 0
    unsigned char Flags;        // bit 0: control packet
    unsigned long Fields;       // bits 0-15 length with header, 16-21 sequence or control type,
                                // 22-27 acknowledged sequence, 28-31 acknowledgement run
    unsigned short AckDelay;    // milliseconds from receiving the acknowledged packet to sending
    unsigned short Unused;
};

// A sound's audio. In the file, pRawData is a memory sample's WAVEFORMATEX (18 bytes) followed
// by Length bytes of samples, or a streamed sample's WAV file name (Length 1).
class RHU_EXPORT CSoundSample : public CZelStaticResource {
public:
    unsigned long Length;
    void* pRawData;
    unsigned long SampleRate;
};

// A playable sound: its samples, priority, distance factor, volume and SOUND_* flags (the top
// two bits are the volume category).
class RHU_EXPORT CSoundDefinition : public CZelStaticResource {
public:
    CCRC32 Id;
    unsigned char Flags;
    unsigned char UseCount;
    unsigned char SampleCount;
    unsigned char PreviousRandom;
    float Priority;
    float FadeMultiplier;
    float Volume;
    CSoundDefinition* pNext;
    CSoundSample* pSampleData[0];
};

class RHU_EXPORT CVector4 {
public:
    union {
        float X;
        float Red;
    };
    union {
        float Y;
        float Green;
    };
    union {
        float Z;
        float Blue;
    };
    union {
        float W;
        float Alpha;
    };
};

struct RHU_EXPORT ColourRGBA : public CVector4 {};

// A random range, sampled as Min + r^Bias x (Max - Min).
struct RHU_EXPORT RangeData {
    float Min;
    float Max;
    float Bias;
};

// One stage of a particle's look and motion; pNextDef is the stage that follows.
struct RHU_EXPORT ParticleDef {
    ColourRGBA MinColor;
    ColourRGBA MaxColor;
    CVector Size;
    RangeData Scale;
    CVector MinDamp;
    CVector MaxDamp;
    CVector MinSpin;
    CVector MaxSpin;
    float Absorption;
    int Facing;
    CVector Flocking;
    unsigned long Flags;
    float Gravity;
    float Wind;
    RangeData Lifespan;
    CRendTexture* pTexture;
    ParticleDef* pNextDef;
};

// One stage of an emitter: how particles are spawned, and the stage after it.
struct RHU_EXPORT EmitterDef {
    CVector Vector;
    RangeData ArpetureIn;
    RangeData ArpetureEx;
    CVector Ellipse;
    RangeData Velocity;
    RangeData Period;
    RangeData Count;
    RangeData Lifespan;
    ParticleDef* pParticle;
    EmitterDef* pNextDef;
};

// The header of one timed message of a recorded script; the message record follows it. The
// handles are self-relative offsets to label words inside the message (0: none).
struct RHU_EXPORT CRecorderData {
    float TimeStamp;
    unsigned long TargetZelLabel;
    offset Handle1;
    offset Handle2;
};

// A timed list of messages; Data runs to a null pointer.
class RHU_EXPORT CRecordedScript : public CZelStaticResource {
public:
    float BaseTime;
    int LoopCount;
    CRecorderData* Data[0];
};

// Movement state a GMover drives: the moved object, world clipping and the state bits
// (0x10000 stop after the next slice, 0x20000 paused, 0 stationary).
class GMover;
class GPosRot;
struct RHU_EXPORT CMoverData {
    GMover* pGMover;
    GPosRot* pObject;
    unsigned char bClipToWorld;
    unsigned long Reserved[9];
    unsigned long State;
};

// How a projectile is launched: who fired it with what, where from, and at what object or
// point (a target point whose x is -1e38 means "at the target object").
struct RHU_EXPORT CProjectileInit {
    HGOBJECT Owner;
    HGOBJECT Target;
    HGOBJECT Weapon;
    CVector Position;
    CVector Rotation;
    CVector TargetPoint;
    unsigned long Extra[5];
};

const RHU_EXPORT unsigned long SOUND_STREAM = 1;
const RHU_EXPORT unsigned long SOUND_ONLYONEIGNORE = 2;
const RHU_EXPORT unsigned long SOUND_ONLYONERESTART = 4;
const RHU_EXPORT unsigned long SOUND_LOOP = 8;
const RHU_EXPORT unsigned long SOUND_NATURALIZE = 16;
const RHU_EXPORT unsigned long SOUND_PLAYPAUSED = 32;
const RHU_EXPORT unsigned long SOUND_VOICE = 64;
const RHU_EXPORT unsigned long SOUND_MUSIC = 128;

const RHU_EXPORT unsigned long PARDEF_PATHSTYLE = 1;
const RHU_EXPORT unsigned long PARDEF_ALPHA = 2;
const RHU_EXPORT unsigned long PARDEF_ADDITIVE = 4;
const RHU_EXPORT unsigned long PARDEF_ZBUFFER = 8;
const RHU_EXPORT unsigned long PARDEF_ZWRITE = 16;
const RHU_EXPORT unsigned long PARDEF_COLLIDE = 32;

const RHU_EXPORT unsigned long SET_ANIMATION_FLAG = 0;
const RHU_EXPORT unsigned long STOP_ANIMATION = 1;
const RHU_EXPORT unsigned long RESET_ANIMATION = 2;
const RHU_EXPORT unsigned long OUTPUT_ANIMATION_MOVEMENT = 3;
const RHU_EXPORT unsigned long ANIMATION_SEND_MESSAGE = 4;

const RHU_EXPORT unsigned short MAT_DATA_LIGHT = 1;
const RHU_EXPORT unsigned short MAT_DATA_ADD_COLOUR = 2;
const RHU_EXPORT unsigned short MAT_DATA_ALPHA = 16;
const RHU_EXPORT unsigned short MAT_DATA_ALPHA_CMP = 32;
const RHU_EXPORT unsigned short MAT_DATA_DETAIL = 128;
const RHU_EXPORT unsigned short MAT_DATA_SPECULAR = 256;
const RHU_EXPORT unsigned short MAT_DATA_ENVIRONMENT = 512;
const RHU_EXPORT unsigned short MAT_DATA_WRAP = 1024;
const RHU_EXPORT unsigned short MAT_DATA_BILINEAR = 2048;
const RHU_EXPORT unsigned short MAT_DATA_ADDITIVE = 4096;
const RHU_EXPORT unsigned short MAT_DATA_LINE = 8192;

const RHU_EXPORT unsigned short PRIM_ZBUFFER = 1;
const RHU_EXPORT unsigned short PRIM_ZWRITES = 2;
const RHU_EXPORT unsigned short PRIM_BUMPMAP = 64;
const RHU_EXPORT unsigned short PRIM_VERT_ALPHA = 128;
const RHU_EXPORT unsigned short PRIM_TEX_ALPHA = 256;
const RHU_EXPORT unsigned short PRIM_CULL_BACK = 512;
const RHU_EXPORT unsigned short PRIM_CULL_FRONT = 1024;
const RHU_EXPORT unsigned short PRIM_ZALWAYS = 16384;

const RHU_EXPORT unsigned long VERT_TRANSFORM = 1;
const RHU_EXPORT unsigned long VERT_SHADOWS = 16;
const RHU_EXPORT unsigned long VERT_ANTI_ALIAS = 32;
const RHU_EXPORT unsigned long VERT_BUMP_COORDS = 64;
const RHU_EXPORT unsigned long VERT_SORT_SOLID = 65536;
const RHU_EXPORT unsigned long VERT_SORT_ALPHA = 131072;
const RHU_EXPORT unsigned long VERT_INTERPOLATE_NORMALS = 262144;

const RHU_EXPORT signed short XBUF_TRILIST = 2;
const RHU_EXPORT signed short XBUF_BASICVERTS = 5;
const RHU_EXPORT signed short XBUF_STRIPLIST = 6;
const RHU_EXPORT signed short PCXBUF_BASICVERTS = 1;
const RHU_EXPORT signed short PCXBUF_STRIPLIST = 2;

const RHU_EXPORT unsigned short SPRITE_RENDER_NEXT = 1;
const RHU_EXPORT unsigned short SPRITE_SWAP_UV = 2;
const RHU_EXPORT unsigned long SPRITE_BATCH_ZBUFFER = 1;
const RHU_EXPORT unsigned long SPRITE_BATCH_ZWRITES = 2;
const RHU_EXPORT unsigned long SPRITE_BATCH_NO_PIXELSCALE = 4;
const RHU_EXPORT unsigned long SPRITE_BATCH_ALPHA = 16;
const RHU_EXPORT unsigned long SPRITE_BATCH_ALPHA_CMP = 32;
const RHU_EXPORT unsigned long SPRITE_BATCH_BILINEAR = 2048;
const RHU_EXPORT unsigned long SPRITE_BATCH_ADDITIVE = 4096;
const RHU_EXPORT unsigned long SPRITE_BATCH_USE_POSITION = 64;
const RHU_EXPORT unsigned long SPRITE_BATCH_USE_3D_OFFSET = 128;
const RHU_EXPORT unsigned long SPRITE_BATCH_SCREEN_SPRITE = 256;
const RHU_EXPORT unsigned long SPRITE_BATCH_USE_MATRIX = 512;
const RHU_EXPORT unsigned long SPRITE_BATCH_SCALE_BY_VIEW = 1024;
const RHU_EXPORT unsigned long SPRITE_SORT_SOLID = 65536;
const RHU_EXPORT unsigned long SPRITE_SORT_ALPHA = 131072;

const RHU_EXPORT unsigned char BACKGROUND_USER_SHIFT = 4;
const RHU_EXPORT unsigned char BACKGROUND_FLIP_UV_BASE = 1;
const RHU_EXPORT unsigned char BACKGROUND_FLIP_UV_TOP = 2;
const RHU_EXPORT unsigned char BACKGROUND_SECOND_POINT = 4;
const RHU_EXPORT unsigned char BACKGROUND_FLIP_SPLIT = 8;
const RHU_EXPORT unsigned char SPLIT_BOTTOM_RIGHT_X = 1;
const RHU_EXPORT unsigned char SPLIT_BOTTOM_RIGHT_Y = 2;
const RHU_EXPORT unsigned char SPLIT_BOTTOM_LEFT_X = 4;
const RHU_EXPORT unsigned char SPLIT_BOTTOM_LEFT_Y = 8;
const RHU_EXPORT unsigned char SPLIT_TOP_RIGHT_X = 16;
const RHU_EXPORT unsigned char SPLIT_TOP_RIGHT_Y = 32;
const RHU_EXPORT unsigned char SPLIT_TOP_LEFT_X = 64;
const RHU_EXPORT unsigned char SPLIT_TOP_LEFT_Y = 128;
const RHU_EXPORT unsigned char EXTRA_FLIP_UV_BASE = 1;
const RHU_EXPORT unsigned char EXTRA_FLIP_UV_TOP = 2;
const RHU_EXPORT unsigned char EXTRA_UPPER_USE_BASE = 4;
const RHU_EXPORT unsigned char EXTRA_UPPER_USE_TOP = 8;
const RHU_EXPORT unsigned char EXTRA_LEFT_USE_BASE = 16;
const RHU_EXPORT unsigned char EXTRA_LEFT_USE_TOP = 32;
const RHU_EXPORT unsigned char EXTRA_DIAG_USE_BASE = 64;
const RHU_EXPORT unsigned char EXTRA_DIAG_USE_TOP = 128;
const RHU_EXPORT unsigned char DECAL_FLIP_UV = 1;
const RHU_EXPORT unsigned char DECAL_ADDITIVE = 2;

const RHU_EXPORT unsigned long BORDER_TERMINATE = 0;
const RHU_EXPORT unsigned long BORDER_NORTH = 1;
const RHU_EXPORT unsigned long BORDER_SOUTH = 2;
const RHU_EXPORT unsigned long BORDER_EAST = 3;
const RHU_EXPORT unsigned long BORDER_WEST = 4;
const RHU_EXPORT unsigned long BACKGROUND_BATCH_USE_SPLIT_FLAG = 1;
const RHU_EXPORT unsigned long MAX_PRIM_BATCHES = 32;
const RHU_EXPORT unsigned long MAX_VERTS_PER_BATCH = 2048;
const RHU_EXPORT unsigned long MAX_SIDES_PER_POLY = 32;
const RHU_EXPORT unsigned long MAX_MAP_HEIGHT = 1024;
const RHU_EXPORT unsigned long MAX_MAP_WIDTH = 1024;
const RHU_EXPORT unsigned long DECAL_HASH_MASK = 15;

const RHU_EXPORT unsigned long TEXTURE_PALETTED = 1;
const RHU_EXPORT unsigned long TEXTURE_ALPHA = 2;
const RHU_EXPORT unsigned long TEXTURE_ONE_BIT_ALPHA = 4;
const RHU_EXPORT unsigned long TEXTURE_COMPRESS_DXT1 = 8;
const RHU_EXPORT unsigned long TEXTURE_COMPRESS_DXT2 = 16;
const RHU_EXPORT unsigned long TEXTURE_COMPRESS_DXT4 = 32;
const RHU_EXPORT unsigned long TEXTURE_BUMP_MAP = 256;
const RHU_EXPORT unsigned long TEXTURE_DETAIL_MAP = 512;
const RHU_EXPORT unsigned long TEXTURE_SPECULAR_MAP = 1024;
const RHU_EXPORT unsigned long TEXTURE_ENVIONMENT_MAP = 2048;

const RHU_EXPORT unsigned long PS2_DMA_TAG_RET = 0x60000000;
const RHU_EXPORT unsigned long PS2_VIF_TAG_UNPACK_V4_32 = 0x6C000000;
const RHU_EXPORT unsigned long PS2_VIF_TAG_UNPACK_V4_16 = 0x6D000000;
const RHU_EXPORT unsigned long PS2_VIF_TAG_UNPACK_TOPS_FLG = 0x00008000;
const RHU_EXPORT unsigned long PS2_VIF_TAG_UNPACK_UNSIGNED = 0x00004000;
const RHU_EXPORT unsigned long PS2_VIF_NUM_SHIFT = 16;
const RHU_EXPORT unsigned long PS2_DMA_TAG_SPRITE_FRAME = 0x60000000;
const RHU_EXPORT unsigned long PS2_VIF_TAG_SPRITE_FRAME = 0x6D008005;
const RHU_EXPORT unsigned long PS2_VIF_TAG_RHU_NOP = 0;
const RHU_EXPORT unsigned long PS2_MESH_OFFSET = 37;
const RHU_EXPORT unsigned long PS2_MESH_MAX_VERTS = 108;
const RHU_EXPORT unsigned long PS2_MESH_LERP_VERTS = 54;
const RHU_EXPORT unsigned long PS2_DMA_TAG_MESH = 0x60000000;
const RHU_EXPORT unsigned long PS2_VIF_TAG_MESH = 0x6C008025;
const RHU_EXPORT unsigned long PS2_VIF_TAG_MESH_COMP = 0x6D008025;

#pragma pack(pop)

#ifndef RHU_TYPEINFO
static_assert(sizeof(CVector) == 12, "CVector");
static_assert(sizeof(CZelStaticResource) == 4, "CZelStaticResource");
static_assert(sizeof(CZelLoad) == 8, "CZelLoad");
static_assert(sizeof(CZelBinary) == 4, "CZelBinary");
static_assert(sizeof(HGOBJECT) == 4, "HGOBJECT");
static_assert(sizeof(EditableFillData) == 8, "EditableFillData");
static_assert(sizeof(CFillData) == 16, "CFillData");
static_assert(sizeof(CDefaultFillData) == 16, "CDefaultFillData");
static_assert(sizeof(CPresetFillData) == 24, "CPresetFillData");
static_assert(sizeof(CEmbeddedFillData) == 20, "CEmbeddedFillData");
static_assert(sizeof(CVeskTemplateFillData) == 28, "CVeskTemplateFillData");
static_assert(sizeof(CVeskExtraData) == 28, "CVeskExtraData");
static_assert(sizeof(CMessage) == 12, "CMessage");
static_assert(sizeof(CVariableLengthMessage) == 14, "CVariableLengthMessage");
static_assert(sizeof(CSetPosMessage) == 24, "CSetPosMessage");
static_assert(sizeof(CSetRotMessage) == 24, "CSetRotMessage");
static_assert(sizeof(CCreateMessage) == 48, "CCreateMessage");
static_assert(sizeof(CCreateIdMessage) == 44, "CCreateIdMessage");
static_assert(sizeof(CDestroyMessage) == 12, "CDestroyMessage");
static_assert(sizeof(CBaseCollision) == 8, "CBaseCollision");
static_assert(sizeof(CCollisionData) == 12, "CCollisionData");
static_assert(sizeof(EndPoint) == 16, "EndPoint");
static_assert(sizeof(PlaneDef) == 12, "PlaneDef");
static_assert(sizeof(CSimpleVolCollision) == 48, "CSimpleVolCollision");
static_assert(sizeof(CCylinderCollision) == 28, "CCylinderCollision");
static_assert(sizeof(CSphereCollision) == 24, "CSphereCollision");
static_assert(sizeof(CRendResource) == 4, "CRendResource");
static_assert(sizeof(CRendRectangle) == 4, "CRendRectangle");
static_assert(sizeof(CRendBarIndicator) == 4, "CRendBarIndicator");
static_assert(sizeof(CAttachPoint) == 16, "CAttachPoint");
static_assert(sizeof(Trigger) == 12, "Trigger");
static_assert(sizeof(CAnimation) == 4, "CAnimation");
static_assert(sizeof(CAnimTable) == 8, "CAnimTable");
static_assert(sizeof(HierarchyKey) == 16, "HierarchyKey");
static_assert(sizeof(CHierarchyAnimation) == 48, "CHierarchyAnimation");
static_assert(sizeof(SimpleKey) == 8, "SimpleKey");
static_assert(sizeof(CSimpleAnimation) == 20, "CSimpleAnimation");
static_assert(sizeof(StaticNode) == 16, "StaticNode");
static_assert(sizeof(CRendStaticSkeleton) == 76, "CRendStaticSkeleton");
static_assert(sizeof(SpriteFrame) == 20, "SpriteFrame");
static_assert(sizeof(SpriteBatch) == 16, "SpriteBatch");
static_assert(sizeof(AttachPoint) == 4, "AttachPoint");
static_assert(sizeof(CSprite) == 48, "CSprite");
static_assert(sizeof(CBaseFont) == 20, "CBaseFont");
static_assert(sizeof(CzFont) == 292, "CzFont");
static_assert(sizeof(CLogo) == 20, "CLogo");
static_assert(sizeof(CRendIndexed) == 12, "CRendIndexed");
static_assert(sizeof(CRendPalette) == 12, "CRendPalette");
static_assert(sizeof(ZelTexture) == 20, "ZelTexture");
static_assert(sizeof(CRendTexture) == 12, "CRendTexture");
static_assert(sizeof(CDataMap) == 12, "CDataMap");
static_assert(sizeof(MaterialEffect) == 20, "MaterialEffect");
static_assert(sizeof(Material) == 92, "Material");
static_assert(sizeof(MaterialData) == 16, "MaterialData");
static_assert(sizeof(BumpMatrix) == 12, "BumpMatrix");
static_assert(sizeof(PrimitiveBatch) == 12, "PrimitiveBatch");
static_assert(sizeof(VertexBatch) == 52, "VertexBatch");
static_assert(sizeof(PCXBufferDesc) == 20, "PCXBufferDesc");
static_assert(sizeof(PCXSubMesh) == 20, "PCXSubMesh");
static_assert(sizeof(PCXBufferV01) == 32, "PCXBufferV01");
static_assert(sizeof(PCXBufferV02) == 2, "PCXBufferV02");
static_assert(sizeof(PCXBufferV03) == 6, "PCXBufferV03");
static_assert(sizeof(PCXBufferV04) == 48, "PCXBufferV04");
static_assert(sizeof(PCXBufferV05) == 36, "PCXBufferV05");
static_assert(sizeof(CRendBaseMesh) == 72, "CRendBaseMesh");
static_assert(sizeof(CRendMesh) == 80, "CRendMesh");
static_assert(sizeof(CRendPCXMesh) == 80, "CRendPCXMesh");
static_assert(sizeof(BasicCell) == 16, "BasicCell");
static_assert(sizeof(ExtraCellData) == 16, "ExtraCellData");
static_assert(sizeof(DecalData) == 8, "DecalData");
static_assert(sizeof(DecalEntry) == 8, "DecalEntry");
static_assert(sizeof(BorderExclude) == 8, "BorderExclude");
static_assert(sizeof(MapWritePos) == 8, "MapWritePos");
static_assert(sizeof(MapWriteCell) == 12, "MapWriteCell");
static_assert(sizeof(BackgroundBatch) == 140, "BackgroundBatch");
static_assert(sizeof(CRendMap) == 156, "CRendMap");
static_assert(sizeof(CPS2Icon3D) == 20, "CPS2Icon3D");
static_assert(sizeof(XBufferDesc) == 52, "XBufferDesc");
static_assert(sizeof(XSubMesh) == 20, "XSubMesh");
static_assert(sizeof(XBufferV05) == 12, "XBufferV05");
static_assert(sizeof(CRendXBMesh) == 80, "CRendXBMesh");
static_assert(sizeof(PS2_DMA_Header) == 16, "PS2_DMA_Header");
static_assert(sizeof(PS2SpriteFrame) == 16, "PS2SpriteFrame");
static_assert(sizeof(PS2Vert) == 32, "PS2Vert");
static_assert(sizeof(PS2VertRGBA) == 48, "PS2VertRGBA");
static_assert(sizeof(PS2VertC) == 16, "PS2VertC");
static_assert(sizeof(PS2MeshSubFrame) == 20, "PS2MeshSubFrame");
static_assert(sizeof(PS2MeshFrame) == 4, "PS2MeshFrame");
static_assert(sizeof(PS2SubMesh) == 20, "PS2SubMesh");
static_assert(sizeof(CRendPS2Mesh) == 80, "CRendPS2Mesh");
static_assert(sizeof(CInputDef) == 4, "CInputDef");
static_assert(sizeof(CInputTrigger) == 20, "CInputTrigger");
static_assert(sizeof(CVeskLabelFixup) == 8, "CVeskLabelFixup");
static_assert(sizeof(CKeyFrameMessage) == 12, "CKeyFrameMessage");
static_assert(sizeof(CCineCreateMessage) == 20, "CCineCreateMessage");
static_assert(sizeof(CPlaySoundMessage) == 32, "CPlaySoundMessage");
static_assert(sizeof(CCineLoadLevelMessage) == 16, "CCineLoadLevelMessage");
static_assert(sizeof(CPacketHeader) == 13, "CPacketHeader");
static_assert(sizeof(CSoundSample) == 16, "CSoundSample");
static_assert(sizeof(CSoundDefinition) == 28, "CSoundDefinition");
static_assert(sizeof(CVector4) == 16, "CVector4");
static_assert(sizeof(ColourRGBA) == 16, "ColourRGBA");
static_assert(sizeof(RangeData) == 12, "RangeData");
static_assert(sizeof(ParticleDef) == 156, "ParticleDef");
static_assert(sizeof(EmitterDef) == 104, "EmitterDef");
static_assert(sizeof(CRecorderData) == 12, "CRecorderData");
static_assert(sizeof(CRecordedScript) == 12, "CRecordedScript");
static_assert(sizeof(CMoverData) == 49, "CMoverData");
static_assert(sizeof(CProjectileInit) == 68, "CProjectileInit");
} // namespace rhu
#endif

#endif
