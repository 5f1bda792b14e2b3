// A scripted driver library for the DMX tests. Compile-time switches leave out entry points,
// report no devices or refuse version data; the Fake* entry points let a test queue raw batches
// (header and data exactly as GetFrame writes them) and see how the library was called.
#include "remote/TridenaApi.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef FAKE_DEVICE_COUNT
#define FAKE_DEVICE_COUNT 1
#endif

namespace {
constexpr int DEVICE_ID = 0x2A;

struct Batch {
    std::vector<uint8_t> header;
    std::vector<uint8_t> data;
};

std::mutex g_Mutex;
std::deque<Batch> g_Batches;
int g_nGetFrameCalls = 0;
int g_nLastSign = -1;
} // namespace

FAKE_EXPORT void FakeReset() {
    std::lock_guard<std::mutex> lock(g_Mutex);
    g_Batches.clear();
    g_nGetFrameCalls = 0;
    g_nLastSign = -1;
}

FAKE_EXPORT void FakeQueueBatch(const uint8_t *pHeader, const uint8_t *pData, int nData) {
    std::lock_guard<std::mutex> lock(g_Mutex);
    Batch batch;
    batch.header.assign(pHeader, pHeader + TridenaFormat::HEADER_SIZE);
    batch.data.assign(pData, pData + std::clamp(nData, 0, TridenaFormat::BUFFER_SIZE));
    g_Batches.push_back(std::move(batch));
}

FAKE_EXPORT int FakeGetFrameCalls() {
    std::lock_guard<std::mutex> lock(g_Mutex);
    return g_nGetFrameCalls;
}

FAKE_EXPORT int FakeQueuedBatches() {
    std::lock_guard<std::mutex> lock(g_Mutex);
    return static_cast<int>(g_Batches.size());
}

FAKE_EXPORT int FakeLastSign() {
    std::lock_guard<std::mutex> lock(g_Mutex);
    return g_nLastSign;
}

FAKE_EXPORT TridenaDeviceList InitDriver() {
    TridenaDeviceList list{};
    list.nDevices = FAKE_DEVICE_COUNT;
    for (int i = 0; i < TridenaFormat::MAX_DEVICES; ++i)
        list.DeviceIds[i] = static_cast<uint8_t>(DEVICE_ID + i);
    return list;
}

FAKE_EXPORT uint8_t InitDevice(int) {
    return 1;
}

#ifndef FAKE_OMIT_GETERROR
FAKE_EXPORT int GetError(int) {
    return 0;
}
#endif

FAKE_EXPORT uint8_t FirmwareUpgrade(const char *, int) {
    return 0;
}

FAKE_EXPORT uint8_t GetProduktVersion(uint8_t *pRecord, int nDeviceId) {
#ifdef FAKE_NO_VERSION
    (void)pRecord;
    (void)nDeviceId;
    return 0;
#else
    if (nDeviceId != DEVICE_ID)
        return 0;
    // Library 2.5, driver 3.1, firmware 0.7: distinct, so a swapped field shows.
    const uint8_t record[12] = {5, 0, 2, 0, 1, 0, 3, 0, 7, 0, 0, 0};
    memcpy(pRecord, record, sizeof record);
    return 1;
#endif
}

FAKE_EXPORT uint8_t GetSign(uint8_t nValue, int nDeviceId) {
    std::lock_guard<std::mutex> lock(g_Mutex);
    g_nLastSign = nValue;
    return nDeviceId == DEVICE_ID;
}

FAKE_EXPORT uint8_t GetResponse(uint8_t *, int, int) {
    return 0;
}

FAKE_EXPORT uint8_t GetFrame(uint8_t *pHeader, uint8_t *pBuffer, int nDeviceId) {
    std::lock_guard<std::mutex> lock(g_Mutex);
    ++g_nGetFrameCalls;
    if (nDeviceId != DEVICE_ID || g_Batches.empty())
        return 0;
    const Batch &batch = g_Batches.front();
    memcpy(pHeader, batch.header.data(), batch.header.size());
    memcpy(pBuffer, batch.data.data(), batch.data.size());
    g_Batches.pop_front();
    return 1;
}

#ifndef FAKE_OMIT_NOP
FAKE_EXPORT void NOP() {}
#endif
