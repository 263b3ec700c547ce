#include "platform/Fonts.h"

#include <QFont>
#include <QStringList>

namespace platform {

void installFontSubstitutions() {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               QStringList{QStringLiteral("Liberation Sans"),
                                           QStringLiteral("DejaVu Sans"),
                                           QStringLiteral("Sans Serif")});
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
                               QStringList{QStringLiteral("Liberation Mono"),
                                           QStringLiteral("DejaVu Sans Mono"),
                                           QStringLiteral("Monospace")});
}

} // namespace platform
