#include "platform/SettingsStore.h"

#include "platform/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <memory>
#include <sys/stat.h>

namespace platform {

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// What identifies one version of the file on disk. An atomic save replaces the
// file by a new one, so a save that reached the disk always changes this.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    off_t size = 0;

    bool operator==(const FileStamp& o) const {
        return exists == o.exists && device == o.device && inode == o.inode &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               size == o.size;
    }
};

FileStamp stampOf(const QString& path) {
    FileStamp s;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        s.exists = true;
        s.device = st.st_dev;
        s.inode = st.st_ino;
        s.modified = st.st_mtim;
        s.size = st.st_size;
    }
    return s;
}

std::unique_ptr<QSettings> openSettings(const QString& path) {
    auto s = std::make_unique<QSettings>(path, QSettings::IniFormat);
    // Never merge a system-wide or organisation-wide file into the user's settings.
    s->setFallbacksEnabled(false);
    return s;
}

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString keyPath(const QString& group, std::string_view key) {
    return group + QLatin1Char('/') + text(key);
}

SettingsStore* installed = nullptr;

} // namespace

SettingsStore::SettingsStore(QString filePath) : path(std::move(filePath)) {}

QString SettingsStore::defaultFilePath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Corvane/Corvane.ini");
}

QString SettingsStore::sectionGroup(std::string_view section) {
    if (section.empty()) {
        return QStringLiteral("%");
    }
    const QString name = text(section);
    QString group;
    group.reserve(name.size());
    for (const QChar c : name) {
        if (c == QLatin1Char('%')) {
            group += QStringLiteral("%25");
        } else if (c == QLatin1Char('/')) {
            group += QStringLiteral("%2F");
        } else if (c == QLatin1Char('\\')) {
            group += QStringLiteral("%5C");
        } else {
            group += c;
        }
    }
    return group;
}

std::string SettingsStore::GetSetting(std::string_view section, std::string_view key) const {
    const auto s = openSettings(path);
    const QVariant value = s->value(keyPath(sectionGroup(section), key));
    // An unquoted "a, b" written by hand reads as a list; take it back as text.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    }
    return value.toString().toStdString();
}

bool SettingsStore::HasSection(std::string_view section) const {
    const auto s = openSettings(path);
    return s->childGroups().contains(sectionGroup(section));
}

bool SettingsStore::SaveSetting(std::string_view section, std::string_view key,
                                std::string_view value) {
    return commit({{keyPath(sectionGroup(section), key), text(value)}}, {});
}

bool SettingsStore::SaveSettings(
    std::string_view section, const std::vector<std::pair<std::string_view, std::string>>& values) {
    const QString group = sectionGroup(section);
    std::vector<std::pair<QString, QString>> writes;
    writes.reserve(values.size());
    for (const auto& [key, value] : values) {
        writes.emplace_back(keyPath(group, key), text(value));
    }
    return commit(writes, {});
}

bool SettingsStore::DeleteSection(std::string_view section) {
    const QString group = sectionGroup(section);
    if (!openSettings(path)->childGroups().contains(group)) {
        return false;
    }
    return commit({}, group);
}

bool SettingsStore::commit(const std::vector<std::pair<QString, QString>>& writes,
                           const QString& removeGroup) {
    // The file is created empty and private before anything is written into
    // it; the atomic save keeps the permissions of the file it replaces.
    const QFileInfo info(path);
    if (!info.exists()) {
        if (!QDir().mkpath(info.absolutePath())) {
            reportWriteFailure();
            return false;
        }
        QFile create(path);
        if (!create.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) {
            reportWriteFailure();
            return false;
        }
    }

    const FileStamp before = stampOf(path);
    const auto s = openSettings(path);
    // What the keys held, so that a save that fails can be taken back.
    std::vector<std::pair<QString, QVariant>> previous;
    for (const auto& [key, value] : writes) {
        previous.emplace_back(key, s->value(key));
    }
    if (!removeGroup.isEmpty()) {
        s->beginGroup(removeGroup);
        const QStringList keys = s->allKeys();
        s->endGroup();
        for (const QString& key : keys) {
            const QString full = removeGroup + QLatin1Char('/') + key;
            previous.emplace_back(full, s->value(full));
        }
    }

    for (const auto& [key, value] : writes) {
        s->setValue(key, value);
    }
    if (!removeGroup.isEmpty()) {
        s->remove(removeGroup);
    }
    s->sync();
    // A garbled file reports a format error even when the save replaced it
    // with a clean one; what counts is whether a new file reached the disk.
    const bool written = s->status() == QSettings::NoError || !(stampOf(path) == before);
    if (!written) {
        // The settings library keeps unsaved changes and would write them with
        // some later save; a failed save must change nothing, now or later.
        for (const auto& [key, value] : previous) {
            if (value.isValid()) {
                s->setValue(key, value);
            } else {
                s->remove(key);
            }
        }
        reportWriteFailure();
        return false;
    }
    QFile::setPermissions(path, kOwnerOnly);
    return true;
}

void SettingsStore::reportWriteFailure() {
    if (failureReported) {
        return;
    }
    failureReported = true;
    dialogs().messageBox(
        nullptr,
        QStringLiteral("Corvane could not save its settings in\r\n%1\r\n\r\nThe folder may be "
                       "read-only or the disk full. The settings saved before are unchanged; "
                       "changes made from now on may be lost when Corvane ends.")
            .arg(QDir::toNativeSeparators(path)),
        MsgButtons::Ok, MsgIcon::Exclamation);
}

SettingsStore& settingsStore() {
    if (installed) {
        return *installed;
    }
    static SettingsStore user(SettingsStore::defaultFilePath());
    return user;
}

void installSettingsStore(SettingsStore* replacement) {
    installed = replacement;
}

} // namespace platform
