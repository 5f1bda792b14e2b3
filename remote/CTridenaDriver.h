// DMX input through a Tridena interface: loads the device's driver library at run time and runs a
// realtime thread that fetches batches of received frames for a reader on the UI thread.
#pragma once

#include "remote/CDMXEventSet.h"
#include "remote/CDeviceDriver.h"
#include "remote/TridenaApi.h"

#include <QString>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

class CTickClock;
class QLibrary;

class CTridenaDriver : public CDeviceDriver {
public:
    // Below the program's directory.
    static constexpr const char *LIBRARY_PATH = "Drivers/Tridena/libtridena.so";
    static constexpr const char *DEVICE_NAME = "Tridena";

    // strProgramDir: the folder that holds Drivers/; the clock times the statistics.
    CTridenaDriver(const QString &strProgramDir, const CTickClock &clock);
    ~CTridenaDriver() override;

    void UpdateStats() override;
    bool GetNextFrame(uint8_t *pDest, int nLength) override;
    void Close() override;
    bool Open() override;
    bool GetStatusText(char *pszBuffer, int nSize, int nReserved) override;
    bool IsOpen() const override { return m_bOpen; }
    bool Blink(uint8_t nValue) override;

    // The realtime thread's procedure; does nothing for a null driver.
    static int RealtimeThread(CTridenaDriver *pDriver);

private:
    enum { WAKE_EVENT = 0, STOP_EVENT = 1 };

    bool ImportFunctions();
    void ForgetFunctions();
    void RunThread();
    // Takes the batch GetFrame just wrote, or drops it when it breaks the format; m_csFrames held.
    void AcceptBatch();

    static std::atomic<int> s_nInstanceCount;

    std::mutex m_csFrames;
    CDMXEventSet m_Events{2}; // wake: a reader found nothing unread; stop: Close wants the end
    std::atomic<bool> m_bRunThread{false};
    std::unique_ptr<std::thread> m_pThread;
    int m_nInstance;
    TridenaDeviceList m_DeviceList{};
    int m_nDeviceId = 0;
    std::unique_ptr<QLibrary> m_hLibrary;

    TridenaInitDriverFn m_pInitDriver = nullptr;
    TridenaInitDeviceFn m_pInitDevice = nullptr;
    TridenaGetErrorFn m_pGetError = nullptr;
    TridenaFirmwareUpgradeFn m_pFirmwareUpgrade = nullptr;
    TridenaGetProduktVersionFn m_pGetProduktVersion = nullptr;
    TridenaGetSignFn m_pGetSign = nullptr;
    TridenaGetResponseFn m_pGetResponse = nullptr;
    TridenaGetFrameFn m_pGetFrame = nullptr;
    TridenaNopFn m_pNop = nullptr;

    uint8_t m_FrameHeader[TridenaFormat::HEADER_SIZE] = {};
    std::unique_ptr<uint8_t[]> m_pFrameBuffer;
    // Both are written under m_csFrames; the quick tests for unread frames read them without it.
    std::atomic<int> m_nFramesInBatch{0};
    std::atomic<int> m_nFramesRead{0};
    // Where each frame of the current batch lies in m_pFrameBuffer; guarded by m_csFrames.
    std::array<int, TridenaFormat::MAX_FRAMES> m_FrameOffset{};
    std::array<int, TridenaFormat::MAX_FRAMES> m_FrameLength{};
    uint32_t m_dwStatsTick = 0;

    // Batches the library wrote beyond the format's limits, reported on the UI thread.
    std::atomic<int> m_nBadBatches{0};
    int m_nBadFrames = 0; // the last one's claims; guarded by m_csFrames
    int m_nBadBytes = 0;

    QString m_strProgramDir;
    const CTickClock &m_Clock;
};
