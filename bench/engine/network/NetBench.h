#pragma once
// The network benchmark's parts that must not see each other's headers: ENet and the relay use
// the system's sockets, our endpoint the WinSock layer.
#include <string>
#include <vector>

// What one side measured: whether everything arrived in order, the time taken and each
// message's delivery latency in seconds.
struct NetRun {
    bool Complete = false;
    int Received = 0; // in order, before the time limit
    double Seconds = 0;
    std::vector<double> Latencies;
    int Resends = 0;
};

// Messages in flight (sent, not yet received) at most, for both sides alike.
const int kInFlight = 64;
// Seconds a side may take; one that has not finished by then is rated by what it delivered.
const double kTimeLimit = 120;

// Seconds on the monotonic clock.
double BenchNow();

// A UDP forwarder on 127.0.0.3 and 127.0.0.4 at a port: what reaches .3 goes on from .4 to
// 127.0.0.2, what reaches .4 goes on from .3 to 127.0.0.1, each datagram lost with the given
// probability. Runs on a thread of its own until destroyed.
class Relay {
public:
    Relay(int port, double loss, unsigned seed);
    ~Relay();
    bool Ok() const { return m_Ok; }
    unsigned long Dropped() const;

private:
    struct Impl;
    Impl* m_pImpl;
    bool m_Ok;
};

// ENet client on 127.0.0.1 and server on 127.0.0.2 at the port, talking through the relay.
NetRun RunEnet(const std::vector<std::string>& messages, int port);
