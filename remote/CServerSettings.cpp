#include "remote/CServerSettings.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

int CServerSettings::ReadPort(CProfile &profile, const char *pszSection, int nDefault,
                              const char *pszOperation) {
    const int nPort = profile.GetProfileInt(pszSection, "Port", nDefault);
    if (nPort < 0 || nPort > 65535) {
        LogError("%s: Invalid Port %d, using %d.\n", pszOperation, nPort, nDefault);
        return nDefault;
    }
    return nPort;
}

int CServerSettings::ReadFeedbackInterval(CProfile &profile, const char *pszOperation) {
    const int nInterval =
        profile.GetProfileInt("OSC", "FeedbackInterval", DEFAULT_FEEDBACK_INTERVAL_MS);
    if (nInterval >= MIN_FEEDBACK_INTERVAL_MS && nInterval <= MAX_FEEDBACK_INTERVAL_MS)
        return nInterval;
    if (pszOperation)
        LogError("%s: Invalid FeedbackInterval %d, using %d.\n", pszOperation, nInterval,
                 DEFAULT_FEEDBACK_INTERVAL_MS);
    return DEFAULT_FEEDBACK_INTERVAL_MS;
}
