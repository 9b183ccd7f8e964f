#include "artwork.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

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

QPixmap artwork(const QString& name, const QSize& shown, qreal dpr)
{
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1 %2x%3@%4").arg(name).arg(shown.width()).arg(shown.height()).arg(dpr);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    static const bool registered = (initArtworkResource(), true);
    (void)registered;
    QPixmap pix;
    if (name.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer drawing(QStringLiteral(":/artwork/") + name);
        const QSize pixels = (QSizeF(shown.isEmpty() ? drawing.defaultSize() : shown) * dpr).toSize();
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        drawing.render(&painter);
        painter.end();
        pix = QPixmap::fromImage(image);
    } else {
        const QPixmap own = QPixmap::fromImage(artworkImage(name));
        const QSize pixels = (QSizeF(shown.isEmpty() ? own.size() : shown) * dpr).toSize();
        pix = own.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    pix.setDevicePixelRatio(dpr);
    cache.insert(key, pix);
    return pix;
}

namespace {

class DrawingEngine : public QIconEngine {
public:
    explicit DrawingEngine(QString name)
        : name_(std::move(name))
    {
    }
    QIconEngine* clone() const override { return new DrawingEngine(name_); }
    QString key() const override { return QStringLiteral("miravon-drawing"); }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        QPixmap pix = artwork(name_, size, scale);
        if (mode == QIcon::Disabled) {
            QImage grey = pix.toImage().convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < grey.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
                for (int x = 0; x < grey.width(); ++x)
                    line[x] = qRgba(qGray(line[x]), qGray(line[x]), qGray(line[x]), qAlpha(line[x]) / 2);
            }
            pix = QPixmap::fromImage(grey);
            pix.setDevicePixelRatio(scale);
        }
        return pix;
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, scale));
    }

private:
    QString name_;
};

} // namespace

QIcon drawingIcon(const QString& name)
{
    return QIcon(new DrawingEngine(name));
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
