// Abstract DMX input driver: opening and closing a device, handing out received frames, the
// frame-rate statistics and the status line an operator sees.
#pragma once

#include <atomic>
#include <cstdint>

class CDeviceDriver {
public:
    CDeviceDriver() = default;
    virtual ~CDeviceDriver() = default;
    CDeviceDriver(const CDeviceDriver &) = delete;
    CDeviceDriver &operator=(const CDeviceDriver &) = delete;

    // Statistics tick; called periodically by the reader.
    virtual void UpdateStats() {}
    // Copies the next unread frame into pDest, nLength bytes, zero-filled past the frame's end.
    virtual bool GetNextFrame(uint8_t *pDest, int nLength);
    virtual void Close() {}
    virtual bool Open() { return false; }
    // Writes the NUL-terminated status line into pszBuffer of nSize bytes.
    virtual bool GetStatusText(char *pszBuffer, int nSize, int nReserved);
    virtual bool IsOpen() const { return false; }
    virtual int GetUniverseCount() const { return m_nUniverses; }
    virtual int GetFps() const { return m_nFps; }
    // Makes the device show a sign (a lamp) so that an operator can find it.
    virtual bool Blink(uint8_t nValue);

protected:
    bool m_bOpen = false;
    int m_nFps = 0;
    // Raised by the driver's own thread, read and cleared by the reader.
    std::atomic<int> m_nFrameCount{0};
    int m_nUniverses = 0;
};
