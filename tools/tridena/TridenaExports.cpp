// The nine entry points of the stand-in driver library, with C linkage. One device is present;
// it is set up by the first InitDriver and lives until the library is unloaded.
#include "remote/TridenaApi.h"
#include "tools/tridena/CTridenaDevice.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#define TRIDENA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::mutex g_InitMutex;
std::unique_ptr<CTridenaDevice> g_pDevice;
std::atomic<CTridenaDevice *> g_pReady{nullptr};
std::atomic<int> g_nSign{0};

constexpr uint32_t Version(uint16_t nMajor, uint16_t nMinor) {
    return static_cast<uint32_t>(nMajor) << 16 | nMinor;
}

void PutLE32(uint8_t *p, uint32_t n) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(n >> (8 * i));
}
} // namespace

TRIDENA_EXPORT TridenaDeviceList InitDriver() {
    {
        std::lock_guard<std::mutex> lock(g_InitMutex);
        if (!g_pDevice) {
            g_pDevice = std::make_unique<CTridenaDevice>(CTridenaDevice::ConfigFromEnvironment());
            g_pReady = g_pDevice.get();
        }
    }
    TridenaDeviceList list{};
    list.nDevices = 1;
    list.DeviceIds[0] = CTridenaDevice::DEVICE_ID;
    return list;
}

TRIDENA_EXPORT uint8_t InitDevice(int nDeviceId) {
    return nDeviceId == CTridenaDevice::DEVICE_ID;
}

TRIDENA_EXPORT int GetError(int) {
    return 0;
}

TRIDENA_EXPORT uint8_t FirmwareUpgrade(const char *, int) {
    return 0;
}

TRIDENA_EXPORT uint8_t GetProduktVersion(uint8_t *pVersionRecord, int nDeviceId) {
    if (!pVersionRecord || nDeviceId != CTridenaDevice::DEVICE_ID)
        return 0;
    PutLE32(pVersionRecord, Version(1, 0));
    PutLE32(pVersionRecord + 4, Version(1, 0));
    PutLE32(pVersionRecord + 8, Version(1, 0));
    return 1;
}

// The device has no sign lamp to light; it accepts the request for the device it knows.
TRIDENA_EXPORT uint8_t GetSign(uint8_t nValue, int nDeviceId) {
    if (nDeviceId != CTridenaDevice::DEVICE_ID)
        return 0;
    g_nSign = nValue;
    return 1;
}

TRIDENA_EXPORT uint8_t GetResponse(uint8_t *pBuffer, int nSize, int) {
    if (pBuffer && nSize > 0)
        memset(pBuffer, 0, static_cast<size_t>(nSize));
    return 0;
}

TRIDENA_EXPORT uint8_t GetFrame(uint8_t *pHeader, uint8_t *pBuffer, int nDeviceId) {
    CTridenaDevice *pDevice = g_pReady.load();
    if (!pDevice || !pHeader || !pBuffer || nDeviceId != CTridenaDevice::DEVICE_ID)
        return 0;
    return pDevice->FillBatch(pHeader, pBuffer);
}

TRIDENA_EXPORT void NOP() {}
