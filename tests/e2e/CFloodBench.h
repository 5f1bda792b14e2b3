// What the flood benchmarks share: datagrams paced on a thread of their own, and a second
// controller that sets the volume again and again and times each answer (the "Volume set to"
// text) while the flood runs, taking the gaps between status datagrams and counting the opens
// reported meanwhile.
#pragma once

#include <QByteArray>
#include <QUdpSocket>
#include <atomic>
#include <functional>
#include <vector>

class CFloodBench {
public:
    struct Figures {
        std::vector<double> answers; // ms from a volume command to its text
        double maxStatusGap = 0;     // ms between two status datagrams
        int nOpened = 0, nFailed = 0;
        int nStarted = 0; // "Playback started." texts
        double Worst() const;
        // The answer time that share (0..1) of the answers kept to.
        double Percentile(double dShare) const;
        void Add(const Figures &more);
    };

    // The i-th of nCount datagrams at i / nRate s, made by make, to the loopback port port(i)
    // gives.
    struct Paced {
        std::function<QByteArray(int)> make;
        std::function<int(int)> port;
        int nCount = 0;
        int nRate = 0;
    };

    // Sends them in time on the calling thread, so that nothing a test waits for can slow
    // them; running is false once the last has gone.
    static void SendPaced(const Paced &paced, std::atomic<bool> &running);
    // Volume commands to nCommandPort one after the other, each waiting for its answer, for
    // nMs (or while *pFlood holds); every datagram that arrives is looked at.
    static Figures Measure(QUdpSocket &listener, QUdpSocket &sender, int nCommandPort, int nMs,
                           std::atomic<bool> *pFlood);
    static void Drain(QUdpSocket &listener);
    // The figures while paced runs, and those of the nTailMs after it (in *pTail, too): what
    // the flood left to do is its work as well.
    static Figures FloodWhileMeasuring(QUdpSocket &listener, QUdpSocket &sender, int nCommandPort,
                                       const Paced &paced, int nTailMs = 2000,
                                       Figures *pTail = nullptr);
};
