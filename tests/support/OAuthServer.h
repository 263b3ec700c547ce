#pragma once

#include "settings/OAuthConfig.h"

#include <QObject>
#include <QProcess>
#include <QUrl>
#include <QVariantMap>
#include <functional>

// scripts/oauth-server on a free port of 127.0.0.1, for one test; client id "corvane-test".
class OAuthServer {
public:
    ~OAuthServer();
    bool start(const QStringList& options = {});
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path);
    }
    // The endpoints of this server as an account's Custom provider.
    settings::OAuthConfig config() const;
    // GET /control?query (see the script); whether the server took it.
    bool control(const QString& query);
    // The form fields of every /token request so far.
    QVariantList tokenRequests();

private:
    QByteArray get(const QString& path);

    QProcess process;
    int port = 0;
};

// The desktop's browser for http: links while it lives. It follows the authorization
// address and its redirect back to the program's listener, unless `follow` is off.
class FakeBrowser : public QObject {
    Q_OBJECT
public:
    FakeBrowser();
    ~FakeBrowser() override;
    bool follow = true;
    std::function<void(const QUrl&)> opened; // told of each address first

public Q_SLOTS:
    void fetch(const QUrl& url);
};
