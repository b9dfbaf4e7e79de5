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

// What both sides keep of one run: when each message went, and whether they come in order.
class Delivery {
public:
    explicit Delivery(int total) : m_Total(total), m_SendTimes(total), m_Start(BenchNow()) {}
    bool Running() const { return m_Received < m_Total && BenchNow() - m_Start < kTimeLimit; }
    // The next message may go: messages are left and fewer than kInFlight are under way.
    bool MaySend() const { return m_Sent < m_Total && m_Sent - m_Received < kInFlight; }
    int Next() const { return m_Sent; }
    void Sent(double now) { m_SendTimes[m_Sent++] = now; }
    void Arrived(int index, bool wellFormed, NetRun& run)
    {
        m_InOrder &= wellFormed && index == m_Received;
        if (index >= 0 && index < m_Total)
            run.Latencies.push_back(BenchNow() - m_SendTimes[index]);
        ++m_Received;
    }
    void Finish(NetRun& run) const
    {
        run.Seconds = BenchNow() - m_Start;
        run.Complete = m_Received == m_Total && m_InOrder;
        run.Received = m_InOrder ? m_Received : 0;
    }

private:
    int m_Total;
    int m_Sent = 0;
    int m_Received = 0;
    bool m_InOrder = true;
    std::vector<double> m_SendTimes;
    double m_Start;
};

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
