#include "menuxpuni.h"

#include "look.h"
#include "vni.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace miravon {
namespace {
// Stored menu look.
constexpr qint64 usertopmenubackcolour = 16761765;
constexpr qint64 usertopmenuselectedcolour = 16769990;
constexpr qint64 userselectedmenubackcolour = 13040639;
constexpr qint64 userselectedmenubordercolour = 0;
constexpr qint64 usermenubordercolour = 5910544;
constexpr qint64 usergradientone = 16777215;
constexpr qint64 usergradienttwo = 16761765;
constexpr qint64 userselecteditemforecolour = 0;

QString css(qint64 ole) { return oleColor(ole).name(); }

// Keyboard mnemonics (Alt+letter), by item name: the letter of the caption
// as displayed that is underlined. Unique on the bar and within the list.
struct Mnemonic {
    const char* item;
    char16_t letter;
};
constexpr Mnemonic mnemonics[] = {
    {"file", u'T'},    {"asdf", u'V'}, {"thegioi", u'g'}, {"phim", u'X'}, {"Phim", u'X'},
    {"soft", u'C'},    {"tacgia", u'T'}, {"yeucau", u'Y'}, {"nguon", u'N'}, {"thoat", u'h'},
    {"ganday", u'n'},  {"yeuthich", u'Y'},
};

// The displayed caption with '&' before the item's mnemonic letter.
QString withMnemonic(const QString& name, QString text)
{
    text.replace(u'&', QStringLiteral("&&"));
    for (const Mnemonic& m : mnemonics) {
        if (name != QLatin1String(m.item))
            continue;
        const qsizetype at = text.indexOf(QChar(m.letter));
        if (at >= 0)
            text.insert(at, u'&');
        break;
    }
    return text;
}

QString styleSheet()
{
    return QStringLiteral(
               "QMenuBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2);"
               " color: black; }"
               "QMenuBar::item { background: transparent; padding: 2px 8px; color: black; }"
               "QMenuBar::item:selected, QMenuBar::item:pressed { background: %3;"
               " border: 1px solid %4; color: %5; }"
               "QMenu { background: %6; border: 1px solid %4; color: black; }"
               "QMenu::item { padding: 3px 24px 3px 12px; }"
               "QMenu::item:selected { background: %7; border: 1px solid %8; color: %5; }")
        .arg(css(usergradientone), css(usergradienttwo), css(usertopmenuselectedcolour),
             css(usermenubordercolour), css(userselecteditemforecolour),
             css(usertopmenubackcolour), css(userselectedmenubackcolour),
             css(userselectedmenubordercolour));
}
} // namespace

MenuXpUni::MenuXpUni(QMenuBar* bar)
    : QObject(bar)
    , bar_(bar)
{
    setObjectName(QStringLiteral("MenuXpUni1"));
    bar_->setNativeMenuBar(false);
    QFont f = designFont(QStringLiteral("Arial"), 9);
    bar_->setFont(f);
    bar_->setStyleSheet(styleSheet());
    installMenuKeys();
}

QString MenuXpUni::display(const QString& stored) const
{
    return vniToUnicode(stored);
}

void MenuXpUni::bind(QAction* action, const QString& name, const QString& storedCaption)
{
    action->setText(withMnemonic(name, display(storedCaption)));
    action->setObjectName(name);
    action->setProperty("caption", storedCaption);
    items_.insert(name, action);
}

QMenu* MenuXpUni::addMenu(const QString& name, const QString& storedCaption)
{
    QMenu* menu = bar_->addMenu(display(storedCaption));
    menu->setFont(bar_->font());
    bind(menu->menuAction(), name, storedCaption);
    return menu;
}

QAction* MenuXpUni::addItem(QMenu* menu, const QString& name, const QString& storedCaption)
{
    QAction* action = menu->addAction(display(storedCaption));
    bind(action, name, storedCaption);
    connect(action, &QAction::triggered, this, [this, name] { emit chosen(name); });
    return action;
}

QAction* MenuXpUni::addCommand(const QString& name, const QString& storedCaption)
{
    QAction* action = bar_->addAction(display(storedCaption));
    bind(action, name, storedCaption);
    connect(action, &QAction::triggered, this, [this, name] { emit chosen(name); });
    return action;
}

void MenuXpUni::setPicture(const QString& key, const QIcon& picture)
{
    const QString target = key.startsWith(u'#') ? key.mid(1) : key;
    QAction* before = items_.value(target);
    if (!before)
        return;
    auto* pic = new QAction(picture, QString(), bar_);
    pic->setObjectName(target + QStringLiteral("_picture"));
    // The bar draws only the picture; screen readers hear what it chooses.
    pic->setText(before->text().remove(u'&'));
    bar_->insertAction(before, pic);
    connect(pic, &QAction::triggered, this, [this, target] { emit chosen(target); });
}

// F10 opens the bar's first list from anywhere in the window, as on other
// desktops; the arrow keys then move along the bar.
void MenuXpUni::installMenuKeys()
{
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), bar_);
    f10->setContext(Qt::WindowShortcut);
    connect(f10, &QShortcut::activated, this, &MenuXpUni::openFirst);
    // Alt pressed and released alone does the same; the style does not.
    bar_->window()->installEventFilter(this);
}

bool MenuXpUni::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        // The press of a modifier may or may not carry the modifier itself
        // (X11 reports the state before the press).
        altAlone_ = key->key() == Qt::Key_Alt && !(key->modifiers() & ~Qt::AltModifier);
        break;
    }
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Alt && altAlone_ && !key->isAutoRepeat()) {
            altAlone_ = false;
            openFirst();
        }
        break;
    }
    case QEvent::ShortcutOverride:
        // Alt+letter: a mnemonic, not Alt alone.
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Alt)
            altAlone_ = false;
        break;
    case QEvent::WindowDeactivate:
    case QEvent::MouseButtonPress:
        altAlone_ = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void MenuXpUni::openFirst()
{
    const QList<QAction*> actions = bar_->actions();
    for (QAction* a : actions) {
        if (a->isVisible() && a->isEnabled() && !a->isSeparator()) {
            bar_->setActiveAction(a);
            return;
        }
    }
}

} // namespace miravon
