// The scripted input source. A script is a text file of per-frame lines:
//
//   # a comment; blank lines are ignored
//   frame 3 down LCONTROL S     keys go down (key names as the type file spells them, without
//   frame 5 up S                INPUT_) and stay down until "up"
//   frame 7 tap RETURN          down in frame 7, up in frame 8
//   frame 4 mouse 10 -5 120     movement in that frame: X, Y and optionally the wheel
//   frame 4 mousedown 1         mouse buttons 1 to 4 go down / up
//   frame 6 mouseup 1
//   frame 2 pad attach Monstar Gamepad    a controller with that product name is plugged in
//   frame 6 pad down 0 3        controller buttons 0 to 127 / pad up 0 3
//   frame 6 pad axis X -10000   X Y Z RX RY RZ SLIDER0 SLIDER1, -10000 to 10000
//   frame 6 pad hat 4500        hundredths of a degree clockwise from up, or "centre"
//   frame 9 pad detach
//   frame 8 text hello          characters, as the window's character messages
//   frame 8 char 13             one character by its code
//   frame 9 scrolllock on       the Scroll Lock toggle (on or off)
//   frame 9 lose keyboard 2     the device reports its input lost; reacquiring it fails for the
//                               given number of frames (default 0: it comes back at once)
//
// Frame 1 is the first main-loop turn. Lines may come in any order; lines of one frame apply in
// file order. A damaged or unknown line is reported with its file and line number and skipped.
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <mg_dinput.h>
#include <mg_window.h>

#include "InputState.h"

namespace {

struct KeyName {
    const char* name;
    BYTE code;
};

const KeyName kKeys[] = {
    {"ESCAPE", DIK_ESCAPE},
    {"1", DIK_1},
    {"2", DIK_2},
    {"3", DIK_3},
    {"4", DIK_4},
    {"5", DIK_5},
    {"6", DIK_6},
    {"7", DIK_7},
    {"8", DIK_8},
    {"9", DIK_9},
    {"0", DIK_0},
    {"MINUS", DIK_MINUS},
    {"EQUALS", DIK_EQUALS},
    {"BACK", DIK_BACK},
    {"TAB", DIK_TAB},
    {"Q", DIK_Q},
    {"W", DIK_W},
    {"E", DIK_E},
    {"R", DIK_R},
    {"T", DIK_T},
    {"Y", DIK_Y},
    {"U", DIK_U},
    {"I", DIK_I},
    {"O", DIK_O},
    {"P", DIK_P},
    {"LBRACKET", DIK_LBRACKET},
    {"RBRACKET", DIK_RBRACKET},
    {"RETURN", DIK_RETURN},
    {"LCONTROL", DIK_LCONTROL},
    {"A", DIK_A},
    {"S", DIK_S},
    {"D", DIK_D},
    {"F", DIK_F},
    {"G", DIK_G},
    {"H", DIK_H},
    {"J", DIK_J},
    {"K", DIK_K},
    {"L", DIK_L},
    {"SEMICOLON", DIK_SEMICOLON},
    {"APOSTROPHE", DIK_APOSTROPHE},
    {"GRAVE", DIK_GRAVE},
    {"LSHIFT", DIK_LSHIFT},
    {"BACKSLASH", DIK_BACKSLASH},
    {"Z", DIK_Z},
    {"X", DIK_X},
    {"C", DIK_C},
    {"V", DIK_V},
    {"B", DIK_B},
    {"N", DIK_N},
    {"M", DIK_M},
    {"COMMA", DIK_COMMA},
    {"PERIOD", DIK_PERIOD},
    {"SLASH", DIK_SLASH},
    {"RSHIFT", DIK_RSHIFT},
    {"MULTIPLY", DIK_MULTIPLY},
    {"LMENU", DIK_LMENU},
    {"SPACE", DIK_SPACE},
    {"CAPITAL", DIK_CAPITAL},
    {"F1", DIK_F1},
    {"F2", DIK_F2},
    {"F3", DIK_F3},
    {"F4", DIK_F4},
    {"F5", DIK_F5},
    {"F6", DIK_F6},
    {"F7", DIK_F7},
    {"F8", DIK_F8},
    {"F9", DIK_F9},
    {"F10", DIK_F10},
    {"NUMLOCK", DIK_NUMLOCK},
    {"SCROLL", DIK_SCROLL},
    {"NUMPAD7", DIK_NUMPAD7},
    {"NUMPAD8", DIK_NUMPAD8},
    {"NUMPAD9", DIK_NUMPAD9},
    {"SUBTRACT", DIK_SUBTRACT},
    {"NUMPAD4", DIK_NUMPAD4},
    {"NUMPAD5", DIK_NUMPAD5},
    {"NUMPAD6", DIK_NUMPAD6},
    {"ADD", DIK_ADD},
    {"NUMPAD1", DIK_NUMPAD1},
    {"NUMPAD2", DIK_NUMPAD2},
    {"NUMPAD3", DIK_NUMPAD3},
    {"NUMPAD0", DIK_NUMPAD0},
    {"DECIMAL", DIK_DECIMAL},
    {"F11", DIK_F11},
    {"F12", DIK_F12},
    {"F13", DIK_F13},
    {"F14", DIK_F14},
    {"F15", DIK_F15},
    {"KANA", DIK_KANA},
    {"CONVERT", DIK_CONVERT},
    {"NOCONVERT", DIK_NOCONVERT},
    {"YEN", DIK_YEN},
    {"NUMPADEQUALS", DIK_NUMPADEQUALS},
    {"CIRCUMFLEX", DIK_CIRCUMFLEX},
    {"AT", DIK_AT},
    {"COLON", DIK_COLON},
    {"UNDERLINE", DIK_UNDERLINE},
    {"KANJI", DIK_KANJI},
    {"STOP", DIK_STOP},
    {"AX", DIK_AX},
    {"UNLABELED", DIK_UNLABELED},
    {"NUMPADENTER", DIK_NUMPADENTER},
    {"RCONTROL", DIK_RCONTROL},
    {"NUMPADCOMMA", DIK_NUMPADCOMMA},
    {"DIVIDE", DIK_DIVIDE},
    {"SYSRQ", DIK_SYSRQ},
    {"RMENU", DIK_RMENU},
    {"PAUSE", DIK_PAUSE},
    {"HOME", DIK_HOME},
    {"UP", DIK_UP},
    {"PRIOR", DIK_PRIOR},
    {"LEFT", DIK_LEFT},
    {"RIGHT", DIK_RIGHT},
    {"END", DIK_END},
    {"DOWN", DIK_DOWN},
    {"NEXT", DIK_NEXT},
    {"INSERT", DIK_INSERT},
    {"DELETE", DIK_DELETE},
    {"LWIN", DIK_LWIN},
    {"RWIN", DIK_RWIN},
    {"APPS", DIK_APPS},
    {"POWER", DIK_POWER},
    {"SLEEP", DIK_SLEEP},
};

enum Op {
    KeyDown,
    KeyUp,
    MouseMove,
    MouseDown,
    MouseUp,
    PadAttach,
    PadDetach,
    PadDown,
    PadUp,
    PadAxis,
    PadHat,
    Text,
    ScrollLock,
    Lose
};

// One step as a line's parser builds it.
struct Step {
    int frame;
    Op op;
    std::vector<int> values;
    std::string text;
};

// What a step holds, read back from the script's pools.
struct StepView {
    Op op;
    const int* values;
    size_t count;
    std::string_view text;
};

// The steps of a script. A script may hold hundreds of thousands of them, so their numbers and
// texts live in two shared pools rather than in allocations of their own.
class StepList {
public:
    void push_back(const Step& step)
    {
        steps.push_back(Stored{step.frame, step.op, unsigned(values.size()), unsigned(step.values.size()),
                               unsigned(texts.size()), unsigned(step.text.size())});
        values.insert(values.end(), step.values.begin(), step.values.end());
        texts += step.text;
    }
    size_t size() const { return steps.size(); }
    int Frame(size_t index) const { return steps[index].frame; }
    StepView operator[](size_t index) const
    {
        const Stored& s = steps[index];
        return StepView{s.op, values.data() + s.valueFirst, s.valueCount,
                        std::string_view(texts).substr(s.textFirst, s.textLength)};
    }
    // Frames in order; steps of one frame keep their file order.
    void SortByFrame()
    {
        std::stable_sort(steps.begin(), steps.end(),
                         [](const Stored& a, const Stored& b) { return a.frame < b.frame; });
    }

private:
    struct Stored {
        int frame;
        Op op;
        unsigned valueFirst, valueCount;
        unsigned textFirst, textLength;
    };
    std::vector<Stored> steps;
    std::vector<int> values;
    std::string texts;
};

struct Script {
    bool loaded = false;
    int frame = 0;
    size_t next = 0; // first step not yet applied
    int errors = 0;
    StepList steps;
};

Script g_Script;

const char* const kAxes[8] = {"X", "Y", "Z", "RX", "RY", "RZ", "SLIDER0", "SLIDER1"};
const char* const kDevices[MG_DEVICE_COUNT] = {"keyboard", "mouse", "pad"};

bool ParseInt(const std::string& word, long low, long high, int& out)
{
    if (word.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || value < low || value > high)
        return false;
    out = int(value);
    return true;
}

int FindName(const std::string& word, const char* const* names, int count)
{
    for (int i = 0; i < count; ++i)
        if (strcasecmp(word.c_str(), names[i]) == 0)
            return i;
    return -1;
}

int FindKey(const std::string& word)
{
    for (const KeyName& key : kKeys)
        if (strcasecmp(word.c_str(), key.name) == 0)
            return key.code;
    return -1;
}

// Splits at blanks; `rest` receives the text after the first `keep` words.
std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// The text after the first `count` words, one separating blank removed.
std::string Rest(const std::string& line, int count)
{
    size_t i = 0;
    for (int w = 0; w < count; ++w) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
    }
    return i < line.size() ? line.substr(i + 1) : std::string();
}

class LineParser {
public:
    LineParser(const char* file, int number, const std::string& line)
        : file(file), number(number), line(line), words(Words(line))
    {
    }

    // Appends the line's steps; false with `error` set when the line is damaged.
    bool Parse(StepList& steps)
    {
        if (words.size() < 3 || words[0] != "frame")
            return Fail("expected \"frame N COMMAND ...\"");
        int frame = 0;
        if (!ParseInt(words[1], 1, INT_MAX - 1, frame))
            return Fail("bad frame number \"" + words[1] + "\"");
        step.frame = frame;
        const std::string& command = words[2];
        if (command == "down" || command == "up" || command == "tap")
            return Keys(command, steps);
        if (command == "mouse")
            return Numbers(MouseMove, 2, 3, -1000000, 1000000, steps);
        if (command == "mousedown" || command == "mouseup")
            return Numbers(command == "mousedown" ? MouseDown : MouseUp, 1, 4, 1, 4, steps);
        if (command == "pad")
            return Pad(steps);
        if (command == "text") {
            step.op = Text;
            step.text = Rest(line, 3);
            if (step.text.empty())
                return Fail("text needs characters");
            return Add(steps);
        }
        if (command == "char")
            return Numbers(Text, 1, 1, 1, 0x10FFFF, steps);
        if (command == "scrolllock") {
            if (words.size() != 4 || (words[3] != "on" && words[3] != "off"))
                return Fail("scrolllock needs on or off");
            step.op = ScrollLock;
            step.values.push_back(words[3] == "on");
            return Add(steps);
        }
        if (command == "lose")
            return LoseDevice(steps);
        return Fail("unknown command \"" + command + "\"");
    }

    std::string error;

private:
    bool Fail(const std::string& why)
    {
        error = why;
        return false;
    }

    bool Add(StepList& steps)
    {
        steps.push_back(step);
        return true;
    }

    bool Keys(const std::string& command, StepList& steps)
    {
        if (words.size() < 4)
            return Fail(command + " needs key names");
        for (size_t i = 3; i < words.size(); ++i) {
            int code = FindKey(words[i]);
            if (code < 0)
                return Fail("unknown key \"" + words[i] + "\"");
            step.values.push_back(code);
        }
        step.op = command == "up" ? KeyUp : KeyDown;
        Add(steps);
        if (command == "tap") {
            step.op = KeyUp;
            ++step.frame;
            Add(steps);
        }
        return true;
    }

    // Numbers from word `first` on; a Text step made this way carries the code as its text.
    bool Numbers(Op op, size_t least, size_t most, long low, long high, StepList& steps, size_t first = 3)
    {
        size_t count = words.size() - first;
        if (count < least || count > most)
            return Fail(words[2] + " needs " + std::to_string(least) +
                        (most > least ? " to " + std::to_string(most) : std::string()) + " numbers");
        for (size_t i = first; i < words.size(); ++i) {
            int value = 0;
            if (!ParseInt(words[i], low, high, value))
                return Fail("bad number \"" + words[i] + "\"");
            step.values.push_back(value);
        }
        step.op = op;
        return Add(steps);
    }

    bool Pad(StepList& steps)
    {
        std::string what = words.size() > 3 ? words[3] : std::string();
        if (what == "attach") {
            step.op = PadAttach;
            step.text = Rest(line, 4);
            if (step.text.empty() || step.text.size() >= MAX_PATH)
                return Fail("pad attach needs a product name shorter than 260 characters");
            return Add(steps);
        }
        if (what == "detach" && words.size() == 4) {
            step.op = PadDetach;
            return Add(steps);
        }
        if (what == "down" || what == "up") {
            if (words.size() < 5)
                return Fail("pad " + what + " needs button numbers");
            return Numbers(what == "down" ? PadDown : PadUp, 1, 128, 0, 127, steps, 4);
        }
        if (what == "axis") {
            int axis = words.size() == 6 ? FindName(words[4], kAxes, 8) : -1;
            int value = 0;
            if (axis < 0 || !ParseInt(words[5], -10000, 10000, value))
                return Fail("pad axis needs an axis name and a value from -10000 to 10000");
            step.op = PadAxis;
            step.values = {axis, value};
            return Add(steps);
        }
        if (what == "hat") {
            int value = -1;
            if (words.size() != 5 || (words[4] != "centre" && !ParseInt(words[4], 0, 35999, value)))
                return Fail("pad hat needs an angle from 0 to 35999 or \"centre\"");
            step.op = PadHat;
            step.values.push_back(value);
            return Add(steps);
        }
        return Fail("unknown pad command \"" + what + "\"");
    }

    bool LoseDevice(StepList& steps)
    {
        int device = words.size() >= 4 && words.size() <= 5 ? FindName(words[3], kDevices, MG_DEVICE_COUNT) : -1;
        int frames = 0;
        if (device < 0 || (words.size() == 5 && !ParseInt(words[4], 0, 1000000, frames)))
            return Fail("lose needs keyboard, mouse or pad and optionally a number of frames");
        step.op = Lose;
        step.values = {device, frames};
        return Add(steps);
    }

    const char* file;
    int number;
    std::string line;
    std::vector<std::string> words;
    Step step = {0, KeyDown, {}, {}};
};

void PostCharacter(unsigned code)
{
    HWND window = GetForegroundWindow();
    if (window)
        PostMessageA(window, WM_CHAR, code, 0);
}

void Apply(const StepView& step)
{
    MgInputState& state = MgState();
    switch (step.op) {
    case KeyDown:
    case KeyUp:
        for (size_t i = 0; i < step.count; ++i)
            state.Keys[step.values[i]] = step.op == KeyDown;
        break;
    case MouseMove:
        state.Mouse.lX += step.values[0];
        state.Mouse.lY += step.values[1];
        if (step.count > 2)
            state.Mouse.lZ += step.values[2];
        break;
    case MouseDown:
    case MouseUp:
        state.Mouse.rgbButtons[step.values[0] - 1] = step.op == MouseDown;
        break;
    case PadAttach:
        MgClearPad();
        state.PadAttached = true;
        ++state.PadGeneration;
        std::snprintf(state.PadName, sizeof state.PadName, "%.*s", int(step.text.size()), step.text.data());
        break;
    case PadDetach:
        state.PadAttached = false;
        MgClearPad();
        break;
    case PadDown:
    case PadUp:
        for (size_t i = 0; i < step.count; ++i)
            state.Pad.rgbButtons[step.values[i]] = step.op == PadDown ? 0x80 : 0;
        break;
    case PadAxis:
        (&state.Pad.lX)[step.values[0]] = step.values[1];
        break;
    case PadHat:
        state.Pad.rgdwPOV[0] = step.values[0] < 0 ? 0xFFFFFFFFu : DWORD(step.values[0]);
        break;
    case Text:
        if (step.text.empty())
            PostCharacter(unsigned(step.values[0]));
        for (unsigned char c : step.text)
            PostCharacter(c);
        break;
    case ScrollLock:
        MgSetKeyToggle(VK_SCROLL, step.values[0]);
        break;
    case Lose:
        state.Lost[step.values[0]] = true;
        state.RefuseAcquire[step.values[0]] = step.values[1];
        break;
    }
}

void Report(const char* file, int line, const std::string& why)
{
    char message[512];
    std::snprintf(message, sizeof message, "%s:%d: %s; line skipped\n", file, line, why.c_str());
    OutputDebugStringA(message);
    ++g_Script.errors;
}

} // namespace

extern "C" {

BOOL MgLoadInputScriptText(const char* text, const char* name)
{
    MgResetInput();
    StepList steps;
    int number = 0;
    const char* p = text ? text : "";
    while (*p) {
        const char* end = std::strchr(p, '\n');
        std::string line(p, end ? size_t(end - p) : std::strlen(p));
        p = end ? end + 1 : p + line.size();
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        LineParser parser(name, number, line.substr(first));
        if (!parser.Parse(steps))
            Report(name, number, parser.error);
    }
    steps.SortByFrame();
    g_Script.steps = std::move(steps);
    g_Script.loaded = true;
    MgConnectToWindow();
    return TRUE;
}

BOOL MgLoadInputScript(const char* path)
{
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) {
        char message[512];
        std::snprintf(message, sizeof message, "%s: cannot read the input script (%s)\n", path ? path : "(null)",
                      std::strerror(errno));
        OutputDebugStringA(message);
        return FALSE;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    std::fclose(file);
    // A NUL byte would end the text early: it becomes a character no line accepts, so its line
    // is reported and the lines after it are still read.
    for (char& c : text)
        if (c == '\0')
            c = '\x01';
    return MgLoadInputScriptText(text.c_str(), path);
}

void MgAdvanceInputFrame(void)
{
    if (!g_Script.loaded)
        return;
    ++g_Script.frame;
    MgInputState& state = MgState();
    for (int& refuse : state.RefuseAcquire)
        if (refuse > 0)
            --refuse;
    while (g_Script.next < g_Script.steps.size() && g_Script.steps.Frame(g_Script.next) <= g_Script.frame)
        Apply(g_Script.steps[g_Script.next++]);
}

int MgInputFrameNumber(void) { return g_Script.frame; }
int MgInputScriptErrorCount(void) { return g_Script.errors; }

void MgResetInput(void)
{
    g_Script = Script();
    MgClearState();
    MgSetKeyToggle(VK_SCROLL, FALSE);
}

} // extern "C"

void MgInputPumpTurn(void*) { MgAdvanceInputFrame(); }
bool MgScriptActive() { return g_Script.loaded; }
