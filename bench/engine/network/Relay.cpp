#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>

#include "NetBench.h"

double BenchNow()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

namespace {
int Bound(const char* address, int port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const int buffer = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    sockaddr_in name = {};
    name.sin_family = AF_INET;
    name.sin_port = htons(static_cast<uint16_t>(port));
    name.sin_addr.s_addr = inet_addr(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&name), sizeof name) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}
} // namespace

struct Relay::Impl {
    int Port;
    int Sides[2];
    sockaddr_in Targets[2];
    double Loss;
    std::mt19937 Random;
    std::atomic<bool> Stop{false};
    std::atomic<unsigned long> Dropped{0};
    std::thread Thread;

    void Run()
    {
        pollfd fds[2] = {{Sides[0], POLLIN, 0}, {Sides[1], POLLIN, 0}};
        char buffer[2048];
        while (!Stop.load()) {
            if (poll(fds, 2, 1) <= 0)
                continue;
            for (int side = 0; side < 2; ++side) {
                if (!(fds[side].revents & POLLIN))
                    continue;
                for (;;) {
                    const ssize_t n = recv(Sides[side], buffer, sizeof buffer, MSG_DONTWAIT);
                    if (n < 0)
                        break;
                    if (std::uniform_real_distribution<double>(0, 1)(Random) < Loss) {
                        ++Dropped;
                        continue;
                    }
                    // In on one side, out of the other towards that side's endpoint.
                    sendto(Sides[1 - side], buffer, static_cast<size_t>(n), 0,
                           reinterpret_cast<sockaddr*>(&Targets[side]), sizeof Targets[side]);
                }
            }
        }
    }
};

Relay::Relay(int port, double loss, unsigned seed) : m_pImpl(new Impl), m_Ok(false)
{
    m_pImpl->Port = port;
    m_pImpl->Loss = loss;
    m_pImpl->Random.seed(seed);
    m_pImpl->Sides[0] = Bound("127.0.0.3", port);
    m_pImpl->Sides[1] = Bound("127.0.0.4", port);
    const char* targets[2] = {"127.0.0.2", "127.0.0.1"};
    for (int i = 0; i < 2; ++i) {
        m_pImpl->Targets[i] = sockaddr_in{};
        m_pImpl->Targets[i].sin_family = AF_INET;
        m_pImpl->Targets[i].sin_port = htons(static_cast<uint16_t>(port));
        m_pImpl->Targets[i].sin_addr.s_addr = inet_addr(targets[i]);
    }
    m_Ok = m_pImpl->Sides[0] >= 0 && m_pImpl->Sides[1] >= 0;
    if (m_Ok)
        m_pImpl->Thread = std::thread([this] { m_pImpl->Run(); });
}

Relay::~Relay()
{
    m_pImpl->Stop = true;
    if (m_pImpl->Thread.joinable())
        m_pImpl->Thread.join();
    for (int fd : m_pImpl->Sides)
        if (fd >= 0)
            close(fd);
    delete m_pImpl;
}

unsigned long Relay::Dropped() const { return m_pImpl->Dropped.load(); }
