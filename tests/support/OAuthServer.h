#pragma once

#include "settings/OAuthConfig.h"

#include <QDesktopServices>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <functional>

// scripts/oauth-server on a free port of 127.0.0.1 for one test (client id "corvane-test").
class OAuthServer {
public:
    ~OAuthServer() { process.terminate(), process.waitForFinished(5000); }
    bool start(const QStringList& options) {
        process.start(QStringLiteral(CORVANE_SOURCE_DIR "/scripts/oauth-server"), options);
        port = process.waitForReadyRead(20000) ? process.readLine().trimmed().mid(5).toInt() : 0;
        return port > 0;
    }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1").arg(port) + path;
    }
    // Its endpoints, as a Custom provider.
    settings::OAuthConfig config() const {
        settings::OAuthConfig c;
        c.ClientId = "corvane-test";
        c.AuthorizeUrl = url(QStringLiteral("/authorize")).toStdString();
        c.TokenUrl = url(QStringLiteral("/token")).toStdString();
        c.Scope = "mail offline_access";
        return c;
    }
    // GET /control?query (see the script).
    bool control(const QString& query) { return get(QStringLiteral("/control?") + query) != ""; }
    // The form of each /token request so far.
    QVariantList tokenRequests() {
        return QJsonDocument::fromJson(get(QStringLiteral("/log"))).toVariant().toList();
    }

private:
    QByteArray get(const QString& path) {
        QNetworkAccessManager manager;
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(url(path)))));
        QSignalSpy(reply.get(), &QNetworkReply::finished).wait(10000);
        return reply->readAll();
    }
    QProcess process;
    int port = 0;
};

// The desktop's browser for http: while it lives. It follows the authorization address and
// the redirect back to the program's listener, unless `follow` is off.
class FakeBrowser : public QObject {
    Q_OBJECT
public:
    FakeBrowser() {
        manager.setAutoDeleteReplies(true);
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "fetch");
    }
    ~FakeBrowser() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    bool follow = true;
    std::function<void(const QUrl&)> opened; // told of each address first

public Q_SLOTS:
    void fetch(const QUrl& url) {
        if (opened) {
            opened(url);
        }
        if (follow) { // Qt follows the redirect to the listener by itself
            manager.get(QNetworkRequest(url));
        }
    }

private:
    QNetworkAccessManager manager;
};
