// The 512 channel levels of the DMX input universe and the Tridena driver that delivers them,
// read periodically on the user-interface thread.
#pragma once

#include "remote/CTridenaDriver.h"

#include <QString>
#include <cstdint>

class CTickClock;

class CDMXInput {
public:
    static constexpr int CHANNELS = 512;

    // Opens the driver library below strProgramDir (the program passes its own directory). A
    // driver that fails to open never delivers frames and reports itself "(Not found)".
    explicit CDMXInput(const QString &strProgramDir);
    CDMXInput(const QString &strProgramDir, const CTickClock &clock);
    ~CDMXInput();
    CDMXInput(const CDMXInput &) = delete;
    CDMXInput &operator=(const CDMXInput &) = delete;

    // Statistics tick, then takes every frame waiting, so the newest ends up in the channels.
    // Returns the number of frames taken.
    int Poll();
    // "Tridena#1 (Not found)", "Tridena#1 (NO DATA)" or "Tridena#1 (44 fps)".
    QString GetStatusText();
    bool IsOpen() const { return m_Driver.IsOpen(); }

    // Level of channel k+1 at index k.
    const uint8_t *GetChannels() const { return m_Channels; }
    CTridenaDriver &GetDriver() { return m_Driver; }

private:
    uint8_t m_Channels[CHANNELS] = {};
    CTridenaDriver m_Driver;
};
