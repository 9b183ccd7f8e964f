#include "streamaddress.h"

#include <QNetworkRequest>
#include <QUrl>

namespace miravon {

QByteArray streamHeaderValue(const QString& value)
{
    QString v = value;
    v.remove(QLatin1Char('\r'));
    v.remove(QLatin1Char('\n'));
    return v.trimmed().toUtf8();
}

void applyStreamOptions(QNetworkRequest& request, const StreamOptions& options)
{
    if (const QByteArray referrer = streamHeaderValue(options.referrer); !referrer.isEmpty())
        request.setRawHeader("Referer", referrer);
    if (const QByteArray agent = streamHeaderValue(options.userAgent); !agent.isEmpty())
        request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromUtf8(agent));
}

} // namespace miravon
