#include "engine/devices/CRemoteConnection.h"

#include <stdio.h>
#include <string.h>

#include "core/output/ZOutput.h"
#include "engine/devices/CNetwork.h"

using namespace PacketLimits;

namespace {
// Unanswered sends beyond which a connection is lagged, and dead.
const int kLagUnanswered = 6;
const int kDeadUnanswered = 20;
// Outstanding packets that lag a connection.
const int kOutstandingLimit = 32;
// A packet sent this often without acknowledgement lags the connection when sent again.
const int kSendsBeforeLag = 3;
const int kResendCountdown = 2;
// Undelivered packets a connection holds at most: beyond them it takes nothing new until the
// host reads, so the incoming window can never wrap onto packets still waiting.
const int kReceiveLimit = 32;
const double kKeepAlive = 0.1;
const double kConnectRetry = 0.5;
const int kConnectAttempts = 4;
const double kBandwidthWindow = 5.0;
const double kPingWindow = 1.0;
const double kExpiry = 1.0;
// The last data time before any data arrived.
const double kUnset = -1.0;

int Wrap(int sequence) { return sequence & CRemoteConnection::kSequenceMask; }
} // namespace

CRemoteConnection::CRemoteConnection(CNetwork* network, DWORD address, int id)
    : m_pNetwork(network), m_Address(address), m_Id(id & 0x7F), m_Expiring(1), m_ConnectAttempts(0),
      m_State(CONNECTING), m_Resends(0), m_LagOuts(0), m_PacketOverflows(0), m_LagStart(0), m_StartTime(0),
      m_TotalBytesOut(0), m_TotalBytesIn(0), m_WindowBytesOut(0), m_WindowBytesIn(0), m_RecentBandwidthOut(0),
      m_RecentBandwidthIn(0), m_PingSamples(1), m_WindowPingSamples(1), m_PingSum(0), m_WindowPingSum(0),
      m_RecentPing(0), m_LastDataTime(kUnset), m_NextOutgoing(1), m_OldestUnacknowledged(1), m_NextExpected(1),
      m_NextToDeliver(1), m_AckCursor(0), m_UnansweredSends(0), m_pDelivered(nullptr), m_RefusedMessages(0)
{
    const BYTE* octets = reinterpret_cast<const BYTE*>(&m_Address);
    snprintf(m_AddressText, sizeof m_AddressText, "%d.%d.%d.%d", octets[0], octets[1], octets[2], octets[3]);
    memset(m_Out, 0, sizeof m_Out);
    memset(m_In, 0, sizeof m_In);
    const double now = Now();
    m_BandwidthWindowStart = now;
    m_PingWindowStart = now;
    m_LastSendTime = now;
    SetupNextOutgoingPacket();
}

CRemoteConnection::~CRemoteConnection()
{
    for (int i = 0; i < kWindow; ++i) {
        FreeOut(i);
        FreeIn(i);
    }
    delete m_pDelivered;
}

bool CRemoteConnection::Trailing(int a, int b)
{
    // Strictly before: a sequence does not trail itself, or nothing would ever be delivered.
    const int distance = Wrap(b - a);
    return distance >= 1 && distance < kWindow / 2;
}

double CRemoteConnection::Now() const { return m_pNetwork->Now(); }

void CRemoteConnection::FreeOut(int slot)
{
    delete m_Out[slot].pPacket;
    m_Out[slot].pPacket = nullptr;
    m_Out[slot].SendCount = 0;
    m_Out[slot].ResendCountdown = kResendCountdown;
}

void CRemoteConnection::FreeIn(int slot)
{
    delete m_In[slot].pPacket;
    m_In[slot].pPacket = nullptr;
}

void CRemoteConnection::SetupNextOutgoingPacket()
{
    COutPacketHandle& handle = m_Out[m_NextOutgoing];
    handle.SendCount = 0;
    handle.ResendCountdown = kResendCountdown;
    handle.SendTime = 0;
    handle.pPacket = new CPacket(m_NextOutgoing, Wrap(m_NextExpected - 1));
}

bool CRemoteConnection::Send(const void* data, int length)
{
    if (length > kPayload)
        vbail("Remote Connection : Message is too large.\n\n");
    if (length < 0)
        return false;
    if (length > Room()) {
        // A lagged or dead connection sends no data packet, so the current one stays full.
        if (m_State == LAGGED || m_State == DEAD) {
            ++m_RefusedMessages;
            return false;
        }
        SendPacket(-1);
        ++m_PacketOverflows;
    }
    m_Out[m_NextOutgoing].pPacket->Append(data, length);
    return true;
}

BYTE* CRemoteConnection::Receive(int& length)
{
    delete m_pDelivered;
    m_pDelivered = nullptr;
    length = 0;
    CInPacketHandle& handle = m_In[m_NextToDeliver];
    if (handle.pPacket == nullptr)
        return nullptr;
    m_pDelivered = handle.pPacket;
    handle.pPacket = nullptr;
    m_NextToDeliver = Wrap(m_NextToDeliver + 1);
    length = m_pDelivered->PayloadLength();
    return length > 0 ? m_pDelivered->Payload() : nullptr;
}

void CRemoteConnection::Flush()
{
    if (m_State == LIVE)
        SendPacket(-1);
}

int CRemoteConnection::Expiring(int value)
{
    if (value != 1234)
        m_Expiring = value != 0 ? 1 : 0;
    return m_Expiring;
}

float CRemoteConnection::TotalBandwidthOut() const
{
    const double seconds = ConnectionTime();
    return seconds > 0 ? static_cast<float>(m_TotalBytesOut / seconds) : 0.0f;
}

float CRemoteConnection::TotalBandwidthIn() const
{
    const double seconds = ConnectionTime();
    return seconds > 0 ? static_cast<float>(m_TotalBytesIn / seconds) : 0.0f;
}

double CRemoteConnection::ConnectionTime() const
{
    if (m_State == DEAD)
        return m_StartTime;
    return m_State == CONNECTING ? 0.0 : Now() - m_StartTime;
}

double CRemoteConnection::TimeSinceDataReceive() const
{
    return m_LastDataTime == kUnset ? 0.0 : Now() - m_LastDataTime;
}

double CRemoteConnection::LagTime() const { return m_State == LAGGED ? Now() - m_LagStart : 0.0; }

void CRemoteConnection::GoLive()
{
    if (m_State != CONNECTING)
        return;
    m_StartTime = Now();
    m_LastDataTime = m_StartTime;
    m_State = LIVE;
}

void CRemoteConnection::LagOut()
{
    if (m_State != CONNECTING && m_State != LIVE)
        return;
    m_LagStart = Now();
    ++m_LagOuts;
    m_State = LAGGED;
}

void CRemoteConnection::Die()
{
    if (m_State == DEAD)
        return;
    m_StartTime = Now() - m_StartTime;
    m_State = DEAD;
}

void CRemoteConnection::SendControl(int type)
{
    CPacket packet(type, -1);
    m_pNetwork->SendPacket(&packet, m_Address, m_Id);
}

void CRemoteConnection::Connect()
{
    SendControl(kConnect);
    ++m_ConnectAttempts;
    m_LastSendTime = Now();
}

bool CRemoteConnection::WindowsEmpty() const
{
    return m_OldestUnacknowledged == m_NextOutgoing && m_NextExpected == m_NextToDeliver;
}

void CRemoteConnection::SetAck(CPacket* packet)
{
    const int last = Wrap(m_NextExpected - 1);
    int slot = m_AckCursor;
    for (int step = 0; step < kWindow; ++step) {
        slot = Wrap(slot + 1);
        if (m_In[slot].pPacket != nullptr || slot == last)
            break;
    }
    int run = 0;
    if (slot == last || Trailing(slot, m_NextExpected)) {
        // Everything before the next expected packet arrived: one cumulative acknowledgement.
        m_AckCursor = last;
    } else {
        // A run received beyond a gap: name its last packet and its length, so that the peer
        // does not send those again; successive packets cycle through the runs.
        const int start = slot;
        run = 1;
        while (run < 15) {
            const int next = Wrap(slot + 1);
            if (m_In[next].pPacket == nullptr || next == m_NextExpected || Trailing(next, m_NextExpected))
                break;
            slot = next;
            ++run;
        }
        m_AckCursor = slot;
        for (int back = Wrap(start - 1); run < 15; back = Wrap(back - 1)) {
            if (m_In[back].pPacket == nullptr || back == last || Trailing(back, m_NextExpected))
                break;
            ++run;
        }
    }
    packet->SetAck(m_AckCursor, run);
    const double waited = (Now() - m_In[m_AckCursor].ReceiveTime) * 1000.0;
    packet->SetDelay(static_cast<WORD>(waited < 0 ? 0 : waited > 65535 ? 65535 : waited));
}

void CRemoteConnection::SendPacket(int slot)
{
    // A dead connection only answers with disconnects.
    if (m_State == DEAD)
        return;
    CPacket lagPacket(kLagging, -1);
    CPacket* packet;
    COutPacketHandle* handle = nullptr;
    if (slot < 0 && m_State == LAGGED) {
        // No window bookkeeping: the lagged side tells the peer whether it still waits for
        // anything, and its acknowledgement fields keep the peer's packets flowing.
        if (m_OldestUnacknowledged == m_NextOutgoing && m_NextExpected == m_NextToDeliver)
            lagPacket = CPacket(kLagProbe, -1);
        packet = &lagPacket;
    } else if (slot < 0) {
        handle = &m_Out[m_NextOutgoing];
        packet = handle->pPacket;
        m_NextOutgoing = Wrap(m_NextOutgoing + 1);
        if (m_Out[m_NextOutgoing].pPacket != nullptr)
            vbail("Remote Connection: Outgoing Buffer Overflow\n\n");
        SetupNextOutgoingPacket();
    } else {
        handle = &m_Out[slot];
        packet = handle->pPacket;
        if (packet == nullptr)
            return;
        if (handle->SendCount >= kSendsBeforeLag)
            LagOut();
    }

    SetAck(packet);
    m_pNetwork->SendPacket(packet, m_Address, m_Id);
    const double now = Now();
    if (handle != nullptr) {
        ++handle->SendCount;
        handle->SendTime = now;
    }
    m_LastSendTime = now;
    if (m_UnansweredSends > kDeadUnanswered)
        Die();
    else if (m_UnansweredSends > kLagUnanswered)
        LagOut();
    ++m_UnansweredSends;
    m_TotalBytesOut += packet->Length();
    m_WindowBytesOut += packet->Length();
}

void CRemoteConnection::AcknowledgeSentPackets(int ack, int run)
{
    // Only an acknowledgement between the oldest outstanding packet's predecessor and the last
    // packet sent names anything; a late one (reordered, or forged) must not free packets that
    // are still outstanding or the packet being filled.
    const int outstanding = Outstanding();
    const int reach = Wrap(ack - (m_OldestUnacknowledged - 1));
    if (reach <= outstanding) {
        if (run == 0 || ack == m_OldestUnacknowledged) {
            while (m_OldestUnacknowledged != Wrap(ack + 1)) {
                FreeOut(m_OldestUnacknowledged);
                m_OldestUnacknowledged = Wrap(m_OldestUnacknowledged + 1);
            }
        } else {
            for (int k = 0; k < run; ++k) {
                const int slot = Wrap(ack - k);
                if (Wrap(slot - m_OldestUnacknowledged) < outstanding)
                    m_Out[slot].SendCount = 0;
            }
        }
    }
    if (Outstanding() >= kOutstandingLimit)
        LagOut();
}

void CRemoteConnection::HandleUnAcknowledged(int ack)
{
    if (Wrap(ack - (m_OldestUnacknowledged - 1)) > Outstanding())
        return;
    bool resent = false;
    for (int slot = m_OldestUnacknowledged; slot != m_NextOutgoing; slot = Wrap(slot + 1)) {
        COutPacketHandle& handle = m_Out[slot];
        if (handle.pPacket == nullptr || handle.SendCount == 0 || !Trailing(slot, ack))
            continue;
        if (handle.ResendCountdown > 0) {
            --handle.ResendCountdown;
            continue;
        }
        handle.ResendCountdown = kResendCountdown;
        ++m_Resends;
        SendPacket(slot);
        resent = true;
    }
    if (m_State == LAGGED && !resent && Outstanding() > 0) {
        ++m_Resends;
        SendPacket(m_OldestUnacknowledged);
    }
}

void CRemoteConnection::Control(CPacket* packet)
{
    const int type = packet->Type();
    if (m_State == DEAD) {
        if (type != kDisconnect)
            SendControl(kDisconnect);
    } else if (type == kLagging) {
        LagOut();
        AcknowledgeSentPackets(packet->Ack(), packet->Run());
        HandleUnAcknowledged(packet->Ack());
    } else if (type == kLagProbe) {
        AcknowledgeSentPackets(packet->Ack(), packet->Run());
        HandleUnAcknowledged(packet->Ack());
        if (m_State != LAGGED || WindowsEmpty()) {
            SendControl(kCaughtUp);
            if (m_State == LAGGED)
                m_State = LIVE;
        }
    } else if (type == kCaughtUp) {
        if (m_State == LAGGED && WindowsEmpty())
            m_State = LIVE;
    } else if (type == kDisconnect) {
        Die();
    }
    delete packet;
}

bool CRemoteConnection::ReceivePacket(CPacket* packet)
{
    const double now = Now();
    m_TotalBytesIn += packet->Length();
    m_WindowBytesIn += packet->Length();
    m_UnansweredSends = 0;
    bool becameLive = false;
    if (m_State == CONNECTING) {
        GoLive();
        becameLive = true;
    }
    if (packet->IsControl()) {
        Control(packet);
        return becameLive;
    }
    if (packet->Length() > kHeader)
        m_LastDataTime = now;
    // A lagged connection still takes data: its acknowledgements are what end the lag.
    if (m_State == DEAD) {
        delete packet;
        return becameLive;
    }

    const int sequence = packet->Sequence();
    const int ack = packet->Ack();
    const COutPacketHandle& acked = m_Out[ack];
    if (acked.pPacket != nullptr && acked.SendCount == 1) {
        const double sample = now - acked.SendTime - packet->Delay() * 0.001;
        if (sample >= 0) {
            ++m_PingSamples;
            ++m_WindowPingSamples;
            m_PingSum += sample;
            m_WindowPingSum += static_cast<float>(sample);
        }
    }

    m_In[sequence].ReceiveTime = now;
    AcknowledgeSentPackets(ack, packet->Run());
    HandleUnAcknowledged(ack);
    if (Trailing(sequence, m_AckCursor))
        m_AckCursor = Wrap(sequence - 1);

    if (m_In[sequence].pPacket != nullptr || Trailing(sequence, m_NextExpected) ||
        Wrap(sequence - m_NextToDeliver) >= kReceiveLimit) {
        delete packet;
        return becameLive;
    }
    m_In[sequence].pPacket = packet;
    if (sequence == m_NextExpected)
        for (int step = 0; step < kWindow && m_In[m_NextExpected].pPacket != nullptr; ++step)
            m_NextExpected = Wrap(m_NextExpected + 1);
    return becameLive;
}

bool CRemoteConnection::Process()
{
    const double now = Now();
    if (m_State == CONNECTING) {
        if (now - m_LastSendTime > kConnectRetry) {
            if (m_ConnectAttempts >= kConnectAttempts) {
                Die();
                return true;
            }
            Connect();
            return false;
        }
    } else if (m_State != DEAD && now - m_LastSendTime > kKeepAlive) {
        SendPacket(-1);
    }

    if (now - m_BandwidthWindowStart > kBandwidthWindow) {
        m_RecentBandwidthOut = static_cast<float>(m_WindowBytesOut / kBandwidthWindow);
        m_RecentBandwidthIn = static_cast<float>(m_WindowBytesIn / kBandwidthWindow);
        m_WindowBytesOut = 0;
        m_WindowBytesIn = 0;
        m_BandwidthWindowStart = now;
    }
    if (now - m_PingWindowStart > kPingWindow) {
        m_RecentPing = m_WindowPingSum / static_cast<float>(m_WindowPingSamples);
        m_WindowPingSum = m_RecentPing;
        m_WindowPingSamples = 1;
        m_PingWindowStart = now;
    }
    if (m_Expiring && m_LastDataTime != kUnset && now - m_LastDataTime > kExpiry)
        m_pNetwork->KillConnection(this); // frees this connection
    return false;
}
