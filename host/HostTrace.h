#pragma once
// The host's frame trace: what the overlay shows, frame by frame, as text, so that menus can be
// checked without looking at pixels.

// False when the file cannot be written.
bool OpenFrameTrace(const char* path);
// Writes the overlay's linked render instances as they stand after the frame.
void WriteFrameTrace(int frame);
void CloseFrameTrace();
