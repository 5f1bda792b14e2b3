// A UDP relay on loopback that delays every datagram, each way, by a random time in
// [mean - jitter, mean + jitter]: the network between machines of a show, where netem is not
// available. Clients send to the relay's address; it forwards from a socket of its own per
// client, so the server's answers come back the same way. Runs on its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class CDelayRelay {
public:
    ~CDelayRelay() { Stop(); }
    // Listens on strAddress at each of the ports and forwards to strServer at the same port.
    bool Start(const std::string &strAddress, const std::string &strServer,
               const std::vector<int> &ports, double dMeanMs, double dJitterMs);
    void Stop();
    uint64_t Forwarded() const { return m_nForwarded.load(); }

private:
    void Run();

    std::string m_strAddress, m_strServer;
    std::vector<int> m_ports;
    std::vector<int> m_fronts;
    double m_dMeanMs = 0, m_dJitterMs = 0;
    std::atomic<bool> m_bRun{false};
    std::atomic<uint64_t> m_nForwarded{0};
    std::thread m_thread;
};
