#pragma once

#include <QString>
#include <string>
#include <string_view>

class QFontMetrics;

// Account names and values as the windows show them: the record and the store
// hold UTF-8, exactly as typed.
namespace accounttext {

inline QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string bytes(const QString& text) {
    return text.toStdString();
}

// The reader window's title: "Corvane - " and the active account; "Corvane" while there is none.
inline QString windowTitle(std::string_view isp) {
    return isp.empty() ? QStringLiteral("Corvane") : QStringLiteral("Corvane - ") + text(isp);
}

// A long account name cut in the middle to a width that keeps the menu and the
// setup dialog at their designed size; short names unchanged.
QString elided(const QString& name, const QFontMetrics& metrics);

} // namespace accounttext
