#pragma once
// Network tests run on the in-process datagram network and the virtual clock: every datagram
// and every instant is the test's. A Wire is a bare socket that plays a peer by hand.
#include <gtest/gtest.h>
#include <mg_win32.h>
#include <mg_winsock.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/devices/CNetwork.h"

const u_long kHostA = 0x0100007F; // 127.0.0.1
const u_long kHostB = 0x0200007F; // 127.0.0.2
const u_long kHostC = 0x0300007F; // 127.0.0.3
const u_short kNetPort = 2300;

// A packet as it travelled, decoded.
struct WirePacket {
    std::vector<BYTE> Bytes;
    u_long From;
    int Id() const { return Bytes[0] & 0x7F; }
    bool Control() const { return Bytes[4] & 1; }
    DWORD Fields() const { return Bytes[5] | Bytes[6] << 8 | Bytes[7] << 16 | static_cast<DWORD>(Bytes[8]) << 24; }
    int Length() const { return static_cast<int>(Fields() & 0xFFFF); }
    int Sequence() const { return static_cast<int>(Fields() >> 16 & 0x3F); }
    int Ack() const { return static_cast<int>(Fields() >> 22 & 0x3F); }
    int Run() const { return static_cast<int>(Fields() >> 28); }
    int Delay() const { return Bytes[9] | Bytes[10] << 8; }
};

// Header bytes of a packet built by hand.
std::vector<BYTE> MakePacket(int id, bool control, int length, int sequence, int ack, int run, int delay = 0);

class Wire {
public:
    Wire(u_long address, u_short port = kNetPort);
    ~Wire();
    void Send(const std::vector<BYTE>& bytes, u_long to, u_short port = kNetPort);
    // A data packet: header for the sequence and acknowledgement, then the payload.
    void SendData(int id, int sequence, int ack, int run, const std::string& payload = "", u_long to = kHostA);
    void SendControl(int id, int type, u_long to = kHostA, int ack = 0x3F, int run = 0);
    std::vector<WirePacket> Take();

private:
    SOCKET m_Socket;
};

class NetTest : public ::testing::Test {
public:
    static void Advance(double seconds);

protected:
    void SetUp() override;
    void TearDown() override;
    // An endpoint at the address; the clock moves on first so each has ids of its own.
    std::unique_ptr<CNetwork> MakeEndpoint(u_long address);
    // A at 127.0.0.1 connected to a hand-played peer at 127.0.0.2; returns its connection.
    CRemoteConnection* ConnectToWire(CNetwork& endpoint, Wire& peer);
};
