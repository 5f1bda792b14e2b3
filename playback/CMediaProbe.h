// What the playlist asks of a file it adds: its title and its length, read without showing or
// playing it. The probe opens the file in a player of its own and lets it go again at once.
// UI thread only.
#pragma once

#include <QString>
#include <memory>

class CPlayerBase;

class CMediaProbe {
public:
    // The probe over the media framework.
    static std::unique_ptr<CMediaProbe> Create();

    // Probes with the given player (a scripted one in tests).
    explicit CMediaProbe(std::unique_ptr<CPlayerBase> pPlayer);
    ~CMediaProbe();
    CMediaProbe(const CMediaProbe &) = delete;
    CMediaProbe &operator=(const CMediaProbe &) = delete;

    // False when the file does not open. The title is empty when the file names none.
    bool Probe(const QString &strPath, QString &strTitle, int &nLengthMs);

private:
    std::unique_ptr<CPlayerBase> m_pPlayer;
};
