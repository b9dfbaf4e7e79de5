#pragma once
// The engine's UDP endpoint for play between machines: one non-blocking socket on a port, up
// to 32 peers with the handshake that creates them, the discovery of the machine's own
// address, and a round-robin receive over all peers. Only the host program builds one; it
// calls Process once per frame and reacts to the connections Process returns.
#include <windows.h>

#include <winsock.h>

#include "engine/devices/CRemoteConnection.h"

class CNetwork {
public:
    enum { kMaxConnections = 32 };

    explicit CNetwork(int port);
    ~CNetwork();

    static bool PlatformNetworkInit();
    void CreateSocket(int port);
    void SetPort(int port);
    void SetAddress(DWORD address);
    // False when the socket could not be bound: the endpoint then sends and hears nothing.
    bool IsBound() const { return m_bBound; }

    void ConnectTo(const char* address);
    void ConnectTo(DWORD address);
    void AcceptConnections(bool accept) { m_bAccept = accept; }

    void Send(const void* data, int length, bool all);
    BYTE* Receive(int& length);
    CRemoteConnection* ReceivingFrom() const { return m_Connections[m_ReceiveCursor]; }
    void Flush();
    void Reset();

    void KillConnection(const char* address);
    void KillConnection(CRemoteConnection* connection);
    void KillConnections();
    void FreeDeadConnections();

    CRemoteConnection* GetConnection(DWORD address, int id);
    int GetiConnection(CRemoteConnection* connection);
    CRemoteConnection* GetNextConnection(CRemoteConnection* connection);
    int Lagged();
    DWORD IPAddress() const { return m_OwnAddress; }
    const char* IPAddressString() const { return m_OwnAddressText; }

    // A connection that changed (gave up connecting, or just became live), or null.
    CRemoteConnection* Process();

    double Now() const { return m_Now; }
    // Datagrams dropped because they were not valid packets, or named no connection.
    int DroppedDatagrams() const { return m_DroppedDatagrams; }

protected:
    friend class CRemoteConnection;

    CRemoteConnection* NewConnection(DWORD address, int id);
    void SendPacket(CPacket* packet, DWORD address, int id);
    void RefreshClock();
    // Sends a disconnect, frees the connection and empties its slot.
    void Remove(int slot);
    void Drain();
    // Handles one datagram in the receive buffer; returns a connection that just became live.
    CRemoteConnection* Dispatch(int size, DWORD source);

    SOCKET m_Socket;
    sockaddr_in* m_pSocketAddress;
    DWORD m_OwnAddress;
    CRemoteConnection* m_Connections[kMaxConnections];
    CPacket* m_pReceiveBuffer;
    bool m_bAccept;
    int m_ReceiveCursor;
    char m_OwnAddressText[16];
    BYTE m_NextId;
    double m_Now;
    // The random id of this endpoint's announce: the own address until the announce comes back.
    DWORD m_ProvisionalAddress;
    bool m_bBound;
    bool m_bInert; // built as a class prototype: owns nothing
    int m_DroppedDatagrams;
};
