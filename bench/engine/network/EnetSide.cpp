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

    Delivery delivery(static_cast<int>(messages.size()));
    while (delivery.Running()) {
        while (delivery.MaySend()) {
            const std::string& message = messages[delivery.Next()];
            ENetPacket* packet = enet_packet_create(message.data(), message.size(), ENET_PACKET_FLAG_RELIABLE);
            delivery.Sent(BenchNow());
            enet_peer_send(peer, 0, packet);
        }
        while (enet_host_service(client, &event, 0) > 0) {
        }
        while (enet_host_service(server, &event, 0) > 0) {
            if (event.type != ENET_EVENT_TYPE_RECEIVE)
                continue;
            int index = -1;
            if (event.packet->dataLength >= 6)
                memcpy(&index, event.packet->data + 2, 4);
            delivery.Arrived(index, true, run);
            enet_packet_destroy(event.packet);
        }
    }
    delivery.Finish(run);
    enet_peer_reset(peer);
    enet_host_destroy(client);
    enet_host_destroy(server);
    enet_deinitialize();
    return run;
}
