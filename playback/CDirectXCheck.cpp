#include "playback/CDirectXCheck.h"

CDirectXCheck::CDirectXCheck(CFileVersionSource &source, std::vector<ProbeRow> table, CModalUI &ui)
    : m_source(source), m_table(std::move(table)), m_ui(ui) {}

bool CDirectXCheck::TestPasses(const VersionTest &test, uint64_t nVersion) {
    switch (test.kind) {
    case VersionTest::AT_LEAST:
        return nVersion >= test.nMin;
    case VersionTest::AT_LEAST_BY_MAJOR: {
        const uint64_t nFirst = nVersion >> 48;
        return (nFirst == 4 && nVersion >= test.nMin4) || (nFirst == 5 && nVersion >= test.nMin5);
    }
    case VersionTest::READABLE:
        return true;
    }
    return false;
}

bool CDirectXCheck::ReadFileVersion(const std::string &strPath, uint64_t &nVersion) {
    return m_source.ReadFileVersion(strPath, nVersion);
}

bool CDirectXCheck::QueryDirectXVersion(uint32_t &nVersion) {
    nVersion = 0;
    std::string strDir;
    if (!m_source.GetSystemDirectory(strDir))
        return true;
    for (const ProbeRow &row : m_table) {
        bool bPasses = !row.files.empty();
        // Every row reads its files anew, even when the previous row read the same one.
        for (const std::string &strFile : row.files) {
            uint64_t nFileVersion = 0;
            if (!ReadFileVersion(strDir + strFile, nFileVersion) ||
                !TestPasses(row.test, nFileVersion)) {
                bPasses = false;
                break;
            }
        }
        if (bPasses)
            nVersion = row.nResult;
    }
    return true;
}

bool CDirectXCheck::CheckDirectXVersion(uint32_t nMinimum) {
    uint32_t nVersion = 0;
    QueryDirectXVersion(nVersion);
    if (nVersion >= nMinimum)
        return true;
    if (nVersion == 0)
        m_ui.MessageBox(nullptr, "DirectX not installed", "DirectX Version:", CModalUI::MB_OK,
                        CModalUI::ICON_INFORMATION);
    return false;
}

namespace {

using Row = CDirectXCheck::ProbeRow;
using Test = CDirectXCheck::VersionTest;

Test AtLeast(uint64_t nMin) {
    return {Test::AT_LEAST, nMin, 0, 0};
}
constexpr uint64_t FV(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
    return CDirectXCheck::FileVersion(a, b, c, d);
}
constexpr uint32_t V(uint32_t nMajor, uint32_t nMinor, uint32_t nLetter = 0) {
    return CDirectXCheck::Version(nMajor, nMinor, nLetter);
}

} // namespace

// Any GStreamer 1.x counts as installed but too old; 1.22 with every element the player
// builds its pipelines from is what the player was made for.
const std::vector<CDirectXCheck::ProbeRow> &CDirectXCheck::GStreamerProbeTable() {
    static const std::vector<Row> table = {
        {{"/gstreamer"}, AtLeast(FV(1, 0, 0, 0)), V(1, 0)},
        {{"/gstreamer"}, AtLeast(FV(1, 16, 0, 0)), V(8, 0)},
        {{"/gstreamer", "/playbin", "/appsink", "/videoconvert", "/videoscale", "/audiopanorama",
          "/imagefreeze"},
         AtLeast(FV(1, 22, 0, 0)),
         V(9, 0)},
    };
    return table;
}
