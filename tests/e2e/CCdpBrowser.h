// Debian's chromium, headless, driven over the DevTools protocol through one WebSocket: load a
// page, read it with JavaScript, click as a mouse does, size the window, take a screenshot.
// The browser gets a profile folder of its own and reaches nothing but what a test names.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QWebSocket>

#include <map>

class CCdpBrowser {
public:
    CCdpBrowser() = default;
    ~CCdpBrowser();
    CCdpBrowser(const CCdpBrowser &) = delete;
    CCdpBrowser &operator=(const CCdpBrowser &) = delete;

    // Where chromium is, or empty.
    static QString Executable();
    // Starts the browser with an empty page; strError says why not.
    bool Start(QString &strError);

    // The method's result, or an empty object after nTimeoutMs or on a protocol error.
    QJsonObject Call(const QString &strMethod, const QJsonObject &params = {},
                     int nTimeoutMs = 10000);
    // The value of a JavaScript expression in the page.
    QJsonValue Evaluate(const QString &strExpression);
    // Polls until the expression is true; false after nTimeoutMs.
    bool WaitUntil(const QString &strExpression, int nTimeoutMs = 5000);
    // Loads the URL and waits until the document is complete.
    bool Navigate(const QString &strUrl);
    // A press and release of the left button at the centre of the element that the expression
    // returns; false when there is none or it is disabled.
    bool ClickElement(const QString &strElementExpression);
    // The enabled button whose accessible name (aria-label, else its text) is strName.
    bool ClickButton(const QString &strName);
    void SetViewport(int nWidth, int nHeight);
    QByteArray Screenshot();

private:
    QTemporaryDir m_profile;
    QProcess m_process;
    QWebSocket m_socket;
    int m_nNextId = 1;
    std::map<int, QJsonObject> m_replies;
};
