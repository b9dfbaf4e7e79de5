#pragma once
// One peer of the network endpoint: turns datagrams into a reliable, ordered stream of
// messages. Outgoing messages fill numbered packets kept in a 64-slot window until the peer
// acknowledges them; a packet that three later ones overtook is sent again; received packets
// are put back in order in a second 64-slot window. A connection that stops answering is
// marked lagged (it sends only probes) and then dead.
#include <windows.h>

#include "engine/devices/CPacket.h"

class CNetwork;

struct COutPacketHandle {
    int SendCount; // 0: acknowledged, or not sent yet
    int ResendCountdown;
    double SendTime;
    CPacket* pPacket; // owned
};

struct CInPacketHandle {
    double ReceiveTime;
    CPacket* pPacket; // owned
};

class CRemoteConnection {
public:
    enum State { CONNECTING = 0, LIVE = 1, LAGGED = 2, DEAD = 3 };
    enum { kWindow = 64, kSequenceMask = kWindow - 1 };

    CRemoteConnection(CNetwork* network, DWORD address, int id);
    ~CRemoteConnection();

    // a trails b when b is 1 to 31 sequences after a (modulo 64).
    static bool Trailing(int a, int b);

    // Appends a message to the current packet, sending the packet first when the message does
    // not fit. False when the message was refused: while lagged no packet can go out, and a
    // message that does not fit then is counted as refused rather than written past the packet.
    bool Send(const void* data, int length);
    // The payload of the next packet in order, or null (length 0). It stays valid until the
    // next Receive on this connection.
    BYTE* Receive(int& length);
    void Flush();
    // 1234 only reads the flag; any other value sets it.
    int Expiring(int value);
    // True when the connection gave up connecting. May free this connection (expiry): the
    // endpoint's slot is then empty.
    bool Process();
    // Takes the packet in every case. True when the connection has just become live.
    bool ReceivePacket(CPacket* packet);

    int Status() const { return m_State; }
    DWORD IPAddress() const { return m_Address; }
    const char* IPAddressString() const { return m_AddressText; }
    int ID() const { return m_Id; }
    int ReSends() const { return m_Resends; }
    int LagOuts() const { return m_LagOuts; }
    int PacketOverflows() const { return m_PacketOverflows; }
    int RefusedMessages() const { return m_RefusedMessages; }
    float RecentBandwidthOut() const { return m_RecentBandwidthOut; }
    float RecentBandwidthIn() const { return m_RecentBandwidthIn; }
    float TotalBandwidthOut() const;
    float TotalBandwidthIn() const;
    float AveragePing() const { return static_cast<float>(m_PingSum / m_PingSamples); }
    float RecentPing() const { return m_RecentPing; }
    double ConnectionTime() const;
    double TimeSinceDataReceive() const;
    double LagTime() const;
    // Packets sent and not yet acknowledged.
    int Outstanding() const { return (m_NextOutgoing - m_OldestUnacknowledged) & kSequenceMask; }
    // Packets sent since the peer was last heard from; a host paces its sending with it (more
    // than 6 lag the connection).
    int UnansweredSends() const { return m_UnansweredSends; }
    // Bytes the current packet can still take.
    int Room() const { return PacketLimits::kMax - m_Out[m_NextOutgoing].pPacket->Length(); }

protected:
    friend class CNetwork;
    friend class RemoteConnectionTest;

    void GoLive();
    void LagOut();
    void Die();
    void Connect();
    void SetAck(CPacket* packet);
    void SetupNextOutgoingPacket();
    void AcknowledgeSentPackets(int ack, int run);
    void HandleUnAcknowledged(int ack);
    void Control(CPacket* packet);
    // slot < 0: the current packet.
    void SendPacket(int slot);
    // The current packet is header only or the windows are empty.
    bool WindowsEmpty() const;
    double Now() const;
    void SendControl(int type);
    void FreeIn(int slot);
    void FreeOut(int slot);

    CNetwork* m_pNetwork;
    DWORD m_Address; // network order
    char m_AddressText[16];
    int m_Id;
    BYTE m_Expiring;
    int m_ConnectAttempts;
    int m_State;
    int m_Resends;
    int m_LagOuts;
    int m_PacketOverflows;
    double m_LagStart;
    double m_StartTime; // the connection's duration once dead
    double m_TotalBytesOut;
    double m_TotalBytesIn;
    int m_WindowBytesOut;
    int m_WindowBytesIn;
    float m_RecentBandwidthOut;
    float m_RecentBandwidthIn;
    double m_BandwidthWindowStart;
    int m_PingSamples;
    int m_WindowPingSamples;
    double m_PingSum;
    float m_WindowPingSum;
    float m_RecentPing;
    double m_PingWindowStart;
    double m_LastDataTime;
    double m_LastSendTime;
    COutPacketHandle m_Out[kWindow];
    int m_NextOutgoing;
    int m_OldestUnacknowledged;
    CInPacketHandle m_In[kWindow];
    int m_NextExpected;
    int m_NextToDeliver;
    int m_AckCursor;
    int m_UnansweredSends;
    // The packet Receive returned last, freed by the next Receive.
    CPacket* m_pDelivered;
    int m_RefusedMessages;
};
