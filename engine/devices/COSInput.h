#pragma once
// The operating-system input layer under the input device: reads every device once per frame
// and answers for each control its value now or in the previous frame.

// What a handler receives: one word per condition of its trigger, in condition order (0 or 1
// for digital controls, a float for analog ones; the character for a text delivery), then the
// trigger's value.
class CInputData {
public:
    enum { WORDS = 14 };
    unsigned long Word(int index) const { return Words[index]; }
    float Float(int index) const
    {
        union {
            unsigned long u;
            float f;
        } bits = {Words[index]};
        return bits.f;
    }
    unsigned long Words[WORDS];
};

// A control whose value may have changed since the previous frame.
struct InputControl {
    unsigned char Device;
    unsigned short Control;
};

class COSInput {
public:
    enum { NAME_LENGTH = 260 };

    COSInput();
    virtual ~COSInput();
    // Reads every device once; returns the mask of present devices (1 keyboard, 2 mouse,
    // 4 gamepad).
    virtual unsigned long Update() = 0;
    // The 4-byte value of a control of a device, now (previous 0) or in the previous frame (1).
    virtual unsigned long GetInput(unsigned char device, unsigned short control, int controller, int previous) = 0;
    // Lists the controls whose value may differ from the previous frame (at least every one that
    // does) and returns their number; -1 when the layer cannot tell, so every trigger is tried.
    // The device uses it to skip triggers whose key did not change.
    virtual int GetChangedControls(InputControl* out, int capacity);

    const char* GetName() const { return Name; }

protected:
    char Name[NAME_LENGTH];
};
