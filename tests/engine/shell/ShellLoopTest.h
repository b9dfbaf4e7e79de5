#pragma once
// Tests that drive the shell's main loop headless, as a host does: each turn of the message
// pump hands the turn number (from 1) to the test's action, and the last turn quits the loop.
#include <gtest/gtest.h>

#include <functional>

#include <mg_window.h>

#include "engine/shell/CShell.h"

class ShellLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MgResetWindows();
        shell = new CShell(nullptr, 0, 0);
        MgSetMessagePumpHook(&ShellLoopTest::OnTurn, this);
    }
    void TearDown() override
    {
        MgSetMessagePumpHook(nullptr, nullptr);
        delete shell;
    }

    // Runs the loop until it returns by itself or turn `last` comes.
    void RunLoop(int last, std::function<void(int)> perTurn)
    {
        action = std::move(perTurn);
        lastTurn = last;
        shell->MainLoop();
    }

    CShell* shell = nullptr;
    int turn = 0;

private:
    static void OnTurn(void* user)
    {
        ShellLoopTest* self = static_cast<ShellLoopTest*>(user);
        ++self->turn;
        if (self->turn >= self->lastTurn)
            PostQuitMessage(0);
        else if (self->action)
            self->action(self->turn);
    }

    int lastTurn = 0;
    std::function<void(int)> action;
};
