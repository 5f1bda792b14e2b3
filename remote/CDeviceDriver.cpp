#include "remote/CDeviceDriver.h"

#include "core/CLogBook.h"

bool CDeviceDriver::GetNextFrame(uint8_t *, int) {
    return false;
}

bool CDeviceDriver::GetStatusText(char *pszBuffer, int nSize, int) {
    if (pszBuffer && nSize > 0)
        pszBuffer[0] = '\0';
    return false;
}

bool CDeviceDriver::Blink(uint8_t) {
    LogMsg("Blinking is not supported by this device driver.\n");
    return false;
}
