#include "remote/CDMXEventSet.h"
#include "remote/CDMXInput.h"
#include "support/CLogCapture.h"
#include "support/CManualTickClock.h"

#include <QTemporaryDir>
#include <chrono>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono;
using namespace TridenaFormat;

namespace {

QString FakeDir(const char *pszVariant) {
    return QString(DMX_FAKES_DIR) + "/" + pszVariant;
}

std::vector<std::string> Texts(const CLogCapture &capture) {
    std::vector<std::string> v;
    for (const auto &line : capture.Lines())
        v.push_back(line.text);
    return v;
}

template <typename Pred> bool WaitUntil(Pred pred, milliseconds timeout = milliseconds(2000)) {
    const auto end = steady_clock::now() + timeout;
    while (!pred()) {
        if (steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

struct RawBatch {
    uint8_t header[HEADER_SIZE] = {};
    std::vector<uint8_t> data;
};

// Frames back to back with their lengths in the descriptors, as a library writes them.
RawBatch MakeBatch(const std::vector<std::vector<uint8_t>> &frames, uint16_t nExtra = 0) {
    RawBatch batch;
    batch.header[0] = static_cast<uint8_t>(nExtra & 0xFF);
    batch.header[1] = static_cast<uint8_t>(nExtra >> 8);
    batch.header[HEADER_FRAME_COUNT] = static_cast<uint8_t>(frames.size());
    for (size_t i = 0; i < frames.size() && i < MAX_FRAMES; ++i) {
        uint8_t *pDescriptor = batch.header + HEADER_DESCRIPTORS + i * DESCRIPTOR_SIZE;
        pDescriptor[2] = static_cast<uint8_t>(frames[i].size() & 0xFF);
        pDescriptor[3] = static_cast<uint8_t>(frames[i].size() >> 8);
        batch.data.insert(batch.data.end(), frames[i].begin(), frames[i].end());
    }
    return batch;
}

std::vector<uint8_t> Frame(size_t nLength, uint8_t nLevel) {
    return std::vector<uint8_t>(nLength, nLevel);
}

// A fake library, held open by the test with a count of its own, so that its queue and counters
// outlive the driver's Close (QLibrary objects of one file share one load, undone by any unload).
class ScriptedLibrary {
public:
    explicit ScriptedLibrary(const char *pszVariant = "scripted")
        : m_pHandle(dlopen(qPrintable(FakeDir(pszVariant) + "/" + CTridenaDriver::LIBRARY_PATH),
                           RTLD_NOW)) {
        EXPECT_NE(m_pHandle, nullptr) << dlerror();
        m_pQueue = reinterpret_cast<QueueFn>(dlsym(m_pHandle, "FakeQueueBatch"));
        m_pCalls = reinterpret_cast<IntFn>(dlsym(m_pHandle, "FakeGetFrameCalls"));
        m_pQueued = reinterpret_cast<IntFn>(dlsym(m_pHandle, "FakeQueuedBatches"));
        m_pLastSign = reinterpret_cast<IntFn>(dlsym(m_pHandle, "FakeLastSign"));
        reinterpret_cast<void (*)()>(dlsym(m_pHandle, "FakeReset"))();
    }
    ~ScriptedLibrary() { dlclose(m_pHandle); }

    void Queue(const RawBatch &batch) {
        m_pQueue(batch.header, batch.data.data(), static_cast<int>(batch.data.size()));
    }
    int GetFrameCalls() { return m_pCalls(); }
    int Queued() { return m_pQueued(); }
    int LastSign() { return m_pLastSign(); }

private:
    using QueueFn = void (*)(const uint8_t *, const uint8_t *, int);
    using IntFn = int (*)();
    void *m_pHandle;
    QueueFn m_pQueue = nullptr;
    IntFn m_pCalls = nullptr;
    IntFn m_pQueued = nullptr;
    IntFn m_pLastSign = nullptr;
};

class ScriptedDMX : public ::testing::Test {
protected:
    ScriptedDMX() {
        m_Clock.m_nTicks = 50000;
        // The first statistics tick is taken before anything is queued: taken by a test's
        // first Poll, it would count whatever the thread had fetched by then.
        m_pInput->Poll();
    }

    // Polls until the realtime thread has handed over a batch.
    int PollUntilFrames() {
        int nFrames = 0;
        WaitUntil([&] { return (nFrames = m_pInput->Poll()) > 0; });
        return nFrames;
    }

    CLogCapture m_Log;
    ScriptedLibrary m_Library;
    CManualTickClock m_Clock;
    std::unique_ptr<CDMXInput> m_pInput = std::make_unique<CDMXInput>(FakeDir("scripted"), m_Clock);
};

TEST(DMXOpen, MissingLibraryIsLoggedAndReportedNotFound) {
    CLogCapture capture;
    QTemporaryDir dir;
    CDMXInput input(dir.path());
    const std::string strPath = (dir.path() + "/Drivers/Tridena/libtridena.so").toStdString();
    EXPECT_EQ(Texts(capture), (std::vector<std::string>{
                                  "Initializing Tridena#1",
                                  "CTridenaDriver: Failed to open '" + strPath + "'!",
                              }));
    EXPECT_EQ(capture.Lines()[1].level, CLogBook::LEVEL_ERROR);
    EXPECT_FALSE(input.IsOpen());
    EXPECT_EQ(input.Poll(), 0);
    EXPECT_EQ(input.GetStatusText(), "Tridena#1 (Not found)");
    EXPECT_EQ(std::vector<uint8_t>(input.GetChannels(), input.GetChannels() + 512),
              std::vector<uint8_t>(512, 0));
    EXPECT_FALSE(input.GetDriver().Blink(1));
}

TEST(DMXOpen, EachMissingEntryPointIsNamedInLookupOrder) {
    {
        CLogCapture capture;
        CDMXInput input(FakeDir("no_nop"));
        EXPECT_EQ(Texts(capture), (std::vector<std::string>{
                                      "Initializing Tridena#1",
                                      "DLL function 'NOP': Not found",
                                      "CTridenaDriver: Importing DLL functions failed.",
                                  }));
        EXPECT_EQ(input.GetStatusText(), "Tridena#1 (Not found)");
    }
    {
        CLogCapture capture;
        CDMXInput input(FakeDir("no_geterror_nop"));
        EXPECT_EQ(Texts(capture), (std::vector<std::string>{
                                      "Initializing Tridena#1",
                                      "DLL function 'GetError': Not found",
                                      "DLL function 'NOP': Not found",
                                      "CTridenaDriver: Importing DLL functions failed.",
                                  }));
        EXPECT_FALSE(input.IsOpen());
        // The library stays loaded without a thread until Close; closing twice is harmless.
        input.GetDriver().Close();
        input.GetDriver().Close();
        EXPECT_FALSE(input.IsOpen());
    }
}

TEST(DMXOpen, NoDevicesOrNoVersionDataLeavesTheDriverClosed) {
    {
        CLogCapture capture;
        ScriptedLibrary library("no_devices");
        CDMXInput input(FakeDir("no_devices"));
        EXPECT_EQ(Texts(capture), (std::vector<std::string>{
                                      "Initializing Tridena#1",
                                      "Present devices of type Tridena: 0",
                                      "Tridena#1: Not found.",
                                  }));
        EXPECT_EQ(input.GetStatusText(), "Tridena#1 (Not found)");
        std::this_thread::sleep_for(milliseconds(60));
        EXPECT_EQ(library.GetFrameCalls(), 0) << "no thread asks a device that is not there";
    }
    {
        CLogCapture capture;
        CDMXInput input(FakeDir("no_version"));
        EXPECT_EQ(Texts(capture), (std::vector<std::string>{
                                      "Initializing Tridena#1",
                                      "Present devices of type Tridena: 1",
                                      "Tridena#1: Could not fetch version data.",
                                  }));
        EXPECT_EQ(capture.Lines()[2].level, CLogBook::LEVEL_ERROR);
        EXPECT_EQ(input.GetStatusText(), "Tridena#1 (Not found)");
        EXPECT_EQ(input.Poll(), 0);
    }
}

TEST_F(ScriptedDMX, OpensWithVersionLineAndReportsNoDataUntilFramesArrive) {
    EXPECT_EQ(Texts(m_Log), (std::vector<std::string>{
                                "Initializing Tridena#1",
                                "Present devices of type Tridena: 1",
                                "DLL: 2.5  Driver: 3.1  Firmware: 0.7",
                                "Tridena#1 driver successfully initialized.",
                            }));
    EXPECT_TRUE(m_pInput->IsOpen());
    EXPECT_TRUE(WaitUntil([&] { return m_Library.GetFrameCalls() > 0; })) << "the thread asks";
    EXPECT_EQ(m_pInput->GetDriver().GetUniverseCount(), 1);
    EXPECT_EQ(m_pInput->Poll(), 0);
    EXPECT_EQ(m_pInput->GetStatusText(), "Tridena#1 (NO DATA)");
}

TEST_F(ScriptedDMX, PollTakesTheWholeBatchAndKeepsTheNewestFrame) {
    m_Library.Queue(MakeBatch({Frame(512, 0x11), Frame(512, 0x22), Frame(100, 0x33)}));
    EXPECT_EQ(PollUntilFrames(), 3);
    const uint8_t *pChannels = m_pInput->GetChannels();
    EXPECT_EQ(std::vector<uint8_t>(pChannels, pChannels + 100), Frame(100, 0x33));
    EXPECT_EQ(std::vector<uint8_t>(pChannels + 100, pChannels + 512), Frame(412, 0));

    // A frame longer than the universe is cut at 512 channels.
    m_Library.Queue(MakeBatch({Frame(600, 0x44)}));
    EXPECT_EQ(PollUntilFrames(), 1);
    EXPECT_EQ(std::vector<uint8_t>(pChannels, pChannels + 512), Frame(512, 0x44));
}

TEST_F(ScriptedDMX, DeviceIsNotAskedAgainUntilTheBatchIsRead) {
    m_Library.Queue(MakeBatch({Frame(512, 1)}));
    m_Library.Queue(MakeBatch({Frame(512, 2)}));
    ASSERT_TRUE(WaitUntil([&] { return m_Library.Queued() == 1; }));
    const int nCalls = m_Library.GetFrameCalls();
    std::this_thread::sleep_for(milliseconds(80));
    EXPECT_EQ(m_Library.GetFrameCalls(), nCalls);

    // Draining the batch wakes the thread at once for the next one.
    EXPECT_EQ(m_pInput->Poll(), 1);
    EXPECT_EQ(m_pInput->GetChannels()[0], 1);
    EXPECT_EQ(PollUntilFrames(), 1);
    EXPECT_EQ(m_pInput->GetChannels()[0], 2);
}

TEST_F(ScriptedDMX, StatisticsTickOncePerSecond) {
    // Three frames plus five the library counted but did not deliver.
    m_Library.Queue(MakeBatch({Frame(10, 1), Frame(10, 2), Frame(10, 3)}, 5));
    PollUntilFrames();
    // Counted but not yet ticked: a rate of 0 that is not "no data".
    EXPECT_EQ(m_pInput->GetStatusText(), "Tridena#1 (0 fps)");
    m_Clock.Advance(999);
    m_pInput->Poll();
    EXPECT_EQ(m_pInput->GetDriver().GetFps(), 0);
    m_Clock.Advance(1);
    m_pInput->Poll();
    EXPECT_EQ(m_pInput->GetDriver().GetFps(), 8);
    EXPECT_EQ(m_pInput->GetStatusText(), "Tridena#1 (8 fps)");
    m_Clock.Advance(1000);
    m_pInput->Poll();
    EXPECT_EQ(m_pInput->GetStatusText(), "Tridena#1 (NO DATA)");
}

TEST_F(ScriptedDMX, StatisticsSurviveTheTickCounterWrapping) {
    m_Clock.m_nTicks = 0xFFFFFF00u;
    m_pInput->Poll();
    m_Library.Queue(MakeBatch({Frame(10, 1)}));
    PollUntilFrames();
    m_Clock.Advance(1000); // wraps past zero
    m_pInput->Poll();
    EXPECT_EQ(m_pInput->GetDriver().GetFps(), 1);
}

TEST_F(ScriptedDMX, BatchesBreakingTheLimitsAreDroppedAndLogged) {
    std::vector<std::vector<uint8_t>> tooMany(10, Frame(4, 0x55));
    RawBatch tenFrames = MakeBatch(tooMany);
    m_Library.Queue(tenFrames);
    std::vector<std::vector<uint8_t>> tooLong(9, Frame(1000, 0x66));
    RawBatch nineThousandBytes = MakeBatch(tooLong);
    nineThousandBytes.data.resize(BUFFER_SIZE);
    m_Library.Queue(nineThousandBytes);
    m_Library.Queue(MakeBatch({Frame(512, 0x77)}));

    EXPECT_EQ(PollUntilFrames(), 1);
    EXPECT_EQ(m_pInput->GetChannels()[0], 0x77);
    m_Clock.Advance(1000);
    m_pInput->Poll();
    EXPECT_TRUE(m_Log.Contains("CTridenaDriver::UpdateStats(): 2 batch(es) dropped, the last one "
                               "with 9 frames in 9000 bytes (at most 9 frames in 8192 bytes)."))
        << m_Log.Text();
    // Only the good batch counts.
    EXPECT_EQ(m_pInput->GetDriver().GetFps(), 1);
}

TEST_F(ScriptedDMX, CloseEndsTheThreadPromptlyAndTwiceIsHarmless) {
    CTridenaDriver &driver = m_pInput->GetDriver();
    std::this_thread::sleep_for(milliseconds(30)); // let the thread settle into its wait
    const auto start = steady_clock::now();
    driver.Close();
    const auto elapsed = duration_cast<microseconds>(steady_clock::now() - start);
    RecordProperty("close_us", static_cast<int>(elapsed.count()));
    EXPECT_LT(elapsed, milliseconds(50));
    const int nCalls = m_Library.GetFrameCalls();
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(m_Library.GetFrameCalls(), nCalls) << "nothing asks the library any more";
    EXPECT_FALSE(driver.IsOpen());
    driver.Close();
    EXPECT_EQ(m_pInput->Poll(), 0);
    EXPECT_EQ(m_pInput->GetStatusText(), "Tridena#1 (Not found)");
}

TEST_F(ScriptedDMX, BlinkAsksTheLibrary) {
    EXPECT_TRUE(m_pInput->GetDriver().Blink(7));
    EXPECT_EQ(m_Library.LastSign(), 7);
    EXPECT_TRUE(m_Log.Contains("Tridena#1 blinking..."));

    CDeviceDriver plain;
    EXPECT_FALSE(plain.Blink(1));
    EXPECT_TRUE(m_Log.Contains("Blinking is not supported by this device driver."));
}

TEST_F(ScriptedDMX, InstanceNumberFollowsTheLiveDrivers) {
    {
        CDMXInput second(FakeDir("scripted"), m_Clock);
        EXPECT_TRUE(m_Log.Contains("Tridena#2: Not found."));
        EXPECT_EQ(second.GetStatusText(), "Tridena#2 (Not found)");
    }
    m_pInput.reset();
    CDMXInput again(FakeDir("scripted"), m_Clock);
    EXPECT_EQ(again.GetStatusText(), "Tridena#1 (NO DATA)");
}

TEST(DMXStatusText, ShortBuffersAreCutAndTerminated) {
    CManualTickClock clock;
    CTridenaDriver driver(QStringLiteral("/nonexistent"), clock);
    char szText[8];
    memset(szText, 'x', sizeof szText);
    EXPECT_TRUE(driver.GetStatusText(szText, sizeof szText, 0));
    EXPECT_STREQ(szText, "Tridena");
    EXPECT_FALSE(driver.GetStatusText(szText, 0, 0));
    EXPECT_FALSE(driver.GetStatusText(nullptr, 8, 0));

    CDeviceDriver plain;
    EXPECT_FALSE(plain.GetStatusText(szText, sizeof szText, 0));
    EXPECT_STREQ(szText, "");
}

TEST(DMXEventSet, WaitEndsOnTheLowestSetEventAndResetsIt) {
    CDMXEventSet events(2);
    EXPECT_EQ(events.WaitAny(milliseconds(1)), -1);
    events.Set(1);
    events.Set(0);
    EXPECT_EQ(events.WaitAny(milliseconds(0)), 0);
    EXPECT_EQ(events.WaitAny(milliseconds(0)), 1);
    EXPECT_EQ(events.WaitAny(milliseconds(0)), -1);

    std::thread setter([&] {
        std::this_thread::sleep_for(milliseconds(10));
        events.Set(1);
    });
    const auto start = steady_clock::now();
    EXPECT_EQ(events.WaitAny(milliseconds(5000)), 1);
    EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
    setter.join();
}

} // namespace
