#include "importreport.h"

#include <QSet>

namespace miravon::import {
namespace {

QString where(const Target& t) { return t.window + u'/' + t.panel + u'/' + t.control; }

// "title" (list, dòng N; khớp theo tên; [markers]; cần referrer)
QString streamText(const ReportInput& in, int index, How how)
{
    const Stream& s = in.result.streams.at(index);
    QStringList notes{QStringLiteral("%1 dòng %2").arg(in.sources.at(s.source).name).arg(s.entry->line),
                      QStringLiteral("khớp theo %1").arg(howText(how))};
    notes << s.markers;
    if (!s.entry->referrer.isEmpty())
        notes << QStringLiteral("cần referrer");
    if (!s.entry->userAgent.isEmpty())
        notes << QStringLiteral("cần user-agent");
    return QStringLiteral("\"%1\" (%2)")
        .arg(s.entry->title.isEmpty() ? s.entry->tvgName : s.entry->title, notes.join(QStringLiteral("; ")));
}

} // namespace

QString buildReport(const ReportInput& in)
{
    QStringList out;
    const Result& r = in.result;
    out << QStringLiteral("Nhập danh sách phát M3U");
    out << QStringLiteral("Nguồn:");
    int streams = 0;
    for (const Source& s : in.sources) {
        out << QStringLiteral("  %1: %2 luồng").arg(s.name).arg(s.playlist.entries.size());
        streams += int(s.playlist.entries.size());
    }
    if (!in.skipped.isEmpty()) {
        out << QStringLiteral("  Không đọc được %1 danh sách, bỏ qua:").arg(in.skipped.size());
        for (const QString& why : in.skipped)
            out << QStringLiteral("    %1").arg(why);
    }
    if (r.tooLong > 0)
        out << QStringLiteral("  %1 luồng có tên hoặc địa chỉ quá dài, bỏ qua.").arg(r.tooLong);
    if (r.unusable > 0)
        out << QStringLiteral("  %1 luồng có địa chỉ không dùng được, bỏ qua.").arg(r.unusable);
    if (r.withoutCountry > 0)
        out << QStringLiteral("  %1 luồng không rõ quốc gia, bỏ qua (chỉ định bằng --country).").arg(r.withoutCountry);

    // Per panel, in catalogue order.
    QHash<QString, int> total, matched;
    for (const Target& t : in.targets)
        ++total[t.window + u'/' + t.panel];
    QSet<int> done;
    for (const Match& m : r.matches) {
        const Target& t = in.targets.at(m.target);
        ++matched[t.window + u'/' + t.panel];
        done.insert(m.target);
    }
    out << QString() << QStringLiteral("Theo bảng kênh (khớp/tổng):");
    QStringList order;
    for (const Target& t : in.targets)
        if (order.isEmpty() || order.last() != t.window + u'/' + t.panel)
            order << t.window + u'/' + t.panel;
    for (const QString& key : std::as_const(order))
        out << QStringLiteral("  %1 %2/%3").arg(key, -22).arg(matched.value(key)).arg(total.value(key));
    out << QStringLiteral("  Tổng: %1/%2 mục có địa chỉ từ %3 luồng.")
               .arg(r.matches.size())
               .arg(in.targets.size())
               .arg(streams);

    out << QString() << QStringLiteral("Địa chỉ %1 (mục -> luồng, danh sách, cách khớp, dấu):")
                            .arg(in.dryRun ? QStringLiteral("sẽ ghi") : QStringLiteral("đã ghi"));
    for (const Match& m : r.matches) {
        const Target& t = in.targets.at(m.target);
        const Candidate& c = m.candidates.first();
        out << QStringLiteral("  %1 \"%2\" -> %3").arg(where(t), t.caption, streamText(in, c.stream, c.how))
            << QStringLiteral("      %1").arg(r.streams.at(c.stream).entry->url);
    }
    if (r.matches.isEmpty())
        out << QStringLiteral("  (không có)");

    QStringList others;
    for (const Match& m : r.matches)
        for (int i = 1; i < m.candidates.size(); ++i) {
            const Candidate& c = m.candidates.at(i);
            others << QStringLiteral("  %1 \"%2\": %3")
                          .arg(where(in.targets.at(m.target)), in.targets.at(m.target).caption,
                               streamText(in, c.stream, c.how))
                   << QStringLiteral("      %1").arg(r.streams.at(c.stream).entry->url);
        }
    if (!others.isEmpty())
        out << QString() << QStringLiteral("Luồng khác cho cùng mục, không chọn:") << others;

    if (!r.suggestions.isEmpty()) {
        out << QString() << QStringLiteral("Tên gần giống, chỉ gợi ý, không ghi:");
        for (const Suggestion& s : r.suggestions)
            out << QStringLiteral("  %1 \"%2\" ~ \"%3\" (%4 dòng %5; giống %6%)")
                       .arg(where(in.targets.at(s.target)), in.targets.at(s.target).caption,
                            in.result.streams.at(s.stream).entry->title,
                            in.sources.at(in.result.streams.at(s.stream).source).name)
                       .arg(in.result.streams.at(s.stream).entry->line)
                       .arg(qRound(s.ratio * 100));
    }

    out << QString() << QStringLiteral("Mục chưa khớp:");
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
        const Target& t = in.targets.at(i);
        const QString key = t.window + u'/' + t.panel;
        if (key != panel) {
            flush();
            panel = key;
        }
        names << t.caption;
    }
    flush();

    QStringList overridden;
    for (const Match& m : r.matches) {
        const Target& t = in.targets.at(m.target);
        for (const catalogue::AddressRow& row : in.own)
            if (row.window == t.window && row.control == t.control) {
                overridden << QStringLiteral("  %1 \"%2\": addresses.tsv dòng %3 -> %4")
                                  .arg(where(t), t.caption)
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
        out << QStringLiteral("Đã ghi %1 địa chỉ vào %2 (bản trước giữ ở %2.bak).")
                   .arg(r.matches.size())
                   .arg(in.importPath);
    return out.join(u'\n') + u'\n';
}

} // namespace miravon::import
