// The WinSock substitute: its socket calls in both networks (in-process queues and the
// system's loopback), broadcast kept on the machine, and the errors a caller sees.
#include <gtest/gtest.h>
#include <mg_winsock.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const u_long kA = 0x0100007F; // 127.0.0.1
const u_long kB = 0x0200007F; // 127.0.0.2
const u_long kC = 0x0300007F; // 127.0.0.3

class Winsock : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(0x0101, &data), 0);
        EXPECT_EQ(data.wVersion, 0x0101);
        MgWinsockUseMemoryNetwork(GetParam());
        MgWinsockSetFaults(nullptr);
        MgWinsockSetBroadcastPeers(nullptr, 0);
        // Real sockets share the machine with other tests: a port of this process's own.
        m_Port = static_cast<u_short>(20000 + getpid() % 20000);
    }
    void TearDown() override
    {
        WSACleanup();
        MgWinsockUseMemoryNetwork(false);
    }

    SOCKET Open(u_long address, u_short port, bool broadcast = false)
    {
        MgWinsockSetBindAddress(address);
        SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        EXPECT_NE(s, INVALID_SOCKET);
        sockaddr_in name = {};
        name.sin_family = AF_INET;
        name.sin_port = htons(port);
        name.sin_addr.s_addr = INADDR_ANY;
        EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&name), sizeof name), 0) << WSAGetLastError();
        u_long on = 1;
        EXPECT_EQ(ioctlsocket(s, FIONBIO, &on), 0);
        if (broadcast) {
            BOOL yes = TRUE;
            EXPECT_EQ(setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&yes), sizeof yes), 0);
        }
        return s;
    }

    int SendTo(SOCKET s, const std::string& text, u_long address, u_short port)
    {
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = address;
        return sendto(s, text.data(), static_cast<int>(text.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

    // Every datagram waiting, as text with its sender; loopback delivery is immediate, but the
    // system may take a moment: a few short waits before deciding nothing more comes.
    std::vector<std::string> Drain(SOCKET s, std::vector<u_long>* from = nullptr)
    {
        std::vector<std::string> got;
        for (int idle = 0; idle < (GetParam() ? 1 : 20);) {
            char buffer[600];
            sockaddr_in source;
            int length = sizeof source;
            const int n = recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&source), &length);
            if (n == SOCKET_ERROR) {
                EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
                ++idle;
                if (!GetParam())
                    usleep(1000);
                continue;
            }
            got.emplace_back(buffer, buffer + n);
            if (from)
                from->push_back(source.sin_addr.s_addr);
        }
        return got;
    }

    u_short m_Port = 0;
};

TEST_P(Winsock, BindToAnyTakesTheConfiguredAddressAndDatagramsKeepTheirSender)
{
    SOCKET a = Open(kA, m_Port);
    SOCKET b = Open(kB, m_Port);
    u_long address;
    u_short port;
    ASSERT_TRUE(MgWinsockLocalAddress(b, &address, &port));
    EXPECT_EQ(address, kB);
    EXPECT_EQ(port, m_Port);

    EXPECT_EQ(SendTo(a, "hello", kB, m_Port), 5);
    EXPECT_EQ(SendTo(a, "", kB, m_Port), 0);
    std::vector<u_long> from;
    EXPECT_EQ(Drain(b, &from), (std::vector<std::string>{"hello", ""}));
    EXPECT_EQ(from, (std::vector<u_long>{kA, kA}));
    EXPECT_TRUE(Drain(a).empty());
    closesocket(a);
    closesocket(b);
}

TEST_P(Winsock, BroadcastReachesTheSenderAndEachPeerOnceAndNeedsTheOption)
{
    const u_long peers[] = {kB, kA, kB};
    MgWinsockSetBroadcastPeers(peers, 3);
    SOCKET a = Open(kA, m_Port, true);
    SOCKET b = Open(kB, m_Port);
    SOCKET c = Open(kC, m_Port);
    EXPECT_EQ(SendTo(a, "all", INADDR_BROADCAST, m_Port), 3);
    EXPECT_EQ(Drain(a), std::vector<std::string>{"all"});
    EXPECT_EQ(Drain(b), std::vector<std::string>{"all"});
    EXPECT_TRUE(Drain(c).empty()); // not listed

    EXPECT_EQ(SendTo(b, "x", INADDR_BROADCAST, m_Port), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEACCES);
    for (SOCKET s : {a, b, c})
        closesocket(s);
}

TEST_P(Winsock, ADatagramLongerThanTheBufferFailsWithMessageSizeAndIsConsumed)
{
    SOCKET a = Open(kA, m_Port);
    SOCKET b = Open(kB, m_Port);
    const std::string big(414, 'z');
    SendTo(a, big, kB, m_Port);
    SendTo(a, "next", kB, m_Port);
    char buffer[413];
    int n = SOCKET_ERROR;
    for (int tries = 0; tries < 100 && n == SOCKET_ERROR; ++tries) {
        n = recvfrom(b, buffer, sizeof buffer, 0, nullptr, nullptr);
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
            usleep(1000);
        else
            break;
    }
    EXPECT_EQ(n, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
    EXPECT_EQ(std::string(buffer, 413), big.substr(0, 413));
    EXPECT_EQ(Drain(b), std::vector<std::string>{"next"});
    closesocket(a);
    closesocket(b);
}

TEST_P(Winsock, ErrorsAreReportedAsWinsockCodes)
{
    SOCKET a = Open(kA, m_Port);
    char buffer[16];
    EXPECT_EQ(recvfrom(a, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    // The same address and port twice.
    MgWinsockSetBindAddress(kA);
    SOCKET again = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in name = {};
    name.sin_family = AF_INET;
    name.sin_port = htons(m_Port);
    EXPECT_EQ(bind(again, reinterpret_cast<sockaddr*>(&name), sizeof name), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
    closesocket(again);

    EXPECT_EQ(socket(AF_INET + 1, SOCK_DGRAM, IPPROTO_UDP), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);
    EXPECT_EQ(closesocket(12345), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(setsockopt(a, SOL_SOCKET, 0x4, buffer, 4), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    closesocket(a);
    EXPECT_EQ(SendTo(a, "gone", kB, m_Port), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

INSTANTIATE_TEST_SUITE_P(Networks, Winsock, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Memory" : "Loopback"; });

TEST(WinsockCalls, NothingWorksBeforeStartup)
{
    EXPECT_EQ(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    WSADATA data;
    EXPECT_EQ(WSAStartup(0x0001, &data), WSAVERNOTSUPPORTED);
}

TEST(WinsockCalls, InetAddrReadsDottedQuadsOnly)
{
    struct Case {
        const char* text;
        u_long value;
    } cases[] = {
        {"127.0.0.1", 0x0100007F},        {"10.1.2.3", 0x0302010A},    {"0.0.0.0", 0},
        {"255.255.255.255", INADDR_NONE}, {"256.0.0.1", INADDR_NONE},  {"1.2.3", INADDR_NONE},
        {"1.2.3.4.5", INADDR_NONE},       {"a.b.c.d", INADDR_NONE},    {"", INADDR_NONE},
        {"1..2.3", INADDR_NONE},          {"0001.2.3.4", INADDR_NONE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(inet_addr(c.text), c.value) << c.text;
    EXPECT_EQ(htons(0x1234), 0x3412);
    EXPECT_EQ(htonl(0x12345678UL), 0x78563412UL);
}

} // namespace
