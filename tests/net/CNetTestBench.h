// Loopback rig for network tests: a command sender, a status listener on 127.0.0.1, and an
// event-loop wait, so tests drive the real server through real sockets.
#pragma once

#include "remote/protocol/CNetDatagram.h"

#include <QByteArray>
#include <QString>
#include <QUdpSocket>

#include <functional>
#include <string>
#include <vector>

class CNetTestBench {
public:
    // Runs the event loop until cond holds or nMs pass; returns cond().
    static bool WaitFor(const std::function<bool()> &cond, int nMs = 3000);
    // Runs the event loop for nMs.
    static void Spin(int nMs);

    // Re-runs this test program, filtered to one test, in a fresh network namespace whose one
    // interface is loopback (with the limited broadcast routed onto it). Returns the child's
    // exit code, or SKIPPED where no namespace can be made (unshare -n needs root).
    static constexpr int SKIPPED = 77;
    static int RunInPrivateNamespace(const char *pszTestName, QString &strOutput,
                                     int nTimeoutMs = 60000);
    // True in the child that RunInPrivateNamespace started.
    static bool InPrivateNamespace();

    // The kernel's count of UDP datagrams dropped for a full receive buffer, machine-wide; -1
    // where it cannot be read.
    static long UdpReceiveBufferErrors();

    static QByteArray Command(int32_t nPlayerId, int32_t nCode, int32_t nValue = 0,
                              const char *pszText = nullptr);
    // One OSC message as client software builds it (with liblo): each of 'i', 'h', 'f' and 'd'
    // in pszTypes adds d as that type, 'T' and 'F' true and false, 's' adds psz.
    static QByteArray OscMessage(const char *pszPath, const char *pszTypes = "", double d = 0,
                                 const char *psz = nullptr);

    explicit CNetTestBench(int nCommandPort) : m_nCommandPort(nCommandPort) {}

    void Send(const QByteArray &datagram);
    void SendCommand(int32_t nPlayerId, int32_t nCode, int32_t nValue = 0,
                     const char *pszText = nullptr) {
        Send(Command(nPlayerId, nCode, nValue, pszText));
    }

    bool Listen(int nStatusPort);
    // Raw datagrams that arrived at the listener so far (waiting up to nMs for at least nMin).
    std::vector<QByteArray> Received(size_t nMin = 0, int nMs = 2000);
    std::vector<CNetDatagram::Message> Messages(size_t nMin = 0, int nMs = 2000);

private:
    int m_nCommandPort;
    QUdpSocket m_sender;
    QUdpSocket m_listener;
    std::vector<QByteArray> m_received;
};
