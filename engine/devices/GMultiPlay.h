#pragma once
// The object through which game code asks about players and sends messages between machines.
// This engine plays on one machine: every answer is the single-machine one and messages are
// delivered locally. (The UDP endpoint is driven by the host program, not by this object.) It
// survives level changes once created; the shell destroys it at the end.
#include "engine/object/GObject.h"

class CRemoteConnection;

class GMultiPlay : public GObject {
    DECLARE_GOBJECT(GMultiPlay, GObject)

    GMultiPlay();
    ~GMultiPlay() override;

    bool LocalObject(HGOBJECT object);
    int PlayerNumber(int player);
    bool Multi();
    bool Server();
    // Offers the message to its target's filter and, when that passes it, to its receive
    // handler; the connection is not used. False when the target no longer exists.
    bool SendMessageA(CMessage* message, CRemoteConnection* connection);

    static GMultiPlay* pThe;
};
