#include <enet/enet.h>
#include <string.h>

#include "NetBench.h"

namespace {
ENetAddress Address(const char* text, int port)
{
    ENetAddress address;
    enet_address_set_host_ip(&address, text);
    address.port = static_cast<enet_uint16>(port);
    return address;
}
} // namespace

NetRun RunEnet(const std::vector<std::string>& messages, int port)
{
    NetRun run;
    if (enet_initialize() != 0)
        return run;
    ENetAddress serverAddress = Address("127.0.0.2", port);
    ENetAddress clientAddress = Address("127.0.0.1", port);
    ENetAddress relayAddress = Address("127.0.0.3", port);
    ENetHost* server = enet_host_create(&serverAddress, 1, 1, 0, 0);
    ENetHost* client = enet_host_create(&clientAddress, 1, 1, 0, 0);
    if (server == nullptr || client == nullptr)
        return run;
    ENetPeer* peer = enet_host_connect(client, &relayAddress, 1, 0);
    bool clientUp = false, serverUp = false;
    ENetEvent event;
    const double deadline = BenchNow() + 10;
    while ((!clientUp || !serverUp) && BenchNow() < deadline) {
        while (enet_host_service(client, &event, 1) > 0)
            clientUp |= event.type == ENET_EVENT_TYPE_CONNECT;
        while (enet_host_service(server, &event, 1) > 0)
            serverUp |= event.type == ENET_EVENT_TYPE_CONNECT;
    }
    if (!clientUp || !serverUp)
        return run;

    const int total = static_cast<int>(messages.size());
    std::vector<double> sendTimes(total);
    int sent = 0, received = 0;
    bool inOrder = true;
    const double start = BenchNow();
    while (received < total && BenchNow() - start < kTimeLimit) {
        while (sent < total && sent - received < kInFlight) {
            const std::string& message = messages[sent];
            ENetPacket* packet = enet_packet_create(message.data(), message.size(), ENET_PACKET_FLAG_RELIABLE);
            sendTimes[sent] = BenchNow();
            enet_peer_send(peer, 0, packet);
            ++sent;
        }
        while (enet_host_service(client, &event, 0) > 0) {
        }
        while (enet_host_service(server, &event, 0) > 0) {
            if (event.type != ENET_EVENT_TYPE_RECEIVE)
                continue;
            int index = -1;
            if (event.packet->dataLength >= 6)
                memcpy(&index, event.packet->data + 2, 4);
            inOrder &= index == received;
            if (index >= 0 && index < total)
                run.Latencies.push_back(BenchNow() - sendTimes[index]);
            ++received;
            enet_packet_destroy(event.packet);
        }
    }
    run.Seconds = BenchNow() - start;
    run.Complete = received == total && inOrder;
    run.Received = inOrder ? received : 0;
    enet_peer_reset(peer);
    enet_host_destroy(client);
    enet_host_destroy(server);
    enet_deinitialize();
    return run;
}
