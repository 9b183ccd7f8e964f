#include "listchannels.h"

#include "addressfiles.h"
#include "namefold.h"

#include <array>

namespace miravon::catalogue {
namespace {

constexpr int columnCount = 13;
constexpr QByteArrayView header =
    "key\tcountry\tname\tgroup\tquality\ttvg_id\tlogo\tentry\taddress\treferrer\tuser_agent\tlist\ttitle\n";

QByteArray field(const QString& s)
{
    QByteArray b = s.toUtf8();
    for (char& c : b)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return b;
}

bool isCountryCode(const QString& s)
{
    return s.size() == 2 && s.at(0).isUpper() && s.at(1).isUpper() && s.at(0).unicode() < 128
        && s.at(1).unicode() < 128;
}

} // namespace

QString channelKey(const QString& country, const QString& tvgId, const QString& name)
{
    const QString id = tvgId.section(u'@', 0, 0).trimmed();
    return country + u'/' + (id.isEmpty() ? text::fold(name) : id);
}

QByteArray writeListChannels(const QList<ListChannel>& channels)
{
    QByteArray out(header.data(), header.size());
    for (const ListChannel& c : channels) {
        const QByteArray common = field(c.key) + '\t' + field(c.country) + '\t' + field(c.name) + '\t'
            + field(c.group) + '\t' + field(c.quality) + '\t' + field(c.tvgId) + '\t' + field(c.logo) + '\t'
            + field(c.entry) + '\t';
        for (const ListStream& s : c.streams) {
            out += common;
            out += field(s.address.url) + '\t' + field(s.address.options.referrer) + '\t'
                + field(s.address.options.userAgent) + '\t' + field(s.list) + '\t' + field(s.title) + '\n';
        }
    }
    return out;
}

QList<ListChannel> readListChannels(QByteArrayView bytes, QStringList* problems)
{
    QList<ListChannel> out;
    auto bad = [&](int line, const QString& why) {
        if (problems)
            problems->append(QStringLiteral("%1: %2; row skipped").arg(line).arg(why));
    };
    if (!bytes.startsWith(header)) {
        if (problems)
            problems->append(QStringLiteral("1: not the header of a channels file; file ignored"));
        return out;
    }
    qsizetype from = header.size();
    int line = 1;
    std::array<QByteArrayView, columnCount> f;
    while (from < bytes.size()) {
        ++line;
        qsizetype end = bytes.indexOf('\n', from);
        if (end < 0)
            end = bytes.size();
        const QByteArrayView row = bytes.sliced(from, end - from);
        from = end + 1;
        if (row.isEmpty())
            continue;
        int n = 0;
        qsizetype at = 0;
        for (; n < columnCount; ++n) {
            const qsizetype tab = n + 1 < columnCount ? row.indexOf('\t', at) : -1;
            if (n + 1 < columnCount && tab < 0)
                break;
            f[n] = row.sliced(at, (tab < 0 ? row.size() : tab) - at);
            at = tab + 1;
        }
        if (n != columnCount || f[columnCount - 1].contains('\t')) {
            bad(line, QStringLiteral("not %1 columns").arg(columnCount));
            continue;
        }
        const QString key = QString::fromUtf8(f[0]);
        const QString url = QString::fromUtf8(f[8]);
        const QString referrer = QString::fromUtf8(f[9]);
        const QString userAgent = QString::fromUtf8(f[10]);
        const QString country = QString::fromUtf8(f[1]);
        if (key.isEmpty() || !isCountryCode(country)) {
            bad(line, QStringLiteral("no key or no country"));
            continue;
        }
        if (userdata::rowProblem(url, referrer, userAgent, AddressOrigin::Imported) != userdata::RowProblem::None) {
            bad(line, QStringLiteral("not an address an import may give"));
            continue;
        }
        ListStream stream{{url, {referrer, userAgent, AddressOrigin::Imported}},
                          QString::fromUtf8(f[11]),
                          QString::fromUtf8(f[12])};
        if (!out.isEmpty() && out.last().key == key) {
            out.last().streams.append(std::move(stream));
            continue;
        }
        ListChannel c;
        c.key = key;
        c.country = country;
        c.name = QString::fromUtf8(f[2]);
        c.group = QString::fromUtf8(f[3]);
        c.quality = QString::fromUtf8(f[4]);
        c.tvgId = QString::fromUtf8(f[5]);
        c.logo = QString::fromUtf8(f[6]);
        c.entry = QString::fromUtf8(f[7]);
        c.streams.append(std::move(stream));
        out.append(std::move(c));
    }
    return out;
}

} // namespace miravon::catalogue
