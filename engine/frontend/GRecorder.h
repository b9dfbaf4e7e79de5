#pragma once
// Minimal cinematic recorder until the front end is built: it never records, so handing it a
// message does nothing.
class CMessage;

class GRecorder {
public:
    static void Record(CMessage* message);
};
