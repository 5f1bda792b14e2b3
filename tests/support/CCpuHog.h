// For the benchmarks' load mode: one busy process per processor at normal priority, as other
// programs on a shared machine would be, for as long as the hog lives. Header only: benchmarks
// in several folders use it, and it has nothing to link.
#pragma once

#include <QByteArray>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class CCpuHog {
public:
    // Whether the benchmark runs under load: TESSARO_BENCH_HOG=1.
    static bool Wanted() { return qgetenv("TESSARO_BENCH_HOG") == "1"; }

    CCpuHog() {
        const unsigned nCores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < nCores; ++i) {
            const pid_t nPid = fork();
            if (nPid == 0) {
                volatile unsigned long nSpins = 0;
                for (;;)
                    nSpins = nSpins + 1;
            }
            if (nPid > 0)
                m_children.push_back(nPid);
        }
    }
    ~CCpuHog() {
        for (pid_t nPid : m_children)
            kill(nPid, SIGKILL);
        for (pid_t nPid : m_children)
            waitpid(nPid, nullptr, 0);
    }
    CCpuHog(const CCpuHog &) = delete;
    CCpuHog &operator=(const CCpuHog &) = delete;

    int Count() const { return int(m_children.size()); }

private:
    std::vector<pid_t> m_children;
};
