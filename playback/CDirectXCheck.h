// Decides whether the installed media framework is new enough to run the players: probes
// file versions against a table of release thresholds and keeps the newest release met.
#pragma once

#include "core/CModalUI.h"
#include "playback/CFileVersionSource.h"

#include <cstdint>
#include <string>
#include <vector>

class CDirectXCheck {
public:
    struct VersionTest {
        enum Kind {
            AT_LEAST,          // version >= nMin
            AT_LEAST_BY_MAJOR, // major 4 and >= nMin4, or major 5 and >= nMin5
            READABLE           // any readable version
        };
        Kind kind;
        uint64_t nMin;
        uint64_t nMin4;
        uint64_t nMin5;
    };
    // A row passes when every one of its files is readable and passes the test; a passing
    // row overrides whatever earlier rows found.
    struct ProbeRow {
        std::vector<std::string> files;
        VersionTest test;
        uint32_t nResult;
    };

    static constexpr uint32_t VERSION_9_0 = 0x90000;

    CDirectXCheck(CFileVersionSource &source, std::vector<ProbeRow> table, CModalUI &ui);

    // True when the installed version is at least nMinimum; tells the operator when no
    // version at all was found.
    bool CheckDirectXVersion(uint32_t nMinimum);
    // Always succeeds; 0 when nothing was found.
    bool QueryDirectXVersion(uint32_t &nVersion);
    bool ReadFileVersion(const std::string &strPath, uint64_t &nVersion);

    static bool TestPasses(const VersionTest &test, uint64_t nVersion);
    static constexpr uint64_t FileVersion(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
        return (a << 48) | (b << 32) | (c << 16) | d;
    }
    static constexpr uint32_t Version(uint32_t nMajor, uint32_t nMinor, uint32_t nLetter = 0) {
        return ((nMajor * 256 + nMinor) * 256) + nLetter;
    }

    // The release thresholds over GStreamer: the core version and the elements the player
    // needs, read through CGstVersionSource.
    static const std::vector<ProbeRow> &GStreamerProbeTable();

private:
    CFileVersionSource &m_source;
    std::vector<ProbeRow> m_table;
    CModalUI &m_ui;
};
