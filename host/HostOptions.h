#pragma once
// The host's command line: marlgate_host [--frames N] [--frame-time SECONDS] [LEVEL]

struct HostOptions {
    int Frames = 0;         // quit after this many frames; 0 runs until the game quits
    double FrameTime = 0.0; // fixed seconds per frame on a virtual clock; 0 uses real time
    const char* Level = "mainmenu.zel";
    bool Help = false; // --help or -h: print the usage and run nothing
};

extern const char HostUsage[];

// False with a message in error (at least 256 characters) when the line is not understood.
bool ParseHostOptions(int argc, char** argv, HostOptions& options, char* error);
