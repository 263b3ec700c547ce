#include "settings/ui/AccountText.h"

#include <QFontMetrics>

namespace accounttext {

QString elided(const QString& name, const QFontMetrics& metrics) {
    constexpr int kWidestName = 40; // average characters
    return metrics.elidedText(name, Qt::ElideMiddle, metrics.averageCharWidth() * kWidestName);
}

} // namespace accounttext
