// The built-in catalogue checked against the program's listing: panels,
// captions in display order, counts, flags, the kinds and sharing of the
// stream addresses, the film pages, and the label geometry. Also the loader's
// handling of malformed rows.
#include "catalogue.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QUrl>

using namespace miravon::catalogue;

namespace {

const Catalogue& cat()
{
    static const Catalogue c = [] {
        QStringList errors;
        Catalogue parsed = parse(builtInTables(), &errors);
        if (!errors.isEmpty())
            qWarning("%s", qUtf8Printable(errors.join(QLatin1Char('\n'))));
        return parsed;
    }();
    return c;
}

const QStringList viewerWindows = {QStringLiteral("frmmain"),  QStringLiteral("frmmain2"),
                                   QStringLiteral("frmmain3"), QStringLiteral("frmmain4"),
                                   QStringLiteral("frmmain5"), QStringLiteral("frmmain6")};

bool isChannel(const Label& l) { return viewerWindows.contains(l.window); }

QList<const Label*> channelEntries()
{
    QList<const Label*> out;
    for (const Label& l : cat().labels)
        if (isChannel(l) && l.clickable())
            out.append(&l);
    return out;
}

QList<const Label*> films()
{
    return cat().labelsOf(QStringLiteral("frmphim"));
}

QList<const Label*> inPanel(const QString& window, const QString& panel)
{
    QList<const Label*> out;
    for (const Label* l : cat().labelsOf(window))
        if (l->panel == panel && l->kind != Kind::Hidden)
            out.append(l);
    std::stable_sort(out.begin(), out.end(), [](const Label* a, const Label* b) {
        return std::pair(a->column, a->row) < std::pair(b->column, b->row);
    });
    return out;
}

const Label* byCaption(const QString& window, const QString& panel, const QString& caption)
{
    const Label* found = nullptr;
    for (const Label* l : inPanel(window, panel))
        if (l->caption == caption) {
            if (found)
                return nullptr; // not unique: the caller must name the control
            found = l;
        }
    return found;
}

QString fingerprint(const QStringList& parts)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(parts.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16));
}

// The kind of a channel address, by its shape.
QString addressKind(const QString& address)
{
    const QUrl u(address);
    const QString last = u.path().section(QLatin1Char('/'), -1);
    const QString ext = last.contains(QLatin1Char('.')) ? last.section(QLatin1Char('.'), -1).toLower() : QString();
    if (u.scheme() == QLatin1String("mms"))
        return QStringLiteral("mms");
    if (u.scheme() == QLatin1String("rtsp"))
        return ext.isEmpty() ? QStringLiteral("rtsp mount") : QStringLiteral("rtsp file");
    if (u.scheme() != QLatin1String("http"))
        return QStringLiteral("?");
    if (u.host() == QLatin1String("tv-directory.example"))
        return ext == QLatin1String("asx") ? QStringLiteral("directory asx")
            : ext == QLatin1String("m3u")  ? QStringLiteral("directory m3u")
                                           : QStringLiteral("?");
    if (ext == QLatin1String("asx"))
        return u.hasQuery() ? QStringLiteral("station asx query") : QStringLiteral("station asx");
    if (ext == QLatin1String("wvx"))
        return QStringLiteral("wvx");
    if (ext == QLatin1String("wmv"))
        return QStringLiteral("http wmv");
    return ext.isEmpty() ? QStringLiteral("http mount") : QStringLiteral("?");
}

bool isNumericHost(const QUrl& u)
{
    return !QHostAddress(u.host()).isNull();
}

// Hosts nobody owns: reserved names and the documentation IPv4 ranges.
bool isReservedHost(const QString& host)
{
    const QHostAddress ip(host);
    if (!ip.isNull())
        return ip.isInSubnet(QHostAddress(QStringLiteral("192.0.2.0")), 24)
            || ip.isInSubnet(QHostAddress(QStringLiteral("198.51.100.0")), 24)
            || ip.isInSubnet(QHostAddress(QStringLiteral("203.0.113.0")), 24);
    for (const char* suffix : {".example", ".test", ".invalid"})
        if (host.endsWith(QLatin1String(suffix)))
            return true;
    return host == QLatin1String("example.com") || host == QLatin1String("example.net")
        || host == QLatin1String("example.org");
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void builtInTablesParseCleanly();

    void panels_data();
    void panels();
    void listing_data();
    void listing();
    void trickyCaptions_data();
    void trickyCaptions();
    void totals();
    void flags();

    void everyAddressIsHarmless();
    void addressKinds_data();
    void addressKinds();
    void directoryAndFileShapes();
    void sharing();
    void sharedGroups_data();
    void sharedGroups();
    void vietnamesePanel();

    void filmPages_data();
    void filmPages();
    void filmAddresses();

    void geometry_data();
    void geometry();
    void labelsStayApartAndInsideTheirPanel();

    void malformedRows_data();
    void malformedRows();
};

void TestCatalogue::builtInTablesParseCleanly()
{
    QStringList errors;
    const Catalogue c = parse(builtInTables(), &errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    QCOMPARE(c.panels.size(), 35 + 7);
    QCOMPARE(c.labels.size(), 925 + 96 + 18 + 1 + 124);
}

void TestCatalogue::panels_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("headings");
    QTest::addColumn<int>("inert");
    QTest::addColumn<QString>("button"); // "control tx", or empty

    const QString my = QStringLiteral("Ca1c ke6nh truye62n hi2nh My4");
    const QString duc = QStringLiteral("Ca1c ke6nh truye62n hi2nh D9u71c");
    const QRect m1(120, 1320, 3735, 4815), b1(120, 1320, 3855, 4815), b2(120, 1320, 3855, 4695),
        b3(120, 1200, 3855, 4935), d(120, 1440, 3855, 4695);
    auto row = [](const char* w, const char* p, QRect r, QString t, bool v, int e, int h, int i, const char* b) {
        QTest::addRow("%s/%s", w, p) << QString::fromLatin1(w) << QString::fromLatin1(p) << r << t << v << e << h
                                     << i << QString::fromUtf8(b);
    };
    row("frmmain", "vn_", m1, QStringLiteral("Ca1c ke6nh truye62n hi2nh Vie65t Nam"), true, 12, 0, 0, "");
    row("frmmain", "usa1_", m1, my, false, 34, 0, 0, "ButtonUni1 Xem tie61p");
    row("frmmain", "usa2_", m1, my, false, 32, 0, 2, "ButtonUni2 Tie61p tu5c");
    row("frmmain", "usa3_", m1, my, false, 26, 0, 6, "ButtonUni3 Tie61p tu5c");
    row("frmmain", "usa4_", m1, my, false, 32, 0, 0, "ButtonUni4 Tie61p tu5c");
    row("frmmain", "usa5_", m1, my, false, 21, 0, 0, "ButtonUni5 Tro73 ve62 trang d9a62u");
    row("frmmain", "anh1_", m1, QStringLiteral("Ca1c ke6nh truye62n hi2nh Anh Quo61c"), false, 36, 0, 0,
        "ButtonUni6 Tie61p tu5c");
    row("frmmain2", "A1_", b2, {}, true, 29, 5, 1, "");
    row("frmmain2", "A2_", b1, {}, true, 21, 9, 1, "");
    row("frmmain2", "bra_", b3, QStringLiteral("Ca1c ke6nh truye62n hi2nh Brazin"), true, 35, 0, 0, "");
    row("frmmain2", "bc1", b2, {}, false, 20, 4, 1, "");
    row("frmmain2", "cc1_", b2, {}, false, 36, 2, 0, "");
    row("frmmain2", "k8_", b1, {}, false, 16, 8, 4, "");
    row("frmmain3", "def", b1, {}, false, 19, 6, 0, "");
    row("frmmain3", "phap", b3, QStringLiteral("Ca1c ke6nh truye62n hi2nh Pha1p"), false, 20, 0, 0, "");
    row("frmmain3", "GGH", b1, {}, false, 14, 3, 0, "");
    row("frmmain3", "duc1", b3, duc, false, 36, 0, 0, "ButtonUni1 Xem tie61p");
    row("frmmain3", "duc2", b3, duc, false, 30, 0, 0, "ButtonUni2 Tro73 la5i");
    row("frmmain3", "hungary", b3, QStringLiteral("Ca1c ke6nh truye62n hi2nh Hungary"), false, 22, 0, 0, "");
    row("frmmain3", "iran", b1, {}, false, 35, 4, 0, "");
    row("frmmain4", "def", d, {}, true, 26, 4, 1, "");
    // The pair of buttons that reaches I2, which no command of the program shows.
    row("frmmain4", "I1", d, {}, false, 35, 1, 0, "ButtonI1next >>");
    row("frmmain4", "I2", d, {}, false, 21, 0, 0, "ButtonI2back Tro73 la5i");
    row("frmmain4", "jm", d, {}, false, 21, 9, 0, "");
    row("frmmain4", "mali", d, {}, false, 29, 5, 0, "");
    row("frmmain4", "NetherLands", d, {}, false, 35, 1, 0, "");
    row("frmmain4", "philip", d, {}, false, 27, 9, 0, "");
    row("frmmain5", "bang1", d, {}, false, 32, 5, 0, "");
    row("frmmain5", "khung2", d, {}, false, 33, 6, 1, "");
    row("frmmain5", "spain1", d, {}, false, 33, 1, 1, "ButtonUni1 Xem tie61p");
    row("frmmain5", "spain2", d, {}, false, 10, 1, 0, "ButtonUni2 Tro73 la5i");
    row("frmmain5", "khung5", d, {}, false, 32, 6, 0, "");
    row("frmmain5", "khung6", d, {}, false, 25, 5, 0, "");
    row("frmmain5", "khung7", d, {}, false, 29, 1, 0, "");
    row("frmmain6", "khung6", d, {}, false, 11, 1, 0, "");
}

void TestCatalogue::panels()
{
    QFETCH(QString, window);
    QFETCH(QString, panel);
    QFETCH(QRect, rect);
    QFETCH(QString, title);
    QFETCH(bool, visible);
    QFETCH(int, entries);
    QFETCH(int, headings);
    QFETCH(int, inert);
    QFETCH(QString, button);

    const Panel* p = nullptr;
    for (const Panel* candidate : cat().panelsOf(window))
        if (candidate->name == panel)
            p = candidate;
    QVERIFY(p);
    QCOMPARE(p->rect, rect);
    QCOMPARE(p->title, title);
    QCOMPARE(p->vni, !title.isEmpty());
    QCOMPARE(p->visible, visible);

    int e = 0, h = 0, i = 0;
    for (const Label* l : inPanel(window, panel)) {
        e += l->clickable();
        h += l->kind == Kind::Heading;
        i += l->kind == Kind::Inert;
        QVERIFY2(l->kind == Kind::Heading || l->kind == Kind::Inert ? l->address.isEmpty() : !l->address.isEmpty(),
                 qPrintable(l->control));
    }
    QCOMPARE(e, entries);
    QCOMPARE(h, headings);
    QCOMPARE(i, inert);

    QStringList buttons;
    for (const Button& b : cat().buttons)
        if (b.window == window && b.panel == panel)
            buttons << b.control + QLatin1Char(' ') + b.tx;
    QCOMPARE(buttons.join(QLatin1Char('|')), button);
}

// Every panel's labels in display order (column by column, top to bottom),
// as kind and caption, against a fingerprint of the listing; a dropped,
// duplicated, moved or misspelt label changes it. The column sizes make a
// failure easy to place.
void TestCatalogue::listing_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("sha1");
    auto row = [](const char* w, const char* p, const char* c, const char* h) {
        QTest::addRow("%s/%s", w, p) << QString::fromLatin1(w) << QString::fromLatin1(p) << QString::fromLatin1(c)
                                     << QString::fromLatin1(h);
    };
    row("frmmain", "vn_", "12", "48a5f07f26ad768d");
    row("frmmain", "usa1_", "18,16", "8fdf9f9356b583f0");
    row("frmmain", "usa2_", "17,17", "3a6f586190a5c596");
    row("frmmain", "usa3_", "17,15", "99a99eeedde77144");
    row("frmmain", "usa4_", "17,15", "fd254b40e68a5e5b");
    row("frmmain", "usa5_", "17,4", "dcd1d8b185a97be9");
    row("frmmain", "anh1_", "18,18", "ec4e1a4876ec1e5f");
    row("frmmain2", "A1_", "18,17", "927a0bbacdcef6e4");
    row("frmmain2", "A2_", "15,16", "c0c60b3941fd19bf");
    row("frmmain2", "bra_", "17,18", "f62fd4b0fc0dad69");
    row("frmmain2", "bc1", "9,16", "22a486156517f3a4");
    row("frmmain2", "cc1_", "19,19", "d88c647185ed007f");
    row("frmmain2", "k8_", "13,15", "b6bb1e83e4b56775");
    row("frmmain3", "def", "17,8", "57a7458b23078254");
    row("frmmain3", "phap", "10,10", "a66c2774dd97c9ee");
    row("frmmain3", "GGH", "13,4", "23bb06f421a59f82");
    row("frmmain3", "duc1", "18,18", "6748fa18f745e0fb");
    row("frmmain3", "duc2", "18,12", "3958f860b9928b7b");
    row("frmmain3", "hungary", "11,11", "0dbb6f4397f94aa9");
    row("frmmain3", "iran", "18,19,2", "3bc5b80e937a7ea2");
    row("frmmain4", "def", "17,14", "26a405549fb05166");
    row("frmmain4", "I1", "18,18", "020d7625240cd6f6");
    row("frmmain4", "I2", "11,10", "b5c3ab1c1a31b9a0");
    row("frmmain4", "jm", "16,14", "52a9315105184131");
    row("frmmain4", "mali", "18,16", "ffd39e5596ea9283");
    row("frmmain4", "NetherLands", "18,18", "fcb4723de5b1b4ed");
    row("frmmain4", "philip", "18,18", "a5f5e8dfd64cd421");
    row("frmmain5", "bang1", "18,19", "d8faf3599f585767");
    row("frmmain5", "khung2", "19,19,2", "60cc9ecc9f553793");
    row("frmmain5", "spain1", "19,16", "4e50bb7d767db500");
    row("frmmain5", "spain2", "6,5", "64516552fd408a16");
    row("frmmain5", "khung5", "19,19", "1948bff3910d7ccb");
    row("frmmain5", "khung6", "18,12", "61802592d0292dc2");
    row("frmmain5", "khung7", "18,12", "98f26e08305a6391");
    row("frmmain6", "khung6", "7,5", "fc22ebd23a9f6a2e");
}

void TestCatalogue::listing()
{
    QFETCH(QString, window);
    QFETCH(QString, panel);
    QFETCH(QString, columns);
    QFETCH(QString, sha1);

    QMap<int, int> sizes;
    QStringList parts;
    for (const Label* l : inPanel(window, panel)) {
        QVERIFY2(l->row == sizes.value(l->column) + 1, qPrintable(l->control + QStringLiteral(": rows must run 1, 2, 3...")));
        sizes[l->column] = l->row;
        const char* tag = l->kind == Kind::Entry ? "e" : l->kind == Kind::Logo ? "l" : l->kind == Kind::Heading ? "h" : "i";
        parts << QLatin1String(tag) + QLatin1Char(':') + (l->kind == Kind::Logo ? l->control : l->caption);
    }
    QStringList sizeList;
    for (int n : std::as_const(sizes))
        sizeList << QString::number(n);
    QCOMPARE(sizeList.join(QLatin1Char(',')), columns);
    QVERIFY2(fingerprint(parts) == sha1, qPrintable(parts.join(QStringLiteral(" | "))));
}

// Captions whose blanks, digits and letters are easy to lose.
void TestCatalogue::trickyCaptions_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("kind");
    auto row = [](const char* w, const char* p, const QString& c, Kind k) {
        QTest::addRow("%s/%s/%s", w, p, qPrintable(c))
            << QString::fromLatin1(w) << QString::fromLatin1(p) << c << int(k);
    };
    row("frmmain3", "hungary", QStringLiteral("Fix  TV"), Kind::Entry);
    row("frmmain5", "khung6", QStringLiteral("UBC  Sports"), Kind::Entry);
    row("frmmain2", "A2_", QStringLiteral("Armenia "), Kind::Heading);
    row("frmmain3", "hungary", QStringLiteral("Esküvö TV"), Kind::Entry);
    row("frmmain3", "hungary", QStringLiteral("Supernet Zöld"), Kind::Entry);
    row("frmmain2", "cc1_", QStringLiteral("SDTV2 ( NKTV)"), Kind::Entry);
    row("frmmain2", "k8_", QStringLiteral("Cote D'ivoire"), Kind::Heading);
    row("frmmain4", "mali", QStringLiteral("D99 The Cyberstation"), Kind::Entry);
    row("frmmain2", "A1_", QStringLiteral("Antigua & Bar 1"), Kind::Heading);
    row("frmmain2", "cc1_", QStringLiteral("Trung Quo61c"), Kind::Heading);
}

void TestCatalogue::trickyCaptions()
{
    QFETCH(QString, window);
    QFETCH(QString, panel);
    QFETCH(QString, caption);
    QFETCH(int, kind);
    const Label* l = byCaption(window, panel, caption);
    QVERIFY(l);
    QCOMPARE(int(l->kind), kind);
}

void TestCatalogue::totals()
{
    QMap<QString, int> entries, labels;
    int headings = 0, inert = 0, logos = 0, hidden = 0;
    for (const Label& l : cat().labels) {
        if (!isChannel(l))
            continue;
        ++labels[l.window];
        entries[l.window] += l.clickable();
        headings += l.kind == Kind::Heading;
        inert += l.kind == Kind::Inert;
        logos += l.kind == Kind::Logo;
        hidden += l.kind == Kind::Hidden;
    }
    QCOMPARE(entries.value(QStringLiteral("frmmain")), 193);
    QCOMPARE(entries.value(QStringLiteral("frmmain2")), 157);
    QCOMPARE(entries.value(QStringLiteral("frmmain3")), 176);
    QCOMPARE(entries.value(QStringLiteral("frmmain4")), 194);
    QCOMPARE(entries.value(QStringLiteral("frmmain5")), 194);
    QCOMPARE(entries.value(QStringLiteral("frmmain6")), 11);
    QCOMPARE(headings, 96);
    QCOMPARE(inert, 18);
    QCOMPARE(logos, 9);
    QCOMPARE(hidden, 1);

    QCOMPARE(cat().panels.size() - 7, 35);
    int buttons = 0;
    for (const Button& b : cat().buttons)
        buttons += b.window != QLatin1String("frmphim");
    QCOMPARE(buttons, 10 + 2); // and the I1/I2 pair
    QCOMPARE(cat().lines.size(), 12);
    QMap<QString, int> lines;
    for (const Line& l : cat().lines) {
        ++lines[l.panel];
        QCOMPARE(l.window, QStringLiteral("frmmain2"));
        QCOMPARE(l.from.y(), l.to.y());
        QVERIFY((l.from.x() == 0 && l.to.x() == 1080) || (l.from.x() == 2040 && l.to.x() == 3840));
        QCOMPARE(l.color, l.panel == QLatin1String("A1_") ? -2147483639LL : -2147483638LL);
    }
    QCOMPARE(lines.value(QStringLiteral("A2_")), 7);
    QCOMPARE(lines.value(QStringLiteral("cc1_")), 2);
    QCOMPARE(lines.value(QStringLiteral("bc1")), 2);
    QCOMPARE(lines.value(QStringLiteral("A1_")), 1);

    // The one label with an address that can never be seen: above duc2's top.
    const Label* aktuell = cat().label(QStringLiteral("frmmain3"), QStringLiteral("LabelUni101"));
    QVERIFY(aktuell);
    QCOMPARE(aktuell->caption, QStringLiteral("TV Aktuell"));
    QCOMPARE(aktuell->panel, QStringLiteral("duc2"));
    QCOMPARE(aktuell->kind, Kind::Hidden);
    QCOMPARE(aktuell->rect.top(), -480);
    QVERIFY(aktuell->rect.bottom() < 0);
    QVERIFY(!aktuell->address.isEmpty());

    // The inert labels keep their real control names.
    const QStringList inertNames = {
        QStringLiteral("frmmain/usa2_i11"),     QStringLiteral("frmmain/usa2_i17"),
        QStringLiteral("frmmain/LabelUni10"),   QStringLiteral("frmmain/LabelUni27"),
        QStringLiteral("frmmain/LabelUni28"),   QStringLiteral("frmmain/LabelUni29"),
        QStringLiteral("frmmain/LabelUni30"),   QStringLiteral("frmmain/LabelUni31"),
        QStringLiteral("frmmain2/LabelUni6"),   QStringLiteral("frmmain2/LabelUni41"),
        QStringLiteral("frmmain2/LabelUni199"), QStringLiteral("frmmain2/LabelUni200"),
        QStringLiteral("frmmain2/LabelUni201"), QStringLiteral("frmmain2/LabelUni202"),
        QStringLiteral("frmmain2/LabelUni124"), QStringLiteral("frmmain4/IIJJ"),
        QStringLiteral("frmmain5/LabelUni92"),  QStringLiteral("frmmain5/LabelUni67"),
    };
    QStringList actual;
    for (const Label& l : cat().labels)
        if (isChannel(l) && l.kind == Kind::Inert)
            actual << l.window + QLatin1Char('/') + l.control;
    QCOMPARE(QSet<QString>(actual.begin(), actual.end()), QSet<QString>(inertNames.begin(), inertNames.end()));
}

void TestCatalogue::flags()
{
    int flaggedEntries = 0, flaggedHeadings = 0;
    for (const Label& l : cat().labels) {
        if (!isChannel(l))
            continue;
        if (l.kind == Kind::Heading) {
            flaggedHeadings += l.vni;
            QCOMPARE(l.vni, l.panel != QLatin1String("GGH") && l.panel != QLatin1String("iran"));
            QVERIFY(l.bold);
        }
        if (l.clickable())
            flaggedEntries += l.vni;
        if (l.panel == QLatin1String("usa1_"))
            QVERIFY(l.vni);
        if (l.kind == Kind::Logo) {
            QVERIFY(l.caption.isEmpty());
            QVERIFY(QRegularExpression(QStringLiteral("^Image[1-9]$")).match(l.control).hasMatch());
        }
    }
    QCOMPARE(flaggedEntries, 39);
    QCOMPARE(flaggedHeadings, 89);
    QVERIFY(byCaption(QStringLiteral("frmmain3"), QStringLiteral("hungary"), QStringLiteral("Supernet Fehe1r"))->vni);
    QVERIFY(byCaption(QStringLiteral("frmmain3"), QStringLiteral("duc1"), QStringLiteral("Munchen TV"))->vni);
    // Real digits after a vowel sit on unflagged labels only.
    QVERIFY(!byCaption(QStringLiteral("frmmain3"), QStringLiteral("duc1"), QStringLiteral("NOA4"))->vni);
    QVERIFY(!byCaption(QStringLiteral("frmmain5"), QStringLiteral("khung2"), QStringLiteral("TA3"))->vni);
    QVERIFY(!byCaption(QStringLiteral("frmmain5"), QStringLiteral("bang1"), QStringLiteral("A1 TV"))->vni);
    QVERIFY(!byCaption(QStringLiteral("frmmain5"), QStringLiteral("khung5"), QStringLiteral("U1 TV"))->vni);
}

void TestCatalogue::everyAddressIsHarmless()
{
    for (const Label& l : cat().labels) {
        if (l.address.isEmpty())
            continue;
        const QUrl u(l.address, QUrl::StrictMode);
        QVERIFY2(u.isValid() && !u.isRelative(), qPrintable(l.address));
        QVERIFY2(isReservedHost(u.host()), qPrintable(l.window + QLatin1Char('/') + l.control + QLatin1Char(' ') + l.address));
    }
}

void TestCatalogue::addressKinds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("numericHosts"); // -1: not fixed
    QTest::addColumn<int>("withQuery");
    QTest::addColumn<int>("withPort");
    QTest::newRow("directory asx") << QStringLiteral("directory asx") << 794 << 0 << 0 << 0;
    QTest::newRow("directory m3u") << QStringLiteral("directory m3u") << 23 << 0 << 0 << 0;
    QTest::newRow("station asx") << QStringLiteral("station asx") << 43 << -1 << 0 << 0;
    QTest::newRow("station asx query") << QStringLiteral("station asx query") << 2 << -1 << 2 << 0;
    QTest::newRow("wvx") << QStringLiteral("wvx") << 2 << -1 << 0 << 0;
    QTest::newRow("http mount") << QStringLiteral("http mount") << 24 << 11 << 0 << 0;
    QTest::newRow("http wmv") << QStringLiteral("http wmv") << 5 << -1 << 1 << 0;
    QTest::newRow("rtsp mount") << QStringLiteral("rtsp mount") << 22 << -1 << 1 << 3;
    QTest::newRow("rtsp file") << QStringLiteral("rtsp file") << 5 << -1 << 1 << 2;
    QTest::newRow("mms") << QStringLiteral("mms") << 5 << 5 << 0 << 0;
}

void TestCatalogue::addressKinds()
{
    QFETCH(QString, kind);
    QFETCH(int, entries);
    QFETCH(int, numericHosts);
    QFETCH(int, withQuery);
    QFETCH(int, withPort);
    int n = 0, numeric = 0, query = 0, port = 0;
    for (const Label* l : channelEntries()) {
        if (addressKind(l->address) != kind)
            continue;
        const QUrl u(l->address);
        ++n;
        numeric += isNumericHost(u);
        query += u.hasQuery();
        port += u.port() != -1;
    }
    QCOMPARE(n, entries);
    if (numericHosts >= 0)
        QCOMPARE(numeric, numericHosts);
    QCOMPARE(query, withQuery);
    QCOMPARE(port, withPort);
}

void TestCatalogue::directoryAndFileShapes()
{
    // Directory playlists: one host, identifiers numeric with an optional
    // letter before the digits.
    const QRegularExpression id(QStringLiteral("^/play/[a-z]?[0-9]+\\.(asx|m3u)$"));
    QMap<QString, int> rtspFiles;
    for (const Label* l : channelEntries()) {
        const QString kind = addressKind(l->address);
        QVERIFY2(kind != QLatin1String("?"), qPrintable(l->address));
        if (kind.startsWith(QLatin1String("directory")))
            QVERIFY2(id.match(QUrl(l->address).path()).hasMatch(), qPrintable(l->address));
        if (kind == QLatin1String("rtsp file")) {
            const QUrl u(l->address);
            const QString ext = u.path().section(QLatin1Char('.'), -1);
            ++rtspFiles[ext];
            if (ext == QLatin1String("wvx"))
                QVERIFY(u.port() != -1);
        }
    }
    QCOMPARE(rtspFiles.value(QStringLiteral("wmv")), 3);
    QCOMPARE(rtspFiles.value(QStringLiteral("wvx")), 1);
    QCOMPARE(rtspFiles.value(QStringLiteral("asx")), 1);
}

void TestCatalogue::sharing()
{
    QHash<QString, QList<const Label*>> byAddress;
    for (const Label* l : channelEntries())
        byAddress[l->address].append(l);
    QCOMPARE(byAddress.size(), 891);

    int groups = 0, entries = 0, withinPanel = 0;
    QList<const Label*> across;
    for (const auto& users : std::as_const(byAddress)) {
        if (users.size() < 2)
            continue;
        ++groups;
        entries += users.size();
        QVERIFY(users.size() <= 3);
        QSet<QString> panels, captions;
        for (const Label* l : users) {
            panels.insert(l->window + QLatin1Char('/') + l->panel);
            if (!l->caption.isEmpty()) {
                QVERIFY2(!captions.contains(l->caption), qPrintable(l->caption));
                captions.insert(l->caption);
            }
        }
        if (panels.size() == 1)
            ++withinPanel;
        else
            across = users;
    }
    QCOMPARE(groups, 30);
    QCOMPARE(entries, 64);
    QCOMPARE(withinPanel, 29);
    QCOMPARE(across.size(), 2);
    QCOMPARE(across[0]->window, QStringLiteral("frmmain3"));
    QCOMPARE(QSet<QString>({across[0]->panel, across[1]->panel}),
             QSet<QString>({QStringLiteral("duc1"), QStringLiteral("duc2")}));

    // A caption that repeats always names different streams.
    QHash<QString, QSet<QString>> byCaptionAddresses;
    QHash<QString, int> captionCount;
    for (const Label* l : channelEntries()) {
        if (l->caption.isEmpty())
            continue;
        byCaptionAddresses[l->caption].insert(l->address);
        ++captionCount[l->caption];
    }
    int repeated = 0;
    for (auto it = captionCount.cbegin(); it != captionCount.cend(); ++it) {
        if (it.value() < 2)
            continue;
        ++repeated;
        QCOMPARE(byCaptionAddresses.value(it.key()).size(), it.value());
    }
    QCOMPARE(repeated, 18);
}

void TestCatalogue::sharedGroups_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QStringList>("controls"); // a caption where no control name is given
    QTest::addColumn<bool>("same");
    QTest::newRow("VTV1 logo, VTC1 logo, label") << QStringLiteral("frmmain") << QStringLiteral("vn_")
        << QStringList{QStringLiteral("Image4"), QStringLiteral("Image8"), QStringLiteral("LabelUni6")} << true;
    QTest::newRow("Hanoi logo and label") << QStringLiteral("frmmain") << QStringLiteral("vn_")
        << QStringList{QStringLiteral("Image7"), QStringLiteral("LabelUni5")} << true;
    QTest::newRow("VTC2 logo and label") << QStringLiteral("frmmain") << QStringLiteral("vn_")
        << QStringList{QStringLiteral("Image9"), QStringLiteral("LabelUni7")} << true;
    QTest::newRow("TV 23, 26, 30") << QStringLiteral("frmmain") << QStringLiteral("usa5_")
        << QStringList{QStringLiteral("TV 23"), QStringLiteral("TV 26"), QStringLiteral("TV 30")} << true;
    QTest::newRow("C-Span 2, 3") << QStringLiteral("frmmain") << QStringLiteral("usa1_")
        << QStringList{QStringLiteral("C-Span 2"), QStringLiteral("C-Span 3")} << true;
    QTest::newRow("C-Span 1 apart") << QStringLiteral("frmmain") << QStringLiteral("usa1_")
        << QStringList{QStringLiteral("C-Span 1"), QStringLiteral("C-Span 2")} << false;
    QTest::newRow("two Ky4 Thua65t So61") << QStringLiteral("frmmain") << QStringLiteral("vn_")
        << QStringList{QStringLiteral("LabelUni6"), QStringLiteral("LabelUni7")} << false;
}

void TestCatalogue::sharedGroups()
{
    QFETCH(QString, window);
    QFETCH(QString, panel);
    QFETCH(QStringList, controls);
    QFETCH(bool, same);
    QSet<QString> addresses;
    for (const QString& c : controls) {
        const Label* l = cat().label(window, c);
        if (!l)
            l = byCaption(window, panel, c);
        QVERIFY2(l && l->panel == panel && l->clickable(), qPrintable(c));
        addresses.insert(l->address);
    }
    if (same) {
        QCOMPARE(addresses.size(), 1);
        int users = 0;
        for (const Label* l : channelEntries())
            users += addresses.contains(l->address);
        QCOMPARE(users, controls.size()); // nobody else shares it
    } else {
        QCOMPARE(addresses.size(), controls.size());
    }
}

void TestCatalogue::vietnamesePanel()
{
    const QList<const Label*> vn = inPanel(QStringLiteral("frmmain"), QStringLiteral("vn_"));
    QCOMPARE(vn.size(), 12);
    QSet<QString> streams;
    for (const Label* l : vn)
        streams.insert(l->address);
    QCOMPARE(streams.size(), 8);

    auto host = [](const char* control) {
        return QUrl(cat().label(QStringLiteral("frmmain"), QLatin1String(control))->address).host();
    };
    auto scheme = [](const char* control) {
        return QUrl(cat().label(QStringLiteral("frmmain"), QLatin1String(control))->address).scheme();
    };
    QCOMPARE(scheme("Image1"), QStringLiteral("mms"));
    QCOMPARE(scheme("Image2"), QStringLiteral("mms"));
    QCOMPARE(host("Image1"), host("Image2"));
    QVERIFY(!QHostAddress(host("Image1")).isNull());
    // The broadcaster's own site (the first) and the TV-directory service.
    for (const char* c : {"Image3", "Image4", "Image5", "Image9"}) {
        QCOMPARE(host(c), host("Image3"));
        QCOMPARE(addressKind(cat().label(QStringLiteral("frmmain"), QLatin1String(c))->address),
                 QStringLiteral("station asx"));
    }
    QCOMPARE(host("Image6"), QStringLiteral("tv-directory.example"));
    QCOMPARE(host("Image7"), QStringLiteral("tv-directory.example"));
    QVERIFY(host("Image3") != host("Image6"));
}

void TestCatalogue::filmPages_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("labels");
    QTest::addColumn<int>("rtsp");
    QTest::addColumn<int>("http");
    QTest::addColumn<int>("mms");
    QTest::addColumn<int>("titleOnly");
    QTest::addColumn<QString>("sha1"); // of "row:control:title" in file order
    QTest::newRow("trang1") << 1 << 18 << 12 << 5 << 1 << 0 << QStringLiteral("af56894b0b552ac5");
    QTest::newRow("trang2") << 2 << 21 << 4 << 16 << 0 << 1 << QStringLiteral("3a3fbd1dbc475c09");
    QTest::newRow("trang3") << 3 << 18 << 14 << 1 << 0 << 3 << QStringLiteral("f6c45035260c5ad1");
    QTest::newRow("trang4") << 4 << 18 << 12 << 6 << 0 << 0 << QStringLiteral("1bfd08b4f1a7eca1");
    QTest::newRow("trang5") << 5 << 18 << 14 << 3 << 0 << 1 << QStringLiteral("ea052c2efc0c2f8e");
    QTest::newRow("trang6") << 6 << 18 << 17 << 1 << 0 << 0 << QStringLiteral("b4a136f173ad68ca");
    QTest::newRow("trang7") << 7 << 13 << 7 << 6 << 0 << 0 << QStringLiteral("be053cfacdcc9be8");
}

void TestCatalogue::filmPages()
{
    QFETCH(int, page);
    QFETCH(int, labels);
    QFETCH(int, rtsp);
    QFETCH(int, http);
    QFETCH(int, mms);
    QFETCH(int, titleOnly);
    QFETCH(QString, sha1);
    const QString panel = QStringLiteral("trang%1").arg(page);
    QStringList parts;
    QMap<QString, int> schemes;
    for (const Label* l : films()) {
        if (l->panel != panel)
            continue;
        parts << QStringLiteral("%1:%2:%3").arg(l->row).arg(l->control, l->caption);
        QVERIFY(l->vni);
        QVERIFY(l->row >= 1 && l->row <= 18);
        ++schemes[l->address.isEmpty() ? QStringLiteral("title") : QUrl(l->address).scheme()];
        QCOMPARE(l->kind, l->address.isEmpty() ? Kind::Inert : Kind::Entry);
    }
    QCOMPARE(parts.size(), labels);
    QCOMPARE(schemes.value(QStringLiteral("rtsp")), rtsp);
    QCOMPARE(schemes.value(QStringLiteral("http")), http);
    QCOMPARE(schemes.value(QStringLiteral("mms")), mms);
    QCOMPARE(schemes.value(QStringLiteral("title")), titleOnly);
    QVERIFY2(fingerprint(parts) == sha1, qPrintable(parts.join(QStringLiteral(" | "))));

    const Panel* p = nullptr;
    for (const Panel* candidate : cat().panelsOf(QStringLiteral("frmphim")))
        if (candidate->name == panel)
            p = candidate;
    QVERIFY(p);
    QCOMPARE(p->title, QStringLiteral("Danh Sa1ch Phim --- Trang %1").arg(page, 2, 10, QLatin1Char('0')));
    QVERIFY(p->vni);
    QCOMPARE(p->rect, QRect(120, 1440, 3855, 4695));
    QCOMPARE(p->visible, page == 1); // the window opens on the first page
}

void TestCatalogue::filmAddresses()
{
    QHash<QString, QStringList> byAddress;
    QSet<QString> servers, numericServers;
    QStringList titleOnly;
    int entries = 0, ports = 0, upper = 0;
    for (const Label* l : films()) {
        if (l->address.isEmpty()) {
            titleOnly << l->control;
            continue;
        }
        ++entries;
        byAddress[l->address] << l->control;
        const QUrl u(l->address);
        servers.insert(u.host());
        if (isNumericHost(u))
            numericServers.insert(u.host());
        QVERIFY2(u.path().endsWith(QLatin1String(".wmv"), Qt::CaseInsensitive), qPrintable(l->address));
        upper += u.path().endsWith(QLatin1String(".WMV"));
        QVERIFY(!u.hasQuery());
    }
    for (auto it = byAddress.cbegin(); it != byAddress.cend(); ++it)
        ports += QUrl(it.key()).port() != -1;
    QCOMPARE(entries, 119);
    QCOMPARE(byAddress.size(), 116);
    QCOMPARE(servers.size(), 11);
    QCOMPARE(numericServers.size(), 5);
    QCOMPARE(ports, 4);
    QCOMPARE(upper, 1);
    QCOMPARE(titleOnly, (QStringList{QStringLiteral("LabelUni28"), QStringLiteral("LabelUni42"),
                                     QStringLiteral("LabelUni44"), QStringLiteral("LabelUni45"),
                                     QStringLiteral("LabelUni88")}));

    // The three repeats, and nothing else shared.
    QList<QStringList> shared;
    for (const QStringList& users : std::as_const(byAddress))
        if (users.size() > 1)
            shared << users;
    QCOMPARE(shared.size(), 3);
    auto address = [](const char* c) { return cat().label(QStringLiteral("frmphim"), QLatin1String(c))->address; };
    QCOMPARE(address("LabelUni55"), address("LabelUni124"));
    QCOMPARE(address("LabelUni67"), address("LabelUni123"));
    QCOMPARE(address("LabelUni71"), address("LabelUni122"));

    // One film file on two servers.
    const QUrl a(address("LabelUni70")), b(address("LabelUni83"));
    QCOMPARE(a.scheme(), QStringLiteral("http"));
    QCOMPARE(b.scheme(), QStringLiteral("rtsp"));
    QVERIFY(a.host() != b.host());
    QCOMPARE(a.fileName(), b.fileName());

    // The three parts of "KingKong ta1i xua61t": bold, on the title's row.
    const Label* title = cat().label(QStringLiteral("frmphim"), QStringLiteral("LabelUni28"));
    QCOMPARE(title->caption, QStringLiteral("KingKong ta1i xua61t"));
    int left = 1800;
    for (const char* c : {"LabelUni37", "LabelUni38", "LabelUni39"}) {
        const Label* part = cat().label(QStringLiteral("frmphim"), QLatin1String(c));
        QCOMPARE(part->row, title->row);
        QCOMPARE(part->rect, QRect(left, title->rect.top(), 255, 255));
        QVERIFY(part->bold);
        QVERIFY(!part->address.isEmpty());
        left += 360;
    }
}

// Where the listing gives no exact place, the loader derives it; these rows
// pin the rule down at its corners.
void TestCatalogue::geometry_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("titled, first row") << QStringLiteral("frmmain") << QStringLiteral("usa1_1")
                                       << QRect(120, 240, 1800, 255);
    QTest::newRow("titled, right column, frmmain") << QStringLiteral("frmmain") << QStringLiteral("usa1_19")
                                                   << QRect(2040, 240, 1575, 255);
    QTest::newRow("untitled, 19th row") << QStringLiteral("frmmain2") << QStringLiteral("cc1_38")
                                        << QRect(2040, 4440, 1695, 255);
    QTest::newRow("three columns, third") << QStringLiteral("frmmain3") << QStringLiteral("iran_38")
                                          << QRect(2760, 120, 975, 255);
    QTest::newRow("three columns, middle") << QStringLiteral("frmmain5") << QStringLiteral("khung2_20")
                                           << QRect(1440, 120, 1320, 255);
    QTest::newRow("vn_ logo") << QStringLiteral("frmmain") << QStringLiteral("Image4") << QRect(120, 1680, 1185, 525);
    QTest::newRow("vn_ label") << QStringLiteral("frmmain") << QStringLiteral("LabelUni5")
                               << QRect(840, 3240, 2175, 375);
    QTest::newRow("film, first row") << QStringLiteral("frmphim") << QStringLiteral("LabelUni184")
                                     << QRect(120, 240, 3375, 255);
    QTest::newRow("film, last row clear of the button") << QStringLiteral("frmphim") << QStringLiteral("LabelUni18")
                                                        << QRect(120, 4320, 2400, 255);
    QTest::newRow("film, last row clear of >>") << QStringLiteral("frmphim") << QStringLiteral("LabelUni111")
                                                << QRect(120, 4320, 3240, 255);
    QTest::newRow("KingKong title") << QStringLiteral("frmphim") << QStringLiteral("LabelUni28")
                                    << QRect(120, 2400, 1575, 255);
}

void TestCatalogue::geometry()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QRect, rect);
    const Label* l = cat().label(window, control);
    QVERIFY(l);
    QCOMPARE(l->rect, rect);
}

// A click lands on the label under the pointer: no label's centre may lie on
// another label or on a page button, and every label lies inside its panel.
void TestCatalogue::labelsStayApartAndInsideTheirPanel()
{
    for (const Panel& p : cat().panels) {
        const QRect inside(0, 0, p.rect.width(), p.rect.height());
        const QList<const Label*> labels = inPanel(p.window, p.name);
        QList<QRect> buttons;
        for (const Button& b : cat().buttons)
            if (b.window == p.window && b.panel == p.name) {
                // usa4_'s button overhangs its panel's right edge by 120 and is clipped there.
                QVERIFY2(inside.contains(b.rect.center()), qPrintable(p.window + QLatin1Char('/') + b.control));
                buttons << b.rect;
            }
        for (const Label* l : labels) {
            const QString where = p.window + QLatin1Char('/') + l->control;
            QVERIFY2(inside.contains(l->rect), qPrintable(where));
            QCOMPARE(l->rect.height() >= 255, true);
            const QPoint c = l->rect.center();
            for (const Label* other : labels)
                QVERIFY2(other == l || !other->rect.contains(c), qPrintable(where + QStringLiteral(" under ") + other->control));
            for (const QRect& b : std::as_const(buttons))
                QVERIFY2(!b.contains(c), qPrintable(where + QStringLiteral(" under its page button")));
        }
    }
}

void TestCatalogue::malformedRows_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("message");
    auto ch = [](const char* name, const char* row, const char* message) {
        QTest::newRow(name) << QStringLiteral("channels") << QString::fromUtf8(row) << QString::fromUtf8(message);
    };
    ch("too few columns", "w\tp\t1\t2\tentry\tc2\tTwo\t0\thttp://a.example/2.asx", "9 columns, expected 13");
    ch("unknown kind", "w\tp\t1\t2\tentri\tc2\tTwo\t0\thttp://a.example/2.asx\t\t\t\t", "unknown kind \"entri\"");
    ch("row not a number", "w\tp\t1\tx\tentry\tc2\tTwo\t0\thttp://a.example/2.asx\t\t\t\t", "row \"x\" is not a number");
    ch("row zero", "w\tp\t1\t0\tentry\tc2\tTwo\t0\thttp://a.example/2.asx\t\t\t\t", "count from 1");
    ch("vni not a flag", "w\tp\t1\t2\tentry\tc2\tTwo\t2\thttp://a.example/2.asx\t\t\t\t", "vni must be 0 or 1");
    ch("entry without address", "w\tp\t1\t2\tentry\tc2\tTwo\t0\t\t\t\t\t", "is not an absolute");
    ch("relative address", "w\tp\t1\t2\tentry\tc2\tTwo\t0\ta.example/2.asx\t\t\t\t", "is not an absolute");
    ch("other scheme", "w\tp\t1\t2\tentry\tc2\tTwo\t0\tftp://a.example/2.asx\t\t\t\t", "is not an absolute");
    ch("heading with address", "w\tp\t1\t2\theading\tc2\tTwo\t1\thttp://a.example/2.asx\t\t\t\t", "a heading has no address");
    ch("empty caption", "w\tp\t1\t2\tentry\tc2\t\t0\thttp://a.example/2.asx\t\t\t\t", "caption is empty");
    ch("logo with caption", "w\tp\t1\t2\tlogo\tImage1\tTwo\t0\thttp://a.example/2.asx\t1\t2\t3\t4", "a logo has no caption");
    ch("logo without rectangle", "w\tp\t1\t2\tlogo\tImage1\t\t0\thttp://a.example/2.asx\t\t\t\t", "needs its rectangle");
    ch("half a rectangle", "w\tp\t1\t2\tentry\tc2\tTwo\t0\thttp://a.example/2.asx\t10\t\t\t", "all of left, top, width and height");
    // Numbers so large that the geometry sums would overflow.
    ch("row out of range", "w\tp\t1\t2147483647\tentry\tc2\tTwo\t0\thttp://a.example/2.asx\t\t\t\t", "row 2147483647 is out of range");
    ch("rectangle out of range", "w\tp\t1\t2\tentry\tc2\tTwo\t0\thttp://a.example/2.asx\t1080\t0\t2147483637\t255",
       "width 2147483637 is out of range");
    ch("hidden without rectangle", "w\tp\t0\t0\thidden\tc2\tTwo\t0\thttp://a.example/2.asx\t\t\t\t", "hidden label");
    ch("unknown panel", "w\tq\t1\t2\tentry\tc2\tTwo\t0\thttp://a.example/2.asx\t\t\t\t", "no panel \"q\" on w");
    ch("control named twice", "w\tp\t1\t2\tentry\tc1\tTwo\t0\thttp://a.example/2.asx\t\t\t\t", "control \"c1\" named twice");
    ch("place taken", "w\tp\t1\t1\tentry\tc2\tTwo\t0\thttp://a.example/2.asx\t\t\t\t", "column 1, row 1 of p is taken");
    QTest::newRow("film page unknown") << QStringLiteral("films") << QStringLiteral("8\t1\tf2\tT\trtsp://b.example/t.wmv\t\t\t0")
                                       << QStringLiteral("no panel \"trang8\"");
    QTest::newRow("film bold not a flag") << QStringLiteral("films") << QStringLiteral("1\t2\tf2\tT\trtsp://b.example/t.wmv\t\t\tyes")
                                          << QStringLiteral("bold must be 0 or 1");
    QTest::newRow("film row taken") << QStringLiteral("films") << QStringLiteral("1\t1\tf2\tT\trtsp://b.example/t.wmv\t\t\t0")
                                    << QStringLiteral("row 1 of page 1 is taken");
    QTest::newRow("film width out of range") << QStringLiteral("films") << QStringLiteral("1\t2\tf2\tT\trtsp://b.example/t.wmv\t1800\t2147483000\t0")
                                             << QStringLiteral("width 2147483000 is out of range");
    QTest::newRow("film bad address") << QStringLiteral("films") << QStringLiteral("1\t2\tf2\tT\trtsp//b.example/t.wmv\t\t\t0")
                                      << QStringLiteral("is not an absolute");
    QTest::newRow("panel named twice") << QStringLiteral("panels") << QStringLiteral("w\tp\t0\t0\t10\t10\t\t0\t0")
                                       << QStringLiteral("\"p\" named twice on w");
    QTest::newRow("button on unknown panel") << QStringLiteral("buttons") << QStringLiteral("w\tq\tB1\tGo\t1\t2\t3\t4")
                                             << QStringLiteral("no panel \"q\" on w");
    QTest::newRow("line out of range") << QStringLiteral("lines") << QStringLiteral("w\tp\t0\t1\t-2000000\t1\t0")
                                       << QStringLiteral("x2 -2000000 is out of range");
    QTest::newRow("line colour") << QStringLiteral("lines") << QStringLiteral("w\tp\t0\t1\t2\t1\tred")
                                 << QStringLiteral("color \"red\" is not a number");
}

// A small set of good tables, with one bad row added as the third line of
// one of them: exactly one error, naming that table and line, and the good
// rows still load.
void TestCatalogue::malformedRows()
{
    QFETCH(QString, table);
    QFETCH(QString, row);
    QFETCH(QString, message);

    Tables t;
    t.panels = QStringLiteral("window\tpanel\tleft\ttop\twidth\theight\ttitle\tvni\tvisible\n"
                              "w\tp\t120\t1320\t3855\t4695\t\t0\t1\n"
                              "frmphim\ttrang1\t120\t1440\t3855\t4695\tPage\t1\t1\n");
    t.channels = QStringLiteral("window\tpanel\tcolumn\trow\tkind\tcontrol\tcaption\tvni\taddress\tleft\ttop\twidth\theight\n"
                                "w\tp\t1\t1\tentry\tc1\tOne\t0\thttp://a.example/1.asx\t\t\t\t\n");
    t.films = QStringLiteral("page\trow\tcontrol\ttitle\taddress\tleft\twidth\tbold\n"
                             "1\t1\tf1\tFilm\trtsp://b.example/f.wmv\t\t\t0\n");
    t.buttons = QStringLiteral("window\tpanel\tcontrol\ttx\tleft\ttop\twidth\theight\n"
                               "w\tp\tB0\tGo\t2000\t4400\t1000\t255\n");
    t.lines = QStringLiteral("window\tpanel\tx1\ty1\tx2\ty2\tcolor\n"
                             "w\tp\t0\t600\t1080\t600\t-2147483638\n");
    QString* target = table == QLatin1String("channels") ? &t.channels
        : table == QLatin1String("films")                ? &t.films
        : table == QLatin1String("panels")               ? &t.panels
        : table == QLatin1String("buttons")              ? &t.buttons
                                                         : &t.lines;
    const QStringList good = target->split(QLatin1Char('\n'));
    *target = good.mid(0, 2).join(QLatin1Char('\n')) + QLatin1Char('\n') + row + QLatin1Char('\n')
        + good.mid(2).join(QLatin1Char('\n'));

    QStringList errors;
    const Catalogue c = parse(t, &errors);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith(table + QStringLiteral(".tsv:3: ")), qPrintable(errors[0]));
    QVERIFY2(errors[0].contains(message), qPrintable(errors[0]));

    QVERIFY(c.label(QStringLiteral("w"), QStringLiteral("c1")));
    QCOMPARE(c.label(QStringLiteral("w"), QStringLiteral("c1"))->address, QStringLiteral("http://a.example/1.asx"));
    QVERIFY(c.label(QStringLiteral("frmphim"), QStringLiteral("f1")));
    QCOMPARE(c.labels.size(), 2);
    QCOMPARE(c.panels.size(), 2);
    QCOMPARE(c.buttons.size(), 1);
    QCOMPARE(c.lines.size(), 1);
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
