// One side of the two-process test: an endpoint on its own loopback address that connects to
// (or accepts) the other side, sends it framed messages and checks the ones it gets back.
// Usage: net_peer <own address> <peer address> <port> connect|accept <messages>
// Exit status 0 when every message arrived in order and every sent one was acknowledged.
#include <mg_winsock.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "core/names/CCRC32.h"
#include "engine/devices/CNetwork.h"
#include "engine/object/GObject.h"

namespace {

double Seconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

void Pause() { usleep(2000); }

std::string Message(int index)
{
    std::string text = "message " + std::to_string(index) + " ";
    text.append(static_cast<size_t>(index % 300), static_cast<char>('a' + index % 26));
    const unsigned long crc = CCRC32::GetCRC(text.c_str());
    return std::to_string(crc) + ":" + text + ";";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        fprintf(stderr, "usage: net_peer <own address> <peer address> <port> connect|accept <messages>\n");
        return 2;
    }
    const u_long own = inet_addr(argv[1]);
    const u_long peer = inet_addr(argv[2]);
    const int port = atoi(argv[3]);
    const bool connect = strcmp(argv[4], "connect") == 0;
    const int total = atoi(argv[5]);
    // As the engine does at start: the class prototypes first, then the endpoint.
    GObject::InitEditableInfo();
    MgWinsockSetBindAddress(own);
    MgWinsockSetBroadcastPeers(&peer, 1);

    CNetwork network(port);
    if (!network.IsBound() || network.IPAddress() != own) {
        fprintf(stderr, "%s: not bound, or own address not learned (%s)\n", argv[1], network.IPAddressString());
        return 1;
    }
    network.AcceptConnections(!connect);
    CRemoteConnection* connection = nullptr;
    int sent = 0;
    int received = 0;
    std::string pending;
    const double start = Seconds();
    double doneAt = 0;
    while (Seconds() - start < 30) {
        if (connect && connection == nullptr && network.GetNextConnection(nullptr) == nullptr)
            network.ConnectTo(argv[2]);
        if (CRemoteConnection* changed = network.Process()) {
            if (changed->Status() == CRemoteConnection::DEAD) {
                network.FreeDeadConnections();
            } else {
                connection = changed;
                connection->Expiring(0);
            }
        }
        if (connection != nullptr && connection->Status() == CRemoteConnection::LIVE) {
            while (sent < total && connection->Outstanding() < 24) {
                const std::string message = Message(sent);
                if (static_cast<int>(message.size()) > connection->Room())
                    break;
                connection->Send(message.data(), static_cast<int>(message.size()));
                ++sent;
            }
            // One packet a frame keeps acknowledgements flowing while messages do; after that
            // the keep-alives suffice.
            if (sent < total || received < total)
                connection->Flush();
        }
        int length;
        while (BYTE* payload = network.Receive(length)) {
            pending.append(reinterpret_cast<char*>(payload), length);
            size_t end;
            while ((end = pending.find(';')) != std::string::npos) {
                const std::string expected = Message(received);
                if (pending.compare(0, end + 1, expected) != 0) {
                    fprintf(stderr, "%s: message %d differs\n", argv[1], received);
                    return 1;
                }
                pending.erase(0, end + 1);
                ++received;
            }
        }
        if (connection != nullptr && received == total && sent == total && connection->Outstanding() == 0 &&
            doneAt == 0)
            doneAt = Seconds();
        // Stay a moment after finishing so the other side gets its acknowledgements.
        if (doneAt != 0 && Seconds() - doneAt > 1.0) {
            printf("%s: sent %d, received %d, resends %d\n", argv[1], sent, received, connection->ReSends());
            return 0;
        }
        Pause();
    }
    fprintf(stderr, "%s: timed out with %d sent, %d received\n", argv[1], sent, received);
    return 1;
}
