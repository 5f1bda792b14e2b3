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
Test ByMajor(uint64_t nMin4, uint64_t nMin5) {
    return {Test::AT_LEAST_BY_MAJOR, 0, nMin4, nMin5};
}
constexpr uint64_t FV(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
    return CDirectXCheck::FileVersion(a, b, c, d);
}
constexpr uint32_t V(uint32_t nMajor, uint32_t nMinor, uint32_t nLetter = 0) {
    return CDirectXCheck::Version(nMajor, nMinor, nLetter);
}

} // namespace

const std::vector<CDirectXCheck::ProbeRow> &CDirectXCheck::DirectXProbeTable() {
    static const std::vector<Row> table = {
        {{"\\ddraw.dll"}, AtLeast(FV(4, 2, 0, 95)), V(1, 0)},
        {{"\\ddraw.dll"}, AtLeast(FV(4, 3, 0, 1096)), V(2, 0)},
        {{"\\ddraw.dll"}, AtLeast(FV(4, 4, 0, 68)), V(3, 0)},
        {{"\\d3drg8x.dll"}, AtLeast(FV(4, 4, 0, 70)), V(3, 0, 1)},
        {{"\\ddraw.dll"}, AtLeast(FV(4, 5, 0, 155)), V(5, 0)},
        {{"\\ddraw.dll"}, AtLeast(FV(4, 6, 0, 318)), V(6, 0)},
        {{"\\ddraw.dll"}, AtLeast(FV(4, 6, 0, 436)), V(6, 1)},
        {{"\\dplayx.dll"}, AtLeast(FV(4, 6, 3, 518)), V(6, 1, 1)},
        {{"\\ddraw.dll"}, AtLeast(FV(4, 7, 0, 700)), V(7, 0)},
        {{"\\dinput.dll"}, AtLeast(FV(4, 7, 0, 716)), V(7, 0, 1)},
        {{"\\ddraw.dll"}, ByMajor(FV(4, 8, 0, 400), FV(5, 1, 2258, 400)), V(8, 0)},
        {{"\\d3d8.dll"}, ByMajor(FV(4, 8, 1, 881), FV(5, 1, 2600, 881)), V(8, 1)},
        {{"\\d3d8.dll"}, ByMajor(FV(4, 8, 1, 901), FV(5, 1, 2600, 901)), V(8, 1, 1)},
        {{"\\mpg2splt.ax"}, AtLeast(FV(6, 3, 1, 885)), V(8, 1, 2)},
        {{"\\dpnet.dll"}, ByMajor(FV(4, 9, 0, 134), FV(5, 2, 3677, 134)), V(8, 2)},
        {{"\\d3d9.dll"}, {Test::READABLE, 0, 0, 0}, V(9, 0)},
    };
    return table;
}

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
