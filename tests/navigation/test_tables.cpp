// Every country entry, menu command and page button, run from a fresh program
// and from one whose windows are already loaded, checked against what the
// real windows and players did.

#include "navharness.h"

#include <QtTest>

using namespace miravon;
using namespace navtest;

Q_DECLARE_METATYPE(miravon::WindowId)

namespace {

QStringList names(const QSet<QString>& set)
{
    return sorted(QStringList(set.begin(), set.end()));
}

QStringList panelsOf(Harness& h, WindowId id) { return h.viewer(id).panelNames(); }

void showOnly(Harness& h, WindowId id, const QStringList& panels)
{
    for (const QString& name : panelsOf(h, id))
        h.viewer(id).panel(name)->setVisible(panels.contains(name));
}

enum class State { Fresh, Loaded, Dirty };
const char* stateName(State s)
{
    return s == State::Fresh ? "fresh" : s == State::Loaded ? "loaded" : "dirty";
}

struct Entry {
    int page;
    const char* control;
    WindowId target;
    QStringList on;    // panels the entry shows
    QStringList named; // every panel it sets
    const char* steps; // its window steps
};

// Transcribed from the chooser's design, line by line.
const std::vector<Entry>& entries()
{
    static const std::vector<Entry> rows = {
        {1, "LabelUni1", WindowId::frmmain, {"usa1_"}, {"anh1_", "vn_", "usa1_", "usa2_", "usa3_", "usa4_", "usa5_"},
         "close 2, close 3, show 1, hide 2, hide 3, hide 4, hide 5, close 5, hide M, close M"},
        {1, "LabelUni2", WindowId::frmmain, {"anh1_"}, {"anh1_", "vn_", "usa1_", "usa2_", "usa3_", "usa4_", "usa5_"},
         "close 2, close 3, hide 2, show 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
        {1, "Label1", WindowId::frmmain2, {"bc1"}, {"A1_", "A2_", "bra_", "bc1", "cc1_", "k8_"},
         "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
        {1, "Label5", WindowId::frmmain2, {"A2_"}, {"A1_", "A2_", "bra_", "bc1", "cc1_", "k8_"},
         "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
        {1, "LabelUni5", WindowId::frmmain2, {"bra_"}, {"A1_", "A2_", "bra_", "cc1_", "bc1", "k8_"},
         "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
        {1, "Label8", WindowId::frmmain2, {"bc1"}, {"A1_", "A2_", "bra_", "bc1", "cc1_", "k8_"},
         "close 2, close 3, show 2, hide 3, hide 1, hide 4, hide 5, close 5, hide M, close M"},
        {1, "LabelUni6", WindowId::frmmain2, {"bc1"}, {"A1_", "A2_", "bc1", "cc1_", "bra_", "k8_"},
         "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
        {1, "LabelUni7", WindowId::frmmain2, {"cc1_"}, {"A1_", "A2_", "bra_", "bc1", "cc1_", "k8_"},
         "close 1, close 3, show 2, hide 1, hide 3"},
        {1, "Label11", WindowId::frmmain2, {"k8_"}, {"A1_", "A2_", "bra_", "bc1", "cc1_", "k8_"},
         "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
        {1, "Label25", WindowId::frmmain3, {"def"}, {"phap", "def", "GGH", "duc1", "duc2", "hungary", "iran"},
         "show 3, hide 1, hide 2, close 1, close 2, hide 4, hide 5, close 5, hide M, close M"},
        {2, "LabelUni12", WindowId::frmmain3, {"phap"}, {"phap", "def", "GGH", "duc1", "duc2", "hungary", "iran"},
         "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
        {2, "LabelUni13", WindowId::frmmain3, {"GGH"}, {"phap", "def", "GGH", "duc1", "duc2", "hungary", "iran"},
         "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
        {2, "LabelUni9", WindowId::frmmain3, {"GGH"}, {"phap", "def", "GGH"},
         "close 1, close 2, hide 2, hide 1, show 3"},
        {2, "LabelUni10", WindowId::frmmain3, {"duc1"}, {"phap", "def", "GGH", "duc1", "duc2", "hungary", "iran"},
         "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
        {2, "LabelUni17", WindowId::frmmain3, {"hungary"}, {"phap", "def", "GGH", "duc1", "duc2", "hungary", "iran"},
         "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
        {2, "Label20", WindowId::frmmain3, {"iran"}, {"phap", "def", "GGH", "duc1", "duc2", "hungary", "iran"},
         "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
        {2, "Label17", WindowId::frmmain4, {"def"}, {"def", "I1", "I2", "jm", "mali", "NetherLands", "philip"},
         "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5"},
        {2, "LabelUni15", WindowId::frmmain4, {"I1"}, {"def", "I1", "I2", "jm", "mali", "NetherLands", "philip"},
         "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
        {2, "Label23", WindowId::frmmain4, {"jm"}, {"def", "I1", "I2", "jm", "mali", "NetherLands", "philip"},
         "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
        {2, "Label26", WindowId::frmmain4, {"mali"}, {"def", "I1", "I2", "jm", "mali", "NetherLands", "philip"},
         "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
        {2, "LabelUni20", WindowId::frmmain4, {"NetherLands"}, {"NetherLands", "def", "I1", "I2", "jm", "mali", "philip"},
         "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
        {2, "Label30", WindowId::frmmain4, {"philip"}, {"NetherLands", "def", "I1", "I2", "jm", "mali", "philip"},
         "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
        {3, "Label33", WindowId::frmmain5, {"bang1"}, {"bang1", "khung2", "spain1", "spain2", "khung5", "khung6", "khung7"},
         "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M"},
        {3, "Label32", WindowId::frmmain5, {"khung2"}, {"bang1", "khung2", "spain1", "spain2", "khung5", "khung6", "khung7"},
         "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, hide M, close M, close 4"},
        {3, "LabelUni23", WindowId::frmmain5, {"spain1"}, {"bang1", "khung2", "spain1", "spain2", "khung5", "khung6", "khung7"},
         "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M"},
        {3, "Label35", WindowId::frmmain5, {"khung5"}, {"bang1", "khung2", "spain1", "spain2", "khung5", "khung6", "khung7"},
         "hide M, close M, show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4"},
        {3, "Label39", WindowId::frmmain5, {"khung6"}, {"bang1", "khung2", "spain1", "spain2", "khung5", "khung6", "khung7"},
         "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M"},
        {3, "LabelUni27", WindowId::frmmain5, {"khung7"}, {"bang1", "khung2", "spain1", "spain2", "khung5", "khung6", "khung7"},
         "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M"},
        {3, "LabelUni28", WindowId::frmmain6, {"khung6"}, {"khung6"},
         "show 6, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M, hide 5, close 5"},
    };
    return rows;
}

} // namespace

class TestTables : public QObject {
    Q_OBJECT
private slots:
    void tablesAreSound();
    void countryEntries_data();
    void countryEntries();
    void inertChooserLabels();
    void menuCommands_data();
    void menuCommands();
    void pageButtons_data();
    void pageButtons();
};

void TestTables::tablesAreSound()
{
    QCOMPARE(tableErrors(), QStringList());
    // Every row is reachable: its control exists where the row says.
    Harness h;
    for (const RowKey& row : tableRows(StepTable::PageButton))
        QVERIFY2(h.viewer(row.window).findChild<ButtonUni*>(row.control),
                 qPrintable(windowName(row.window) + QLatin1Char(' ') + row.control));
    for (const RowKey& row : tableRows(StepTable::Chooser))
        QVERIFY2(h.p().window(WindowId::chonkenh).findChild<QWidget*>(row.control), qPrintable(row.control));
    for (const RowKey& row : tableRows(StepTable::Menu))
        QVERIFY2(h.viewer(row.window).menu()->item(row.control),
                 qPrintable(windowName(row.window) + QLatin1Char(' ') + row.control));

    StepList steps;
    QString error;
    QVERIFY(!parseSteps(WindowId::frmmain, QStringLiteral("close frmsoft"), steps, &error));
    QVERIFY(!parseSteps(WindowId::frmmain, QStringLiteral("show 7"), steps, &error));
    QVERIFY(!parseSteps(WindowId::frmmain, QStringLiteral("vn_ maybe"), steps, &error));
    QVERIFY(parseSteps(WindowId::frmmain, QStringLiteral("vn_ on,  close M , show chonkenh"), steps, &error));
    QCOMPARE(steps.size(), size_t(3));
}

void TestTables::countryEntries_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("row");
    for (State s : {State::Fresh, State::Loaded, State::Dirty})
        for (size_t i = 0; i < entries().size(); ++i)
            QTest::addRow("%s %s", stateName(s), entries()[i].control) << int(s) << int(i);
}

// Fresh: only frmmain and the chooser exist. Loaded: every window with a
// player is loaded and shown. Dirty: loaded, and every panel of the target
// shown. After the entry, exactly the panels its row shows remain, beside any
// panel the row does not name.
void TestTables::countryEntries()
{
    QFETCH(int, state);
    QFETCH(int, row);
    const Entry& e = entries()[size_t(row)];
    Harness h;
    h.p().show(WindowId::frmmain);
    if (State(state) != State::Fresh)
        h.loadAndShowAllViewers();
    QStringList expectedPanels = e.on;
    if (State(state) == State::Dirty) {
        showOnly(h, e.target, panelsOf(h, e.target));
        for (const QString& p : panelsOf(h, e.target))
            if (!e.named.contains(p))
                expectedPanels << p;
    }
    h.openChooserOn(e.page);
    QSet<QString> visible = h.visibleWindows();
    const QStringList expected = expectedTrace(QLatin1String(e.steps), visible);
    trace().clear();

    h.clickChooser(QLatin1String(e.control));

    QCOMPARE(trace(), expected);
    QCOMPARE(names(h.visibleWindows()), names(visible));
    QCOMPARE(h.visiblePanels(e.target), sorted(expectedPanels));
    QCOMPARE(h.visiblePages(), QStringList{QStringLiteral("qg%1").arg(e.page)});
    QCOMPARE(h.ends, 0);
}

void TestTables::inertChooserLabels()
{
    Harness h;
    h.loadAndShowAllViewers();
    const QStringList counts[] = {
        {"LabelUni3", "LabelUni4", "LabelUni8", "LabelUni11"},
        {"LabelUni14", "LabelUni18", "LabelUni16", "LabelUni19", "LabelUni21"},
        {"LabelUni24", "LabelUni22", "LabelUni25", "LabelUni26"},
    };
    for (int page = 1; page <= 3; ++page) {
        h.openChooserOn(page);
        const QSet<QString> before = h.visibleWindows();
        trace().clear();
        for (const QString& c : counts[page - 1])
            h.clickChooser(c);
        for (QWidget* bullet : h.p().window(WindowId::chonkenh).findChildren<QWidget*>(QStringLiteral("bullet")))
            if (bullet->isVisible())
                QTest::mouseClick(bullet, Qt::LeftButton);
        QCOMPARE(trace(), QStringList());
        QCOMPARE(names(h.visibleWindows()), names(before));
        QCOMPARE(h.visiblePages(), QStringList{QStringLiteral("qg%1").arg(page)});
    }
}

void TestTables::menuCommands_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<WindowId>("on");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("steps");

    const QString film = QStringLiteral(
        "show M, hide 1, hide 2, hide 3, hide 4, hide 5, hide 6, close 1, close 2, close 3, close 4, close 5, close 6");
    for (State s : {State::Fresh, State::Loaded}) {
        for (WindowId on : playerWindows) {
            const bool early = on == WindowId::frmmain || on == WindowId::frmmain2;
            // An information window hides frmmain as it loads, before it shows.
            const QList<std::pair<QString, QString>> commands = {
                {"asdf", "close 2, close 3, show 1, hide 2, hide 3"},
                {"thegioi", "show chonkenh"},
                {"soft", "hide 1, show frmsoft"},
                {"tacgia", early ? "hide 1, show frmtacgia" : "hide 1, show frmtacgia, hide 1"},
                {"yeucau", "show cauhinh, hide 1"},
            };
            for (const auto& [item, steps] : commands)
                QTest::addRow("%s %s %s", stateName(s), qPrintable(windowName(on)), qPrintable(item))
                    << int(s) << on << item << steps;
            if (on != WindowId::frmphim) {
                const QString item = on == WindowId::frmmain5 ? QStringLiteral("Phim") : QStringLiteral("phim");
                QTest::addRow("%s %s %s", stateName(s), qPrintable(windowName(on)), qPrintable(item))
                    << int(s) << on << item << film;
            }
        }
    }
}

// Fresh: only the window the command is chosen on is shown. Loaded: every
// window with a player is shown, frmmain on two USA panels at once, and the
// chooser open on its third page.
void TestTables::menuCommands()
{
    QFETCH(int, state);
    QFETCH(WindowId, on);
    QFETCH(QString, item);
    QFETCH(QString, steps);
    Harness h;
    if (State(state) == State::Loaded) {
        h.loadAndShowAllViewers();
        showOnly(h, WindowId::frmmain, {"usa3_", "anh1_"});
        h.openChooserOn(3);
        h.p().show(on);
    } else {
        h.p().show(on);
    }
    const QStringList frmmainPanels = h.visiblePanels(WindowId::frmmain);
    for (WindowId id : playerWindows)
        if (h.p().isLoaded(id))
            h.player(id).setUrl(QStringLiteral("http://stream.example/") + windowName(id));
    QSet<QString> visible = h.visibleWindows();
    const QStringList expected = expectedTrace(steps, visible);
    trace().clear();

    h.choose(on, item);

    QCOMPARE(trace(), expected);
    QCOMPARE(names(h.visibleWindows()), names(visible));
    QCOMPARE(h.visiblePanels(WindowId::frmmain),
             item == QLatin1String("asdf") ? QStringList{"vn_"} : frmmainPanels);
    if (item == QLatin1String("thegioi"))
        QCOMPARE(h.visiblePages(), QStringList{"qg1"});
    // No menu command stops a film.
    if (h.p().isLoaded(WindowId::frmphim) && on != WindowId::frmphim && State(state) == State::Loaded)
        QVERIFY(h.player(WindowId::frmphim).playing());
    QCOMPARE(h.ends, 0);
}

void TestTables::pageButtons_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<WindowId>("on");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("before"); // panels shown before; the first holds the button
    QTest::addColumn<WindowId>("target");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("steps");

    using W = WindowId;
    struct Row {
        W on;
        const char* button;
        QStringList before;
        W target;
        QStringList after;
        const char* steps;
    };
    const Row rows[] = {
        {W::frmmain, "ButtonUni1", {"usa1_", "vn_", "anh1_"}, W::frmmain, {"usa2_"}, ""},
        {W::frmmain, "ButtonUni2", {"usa2_", "usa5_"}, W::frmmain, {"usa3_"}, ""},
        {W::frmmain, "ButtonUni3", {"usa3_", "usa1_"}, W::frmmain, {"usa4_"}, ""},
        {W::frmmain, "ButtonUni4", {"usa4_", "usa2_"}, W::frmmain, {"usa5_"}, ""},
        {W::frmmain, "ButtonUni5", {"usa5_", "vn_", "usa3_"}, W::frmmain, {"usa1_"}, ""},
        {W::frmmain, "ButtonUni6", {"anh1_"}, W::frmmain2, {"A1_"}, "close 1, close 3, show 2, hide 1, hide 3"},
        {W::frmmain3, "ButtonUni1", {"duc1", "phap"}, W::frmmain3, {"duc2", "phap"}, ""},
        {W::frmmain3, "ButtonUni2", {"duc2", "iran"}, W::frmmain3, {"duc1", "iran"}, ""},
        {W::frmmain5, "ButtonUni1", {"spain1", "bang1", "khung2", "khung5"}, W::frmmain5, {"khung5", "spain2"}, ""},
        {W::frmmain5, "ButtonUni2", {"spain2", "khung2", "khung7"}, W::frmmain5, {"khung7", "spain1"}, ""},
        {W::frmmain4, "ButtonI1next", {"I1", "def"}, W::frmmain4, {"I2", "def"}, ""},
        {W::frmmain4, "ButtonI2back", {"I2"}, W::frmmain4, {"I1"}, ""},
        {W::frmphim, "ButtonUni1", {"trang1", "trang5"}, W::frmphim, {"trang2"}, ""},
        {W::frmphim, "ButtonUni4", {"trang2"}, W::frmphim, {"trang3"}, ""},
        {W::frmphim, "ButtonUni3", {"trang3"}, W::frmphim, {"trang4"}, ""},
        {W::frmphim, "ButtonUni2", {"trang4"}, W::frmphim, {"trang5"}, ""},
        {W::frmphim, "ButtonUni5", {"trang5"}, W::frmphim, {"trang6"}, ""},
        {W::frmphim, "ButtonUni6", {"trang6", "trang1"}, W::frmphim, {"trang7"}, ""},
        {W::frmphim, "ButtonUni7", {"trang7", "trang3"}, W::frmphim, {"trang1"}, ""},
    };
    for (State s : {State::Fresh, State::Loaded})
        for (const Row& r : rows)
            QTest::addRow("%s %s %s", stateName(s), qPrintable(windowName(r.on)), r.button)
                << int(s) << r.on << QString::fromLatin1(r.button) << r.before << r.target << sorted(r.after)
                << QString::fromLatin1(r.steps);
}

// Fresh: only the button's window is shown. Loaded: every window with a
// player is shown. The players keep playing unless the row closes them.
void TestTables::pageButtons()
{
    QFETCH(int, state);
    QFETCH(WindowId, on);
    QFETCH(QString, button);
    QFETCH(QStringList, before);
    QFETCH(WindowId, target);
    QFETCH(QStringList, after);
    QFETCH(QString, steps);
    Harness h;
    if (State(state) == State::Loaded)
        h.loadAndShowAllViewers();
    h.p().show(on);
    showOnly(h, on, before);
    h.player(on).setUrl(QStringLiteral("http://stream.example/now"));
    QSet<QString> visible = h.visibleWindows();
    const QStringList expected = expectedTrace(steps, visible);
    trace().clear();

    h.pressPageButton(on, button);

    QCOMPARE(trace(), expected);
    QCOMPARE(names(h.visibleWindows()), names(visible));
    QCOMPARE(h.visiblePanels(target), after);
    if (target != on)
        QCOMPARE(h.visiblePanels(on), sorted(before)); // left as it was, while hidden
    else
        QVERIFY(h.player(on).playing());
}

QTEST_MAIN(TestTables)
#include "test_tables.moc"
