// The fault injector on the in-process network, on the virtual clock: what arrives is lost,
// cut, doubled, late or out of order as configured, and the same seed gives the same run.
#include <gtest/gtest.h>
#include <mg_win32.h>
#include <mg_winsock.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const u_long kA = 0x0100007F;
const u_long kB = 0x0200007F;
const u_short kPort = 4000;

SOCKET Open(u_long address)
{
    MgWinsockSetBindAddress(address);
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in name = {};
    name.sin_family = AF_INET;
    name.sin_port = htons(kPort);
    bind(s, reinterpret_cast<sockaddr*>(&name), sizeof name);
    return s;
}

// Sends 2,000 numbered datagrams of 8 bytes from A to B, one every millisecond, and returns
// what B received (the numbers, or -1 for a datagram cut short).
std::vector<int> SendThrough(const MgWinsockFaults* faults, MgWinsockCounts* counts)
{
    WSADATA data;
    WSAStartup(0x0101, &data);
    MgWinsockUseMemoryNetwork(true);
    MgUseVirtualClock(0);
    MgWinsockResetCounts();
    MgWinsockSetFaults(faults);
    SOCKET a = Open(kA);
    SOCKET b = Open(kB);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    to.sin_addr.s_addr = kB;
    std::vector<int> got;
    auto receive = [&] {
        char buffer[16];
        int n;
        while ((n = recvfrom(b, buffer, sizeof buffer, 0, nullptr, nullptr)) != SOCKET_ERROR) {
            int number = -1;
            if (n == 8 && memcmp(buffer, "#", 1) == 0)
                number = atoi(buffer + 1);
            got.push_back(number);
        }
    };
    for (int i = 0; i < 2000; ++i) {
        char text[9];
        snprintf(text, sizeof text, "#%07d", i);
        sendto(a, text, 8, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 1000);
        receive();
    }
    MgAdvanceVirtualClock(MG_PERF_FREQUENCY); // everything held is due
    receive();
    MgWinsockGetCounts(counts);
    MgWinsockSetFaults(nullptr);
    WSACleanup();
    MgWinsockUseMemoryNetwork(false);
    MgUseRealClock();
    return got;
}

TEST(FaultInjector, WithoutFaultsEverythingArrivesInOrder)
{
    MgWinsockCounts counts;
    std::vector<int> got = SendThrough(nullptr, &counts);
    ASSERT_EQ(got.size(), 2000u);
    for (int i = 0; i < 2000; ++i)
        EXPECT_EQ(got[i], i);
    EXPECT_EQ(counts.sent, 2000u);
    EXPECT_EQ(counts.dropped, 0u);
}

TEST(FaultInjector, EachFaultHappensAtAboutItsRateAndTheReceiverSeesIt)
{
    const MgWinsockFaults faults = {7, 0.10, 0.05, 0.10, 0.10, 0.20, 0.02};
    MgWinsockCounts counts;
    std::vector<int> got = SendThrough(&faults, &counts);
    EXPECT_NEAR(counts.dropped / 2000.0, 0.10, 0.03);
    EXPECT_NEAR(counts.truncated / 1800.0, 0.05, 0.02);
    EXPECT_NEAR(counts.duplicated / 1800.0, 0.10, 0.03);
    EXPECT_GT(counts.reordered, 100u);
    EXPECT_GT(counts.delayed, 200u);
    // What arrived: every copy that was not lost, some cut, some twice, some out of order.
    EXPECT_EQ(got.size(), 2000u - counts.dropped + counts.duplicated);
    // A cut datagram may also be doubled.
    const unsigned long cut = static_cast<unsigned long>(std::count(got.begin(), got.end(), -1));
    EXPECT_GE(cut, counts.truncated);
    EXPECT_LE(cut, 2 * counts.truncated);
    int outOfOrder = 0;
    for (size_t i = 1; i < got.size(); ++i)
        outOfOrder += got[i] >= 0 && got[i - 1] > got[i];
    EXPECT_GT(outOfOrder, 100);
    std::vector<int> sorted = got;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_NE(std::adjacent_find(sorted.begin(), sorted.end(), [](int x, int y) { return x >= 0 && x == y; }),
              sorted.end());
}

TEST(FaultInjector, TheSameSeedGivesTheSameRunAndAnotherSeedAnother)
{
    MgWinsockFaults faults = {42, 0.2, 0.05, 0.1, 0.1, 0.1, 0.01};
    MgWinsockCounts counts;
    const std::vector<int> first = SendThrough(&faults, &counts);
    EXPECT_EQ(SendThrough(&faults, &counts), first);
    faults.seed = 43;
    EXPECT_NE(SendThrough(&faults, &counts), first);
}

} // namespace
