// Finding entries by what the user types (captions, the channels logos
// stand for, countries in both languages; no diacritics, case or
// punctuation; addresses first, closest next), and what the user keeps
// across runs (recent and favourite entries, a damaged file replaced).
#include "kept.h"
#include "search.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace miravon;
using namespace miravon::search;

namespace {

// A small shelf: two German entries, the first without an address; a logo; an
// entry whose caption is a prefix of another's; a film.
QList<Entry> shelf()
{
    return {
        {"frmmain3", "duc1", "duc1_2", "ZDF", {}, {"DE"}, "Cửa sổ 3 › Đức", false},
        {"frmmain3", "duc1", "duc1_1", "ARD Das Erste", {}, {"DE"}, "Cửa sổ 3 › Đức", true},
        {"frmmain", "vn_", "Image4", "VTV1", {"VTV1", "Đài Truyền hình Việt Nam"}, {"VN"}, "Cửa sổ 1 › Việt Nam", true},
        {"frmmain", "vn_", "LabelUni5", "Truyền Hình Kỹ Thuật Số VTC", {}, {"VN"}, "Cửa sổ 1 › Việt Nam", true},
        {"frmmain4", "I1", "I1_3", "Rai News 24", {}, {"IT"}, "Cửa sổ 4 › Ý", true},
        {"frmmain4", "I1", "I1_4", "Rai", {}, {"IT"}, "Cửa sổ 4 › Ý", true},
        {"frmmain", "usa1_", "usa1_9", "CNN International", {}, {"US"}, "Cửa sổ 1 › Mỹ", true},
        {"frmphim", "trang3", "LabelUni40", "Cơn Bão Tuyết", {}, {}, "Phim › Trang 3", true},
    };
}

// Channels of the user's lists: found after the entries that play, before
// those that do not.
QList<Entry> listChannels()
{
    return {
        {"danhsach", "", "IT/RaiItalia.it", "Rai Italia", {}, {"IT"}, "Ý", true, true},
        {"danhsach", "", "DE/DW.de", "Deutsche Welle", {"DW English"}, {"DE"}, "Đức", true, true},
        {"danhsach", "", "KE/ktn news", "KTN News", {}, {"KE"}, "Kenya", true, true},
    };
}

QStringList controlsOf(const Index& index, const QList<Index::Hit>& hits)
{
    QStringList out;
    for (const Index::Hit& h : hits)
        out << index.entry(h.entry).control;
    return out;
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void folds_data();
    void folds();
    void finds_data();
    void finds();
    void everyCountryHasBothNames();
    void keptAcrossRuns();
};

void TestSearch::folds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");
    QTest::newRow("diacritics and đ") << "Đức Truyền Hình" << "duc truyen hinh";
    QTest::newRow("case and punctuation") << "Rai-News (24)" << "rai news 24";
    QTest::newRow("letters from digits") << "VTV1HD" << "vtv 1 hd";
    QTest::newRow("blanks") << "  CNN   Int'l " << "cnn intl";
    QTest::newRow("nothing") << "--" << "";
}

void TestSearch::folds()
{
    QFETCH(QString, text);
    QTEST(fold(text), "folded");
}

void TestSearch::finds_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("controls"); // in order
    QTest::newRow("caption, any case") << "cnn" << QStringList{"usa1_9"};
    QTest::newRow("country in Vietnamese") << "Đức" << QStringList{"duc1_1", "DE/DW.de", "duc1_2"};
    QTest::newRow("country in English") << "germany" << QStringList{"duc1_1", "DE/DW.de", "duc1_2"};
    QTest::newRow("country without diacritics") << "duc" << QStringList{"duc1_1", "DE/DW.de", "duc1_2"};
    QTest::newRow("an entry without an address last") << "d" << QStringList{"duc1_1", "Image4", "DE/DW.de", "duc1_2"};
    QTest::newRow("a list channel by another name") << "dw eng" << QStringList{"DE/DW.de"};
    QTest::newRow("a country the table lacks") << "kenya" << QStringList{"KE/ktn news"};
    QTest::newRow("diacritics in the caption") << "ky thuat so" << QStringList{"LabelUni5"};
    QTest::newRow("the channel a logo stands for") << "dai truyen hinh viet" << QStringList{"Image4"};
    QTest::newRow("letters and digits together") << "vtv1" << QStringList{"Image4"};
    QTest::newRow("the caption itself before a longer one; list channels after the entries")
        << "rai" << QStringList{"I1_4", "I1_3", "IT/RaiItalia.it"};
    QTest::newRow("words in any order, punctuation") << "news, rai" << QStringList{"I1_3"};
    QTest::newRow("a word's beginning") << "inter" << QStringList{"usa1_9"};
    QTest::newRow("caption before country") << "viet" << QStringList{"Image4", "LabelUni5"};
    QTest::newRow("a film") << "bao tuyet" << QStringList{"LabelUni40"};
    QTest::newRow("every word must meet") << "cnn germany" << QStringList{};
    QTest::newRow("nothing typed") << " " << QStringList{};
}

void TestSearch::finds()
{
    QFETCH(QString, query);
    QFETCH(QStringList, controls);
    const Index index({std::make_shared<const Segment>(shelf()), std::make_shared<const Segment>(listChannels())});
    QCOMPARE(controlsOf(index, index.find(query)), controls);
    // At most as many as asked for, the best.
    if (controls.size() > 1)
        QCOMPARE(controlsOf(index, index.find(query, 1)), controls.first(1));
}

void TestSearch::everyCountryHasBothNames()
{
    QVERIFY(countries().size() > 100);
    for (const Country& c : countries()) {
        QCOMPARE(c.code.size(), 2);
        QVERIFY2(!c.english.value(0).isEmpty() && !c.vietnamese.value(0).isEmpty(), qPrintable(c.code));
    }
    QCOMPARE(countryName(QStringLiteral("DE")), QStringLiteral("Đức"));
    QCOMPARE(countryName(QStringLiteral("GB")), QStringLiteral("Anh"));
    // A country the table may not name yet is named all the same.
    QVERIFY(!countryName(QStringLiteral("KE")).isEmpty() && countryName(QStringLiteral("KE")) != u"KE");
    QCOMPARE(countryName(QStringLiteral("ZZ")), QStringLiteral("ZZ"));
}

// Two runs with a damaged file between them: the damage is said once and
// the file started anew; an entry gone from the catalogue is dropped.
void TestSearch::keptAcrossRuns()
{
    QTemporaryDir d;
    using Key = KeptEntries::Key;
    const auto exists = [](const Key& k) { return k.control != QLatin1String("gone"); };
    QStringList reports;
    const auto report = [&](const QString& file, const QString& line, const QString&) {
        QCOMPARE(file, KeptEntries::recentFile());
        reports << line;
    };
    {
        KeptEntries first(d.path());
        first.load(exists, report);
        QVERIFY(first.recent().isEmpty());
        for (int i = 0; i < 12; ++i)
            QVERIFY(first.played({QStringLiteral("frmmain"), QStringLiteral("e%1").arg(i)}));
        QVERIFY(first.played({QStringLiteral("frmmain"), QStringLiteral("e5")})); // again: to the front
        QVERIFY(first.setFavourite({QStringLiteral("frmmain3"), QStringLiteral("duc1_1")}, true));
        QVERIFY(first.setFavourite({QStringLiteral("frmmain3"), QStringLiteral("gone")}, true));
    }
    KeptEntries second(d.path());
    second.load(exists, report);
    QCOMPARE(reports, QStringList{});
    QCOMPARE(second.recent().size(), KeptEntries::recentCount);
    QCOMPARE(second.recent().first(), (Key{QStringLiteral("frmmain"), QStringLiteral("e5")}));
    QCOMPARE(second.recent().at(1), (Key{QStringLiteral("frmmain"), QStringLiteral("e11")}));
    QCOMPARE(second.favourites(), (QList<Key>{{QStringLiteral("frmmain3"), QStringLiteral("duc1_1")}}));

    // Damaged between runs, no row left to read: said once, written whole
    // again.
    QFile f(d.filePath(KeptEntries::recentFile()));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("window\tcontrol\nfrmmain\te1\textra\n\xff\xfe");
    f.close();
    KeptEntries third(d.path());
    third.load(exists, report);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.first().contains(KeptEntries::recentFile()), qPrintable(reports.first()));
    QVERIFY(third.recent().isEmpty());
    QCOMPARE(third.favourites().size(), 1);
    QVERIFY(third.played({QStringLiteral("frmmain"), QStringLiteral("e1")}));
    KeptEntries fourth(d.path());
    fourth.load(exists, report);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(fourth.recent(), (QList<Key>{{QStringLiteral("frmmain"), QStringLiteral("e1")}}));
}

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
