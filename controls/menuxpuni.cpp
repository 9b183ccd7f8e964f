#include "menuxpuni.h"

#include "look.h"
#include "vni.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>

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
    menu->installEventFilter(this);
    // However a list opened (F10, its letter, the mouse), Left and Right
    // go on along the whole bar from it.
    connect(menu, &QMenu::aboutToShow, this, [this] {
        if (walking_)
            return;
        focusBefore_ = bar_->window()->focusWidget();
        walking_ = true;
    });
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

namespace {

// Alt pressed and released with no other key or click between opens the
// bar of the active window. Watched for the whole application, before any
// widget takes a key: a letter after Alt is a mnemonic wherever it goes.
class AltAlone : public QObject {
public:
    static void install()
    {
        static AltAlone* one = [] {
            auto* watcher = new AltAlone;
            QCoreApplication::instance()->installEventFilter(watcher);
            return watcher;
        }();
        (void)one;
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            // The press of a modifier may or may not carry the modifier
            // itself (X11 reports the state before the press).
            if (!key->isAutoRepeat())
                pending_ = key->key() == Qt::Key_Alt && !(key->modifiers() & ~Qt::AltModifier);
            break;
        }
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Alt || key->isAutoRepeat() || !pending_)
                break;
            pending_ = false;
            QWidget* window = QApplication::activeWindow();
            if (MenuXpUni* menu = window ? window->findChild<MenuXpUni*>() : nullptr) {
                if (menu->walkedItem())
                    return false; // the walk takes its own keys
                menu->openFirst();
            }
            break;
        }
        case QEvent::ShortcutOverride:
            // A key that is a shortcut (Alt+letter) never comes as a press.
            if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Alt)
                pending_ = false;
            break;
        case QEvent::MouseButtonPress:
        case QEvent::ApplicationDeactivate:
            pending_ = false;
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool pending_ = false; // Alt is down and nothing else came since
};

} // namespace

void MenuXpUni::installMenuKeys()
{
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), bar_);
    f10->setContext(Qt::WindowShortcut);
    connect(f10, &QShortcut::activated, this, &MenuXpUni::openFirst);
    AltAlone::install();
    bar_->installEventFilter(this);
}

QAction* MenuXpUni::walkedItem() const { return walking_ ? bar_->activeAction() : nullptr; }

QAction* MenuXpUni::besideOf(QAction* action, int step) const
{
    QList<QAction*> walkable;
    for (QAction* a : bar_->actions())
        if (a->isVisible() && a->isEnabled() && !a->isSeparator())
            walkable << a;
    if (walkable.isEmpty())
        return nullptr;
    const qsizetype at = walkable.indexOf(action);
    if (at < 0)
        return step > 0 ? walkable.first() : walkable.last();
    return walkable.at((at + step + walkable.size()) % walkable.size());
}

void MenuXpUni::openFirst()
{
    QAction* first = besideOf(nullptr, 1);
    if (!first)
        return;
    if (!walking_) {
        focusBefore_ = bar_->window()->focusWidget();
        walking_ = true;
    }
    walkTo(first);
}

void MenuXpUni::walkTo(QAction* action)
{
    bar_->setActiveAction(action); // opens its list, closing the last one
    if (action->menu())
        return;
    // A command opens no list to take the keys: the bar takes them, and
    // screen readers hear the command it stands on.
    bar_->setFocus(Qt::MenuBarFocusReason);
    QAccessibleEvent focus(bar_, QAccessible::Focus);
    focus.setChild(int(bar_->actions().indexOf(action)));
    QAccessible::updateAccessibility(&focus);
}

void MenuXpUni::endWalk()
{
    if (!walking_)
        return;
    walking_ = false;
    if (bar_->activeAction())
        bar_->setActiveAction(nullptr);
    if (focusBefore_ && focusBefore_->isVisible())
        focusBefore_->setFocus(Qt::PopupFocusReason);
    else if (bar_->hasFocus())
        bar_->clearFocus();
    focusBefore_ = nullptr;
}

bool MenuXpUni::walkKey(QKeyEvent* key)
{
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    QAction* at = bar_->activeAction();
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (QAction* to = besideOf(at, key->key() == Qt::Key_Right ? 1 : -1))
            walkTo(to);
        return true;
    case Qt::Key_Escape:
        endWalk();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Up:
    case Qt::Key_Down:
        // A list's own keys are its own.
        if (at && at->menu())
            return false;
        if (at && key->key() != Qt::Key_Up && key->key() != Qt::Key_Down) {
            endWalk();
            at->trigger();
        }
        return true;
    default:
        return false;
    }
}

bool MenuXpUni::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (walking_)
            return walkKey(static_cast<QKeyEvent*>(event));
        break;
    case QEvent::Hide:
        // A list closed by its own choice, a click elsewhere or Esc: once
        // no item is left standing, the walk is over.
        if (walking_ && watched != bar_)
            QTimer::singleShot(0, this, [this] {
                if (walking_ && !bar_->activeAction())
                    endWalk();
            });
        break;
    case QEvent::MouseButtonPress:
        if (watched == bar_) {
            walking_ = false;
            focusBefore_ = nullptr;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace miravon
