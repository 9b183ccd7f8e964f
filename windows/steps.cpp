#include "steps.h"

#include "program.h"
#include "steptables.h"

#include "catalogue.h"
#include "vni.h"

#include <QApplication>
#include <QHash>
#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QWidget>

#include <algorithm>
#include <optional>

Q_LOGGING_CATEGORY(lcNavigation, "miravon.navigation", QtWarningMsg)

namespace miravon {
namespace {

std::optional<WindowId> windowToken(const QString& token)
{
    static const QHash<QString, WindowId> shortNames = {
        {QStringLiteral("1"), WindowId::frmmain},  {QStringLiteral("2"), WindowId::frmmain2},
        {QStringLiteral("3"), WindowId::frmmain3}, {QStringLiteral("4"), WindowId::frmmain4},
        {QStringLiteral("5"), WindowId::frmmain5}, {QStringLiteral("6"), WindowId::frmmain6},
        {QStringLiteral("M"), WindowId::frmphim},
    };
    if (auto it = shortNames.constFind(token); it != shortNames.constEnd())
        return *it;
    return windowByName(token);
}

bool parseItem(WindowId target, const QString& item, Step& step, QString* error)
{
    const QStringList words = item.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    auto fail = [&](const char* why) {
        if (error)
            *error = QStringLiteral("\"%1\": %2").arg(item, QLatin1String(why));
        return false;
    };
    if (words.size() == 1 && words[0] == QLatin1String("end")) {
        step = {Step::Op::End, target, {}};
        return true;
    }
    if (words.size() != 2)
        return fail("expected two words");
    if (words[0] == QLatin1String("confirm")) {
        if (words[1] != QLatin1String("exit"))
            return fail("only the exit is confirmed");
        step = {Step::Op::ConfirmExit, target, {}};
        return true;
    }
    if (words[1] == QLatin1String("on") || words[1] == QLatin1String("off")) {
        step = {words[1] == QLatin1String("on") ? Step::Op::PanelOn : Step::Op::PanelOff, target,
                words[0]};
        return true;
    }
    static const QHash<QString, Step::Op> verbs = {
        {QStringLiteral("show"), Step::Op::Show},
        {QStringLiteral("hide"), Step::Op::Hide},
        {QStringLiteral("close"), Step::Op::ClosePlayer},
        {QStringLiteral("unload"), Step::Op::Unload},
    };
    const auto verb = verbs.constFind(words[0]);
    if (verb == verbs.constEnd())
        return fail("unknown step");
    const std::optional<WindowId> window = windowToken(words[1]);
    if (!window || *window == WindowId::Form1)
        return fail("unknown window");
    if (*verb == Step::Op::ClosePlayer && !hasPlayer(*window))
        return fail("window has no player");
    step = {*verb, *window, {}};
    return true;
}

bool isPanelStep(const Step& s)
{
    return s.op == Step::Op::PanelOn || s.op == Step::Op::PanelOff;
}

QString keyOf(StepTable table, WindowId window, const QString& control)
{
    return QStringLiteral("%1/%2/%3").arg(int(table)).arg(windowName(window), control);
}

constexpr StepTable allTables[] = {StepTable::Load, StepTable::Close, StepTable::PageButton,
                                   StepTable::Chooser, StepTable::Menu};

// The tables, read once.
struct Book {
    QHash<QString, StepList> rows;
    QStringList errors;

    Book()
    {
        for (StepTable table : allTables) {
            for (const StepRow& row : stepRows(table)) {
                const QString control = QString::fromLatin1(row.control);
                const QString where = QStringLiteral("%1 %2").arg(windowName(row.window), control);
                StepList panels;
                StepList windows;
                QString error;
                if (!parseSteps(row.target, QString::fromLatin1(row.panels), panels, &error)
                    || !parseSteps(row.target, QString::fromLatin1(row.windows), windows, &error)) {
                    errors.append(where + QStringLiteral(": ") + error);
                    continue;
                }
                if (!std::all_of(panels.begin(), panels.end(), isPanelStep)
                    || std::any_of(windows.begin(), windows.end(), isPanelStep)) {
                    errors.append(where + QStringLiteral(": panel and window steps mixed up"));
                    continue;
                }
                const QString key = keyOf(table, row.window, control);
                if (rows.contains(key)) {
                    errors.append(where + QStringLiteral(": row given twice"));
                    continue;
                }
                panels.insert(panels.end(), windows.begin(), windows.end());
                rows.insert(key, std::move(panels));
            }
        }
        for (const QString& e : std::as_const(errors))
            qCWarning(lcNavigation) << "step table:" << e;
    }
};

const Book& book()
{
    static const Book b;
    return b;
}

bool askExit()
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Khoan da ban oi !"),
                    QStringLiteral("Ban co that su muon thoat khoi chuong trinh ?"),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    // The answers in Vietnamese; the box's own title and question are kept
    // as stored, unaccented, and read by screen readers with their tones.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("C\u00f3"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Kh\u00f4ng"));
    box.setAccessibleName(QStringLiteral("Khoan đã bạn ơi!"));
    if (auto* question = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
        question->setAccessibleName(QStringLiteral("Bạn có thật sự muốn thoát khỏi chương trình?"));
    return box.exec() == QMessageBox::Yes;
}

} // namespace

bool parseSteps(WindowId target, const QString& text, StepList& out, QString* error)
{
    out.clear();
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString item = part.trimmed();
        if (item.isEmpty())
            continue;
        Step step{Step::Op::End, target, {}};
        if (!parseItem(target, item, step, error))
            return false;
        out.push_back(std::move(step));
    }
    return true;
}

QString describe(const Step& s)
{
    const QString w = windowName(s.window);
    switch (s.op) {
    case Step::Op::PanelOn: return QStringLiteral("%1.%2 on").arg(w, s.panel);
    case Step::Op::PanelOff: return QStringLiteral("%1.%2 off").arg(w, s.panel);
    case Step::Op::Show: return QStringLiteral("show ") + w;
    case Step::Op::Hide: return QStringLiteral("hide ") + w;
    case Step::Op::ClosePlayer: return QStringLiteral("close ") + w;
    case Step::Op::Unload: return QStringLiteral("unload ") + w;
    case Step::Op::ConfirmExit: return QStringLiteral("confirm exit");
    case Step::Op::End: return QStringLiteral("end");
    }
    return {};
}

void runSteps(Program& program, const StepList& steps, LoadFirst loadFirst)
{
    if (loadFirst == LoadFirst::NamedWindows) {
        for (const Step& s : steps) {
            if (s.op == Step::Op::ConfirmExit || s.op == Step::Op::End)
                continue;
            if (!program.isLoaded(s.window))
                qCDebug(lcNavigation) << "load ahead" << windowName(s.window);
            program.window(s.window);
        }
    }
    for (const Step& s : steps) {
        if (program.ending())
            return;
        qCDebug(lcNavigation) << describe(s);
        switch (s.op) {
        case Step::Op::PanelOn:
        case Step::Op::PanelOff:
            program.setPanelVisible(s.window, s.panel, s.op == Step::Op::PanelOn);
            break;
        case Step::Op::Show:
            program.show(s.window);
            break;
        case Step::Op::Hide:
            program.hide(s.window);
            break;
        case Step::Op::ClosePlayer:
            program.closePlayer(s.window);
            break;
        case Step::Op::Unload:
            program.window(s.window);
            program.unload(s.window);
            break;
        case Step::Op::ConfirmExit:
            if (!exitConfirmation()()) {
                qCDebug(lcNavigation) << "exit declined";
                return;
            }
            break;
        case Step::Op::End:
            program.endProgram();
            return;
        }
    }
}

const StepList* findSteps(StepTable table, WindowId window, const QString& control)
{
    const Book& b = book();
    const auto it = b.rows.constFind(keyOf(table, window, control));
    return it == b.rows.constEnd() ? nullptr : &*it;
}

std::vector<RowKey> tableRows(StepTable table)
{
    std::vector<RowKey> keys;
    for (const StepRow& row : stepRows(table))
        keys.push_back({row.window, QString::fromLatin1(row.control)});
    return keys;
}

QStringList tableErrors()
{
    return book().errors;
}

namespace {

// A page's place in its pages: the panels of one window named alike
// ("usa1_" to "usa5_", "trang1" to "trang7", "qg1" to "qg3").
QString stemOf(const QString& panel, int* number)
{
    qsizetype end = panel.size();
    while (end > 0 && panel.at(end - 1) == u'_')
        --end;
    qsizetype digits = end;
    while (digits > 0 && panel.at(digits - 1).isDigit())
        --digits;
    *number = panel.mid(digits, end - digits).toInt();
    return panel.left(digits);
}

} // namespace

QString pageButtonDestination(WindowId window, const QString& control)
{
    const StepList* steps = window == WindowId::chonkenh ? findSteps(StepTable::Chooser, window, control)
                                                          : findSteps(StepTable::PageButton, window, control);
    if (!steps)
        return {};
    const Step* shown = nullptr;
    for (const Step& s : *steps)
        if (s.op == Step::Op::PanelOn)
            shown = &s;
    if (!shown)
        return {};
    if (shown->window != window) {
        const QString name = windowName(shown->window);
        const QString number = shown->window == WindowId::frmmain ? QStringLiteral("1") : name.mid(int(qstrlen("frmmain")));
        return QStringLiteral("Sang cửa sổ %1").arg(number);
    }
    // The pages of the same stem that the row sets, itself among them.
    int page = 0;
    const QString stem = stemOf(shown->panel, &page);
    int pages = 0;
    for (const Step& s : *steps) {
        int n = 0;
        if ((s.op == Step::Op::PanelOn || s.op == Step::Op::PanelOff) && stemOf(s.panel, &n) == stem && n > 0)
            ++pages;
    }
    if (page <= 0 || pages < 2)
        return {};
    QString text = QStringLiteral("Đến trang %1 trên %2").arg(page).arg(pages);
    // Its title where it has one, as the user reads it.
    for (const catalogue::Panel& p : catalogue::pristine().panels) {
        if (p.window != windowName(window) || p.name != shown->panel || p.title.isEmpty())
            continue;
        QString title = p.vni ? vniToUnicode(p.title) : p.title;
        title.remove(QStringLiteral("Các kênh truyền hình "));
        if (!title.contains(QStringLiteral("Trang")))
            text += QStringLiteral(" (%1)").arg(title.simplified());
        break;
    }
    return text;
}

void runChooserControl(Program& program, const QString& control)
{
    if (const StepList* steps = findSteps(StepTable::Chooser, WindowId::chonkenh, control)) {
        qCDebug(lcNavigation) << "chooser" << control;
        runSteps(program, *steps, LoadFirst::NamedWindows);
    }
}

void runCloseSteps(Program& program, WindowId window)
{
    if (const StepList* steps = findSteps(StepTable::Close, window, QString()))
        runSteps(program, *steps);
}

ExitConfirmation& exitConfirmation()
{
    static ExitConfirmation confirm = askExit;
    return confirm;
}

} // namespace miravon
