// The media-framework check: the decision rule over a release table of the test's own against
// made-up system directories, and the program's GStreamer table against this machine.
#include "playback/CDirectXCheck.h"
#include "playback/CGstVersionSource.h"
#include "support/CScriptedModalUI.h"

#include <gtest/gtest.h>
#include <map>

namespace {

class CFakeVersionSource : public CFileVersionSource {
public:
    bool GetSystemDirectory(std::string &strDir) override {
        strDir = "C:\\WINDOWS\\system32";
        return m_bHasDirectory;
    }
    bool ReadFileVersion(const std::string &strPath, uint64_t &nVersion) override {
        ++m_reads[strPath];
        auto it = m_files.find(strPath);
        if (it == m_files.end())
            return false;
        nVersion = it->second;
        return true;
    }
    void Put(const std::string &strFile, uint64_t nVersion) {
        m_files["C:\\WINDOWS\\system32" + strFile] = nVersion;
    }

    bool m_bHasDirectory = true;
    std::map<std::string, uint64_t> m_files;
    std::map<std::string, int> m_reads;
};

constexpr uint64_t FV(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
    return CDirectXCheck::FileVersion(a, b, c, d);
}

// Sixteen releases of a runtime found by the versions of its libraries: every kind of test,
// files shared between rows, and later rows that need less than earlier ones.
const std::vector<CDirectXCheck::ProbeRow> &ReleaseTable() {
    using Test = CDirectXCheck::VersionTest;
    const auto atLeast = [](uint64_t nMin) { return Test{Test::AT_LEAST, nMin, 0, 0}; };
    const auto byMajor = [](uint64_t nMin4, uint64_t nMin5) {
        return Test{Test::AT_LEAST_BY_MAJOR, 0, nMin4, nMin5};
    };
    const auto V = [](uint32_t nMajor, uint32_t nMinor, uint32_t nLetter = 0) {
        return CDirectXCheck::Version(nMajor, nMinor, nLetter);
    };
    static const std::vector<CDirectXCheck::ProbeRow> table = {
        {{"\\ddraw.dll"}, atLeast(FV(4, 2, 0, 95)), V(1, 0)},
        {{"\\ddraw.dll"}, atLeast(FV(4, 3, 0, 1096)), V(2, 0)},
        {{"\\ddraw.dll"}, atLeast(FV(4, 4, 0, 68)), V(3, 0)},
        {{"\\d3drg8x.dll"}, atLeast(FV(4, 4, 0, 70)), V(3, 0, 1)},
        {{"\\ddraw.dll"}, atLeast(FV(4, 5, 0, 155)), V(5, 0)},
        {{"\\ddraw.dll"}, atLeast(FV(4, 6, 0, 318)), V(6, 0)},
        {{"\\ddraw.dll"}, atLeast(FV(4, 6, 0, 436)), V(6, 1)},
        {{"\\dplayx.dll"}, atLeast(FV(4, 6, 3, 518)), V(6, 1, 1)},
        {{"\\ddraw.dll"}, atLeast(FV(4, 7, 0, 700)), V(7, 0)},
        {{"\\dinput.dll"}, atLeast(FV(4, 7, 0, 716)), V(7, 0, 1)},
        {{"\\ddraw.dll"}, byMajor(FV(4, 8, 0, 400), FV(5, 1, 2258, 400)), V(8, 0)},
        {{"\\d3d8.dll"}, byMajor(FV(4, 8, 1, 881), FV(5, 1, 2600, 881)), V(8, 1)},
        {{"\\d3d8.dll"}, byMajor(FV(4, 8, 1, 901), FV(5, 1, 2600, 901)), V(8, 1, 1)},
        {{"\\mpg2splt.ax"}, atLeast(FV(6, 3, 1, 885)), V(8, 1, 2)},
        {{"\\dpnet.dll"}, byMajor(FV(4, 9, 0, 134), FV(5, 2, 3677, 134)), V(8, 2)},
        {{"\\d3d9.dll"}, {Test::READABLE, 0, 0, 0}, V(9, 0)},
    };
    return table;
}

class DirectXCheckTest : public ::testing::Test {
protected:
    uint32_t Query() {
        CDirectXCheck check(m_source, ReleaseTable(), m_ui);
        uint32_t nVersion = 0xdead;
        EXPECT_TRUE(check.QueryDirectXVersion(nVersion));
        return nVersion;
    }
    bool Check() {
        CDirectXCheck check(m_source, ReleaseTable(), m_ui);
        return check.CheckDirectXVersion(CDirectXCheck::VERSION_9_0);
    }

    CFakeVersionSource m_source;
    CScriptedModalUI m_ui;
};

} // namespace

TEST_F(DirectXCheckTest, ReadableD3d9WinsWhateverElseIsThere) {
    m_source.Put("\\d3d9.dll", 0);
    EXPECT_EQ(Query(), 0x90000u);
    m_source.Put("\\ddraw.dll", FV(4, 2, 0, 95));
    m_source.Put("\\dpnet.dll", FV(5, 2, 3677, 134));
    EXPECT_EQ(Query(), 0x90000u);
    EXPECT_TRUE(Check());
    EXPECT_TRUE(m_ui.m_boxes.empty());
}

TEST_F(DirectXCheckTest, OlderReleaseFailsTheCheckWithoutABox) {
    m_source.Put("\\dpnet.dll", FV(5, 2, 3677, 134));
    EXPECT_EQ(Query(), 0x80200u);
    EXPECT_FALSE(Check());
    EXPECT_TRUE(m_ui.m_boxes.empty());
    m_source.Put("\\dpnet.dll", FV(5, 2, 3677, 133));
    EXPECT_EQ(Query(), 0u);
}

TEST_F(DirectXCheckTest, ThresholdsAreInclusiveAndPerRow) {
    m_source.Put("\\d3d8.dll", FV(4, 8, 1, 900));
    EXPECT_EQ(Query(), 0x80100u); // row 12 met, row 13 not
    m_source.Put("\\d3d8.dll", FV(4, 8, 1, 901));
    EXPECT_EQ(Query(), 0x80101u);
    m_source.Put("\\mpg2splt.ax", FV(6, 3, 1, 885));
    EXPECT_EQ(Query(), 0x80102u);
}

TEST_F(DirectXCheckTest, FirstPartDecidesWhichThresholdApplies) {
    m_source.Put("\\ddraw.dll", FV(5, 1, 2258, 399));
    EXPECT_EQ(Query(), 0x70000u);
    m_source.Put("\\ddraw.dll", FV(5, 1, 2258, 400));
    EXPECT_EQ(Query(), 0x80000u);
    // A 6.x file is above both thresholds yet matches neither first part.
    m_source.Put("\\ddraw.dll", FV(6, 0, 0, 0));
    EXPECT_EQ(Query(), 0x70000u);
}

TEST_F(DirectXCheckTest, LaterPassingRowOverridesEvenALowerResult) {
    // Row 10 (7.0a) passes, row 11 fails: the result is the last row that passed.
    m_source.Put("\\ddraw.dll", FV(4, 7, 0, 700));
    m_source.Put("\\dinput.dll", FV(4, 7, 0, 716));
    EXPECT_EQ(Query(), 0x70001u);
    // Only an early row's file passes: its result stands alone.
    m_source.m_files.clear();
    m_source.Put("\\d3drg8x.dll", FV(4, 4, 0, 70));
    EXPECT_EQ(Query(), 0x30001u);
}

TEST_F(DirectXCheckTest, EachRowReadsItsFileAnew) {
    m_source.Put("\\ddraw.dll", FV(4, 9, 0, 0));
    Query();
    EXPECT_EQ(m_source.m_reads["C:\\WINDOWS\\system32\\ddraw.dll"], 8);
}

TEST_F(DirectXCheckTest, NothingFoundShowsTheBoxAndFails) {
    EXPECT_EQ(Query(), 0u);
    EXPECT_FALSE(Check());
    ASSERT_EQ(m_ui.m_boxes.size(), 1u);
    EXPECT_EQ(m_ui.m_boxes[0].text, "DirectX not installed");
    EXPECT_EQ(m_ui.m_boxes[0].caption, "DirectX Version:");
    EXPECT_EQ(m_ui.m_boxes[0].icon, CModalUI::ICON_INFORMATION);
}

TEST_F(DirectXCheckTest, NoSystemDirectoryMeansNothingFound) {
    m_source.Put("\\d3d9.dll", 0);
    m_source.m_bHasDirectory = false;
    EXPECT_EQ(Query(), 0u);
    EXPECT_TRUE(m_source.m_reads.empty());
    EXPECT_FALSE(Check());
    EXPECT_EQ(m_ui.m_boxes.size(), 1u);
}

TEST(GStreamerCheck, ThisMachineRunsThePlayer) {
    CGstVersionSource source;
    CScriptedModalUI ui;
    CDirectXCheck check(source, CDirectXCheck::GStreamerProbeTable(), ui);
    uint32_t nVersion = 0;
    testing::internal::CaptureStderr();
    check.QueryDirectXVersion(nVersion);
    EXPECT_EQ(nVersion, 0x90000u);
    EXPECT_TRUE(check.CheckDirectXVersion(CDirectXCheck::VERSION_9_0));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "no element is missing";
    EXPECT_TRUE(ui.m_boxes.empty());
}

TEST(GStreamerCheck, AMissingElementMakesTheFrameworkTooOld) {
    CFakeVersionSource source;
    for (const char *psz :
         {"/gstreamer", "/playbin", "/appsink", "/videoconvert", "/videoscale", "/audiopanorama"})
        source.Put(psz, FV(1, 22, 0, 0));
    CScriptedModalUI ui;
    CDirectXCheck check(source, CDirectXCheck::GStreamerProbeTable(), ui);
    uint32_t nVersion = 0;
    check.QueryDirectXVersion(nVersion);
    EXPECT_EQ(nVersion, 0x80000u); // imagefreeze is missing
    source.Put("/imagefreeze", FV(1, 22, 0, 0));
    source.Put("/gstreamer", FV(1, 20, 3, 0));
    check.QueryDirectXVersion(nVersion);
    EXPECT_EQ(nVersion, 0x80000u); // core too old for the full row
    source.Put("/gstreamer", FV(1, 14, 0, 0));
    EXPECT_FALSE(check.CheckDirectXVersion(CDirectXCheck::VERSION_9_0));
    EXPECT_TRUE(ui.m_boxes.empty());
}

TEST(GStreamerCheck, RealSourceReportsMissingElementsAndParsesVersions) {
    CGstVersionSource source;
    uint64_t nVersion = 0;
    // A missing element is named on stderr, once however often it is asked for.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(source.ReadFileVersion("gstreamer-1.0/no-such-element", nVersion));
    EXPECT_FALSE(source.ReadFileVersion("gstreamer-1.0/no-such-element", nVersion));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Missing GStreamer element: no-such-element\n");
    // Whoever has to install a missing element is told the package.
    for (const auto &row : CDirectXCheck::GStreamerProbeTable()) {
        for (const std::string &strPath : row.files) {
            if (strPath != "/gstreamer") {
                EXPECT_STRNE(CGstVersionSource::DebianPackageOf(strPath.substr(1)), "") << strPath;
            }
        }
    }
    testing::internal::CaptureStderr();
    CGstVersionSource::ReportMissingElement("imagefreeze");
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        "Missing GStreamer element: imagefreeze (Debian package gstreamer1.0-plugins-good)\n");
    ASSERT_TRUE(source.ReadFileVersion("gstreamer-1.0/playbin", nVersion));
    EXPECT_GE(nVersion, FV(1, 22, 0, 0));

    EXPECT_TRUE(CGstVersionSource::ParseVersion("1.22.0", nVersion));
    EXPECT_EQ(nVersion, FV(1, 22, 0, 0));
    EXPECT_TRUE(CGstVersionSource::ParseVersion("1.22.0.1", nVersion));
    EXPECT_EQ(nVersion, FV(1, 22, 0, 1));
    EXPECT_FALSE(CGstVersionSource::ParseVersion("1.22", nVersion));
    EXPECT_FALSE(CGstVersionSource::ParseVersion("70000.1.0", nVersion));
    EXPECT_FALSE(CGstVersionSource::ParseVersion(nullptr, nVersion));
}
