// Our endpoint against ENet, a widely used reliable-UDP library: 100,000 messages of 6 to 400
// bytes (2 bytes of length and 4 of index, then filler) go from 127.0.0.1 to 127.0.0.2 through
// a relay on 127.0.0.3/.4 that loses 0%, 5% and 20% of the datagrams both ways. Each side
// keeps at most 64 messages in flight; ours also paces its packets by the peer's answers, since
// more than 6 sends without an answer lag a connection. Printed per loss: messages per second and
// delivery latency (median, 99th percentile) of both, and ours as a multiple of ENet's.
//   build/bin/engine_network_bench [messages]
#include <mg_winsock.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <random>

#include "NetBench.h"
#include "engine/devices/CNetwork.h"
#include "engine/object/GObject.h"

namespace {

// Packets unacknowledged at most, and sends without an answer at most (more than 6 lag a
// connection).
const int kWindow = 16;
const int kUnanswered = 6;

std::vector<std::string> MakeMessages(int count)
{
    std::mt19937 random(2024);
    std::vector<std::string> messages(count);
    for (int i = 0; i < count; ++i) {
        const int length = 6 + static_cast<int>(random() % 395);
        std::string& m = messages[i];
        m.assign(length, static_cast<char>('a' + i % 26));
        const unsigned short length16 = static_cast<unsigned short>(length);
        memcpy(&m[0], &length16, 2);
        memcpy(&m[2], &i, 4);
    }
    return messages;
}

NetRun RunOurs(const std::vector<std::string>& messages, int port)
{
    NetRun run;
    MgWinsockSetBroadcastPeers(nullptr, 0);
    MgWinsockSetBindAddress(inet_addr("127.0.0.1"));
    std::unique_ptr<CNetwork> a = std::make_unique<CNetwork>(port);
    MgWinsockSetBindAddress(inet_addr("127.0.0.2"));
    std::unique_ptr<CNetwork> b = std::make_unique<CNetwork>(port);
    b->AcceptConnections(true);
    a->ConnectTo("127.0.0.3");
    CRemoteConnection* ca = nullptr;
    CRemoteConnection* cb = nullptr;
    const double deadline = BenchNow() + 10;
    while ((ca == nullptr || cb == nullptr) && BenchNow() < deadline) {
        if (CRemoteConnection* c = a->Process())
            ca = c->Status() == CRemoteConnection::LIVE ? c : ca;
        if (CRemoteConnection* c = b->Process())
            cb = c->Status() == CRemoteConnection::LIVE ? c : cb;
        usleep(100);
    }
    if (ca == nullptr || cb == nullptr)
        return run;
    ca->Expiring(0);
    cb->Expiring(0);

    Delivery delivery(static_cast<int>(messages.size()));
    while (delivery.Running()) {
        const double now = BenchNow();
        // A packet goes when full, or at the end of the turn with what it has, as long as the
        // peer keeps answering.
        auto mayFlush = [&] { return ca->UnansweredSends() < kUnanswered && ca->Outstanding() < kWindow; };
        if (ca->Status() == CRemoteConnection::LIVE) {
            while (delivery.MaySend()) {
                const std::string& message = messages[delivery.Next()];
                if (static_cast<int>(message.size()) > ca->Room()) {
                    if (!mayFlush())
                        break;
                    ca->Flush();
                }
                if (!ca->Send(message.data(), static_cast<int>(message.size())))
                    break;
                delivery.Sent(now);
            }
            if (ca->Room() < PacketLimits::kPayload && mayFlush())
                ca->Flush();
        }
        a->Process();
        b->Process();
        int length;
        // The sender reads too: its incoming window holds the receiver's packets until the
        // host takes them.
        while (a->Receive(length) != nullptr) {
        }
        // The receiver answers once for whatever arrived since it last sent.
        if (cb->UnansweredSends() == 0)
            cb->Flush();
        while (BYTE* payload = b->Receive(length)) {
            for (int at = 0; at + 6 <= length;) {
                unsigned short size;
                int index;
                memcpy(&size, payload + at, 2);
                memcpy(&index, payload + at + 2, 4);
                delivery.Arrived(index, size >= 6, run);
                at += std::max<int>(size, 6);
            }
        }
    }
    delivery.Finish(run);
    run.Resends = ca->ReSends();
    return run;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? atoi(argv[1]) : 100000;
    if (count < 1) {
        fprintf(stderr, "usage: engine_network_bench [messages]\n");
        return 1;
    }
    GObject::InitEditableInfo();
    const std::vector<std::string> messages = MakeMessages(count);
    const int basePort = 40000 + getpid() % 10000;
    printf("%d messages of 6-400 bytes, 127.0.0.1 -> relay -> 127.0.0.2; latency in milliseconds.\n\n", count);
    printf("%5s | %10s %8s %8s %7s | %10s %8s %8s | %9s %9s\n", "loss", "ours msg/s", "median", "p99", "resends",
           "ENet msg/s", "median", "p99", "msg/s x", "p99 x");
    int port = basePort;
    for (double loss : {0.0, 0.05, 0.20}) {
        NetRun ours, enet;
        {
            Relay relay(port, loss, 7);
            if (!relay.Ok()) {
                fprintf(stderr, "engine_network_bench: cannot bind the relay on port %d\n", port);
                return 1;
            }
            ours = RunOurs(messages, port);
        }
        ++port;
        {
            Relay relay(port, loss, 7);
            enet = RunEnet(messages, port);
        }
        ++port;
        const double oursRate = ours.Seconds > 0 ? ours.Received / ours.Seconds : 0;
        const double enetRate = enet.Seconds > 0 ? enet.Received / enet.Seconds : 0;
        const double oursP99 = Percentile(ours.Latencies, 0.99) * 1000;
        const double enetP99 = Percentile(enet.Latencies, 0.99) * 1000;
        printf("%4.0f%% | %10.0f %8.3f %8.3f %7d | %10.0f %8.3f %8.3f | %9.2f %9.2f%s\n", loss * 100, oursRate,
               Percentile(ours.Latencies, 0.5) * 1000, oursP99, ours.Resends, enetRate,
               Percentile(enet.Latencies, 0.5) * 1000, enetP99, enetRate > 0 ? oursRate / enetRate : 0,
               enetP99 > 0 ? oursP99 / enetP99 : 0,
               ours.Complete && enet.Complete ? "" : "  (stopped at the time limit)");
        fflush(stdout);
    }
    printf("\nmsg/s x: our throughput as a multiple of ENet's (higher is better); p99 x: our 99th-percentile\n"
           "latency as a multiple of ENet's (lower is better).\n");
    return 0;
}
