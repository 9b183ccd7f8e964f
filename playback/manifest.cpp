#include "manifest.h"

#include "playlist.h"

#include "fetcher.h"

#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace miravon {

namespace {

Manifest parseHls(const QString& text, const QUrl& base)
{
    Manifest m;
    bool ended = false;
    bool vod = false;
    bool variantNext = false;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('#'))) {
            if (line.startsWith(QLatin1String("#EXT-X-STREAM-INF"), Qt::CaseInsensitive))
                variantNext = true;
            else if (line.startsWith(QLatin1String("#EXT-X-ENDLIST"), Qt::CaseInsensitive))
                ended = true;
            else if (line.startsWith(QLatin1String("#EXT-X-PLAYLIST-TYPE:VOD"), Qt::CaseInsensitive))
                vod = true;
            continue;
        }
        const QUrl ref(line, QUrl::TolerantMode);
        if (!ref.isValid())
            continue;
        const QUrl url = ref.isRelative() ? base.resolved(ref) : ref;
        if (variantNext)
            m.variants << url;
        else
            m.segments << url;
        variantNext = false;
    }
    m.kind = m.variants.isEmpty() ? Manifest::HlsMedia : Manifest::HlsMaster;
    m.live = m.kind == Manifest::HlsMedia && !ended && !vod;
    return m;
}

} // namespace

Manifest parseManifest(const QByteArray& body, const QUrl& base)
{
    const QString text = decodePlaylistText(body.left(maxPlaylistBytes));
    const QString head = text.left(4096).trimmed();
    if (head.startsWith(QLatin1String("#EXTM3U")) && text.contains(QLatin1String("#EXT-X-")))
        return parseHls(text, base);
    static const QRegularExpression mpd(QStringLiteral("^(\\s|<\\?[^>]*\\?>|<!--.*?-->)*<MPD[\\s>]"),
                                        QRegularExpression::DotMatchesEverythingOption);
    if (mpd.match(text.left(65536)).hasMatch()) {
        Manifest m;
        m.kind = Manifest::Dash;
        static const QRegularExpression dynamic(QStringLiteral("<MPD[^>]*\\stype\\s*=\\s*[\"']dynamic[\"']"));
        m.live = dynamic.match(text.left(65536)).hasMatch();
        return m;
    }
    return {};
}

bool isSegmentedFormat(const QString& engineFormat)
{
    return engineFormat.contains(QLatin1String("hls"), Qt::CaseInsensitive)
        || engineFormat.contains(QLatin1String("dash"), Qt::CaseInsensitive);
}

ManifestReader::ManifestReader(QObject* parent)
    : QObject(parent)
{
}

ManifestReader::~ManifestReader() { cancel(); }

void ManifestReader::cancel()
{
    if (fetch_)
        fetch_->cancel();
}

void ManifestReader::start(const QUrl& url, const StreamOptions& options, int boundMs)
{
    cancel();
    options_ = options;
    boundMs_ = std::max(1, boundMs);
    fetch(url, 0);
}

void ManifestReader::fetch(const QUrl& url, int hops)
{
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    if (!fetch_) {
        fetch_ = new Fetch(network_, this);
        connect(fetch_, &Fetch::finished, this, [this](const FetchResult& result) {
            if (result.failure != PlayFailure::None)
                return; // the caller keeps its guess
            const Manifest manifest = parseManifest(result.body, result.url);
            if (manifest.kind == Manifest::HlsMaster && hops_ == 0 && !manifest.variants.isEmpty()
                && isAllowedScheme(manifest.variants.first())) {
                fetch(manifest.variants.first(), hops_ + 1);
            } else if (manifest.kind == Manifest::HlsMedia || manifest.kind == Manifest::Dash) {
                emit says(manifest.live);
            }
        });
    }
    hops_ = hops;
    // Each fetch within the bound as a whole.
    fetch_->start(documentRequest(url, options_), FetchLimits{maxPlaylistBytes, boundMs_, boundMs_});
}

} // namespace miravon
