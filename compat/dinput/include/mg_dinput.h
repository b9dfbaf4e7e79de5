#pragma once
// Controls of the DirectInput substitute that have no DirectInput counterpart: which source
// feeds the devices, and the frame clock of a scripted source.
//
// The devices read one shared input state. Two sources write it:
//  - SDL2: the window layer hands every SDL event of the game window to this layer (keys,
//    mouse motion, wheel and buttons, game controllers);
//  - a script: per-frame lines, one frame per main-loop turn (see InputScript.cpp for the
//    line format). A loaded script replaces the SDL source.
// Without a window and without a script the keyboard and mouse are present and idle.
#include <dinput.h>

extern "C" {
// Loads a script from a file and makes it the source. Damaged or unknown lines are reported
// (debug output, "FILE:LINE: ...") and skipped. False, with a message, when the file cannot
// be read.
BOOL MgLoadInputScript(const char* path);
// The same from text in memory; `name` stands for the file in messages.
BOOL MgLoadInputScriptText(const char* text, const char* name);
// Moves the scripted source to its next frame (1 for the first call). The window layer calls
// it once per main-loop turn; tests without a window call it themselves.
void MgAdvanceInputFrame(void);
int MgInputFrameNumber(void);
// Forgets the script and every device state: no script, no controller, nothing pressed.
void MgResetInput(void);
// The number of input script lines that were reported and skipped.
int MgInputScriptErrorCount(void);
}
