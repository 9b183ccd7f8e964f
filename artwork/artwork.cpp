#include "artwork.h"

#include <QBitmap>
#include <QHash>

// The pictures live in a static library, so their resource must be
// registered by hand before the first use.
static void initArtworkResource() { Q_INIT_RESOURCE(artwork); }

namespace miravon {

QImage artworkImage(const QString& name)
{
    static const bool registered = (initArtworkResource(), true);
    (void)registered;
    return QImage(QStringLiteral(":/artwork/") + name);
}

QPixmap artwork(const QString& name)
{
    static QHash<QString, QPixmap> cache;
    if (auto it = cache.constFind(name); it != cache.constEnd())
        return *it;
    QPixmap pix = QPixmap::fromImage(artworkImage(name));
    if (!pix.isNull())
        pix.setMask(pix.createMaskFromColor(QColor::fromRgb(artworkKey), Qt::MaskInColor));
    cache.insert(name, pix);
    return pix;
}

QIcon programIcon()
{
    QIcon icon;
    (void)artworkImage(QStringLiteral("icon16.png"));
    for (int s : {16, 32, 48})
        icon.addFile(QStringLiteral(":/artwork/icon%1.png").arg(s), QSize(s, s));
    return icon;
}

} // namespace miravon
