#pragma once

// scripts/smtp-sink (aiosmtpd on 127.0.0.1) for the time of a test: what arrives is read back
// by tests/peer/read-mail.py with Python's own parser.
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline QString RunScript(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    EXPECT_TRUE(p.waitForFinished(30000)) << program.toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct SmtpSink {
    static QString script() { return QStringLiteral(CORVANE_SOURCE_DIR "/scripts/smtp-sink"); }
    explicit SmtpSink(const QStringList& options = {})
        : port(RunScript(script(), QStringList{QStringLiteral("start"), dir.path()} + options)
                   .toUShort()) {}
    ~SmtpSink() { RunScript(script(), {QStringLiteral("stop"), dir.path()}); }
    int count() const {
        return QDir(dir.filePath(QStringLiteral("messages"))).entryList({"*.eml"}).size();
    }
    // Message n (from 1) and its envelope, one fact a line.
    QStringList message(int n) const {
        const QString base =
            dir.filePath(QStringLiteral("messages/%1").arg(n, 4, 10, QLatin1Char('0')));
        return RunScript(QStringLiteral(CORVANE_SOURCE_DIR "/tests/peer/read-mail.py"),
                         {base + ".eml", base + ".json"})
            .split(u'\n', Qt::SkipEmptyParts);
    }
    // The login attempts that reached the server: "MECHANISM user" each.
    QStringList logins() const {
        QFile file(dir.filePath(QStringLiteral("logins")));
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    QTemporaryDir dir;
    quint16 port;
};
