// What the remote servers read from their settings: the description of the sections Network,
// OSC and Web (see core/CSettingKey), the port each server listens on and the pace of their
// position feedback ([OSC] FeedbackInterval, which every remote follows, so that the
// controllers and the browser page show positions at the same pace).
#pragma once

#include "core/CSettingKey.h"

#include <vector>

class CProfile;

class CServerSettings {
public:
    static constexpr int DEFAULT_FEEDBACK_INTERVAL_MS = 100;
    static constexpr int MIN_FEEDBACK_INTERVAL_MS = 10;
    static constexpr int MAX_FEEDBACK_INTERVAL_MS = 60000;

    static const std::vector<CSettingKey> &NetworkKeys();
    static const std::vector<CSettingKey> &OscKeys();
    static const std::vector<CSettingKey> &WebKeys();

    // [OSC] or [Web] Port: 0 turns the server off; a value out of range is logged and the
    // default is used.
    static int ReadPort(CProfile &profile, const char *pszSection);
    // [OSC] FeedbackInterval in milliseconds; a value out of range gives the default, logged
    // unless bLog is false (the OSC server names it once).
    static int ReadFeedbackInterval(CProfile &profile, bool bLog);
};
