#include "support/DovecotServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <csignal>

DovecotServer::~DovecotServer() {
    stop(false);
}

QString DovecotServer::script() {
    return QStringLiteral(CORVANE_SOURCE_DIR "/scripts/dovecot");
}

bool DovecotServer::start() {
    QProcess p;
    p.start(script(), {QStringLiteral("start")});
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
    p.start(script(), QStringList{QStringLiteral("add"), dir} + files);
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

void DovecotServer::stop(bool wait) {
    if (!running) {
        return;
    }
    running = false;
    const QStringList args{QStringLiteral("stop"), dir, QStringLiteral("--remove")};
    if (wait) {
        QProcess::execute(script(), args);
    } else {
        QProcess::startDetached(script(), args);
    }
}

QStringList DovecotServer::messageFiles() const {
    QStringList names;
    for (const char* sub : {"cur", "new"}) {
        names += QDir(mailDir + QLatin1Char('/') + QLatin1String(sub)).entryList(QDir::Files);
    }
    names.sort();
    return names;
}

QList<int> DovecotServer::sessionProcesses() const {
    // Children of our own master process named "pop3": nobody else's.
    QProcess p;
    p.start(QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::number(masterPid),
                                      QStringLiteral("-x"), QStringLiteral("pop3")});
    QList<int> pids;
    if (masterPid > 0 && p.waitForFinished(10000)) {
        for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty()) {
                pids << line.toInt();
            }
        }
    }
    return pids;
}

int DovecotServer::signalSessions(int sig) const {
    const QList<int> pids = sessionProcesses();
    for (const int pid : pids) {
        ::kill(pid, sig);
    }
    return static_cast<int>(pids.size());
}
