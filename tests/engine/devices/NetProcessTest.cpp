// Two real processes on 127.0.0.1 and 127.0.0.2 over the system's sockets: each learns its own
// address, they shake hands (either side calling) and exchange 1,000 messages each way.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

pid_t Start(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, MG_NET_PEER, nullptr, nullptr, argv.data(), environ), 0);
    return pid;
}

// The exit status, or -1 when the process had to be stopped after 40 seconds.
int Wait(pid_t pid)
{
    for (int i = 0; i < 4000; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

class NetProcesses : public ::testing::TestWithParam<bool> {};

TEST_P(NetProcesses, HandshakeAndAThousandMessagesEachWay)
{
    const bool firstCalls = GetParam();
    // A port of this test's own, so parallel runs do not meet.
    const std::string port = std::to_string(30000 + getpid() % 20000);
    const pid_t one = Start({"net_peer", "127.0.0.1", "127.0.0.2", port, firstCalls ? "connect" : "accept", "1000"});
    const pid_t two = Start({"net_peer", "127.0.0.2", "127.0.0.1", port, firstCalls ? "accept" : "connect", "1000"});
    EXPECT_EQ(Wait(one), 0);
    EXPECT_EQ(Wait(two), 0);
}

INSTANTIATE_TEST_SUITE_P(Callers, NetProcesses, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "FirstCalls" : "SecondCalls";
                         });

} // namespace
