// The C interface of the Tridena DMX driver library: the records and entry point signatures that
// the program and any library put in its place agree on (little-endian, packed).
#pragma once

#include <cstdint>

extern "C" {
// Returned by value from InitDriver: the number of devices present, then one identifier byte per
// device.
struct TridenaDeviceList {
    uint8_t nDevices;
    uint8_t DeviceIds[8];
};
}
static_assert(sizeof(TridenaDeviceList) == 9, "the device list is a 9-byte record");

namespace TridenaFormat {
constexpr int MAX_DEVICES = 8;
// Three 32-bit versions (library, driver, firmware): major in the high, minor in the low 16 bits.
constexpr int VERSION_RECORD_SIZE = 12;
// Batch header: uint16 extra frame count, uint8 frames in the batch, nine 4-byte descriptors whose
// bytes 2..3 hold the frame's length.
constexpr int HEADER_SIZE = 39;
constexpr int HEADER_FRAME_COUNT = 2;
constexpr int HEADER_DESCRIPTORS = 3;
constexpr int DESCRIPTOR_SIZE = 4;
constexpr int MAX_FRAMES = 9;
constexpr int BUFFER_SIZE = 8192;
constexpr int DMX_CHANNELS = 512;
} // namespace TridenaFormat

// Entry points in the order the program looks them up. The five marked "never called" must exist
// but their signatures are the library's own business.
using TridenaInitDriverFn = TridenaDeviceList (*)();
using TridenaInitDeviceFn = uint8_t (*)(int nDeviceId);                           // never called
using TridenaGetErrorFn = int (*)(int nDeviceId);                                 // never called
using TridenaFirmwareUpgradeFn = uint8_t (*)(const char *pszFile, int nDeviceId); // never called
using TridenaGetProduktVersionFn = uint8_t (*)(uint8_t *pVersionRecord, int nDeviceId);
using TridenaGetSignFn = uint8_t (*)(uint8_t nValue, int nDeviceId);
using TridenaGetResponseFn = uint8_t (*)(uint8_t *pBuffer, int nSize,
                                         int nDeviceId); // never called
using TridenaGetFrameFn = uint8_t (*)(uint8_t *pHeader, uint8_t *pBuffer, int nDeviceId);
using TridenaNopFn = void (*)(); // never called
