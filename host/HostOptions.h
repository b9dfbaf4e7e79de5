#pragma once
// The host's command line:
//   marlgate_host [--frames N] [--frame-time SECONDS] [--camera X,Y,Z] [--look-at X,Y,Z]
//                 [--fov DEGREES] [--screenshot-frame N] [--headless] [--audio-out FILE.wav]
//                 [--input-script FILE] [--trace FILE] [LEVEL]

struct HostOptions {
    int Frames = 0;         // quit after this many frames; 0 runs until the game quits
    double FrameTime = 0.0; // fixed seconds per frame on a virtual clock; 0 uses real time
    const char* Level = "mainmenu.zel";
    // The 3-D camera of viewport 0: where it stands, the point it looks at (z is up) and its
    // vertical field of view.
    float Camera[3] = {50.0f, -60.0f, 80.0f};
    float LookAt[3] = {50.0f, 60.0f, 0.0f};
    float Fov = 60.0f;
    int ScreenshotFrame = 0;           // 0 takes none; frames count from 1
    const char* AudioOut = nullptr;    // the mix is written to this WAV file
    const char* InputScript = nullptr; // scripted input in place of the machine's devices
    const char* Trace = nullptr;       // the overlay's drawn instances, frame by frame
    bool Help = false;                 // --help or -h: print the usage and run nothing
    bool Headless = false;             // no window even where a display exists
};

extern const char HostUsage[];

// False with a message in error (at least 256 characters) when the line is not understood.
bool ParseHostOptions(int argc, char** argv, HostOptions& options, char* error);
