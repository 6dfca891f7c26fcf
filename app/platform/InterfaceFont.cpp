#include "InterfaceFont.h"

// Qt
#include <QStringList>

namespace InterfaceFont {

QFont compact(QFont base) {
    base.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    // Without any of them, a proportional sans-serif face rather than whatever sans-serif
    // resolves to (a monospace face on a minimal system).
    base.setStyleHint(QFont::SansSerif, QFont::PreferMatch);
    base.setFixedPitch(false);
    base.setPixelSize(11);
    return base;
}

} // namespace InterfaceFont
