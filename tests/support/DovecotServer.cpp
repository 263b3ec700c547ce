#include "support/DovecotServer.h"

#include <QDir>
#include <QProcess>
#include <csignal>
#include <utility>

namespace {

const QString kScript = QStringLiteral(CORVANE_SOURCE_DIR "/scripts/dovecot");

} // namespace

bool DovecotServer::start(const QStringList& options) {
    QProcess p;
    p.start(kScript, QStringList{QStringLiteral("start")} + options);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        lastError = QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    const QStringList lines =
        QString::fromLocal8Bit(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        const QString value = line.section(QLatin1Char('='), 1);
        if (key == QLatin1String("PORT")) {
            portNumber = value.toInt();
        } else if (key == QLatin1String("FOLDER")) {
            dir = value;
        } else if (key == QLatin1String("MAILDIR")) {
            mailDir = value;
        } else if (key == QLatin1String("TLSPORT")) {
            tlsPortNumber = value.toInt();
        } else if (key == QLatin1String("PID")) {
            masterPid = value.toInt();
        }
    }
    running = portNumber > 0 && !dir.isEmpty();
    if (!running) {
        lastError = QStringLiteral("unexpected output: ") + lines.join(QLatin1Char('|'));
    }
    return running;
}

bool DovecotServer::add(const QStringList& files) {
    QProcess p;
    p.start(kScript, QStringList{QStringLiteral("add"), dir} + files);
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

void DovecotServer::stop() {
    if (std::exchange(running, false)) {
        QProcess::startDetached(kScript, {QStringLiteral("stop"), dir, QStringLiteral("--remove")});
    }
}

QStringList DovecotServer::messageFiles() const {
    QStringList names;
    for (const char* sub : {"cur", "new"}) {
        for (const QString& name :
             QDir(mailDir + QLatin1Char('/') + QLatin1String(sub)).entryList(QDir::Files)) {
            names << name.section(QLatin1Char(':'), 0, 0); // without the flags
        }
    }
    names.sort();
    return names;
}

int DovecotServer::signalSessions(int sig) const {
    // Children of our own master process named "pop3": nobody else's.
    QProcess p;
    p.start(QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::number(masterPid),
                                      QStringLiteral("-x"), QStringLiteral("pop3")});
    int count = 0;
    if (masterPid > 0 && p.waitForFinished(10000)) {
        for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
            count += !line.isEmpty() && ::kill(line.toInt(), sig) == 0;
        }
    }
    return count;
}
