#include "CCdpBrowser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

namespace {

bool SpinUntil(const std::function<bool()> &done, int nTimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > nTimeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

QString Quoted(const QString &str) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{str}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

} // namespace

CCdpBrowser::~CCdpBrowser() {
    m_socket.abort();
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString CCdpBrowser::Executable() {
    for (const char *pszName : {"chromium", "chromium-browser"}) {
        const QString strPath = QStandardPaths::findExecutable(pszName);
        if (!strPath.isEmpty())
            return strPath;
    }
    return {};
}

bool CCdpBrowser::Start(QString &strError) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // The browser's own scratch folders go into the test's folder, not the machine's /tmp.
    const QString strScratch = m_profile.path() + "/tmp";
    QDir().mkpath(strScratch);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", strScratch);
    m_process.setProcessEnvironment(environment);
    m_process.start(Executable(), {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                   "--no-first-run", "--disable-background-networking",
                                   "--disable-component-update", "--disable-sync",
                                   "--hide-scrollbars", "--user-data-dir=" + m_profile.path(),
                                   "--remote-debugging-port=0", "about:blank"});
    if (!m_process.waitForStarted(10000)) {
        strError = "chromium did not start";
        return false;
    }
    // The browser names its DevTools port in a file of its profile folder.
    QFile portFile(m_profile.path() + "/DevToolsActivePort");
    if (!SpinUntil([&] { return portFile.exists() && portFile.size() > 0; }, 20000)) {
        strError = "chromium gave no DevTools port: " + QString::fromLocal8Bit(m_process.readAll());
        return false;
    }
    QTest::qWait(100);
    portFile.open(QIODevice::ReadOnly);
    const QString strPort = QString::fromLatin1(portFile.readLine()).trimmed();

    // The page target's own WebSocket.
    QNetworkAccessManager network;
    QString strTarget;
    for (int nTry = 0; nTry < 50 && strTarget.isEmpty(); ++nTry) {
        QNetworkReply *pReply =
            network.get(QNetworkRequest(QUrl("http://127.0.0.1:" + strPort + "/json/list")));
        SpinUntil([&] { return pReply->isFinished(); }, 5000);
        for (const QJsonValue &target : QJsonDocument::fromJson(pReply->readAll()).array())
            if (target["type"].toString() == "page")
                strTarget = target["webSocketDebuggerUrl"].toString();
        pReply->deleteLater();
        if (strTarget.isEmpty())
            QTest::qWait(100);
    }
    if (strTarget.isEmpty()) {
        strError = "chromium has no page target";
        return false;
    }
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString &str) {
        const QJsonObject message = QJsonDocument::fromJson(str.toUtf8()).object();
        if (message.contains("id"))
            m_replies[message["id"].toInt()] = message;
    });
    m_socket.open(QUrl(strTarget));
    if (!SpinUntil([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 10000)) {
        strError = "no DevTools link: " + m_socket.errorString();
        return false;
    }
    Call("Page.enable");
    return true;
}

QJsonObject CCdpBrowser::Call(const QString &strMethod, const QJsonObject &params, int nTimeoutMs) {
    const int nId = m_nNextId++;
    const QJsonObject message{{"id", nId}, {"method", strMethod}, {"params", params}};
    m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson()));
    if (!SpinUntil([&] { return m_replies.count(nId) > 0; }, nTimeoutMs))
        return {};
    const QJsonObject reply = m_replies[nId];
    m_replies.erase(nId);
    return reply["result"].toObject();
}

QJsonValue CCdpBrowser::Evaluate(const QString &strExpression) {
    const QJsonObject result =
        Call("Runtime.evaluate", {{"expression", strExpression}, {"returnByValue", true}});
    return result["result"].toObject()["value"];
}

bool CCdpBrowser::WaitUntil(const QString &strExpression, int nTimeoutMs) {
    return SpinUntil([&] { return Evaluate("!!(" + strExpression + ")").toBool(); }, nTimeoutMs);
}

bool CCdpBrowser::Navigate(const QString &strUrl) {
    Call("Page.navigate", {{"url", strUrl}});
    QTest::qWait(50);
    return WaitUntil("document.readyState === 'complete' && location.href !== 'about:blank'");
}

bool CCdpBrowser::ClickElement(const QString &strElementExpression) {
    const QJsonValue centre =
        Evaluate("(() => { const e = " + strElementExpression +
                 "; if (!e || e.disabled || e.closest('fieldset:disabled')) return null;"
                 " e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect();"
                 " return {x: r.x + r.width / 2, y: r.y + r.height / 2}; })()");
    if (!centre.isObject())
        return false;
    for (const char *pszType : {"mousePressed", "mouseReleased"})
        Call("Input.dispatchMouseEvent", {{"type", pszType},
                                          {"x", centre["x"].toDouble()},
                                          {"y", centre["y"].toDouble()},
                                          {"button", "left"},
                                          {"clickCount", 1}});
    return true;
}

bool CCdpBrowser::ClickButton(const QString &strName) {
    return ClickElement("[...document.querySelectorAll('button')].find(b => "
                        "(b.getAttribute('aria-label') || b.textContent.trim()) === " +
                        Quoted(strName) + ")");
}

void CCdpBrowser::SetViewport(int nWidth, int nHeight) {
    Call("Emulation.setDeviceMetricsOverride", {{"width", nWidth},
                                                {"height", nHeight},
                                                {"deviceScaleFactor", 1},
                                                {"mobile", nWidth < 600}});
}

QByteArray CCdpBrowser::Screenshot() {
    const QJsonObject result = Call("Page.captureScreenshot", {{"format", "png"}});
    return QByteArray::fromBase64(result["data"].toString().toLatin1());
}
