#include "support/OAuthServer.h"

#include <QDesktopServices>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>

OAuthServer::~OAuthServer() {
    process.terminate();
    process.waitForFinished(5000);
}

bool OAuthServer::start(const QStringList& options) {
    process.start(QStringLiteral(CORVANE_SOURCE_DIR "/scripts/oauth-server"), options);
    if (!process.waitForReadyRead(20000)) {
        return false;
    }
    port = QString::fromLatin1(process.readLine()).trimmed().section(QLatin1Char('='), 1).toInt();
    return port > 0;
}

settings::OAuthConfig OAuthServer::config() const {
    settings::OAuthConfig c;
    c.ClientId = "corvane-test";
    c.AuthorizeUrl = url(QStringLiteral("/authorize")).toStdString();
    c.TokenUrl = url(QStringLiteral("/token")).toStdString();
    c.Scope = "mail offline_access";
    return c;
}

QByteArray OAuthServer::get(const QString& path) {
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(url(path))));
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(10000);
    reply->deleteLater();
    return reply->readAll();
}

bool OAuthServer::control(const QString& query) {
    return get(QStringLiteral("/control?") + query).contains("ok");
}

QVariantList OAuthServer::tokenRequests() {
    return QJsonDocument::fromJson(get(QStringLiteral("/log"))).toVariant().toList();
}

FakeBrowser::FakeBrowser() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "fetch");
}

FakeBrowser::~FakeBrowser() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void FakeBrowser::fetch(const QUrl& url) {
    if (opened) {
        opened(url);
    }
    if (follow) {
        // Qt follows the provider's redirect to the listener by itself.
        auto* manager = new QNetworkAccessManager(this);
        connect(manager, &QNetworkAccessManager::finished, manager, &QObject::deleteLater);
        manager->get(QNetworkRequest(url));
    }
}
