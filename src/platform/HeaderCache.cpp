#include "platform/HeaderCache.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <atomic>

namespace platform {

namespace {

constexpr int kSchemaVersion = 1;

QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string text(const QVariant& value) {
    const QByteArray b = value.toByteArray();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

} // namespace

HeaderCache::HeaderCache(QString file) : path(std::move(file)) {
    static std::atomic<int> serial{0};
    connection = QStringLiteral("corvane-header-cache-") + QString::number(++serial);
    if (path.isEmpty()) {
        path = defaultPath();
    }
    if (!openFile() || !prepareSchema()) {
        rebuild();
    }
}

HeaderCache::~HeaderCache() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
}

QString HeaderCache::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/headers.sqlite");
}

bool HeaderCache::openFile() {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSqlDatabase db = QSqlDatabase::contains(connection)
                          ? QSqlDatabase::database(connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    if (!db.isValid()) {
        return false; // no SQLite driver: no cache
    }
    db.setDatabaseName(path);
    if (!db.open()) {
        return false;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

bool HeaderCache::prepareSchema() {
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    QSqlQuery q(db);
    // A file that is not a database, or a truncated one, fails here.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        return false;
    }
    const int version = q.value(0).toInt();
    if (version != 0 && version != kSchemaVersion) {
        return false;
    }
    ready = q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
            q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
            q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS header_rows ("
                                  " account BLOB NOT NULL, uid BLOB NOT NULL, source BLOB NOT NULL,"
                                  " PRIMARY KEY (account, uid)) WITHOUT ROWID")) &&
            q.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) &&
            q.exec(QStringLiteral("PRAGMA quick_check")) && q.next() &&
            q.value(0).toString() == QStringLiteral("ok");
    return ready;
}

void HeaderCache::rebuild() {
    ready = false;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid()) {
            db.close();
        }
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        QFile::remove(path + QLatin1String(suffix));
    }
    if (!openFile() || !prepareSchema()) {
        fail();
    }
}

void HeaderCache::fail() {
    ready = false;
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    if (db.isValid()) {
        db.close();
    }
}

HeaderCache::Entries HeaderCache::load(const std::string& account) {
    Entries entries;
    std::string after;
    if (loadSome(account, entries, after, -1) == Read::Failed) {
        return {};
    }
    return entries;
}

HeaderCache::Read HeaderCache::loadSome(const std::string& account, Entries& entries,
                                        std::string& after, int limit) {
    if (!ready) {
        return Read::Failed;
    }
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    q.prepare(after.empty() ? QStringLiteral("SELECT uid, source FROM header_rows WHERE account = ?"
                                             " ORDER BY uid LIMIT ?")
                            : QStringLiteral("SELECT uid, source FROM header_rows WHERE account = ?"
                                             " AND uid > ? ORDER BY uid LIMIT ?"));
    q.addBindValue(bytes(account));
    if (!after.empty()) {
        q.addBindValue(bytes(after));
    }
    q.addBindValue(limit);
    if (!q.exec()) {
        // Damaged since it was opened: start again empty rather than trust any of it.
        rebuild();
        return Read::Failed;
    }
    int read = 0;
    while (q.next()) {
        after = text(q.value(0));
        entries.emplace(after, text(q.value(1)));
        ++read;
    }
    if (q.lastError().isValid()) {
        rebuild();
        return Read::Failed;
    }
    return read == limit ? Read::More : Read::Done;
}

void HeaderCache::store(const std::string& account,
                        const std::vector<std::pair<std::string, std::string>>& entries) {
    std::vector<std::vector<QByteArray>> rows;
    rows.reserve(entries.size());
    for (const auto& [uid, source] : entries) {
        rows.push_back({bytes(account), bytes(uid), bytes(source)});
    }
    batch(QStringLiteral(
              "INSERT OR REPLACE INTO header_rows (account, uid, source) VALUES (?, ?, ?)"),
          rows);
}

void HeaderCache::keepOnly(const std::string& account,
                           const std::unordered_set<std::string>& uids) {
    std::vector<std::string> gone;
    for (const auto& entry : load(account)) {
        if (!uids.count(entry.first)) {
            gone.push_back(entry.first);
        }
    }
    forget(account, gone);
}

void HeaderCache::forget(const std::string& account, const std::vector<std::string>& uids) {
    std::vector<std::vector<QByteArray>> gone;
    gone.reserve(uids.size());
    for (const std::string& uid : uids) {
        gone.push_back({bytes(account), bytes(uid)});
    }
    batch(QStringLiteral("DELETE FROM header_rows WHERE account = ? AND uid = ?"), gone);
}

void HeaderCache::batch(const QString& statement,
                        const std::vector<std::vector<QByteArray>>& rows) {
    if (!ready || rows.empty()) {
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    db.transaction();
    QSqlQuery q(db);
    q.prepare(statement);
    for (const std::vector<QByteArray>& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            q.bindValue(static_cast<int>(i), row[i]);
        }
        if (!q.exec()) {
            db.rollback();
            rebuild();
            return;
        }
    }
    if (!db.commit()) {
        rebuild();
    }
}

bool HeaderCache::clear() {
    if (!ready) {
        rebuild();
        return ready;
    }
    QSqlQuery q(QSqlDatabase::database(connection, false));
    if (!q.exec(QStringLiteral("DELETE FROM header_rows"))) {
        rebuild();
    }
    return ready;
}

} // namespace platform
