#include "remote/CTridenaDriver.h"

#include "core/CLogBook.h"
#include "core/CTickClock.h"

#include <QDir>
#include <QLibrary>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <system_error>

using namespace TridenaFormat;

std::atomic<int> CTridenaDriver::s_nInstanceCount{0};

namespace {

constexpr uint32_t STATS_PERIOD_MS = 1000;
constexpr auto THREAD_WAIT = std::chrono::milliseconds(20);

int ReadLE16(const uint8_t *p) {
    return p[0] | p[1] << 8;
}
uint32_t ReadLE32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The highest realtime priority the system grants this process; the thread goes on at its normal
// priority when none is granted.
void RaiseToRealtimePriority() {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
        return;
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur > 0) {
        param.sched_priority = std::min(param.sched_priority, static_cast<int>(limit.rlim_cur));
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }
}

} // namespace

CTridenaDriver::CTridenaDriver(const QString &strProgramDir, const CTickClock &clock)
    : m_nInstance(s_nInstanceCount++), m_pFrameBuffer(new uint8_t[BUFFER_SIZE]()),
      m_strProgramDir(strProgramDir), m_Clock(clock) {}

CTridenaDriver::~CTridenaDriver() {
    Close();
    --s_nInstanceCount;
}

template <typename Fn> static bool Resolve(QLibrary &library, const char *pszName, Fn &pFunction) {
    pFunction = reinterpret_cast<Fn>(library.resolve(pszName));
    if (pFunction)
        return true;
    LogError("DLL function '%s': Not found\n", pszName);
    return false;
}

bool CTridenaDriver::ImportFunctions() {
    QLibrary &lib = *m_hLibrary;
    // Every name is looked up, so that the log lists all that are missing.
    bool bAll = Resolve(lib, "InitDriver", m_pInitDriver);
    bAll &= Resolve(lib, "InitDevice", m_pInitDevice);
    bAll &= Resolve(lib, "GetError", m_pGetError);
    bAll &= Resolve(lib, "FirmwareUpgrade", m_pFirmwareUpgrade);
    bAll &= Resolve(lib, "GetProduktVersion", m_pGetProduktVersion);
    bAll &= Resolve(lib, "GetSign", m_pGetSign);
    bAll &= Resolve(lib, "GetResponse", m_pGetResponse);
    bAll &= Resolve(lib, "GetFrame", m_pGetFrame);
    bAll &= Resolve(lib, "NOP", m_pNop);
    return bAll;
}

void CTridenaDriver::ForgetFunctions() {
    m_pInitDriver = nullptr;
    m_pInitDevice = nullptr;
    m_pGetError = nullptr;
    m_pFirmwareUpgrade = nullptr;
    m_pGetProduktVersion = nullptr;
    m_pGetSign = nullptr;
    m_pGetResponse = nullptr;
    m_pGetFrame = nullptr;
    m_pNop = nullptr;
}

bool CTridenaDriver::Open() {
    // A second Open starts from scratch rather than leaking the running thread and library.
    if (m_bOpen || m_hLibrary || m_pThread)
        Close();

    m_bOpen = false;
    m_nUniverses = 1;
    LogMsg("Initializing %s#%d\n", DEVICE_NAME, m_nInstance + 1);

    const QString strPath = QDir(m_strProgramDir).filePath(LIBRARY_PATH);
    auto pLibrary = std::make_unique<QLibrary>(strPath);
    if (!pLibrary->load()) {
        LogError("CTridenaDriver: Failed to open '%s'!\n", qPrintable(strPath));
        return false;
    }
    m_hLibrary = std::move(pLibrary);

    if (!ImportFunctions()) {
        LogError("CTridenaDriver: Importing DLL functions failed.\n");
        return false;
    }

    m_DeviceList = m_pInitDriver();
    LogMsg("Present devices of type %s: %d\n", DEVICE_NAME, m_DeviceList.nDevices);
    // The record has room for eight identifiers, whatever count the library claims.
    const int nDevices = std::min<int>(m_DeviceList.nDevices, MAX_DEVICES);
    if (m_nInstance < 0 || m_nInstance >= nDevices) {
        LogError("%s#%d: Not found.\n", DEVICE_NAME, m_nInstance + 1);
        return false;
    }
    m_nDeviceId = m_DeviceList.DeviceIds[m_nInstance];

    uint8_t version[VERSION_RECORD_SIZE] = {};
    if (!m_pGetProduktVersion(version, m_nDeviceId)) {
        LogError("%s#%d: Could not fetch version data.\n", DEVICE_NAME, m_nInstance + 1);
        return false;
    }
    const uint32_t nLibrary = ReadLE32(version);
    const uint32_t nDriver = ReadLE32(version + 4);
    const uint32_t nFirmware = ReadLE32(version + 8);
    LogMsg("DLL: %d.%d  Driver: %d.%d  Firmware: %d.%d\n", static_cast<int>(nLibrary >> 16),
           static_cast<int>(nLibrary & 0xFFFF), static_cast<int>(nDriver >> 16),
           static_cast<int>(nDriver & 0xFFFF), static_cast<int>(nFirmware >> 16),
           static_cast<int>(nFirmware & 0xFFFF));

    // Cleared before the thread exists, so that its first batch is not wiped out.
    m_nFramesInBatch = 0;
    m_nFramesRead = 0;
    m_bRunThread = true;
    try {
        m_pThread = std::make_unique<std::thread>(&CTridenaDriver::RealtimeThread, this);
    } catch (const std::system_error &) {
        m_bRunThread = false;
        LogError("Error on creating realtime thread.\n");
        return false;
    }
    LogMsg("%s#%d driver successfully initialized.\n", DEVICE_NAME, m_nInstance + 1);
    m_bOpen = true;
    return true;
}

int CTridenaDriver::RealtimeThread(CTridenaDriver *pDriver) {
    if (!pDriver)
        return 0;
    pDriver->RunThread();
    return 0;
}

void CTridenaDriver::RunThread() {
    pthread_setname_np(pthread_self(), "DMX realtime");
    RaiseToRealtimePriority();
    while (m_bRunThread) {
        m_Events.WaitAny(THREAD_WAIT);
        if (!m_bRunThread)
            break;
        // The device is not asked for more until the reader has taken the whole batch.
        if (m_nFramesRead < m_nFramesInBatch)
            continue;
        std::lock_guard<std::mutex> lock(m_csFrames);
        if (m_pGetFrame(m_FrameHeader, m_pFrameBuffer.get(), m_nDeviceId))
            AcceptBatch();
    }
}

void CTridenaDriver::AcceptBatch() {
    const int nFrames = m_FrameHeader[HEADER_FRAME_COUNT];
    int nBytes = 0;
    for (int i = 0; i < std::min(nFrames, MAX_FRAMES); ++i) {
        const uint8_t *pDescriptor = m_FrameHeader + HEADER_DESCRIPTORS + i * DESCRIPTOR_SIZE;
        m_FrameOffset[static_cast<size_t>(i)] = nBytes;
        m_FrameLength[static_cast<size_t>(i)] = ReadLE16(pDescriptor + 2);
        nBytes += m_FrameLength[static_cast<size_t>(i)];
    }
    if (nFrames > MAX_FRAMES || nBytes > BUFFER_SIZE) {
        // Reading it would run past the buffer: the reader never sees it.
        m_nBadFrames = nFrames;
        m_nBadBytes = nBytes;
        ++m_nBadBatches;
        m_nFramesInBatch = 0;
        m_nFramesRead = 0;
        return;
    }
    m_nFrameCount += nFrames + ReadLE16(m_FrameHeader);
    m_nFramesInBatch = nFrames;
    m_nFramesRead = 0;
}

bool CTridenaDriver::GetNextFrame(uint8_t *pDest, int nLength) {
    if (!m_bOpen || !pDest || nLength < 0)
        return false;
    if (m_nFramesRead >= m_nFramesInBatch) {
        m_Events.Set(WAKE_EVENT);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_csFrames);
    const int nFrame = m_nFramesRead;
    if (nFrame >= m_nFramesInBatch)
        return false;
    const size_t nSize = static_cast<size_t>(nLength);
    const size_t nCopy =
        std::min(static_cast<size_t>(m_FrameLength[static_cast<size_t>(nFrame)]), nSize);
    memcpy(pDest, m_pFrameBuffer.get() + m_FrameOffset[static_cast<size_t>(nFrame)], nCopy);
    memset(pDest + nCopy, 0, nSize - nCopy);
    m_nFramesRead = nFrame + 1;
    return true;
}

void CTridenaDriver::UpdateStats() {
    const uint32_t dwNow = m_Clock.GetTickCount();
    if (dwNow - m_dwStatsTick < STATS_PERIOD_MS)
        return;
    // One exchange, so that no batch counted in between is lost.
    m_nFps = m_nFrameCount.exchange(0);
    m_dwStatsTick = dwNow;

    if (const int nBad = m_nBadBatches.exchange(0); nBad > 0) {
        int nFrames, nBytes;
        {
            std::lock_guard<std::mutex> lock(m_csFrames);
            nFrames = m_nBadFrames;
            nBytes = m_nBadBytes;
        }
        LogError("CTridenaDriver::UpdateStats(): %d batch(es) dropped, the last one with %d "
                 "frames in %d bytes (at most %d frames in %d bytes).\n",
                 nBad, nFrames, nBytes, MAX_FRAMES, BUFFER_SIZE);
    }
}

bool CTridenaDriver::GetStatusText(char *pszBuffer, int nSize, int) {
    if (!pszBuffer || nSize <= 0)
        return false;
    const size_t nBuffer = static_cast<size_t>(nSize);
    if (!m_bOpen)
        snprintf(pszBuffer, nBuffer, "%s#%d (Not found)", DEVICE_NAME, m_nInstance + 1);
    else if (m_nFps != 0 || m_nFrameCount != 0)
        snprintf(pszBuffer, nBuffer, "%s#%d (%d fps)", DEVICE_NAME, m_nInstance + 1, m_nFps);
    else
        snprintf(pszBuffer, nBuffer, "%s#%d (NO DATA)", DEVICE_NAME, m_nInstance + 1);
    return true;
}

bool CTridenaDriver::Blink(uint8_t nValue) {
    if (!m_bOpen) {
        LogError("CTridenaDriver::Blink(): %s#%d is not open.\n", DEVICE_NAME, m_nInstance + 1);
        return false;
    }
    LogMsg("%s#%d blinking...\n", DEVICE_NAME, m_nInstance + 1);
    return m_pGetSign(nValue, m_nDeviceId) != 0;
}

void CTridenaDriver::Close() {
    m_bRunThread = false;
    if (m_pThread) {
        m_Events.Set(STOP_EVENT);
        if (m_pThread->joinable())
            m_pThread->join();
        m_pThread.reset();
    }
    if (m_hLibrary) {
        ForgetFunctions();
        m_hLibrary->unload();
        m_hLibrary.reset();
    }
    m_bOpen = false;
}
