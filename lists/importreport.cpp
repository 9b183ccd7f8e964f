#include "importreport.h"

#include "search.h"

#include <QSet>

namespace miravon::import {
namespace {

QString countriesOf(const QStringList& codes)
{
    QStringList names;
    for (const QString& c : codes)
        names << search::countryName(c);
    return names.join(QStringLiteral(", "));
}

// A list's notes on a stream, in Vietnamese.
QString markerText(const QString& marker)
{
    if (marker.contains(QLatin1String("geo"), Qt::CaseInsensitive))
        return QStringLiteral("bị chặn theo vùng");
    if (marker.contains(QLatin1String("24/7")))
        return QStringLiteral("không phát suốt ngày");
    return marker;
}

// "title" (list dòng N; khớp theo tên; notes; cần referrer)
QString streamText(const ReportInput& in, int index, How how)
{
    const Stream& s = in.result.streams.at(index);
    QStringList notes{QStringLiteral("%1 dòng %2").arg(in.sources.at(s.source).name).arg(s.entry->line),
                      QStringLiteral("khớp theo %1").arg(howText(how))};
    for (const QString& m : s.markers)
        notes << markerText(m);
    if (!s.entry->referrer.isEmpty())
        notes << QStringLiteral("cần referrer");
    if (!s.entry->userAgent.isEmpty())
        notes << QStringLiteral("cần user-agent");
    return QStringLiteral("\"%1\" (%2)")
        .arg(s.entry->title.isEmpty() ? s.entry->tvgName : s.entry->title, notes.join(QStringLiteral("; ")));
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 byte").arg(bytes);
}

} // namespace

Places::Places(const QList<Target>& targets)
    : targets_(targets)
{
    // The titled panels one country fills with one title are its pages
    // (the five of the United States); blocks under headings are named by
    // their country alone.
    QHash<QString, QStringList> pagesOf;
    auto pageKey = [](const Target& t) { return t.countries.join(u' ') + u'/' + t.panelTitle; };
    for (const Target& t : targets) {
        if (t.panelTitle.isEmpty())
            continue;
        QStringList& pages = pagesOf[pageKey(t)];
        if (!pages.contains(t.window + u'/' + t.panel))
            pages << t.window + u'/' + t.panel;
    }
    panels_.reserve(targets.size());
    for (const Target& t : targets) {
        QString place = countriesOf(t.countries);
        if (!t.panelTitle.isEmpty()) {
            place += QStringLiteral(" › ") + t.panelTitle;
            const QStringList& pages = pagesOf[pageKey(t)];
            if (pages.size() > 1)
                place += QStringLiteral(", trang %1").arg(pages.indexOf(t.window + u'/' + t.panel) + 1);
        }
        panels_ << place;
    }
}

QString Places::panel(int target) const { return panels_.at(target); }

QString Places::entry(int target) const
{
    return panels_.at(target) + QStringLiteral(": ") + targets_.at(target).caption;
}

QString buildReport(const ReportInput& in)
{
    QStringList out;
    const Result& r = in.result;
    const Places places(in.targets);
    out << QStringLiteral("Nhập danh sách kênh");
    out << QStringLiteral("Nguồn:");
    int streams = 0;
    for (const Source& s : in.sources) {
        out << QStringLiteral("  %1: %2 luồng").arg(s.name).arg(s.playlist.entries.size());
        streams += int(s.playlist.entries.size());
    }
    if (!in.skipped.isEmpty()) {
        out << QStringLiteral("  Bỏ qua %1 danh sách:").arg(in.skipped.size());
        for (const QString& why : in.skipped)
            out << QStringLiteral("    %1").arg(why);
    }
    int relative = 0;
    for (const Source& s : in.sources)
        relative += s.playlist.refusedRelative;
    if (relative > 0)
        out << QStringLiteral("  %1 địa chỉ tương đối trong tệp trên máy này, bỏ qua (chỉ danh sách tải qua http, "
                              "https mới có địa chỉ tương đối).")
                   .arg(relative);
    if (r.tooLong > 0)
        out << QStringLiteral("  %1 luồng có tên hoặc địa chỉ quá dài, bỏ qua.").arg(r.tooLong);
    if (r.unusable > 0)
        out << QStringLiteral("  %1 luồng có địa chỉ không dùng được, bỏ qua.").arg(r.unusable);
    if (r.withoutCountry > 0)
        out << QStringLiteral("  %1 luồng không rõ quốc gia, bỏ qua (chỉ định bằng --country).").arg(r.withoutCountry);

    // The channels kept, per country.
    struct Count {
        int channels = 0;
        int withEntry = 0;
    };
    QMap<QString, Count> perCountry;
    int withEntry = 0;
    for (const catalogue::ListChannel& c : in.channels) {
        Count& n = perCountry[c.country];
        ++n.channels;
        if (!c.entry.isEmpty()) {
            ++n.withEntry;
            ++withEntry;
        }
    }
    out << QString()
        << QStringLiteral("Kênh của các danh sách: %1 kênh của %2 quốc gia; %3 kênh có mục trong cửa sổ, %4 kênh khác.")
               .arg(in.channels.size())
               .arg(perCountry.size())
               .arg(withEntry)
               .arg(in.channels.size() - withEntry);
    for (auto it = perCountry.cbegin(); it != perCountry.cend(); ++it)
        out << QStringLiteral("  %1: %2 kênh (%3 có mục)")
                   .arg(search::countryName(it.key()))
                   .arg(it->channels)
                   .arg(it->withEntry);
    if (in.droppedChannels > 0)
        out << QStringLiteral("  Bỏ bớt %1 kênh không có mục: tệp kênh không được lớn hơn %2.")
                   .arg(in.droppedChannels)
                   .arg(sizeText(in.channelsCap));

    // Per country (or heading block), in catalogue order.
    QHash<QString, int> total, matched;
    QStringList order;
    for (const Target& t : in.targets) {
        const QString key = countriesOf(t.countries);
        if (!total.contains(key))
            order << key;
        ++total[key];
    }
    QSet<int> done;
    for (const Match& m : r.matches) {
        ++matched[countriesOf(in.targets.at(m.target).countries)];
        done.insert(m.target);
    }
    out << QString() << QStringLiteral("Mục có địa chỉ, theo quốc gia (có địa chỉ/tổng số mục):");
    for (const QString& key : std::as_const(order))
        out << QStringLiteral("  %1 %2/%3").arg(key, -30).arg(matched.value(key)).arg(total.value(key));
    out << QStringLiteral("  Tổng: %1/%2 mục có địa chỉ từ %3 luồng.")
               .arg(r.matches.size())
               .arg(in.targets.size())
               .arg(streams);

    out << QString() << QStringLiteral("Địa chỉ %1 (mục -> luồng: danh sách, cách khớp, ghi chú):")
                            .arg(in.dryRun ? QStringLiteral("sẽ ghi") : QStringLiteral("đã ghi"));
    for (const Match& m : r.matches) {
        const Candidate& c = m.candidates.first();
        out << QStringLiteral("  %1 -> %2").arg(places.entry(m.target), streamText(in, c.stream, c.how))
            << QStringLiteral("      %1").arg(r.streams.at(c.stream).entry->url);
    }
    if (r.matches.isEmpty())
        out << QStringLiteral("  (không có)");

    QStringList others;
    for (const Match& m : r.matches)
        for (int i = 1; i < m.candidates.size(); ++i) {
            const Candidate& c = m.candidates.at(i);
            others << QStringLiteral("  %1 -> %2").arg(places.entry(m.target), streamText(in, c.stream, c.how))
                   << QStringLiteral("      %1").arg(r.streams.at(c.stream).entry->url);
        }
    if (!others.isEmpty())
        out << QString() << QStringLiteral("Luồng khác cho cùng mục, thử sau luồng đã ghi:") << others;

    if (!r.suggestions.isEmpty()) {
        out << QString() << QStringLiteral("Tên gần giống, chỉ gợi ý, không ghi:");
        for (const Suggestion& s : r.suggestions)
            out << QStringLiteral("  %1 ~ \"%2\" (%3 dòng %4; giống %5%)")
                       .arg(places.entry(s.target), in.result.streams.at(s.stream).entry->title,
                            in.sources.at(in.result.streams.at(s.stream).source).name)
                       .arg(in.result.streams.at(s.stream).entry->line)
                       .arg(qRound(s.ratio * 100));
    }

    out << QString() << QStringLiteral("Mục chưa có địa chỉ từ các danh sách:");
    QString panel;
    QStringList names;
    auto flush = [&] {
        if (!names.isEmpty())
            out << QStringLiteral("  %1: %2").arg(panel, names.join(QStringLiteral(", ")));
        names.clear();
    };
    for (int i = 0; i < in.targets.size(); ++i) {
        if (done.contains(i))
            continue;
        if (places.panel(i) != panel) {
            flush();
            panel = places.panel(i);
        }
        names << in.targets.at(i).caption;
    }
    flush();

    QStringList overridden;
    for (const Match& m : r.matches) {
        const Target& t = in.targets.at(m.target);
        for (const catalogue::AddressRow& row : in.own)
            if (row.window == t.window && row.control == t.control) {
                overridden << QStringLiteral("  %1 -> addresses.tsv dòng %2: %3")
                                  .arg(places.entry(m.target))
                                  .arg(row.line)
                                  .arg(row.address);
                break;
            }
    }
    if (!overridden.isEmpty())
        out << QString() << QStringLiteral("Tệp địa chỉ riêng của bạn thắng ở các mục sau:") << overridden;

    out << QString();
    if (!in.kept.isEmpty())
        out << in.kept;
    else if (in.dryRun)
        out << QStringLiteral("Chạy thử: không ghi tệp nào.");
    else
        out << QStringLiteral("Đã ghi %1 địa chỉ vào %2 và %3 kênh bên cạnh (bản trước giữ ở %2.bak).")
                   .arg(r.matches.size())
                   .arg(in.importPath)
                   .arg(in.channels.size());
    return out.join(u'\n') + u'\n';
}

} // namespace miravon::import
