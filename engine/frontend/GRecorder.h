#pragma once
// Minimal cinematic recorder until the front end is built: it never records. What a recorder
// would append is handed to an optional listener, so callers can be checked meanwhile.
class CMessage;

class GRecorder {
public:
    typedef void (*Listener)(CMessage* message);

    static void Record(CMessage* message);

    static Listener pListener;
};
