#include "streamoptions.h"

#include <QNetworkRequest>

namespace miravon {

namespace {

// One header value: no line breaks, no surrounding blanks.
QByteArray headerValue(const QString& value)
{
    QString v = value;
    v.remove(QLatin1Char('\r'));
    v.remove(QLatin1Char('\n'));
    return v.trimmed().toUtf8();
}

} // namespace

QByteArray engineFileOptions(const StreamOptions& options)
{
    QByteArray out;
    auto add = [&out](const char* key, const QString& value) {
        const QByteArray v = headerValue(value);
        if (v.isEmpty())
            return;
        if (!out.isEmpty())
            out += ',';
        out += key;
        out += "=%" + QByteArray::number(v.size()) + '%' + v;
    };
    add("referrer", options.referrer);
    add("user-agent", options.userAgent);
    return out;
}

void applyStreamOptions(QNetworkRequest& request, const StreamOptions& options)
{
    if (const QByteArray referrer = headerValue(options.referrer); !referrer.isEmpty())
        request.setRawHeader("Referer", referrer);
    if (const QByteArray agent = headerValue(options.userAgent); !agent.isEmpty())
        request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromUtf8(agent));
}

} // namespace miravon
