#include "app/CMprisRoot.h"

#include "app/CMprisService.h"

CMprisRoot::CMprisRoot(CMprisService &service)
    : QDBusAbstractAdaptor(&service), m_service(service) {}

QVariant CMprisRoot::Value(const char *pszName) const {
    return m_service.State().RootProperties().value(QLatin1String(pszName));
}

void CMprisRoot::SetFullscreen(bool bFullScreen) {
    m_service.State().SetFullscreen(bFullScreen);
    m_service.Announce();
}

void CMprisRoot::Raise() {
    m_service.Raise();
}

void CMprisRoot::Quit() {
    m_service.State().Quit();
}
