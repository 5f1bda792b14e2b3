#include "CDelayRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <queue>
#include <random>
#include <tuple>

namespace {

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int BoundSocket(const std::string &strAddress, int nPort) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(nPort));
    inet_pton(AF_INET, strAddress.c_str(), &sa.sin_addr);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

struct Pending {
    int64_t nDue;
    int fd;
    sockaddr_in to;
    std::vector<char> data;
    bool operator>(const Pending &other) const { return nDue > other.nDue; }
};

} // namespace

bool CDelayRelay::Start(const std::string &strAddress, const std::string &strServer,
                        const std::vector<int> &ports, double dMeanMs, double dJitterMs) {
    m_strAddress = strAddress;
    m_strServer = strServer;
    m_ports = ports;
    m_dMeanMs = dMeanMs;
    m_dJitterMs = dJitterMs;
    for (int nPort : ports) {
        const int fd = BoundSocket(strAddress, nPort);
        if (fd < 0)
            return false;
        m_fronts.push_back(fd);
    }
    m_bRun = true;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CDelayRelay::Stop() {
    m_bRun = false;
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : m_fronts)
        close(fd);
    m_fronts.clear();
}

void CDelayRelay::Run() {
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> delay(m_dMeanMs - m_dJitterMs, m_dMeanMs + m_dJitterMs);
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> queue;
    // Per client (front index, address, port): the socket that speaks for it to the server.
    std::map<std::tuple<size_t, uint32_t, uint16_t>, int> backs;
    struct Back {
        size_t nFront;
        sockaddr_in client;
    };
    std::map<int, Back> backOwners;
    char buffer[65536];
    while (m_bRun) {
        std::vector<pollfd> fds;
        for (int fd : m_fronts)
            fds.push_back({fd, POLLIN, 0});
        for (const auto &[fd, owner] : backOwners)
            fds.push_back({fd, POLLIN, 0});
        int nTimeout = 5;
        if (!queue.empty())
            nTimeout = int(std::max<int64_t>(0, (queue.top().nDue - NowNs()) / 1000000));
        poll(fds.data(), fds.size(), std::min(nTimeout, 5));
        for (const pollfd &p : fds) {
            if (!(p.revents & POLLIN))
                continue;
            sockaddr_in from = {};
            socklen_t nFrom = sizeof from;
            const ssize_t n = recvfrom(p.fd, buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr *>(&from), &nFrom);
            if (n < 0)
                continue;
            Pending out;
            out.nDue = NowNs() + int64_t(delay(random) * 1e6);
            out.data.assign(buffer, buffer + n);
            if (const auto owner = backOwners.find(p.fd); owner != backOwners.end()) {
                out.fd = m_fronts[owner->second.nFront];
                out.to = owner->second.client;
            } else {
                size_t nFront = 0;
                while (m_fronts[nFront] != p.fd)
                    ++nFront;
                const auto key = std::make_tuple(nFront, from.sin_addr.s_addr, from.sin_port);
                int &back = backs[key];
                if (back == 0) {
                    back = BoundSocket(m_strAddress, 0);
                    backOwners[back] = {nFront, from};
                }
                out.fd = back;
                out.to = {};
                out.to.sin_family = AF_INET;
                out.to.sin_port = htons(uint16_t(m_ports[nFront]));
                inet_pton(AF_INET, m_strServer.c_str(), &out.to.sin_addr);
            }
            queue.push(std::move(out));
        }
        while (!queue.empty() && queue.top().nDue <= NowNs()) {
            const Pending &p = queue.top();
            sendto(p.fd, p.data.data(), p.data.size(), 0, reinterpret_cast<const sockaddr *>(&p.to),
                   sizeof p.to);
            ++m_nForwarded;
            queue.pop();
        }
    }
    for (const auto &[fd, owner] : backOwners)
        close(fd);
}
