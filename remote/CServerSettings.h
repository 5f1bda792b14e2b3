// What the remote servers read alike from their settings: the port they listen on and the
// pace of their position feedback ([OSC] FeedbackInterval, which every remote follows, so that
// the controllers and the browser page show positions at the same pace).
#pragma once

class CProfile;

class CServerSettings {
public:
    static constexpr int DEFAULT_FEEDBACK_INTERVAL_MS = 100;
    static constexpr int MIN_FEEDBACK_INTERVAL_MS = 10;
    static constexpr int MAX_FEEDBACK_INTERVAL_MS = 60000;

    // [pszSection] Port: 0 turns the server off; a value out of range is logged under
    // pszOperation and nDefault is used.
    static int ReadPort(CProfile &profile, const char *pszSection, int nDefault,
                        const char *pszOperation);
    // [OSC] FeedbackInterval in milliseconds; a value out of range gives the default, logged
    // under pszOperation unless it is nullptr (the OSC server names it once).
    static int ReadFeedbackInterval(CProfile &profile, const char *pszOperation);
};
