// Keyboard use of the label: focus, activation and moving among the entries
// of one panel.
#include "labeluni.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <cstdlib>

namespace miravon {
namespace {

// The entries of a panel that can take the focus now, in the order they
// were placed in it. Panels are filled in reading order (down a column,
// then on to the next column), so this is also the order of Tab.
QList<LabelUni*> readingOrder(QWidget* panel)
{
    QList<LabelUni*> entries;
    for (LabelUni* l : panel->findChildren<LabelUni*>(Qt::FindDirectChildrenOnly))
        if (l->use() == LabelUni::Use::Entry && l->isVisibleTo(panel) && l->isEnabled())
            entries.append(l);
    return entries;
}

// Columns are told apart by their left edges; labels of one column may
// stand a few pixels in or out, so lefts closer than this count as one.
constexpr int columnSlack = 12;

// The entry of the next column (step +1) or the previous one (-1) that
// stands nearest to `from` vertically; nullptr at the edge.
LabelUni* besideInColumn(const QList<LabelUni*>& entries, const LabelUni* from, int step)
{
    LabelUni* best = nullptr;
    int bestColumnGap = 0;
    int bestRowGap = 0;
    for (LabelUni* l : entries) {
        const int dx = (l->x() - from->x()) * step;
        if (dx <= columnSlack)
            continue;
        const int dy = std::abs(l->y() - from->y());
        // Nearest column first, then the nearest row within it.
        if (!best || dx < bestColumnGap - columnSlack
            || (std::abs(dx - bestColumnGap) <= columnSlack && dy < bestRowGap)) {
            best = l;
            bestColumnGap = dx;
            bestRowGap = dy;
        }
    }
    return best;
}

} // namespace

void LabelUni::setUse(Use use)
{
    use_ = use;
    setFocusPolicy(use == Use::Entry ? Qt::StrongFocus : Qt::NoFocus);
}

void LabelUni::click()
{
    emit clicked();
}

bool LabelUni::event(QEvent* event)
{
    // Asked for from the keyboard (the menu key, Shift+F10), the menu
    // opens at the entry, not wherever the mouse pointer happens to be.
    if (event->type() == QEvent::ContextMenu && contextMenuPolicy() == Qt::CustomContextMenu
        && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        event->accept();
        emit customContextMenuRequested(rect().center());
        return true;
    }
    return QLabel::event(event);
}

void LabelUni::keyPressEvent(QKeyEvent* event)
{
    if (use_ != Use::Entry || !parentWidget()) {
        QLabel::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    // Shift+F10 asks for the entry's menu as the menu key does (the
    // platform turns that one into a context menu event itself).
    if (key == Qt::Key_F10 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
        event->accept();
        const QPoint at = rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, mapToGlobal(at), event->modifiers());
        QCoreApplication::sendEvent(this, &menu);
        return;
    }
    if (event->modifiers() & ~Qt::KeypadModifier) {
        QLabel::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        event->accept();
        if (!event->isAutoRepeat())
            click();
        return;
    }
    const QList<LabelUni*> entries = readingOrder(parentWidget());
    const qsizetype at = entries.indexOf(this);
    LabelUni* to = nullptr;
    switch (key) {
    case Qt::Key_Down:
        to = at + 1 < entries.size() ? entries.at(at + 1) : nullptr;
        break;
    case Qt::Key_Up:
        to = at > 0 ? entries.at(at - 1) : nullptr;
        break;
    case Qt::Key_Right:
        to = besideInColumn(entries, this, 1);
        break;
    case Qt::Key_Left:
        to = besideInColumn(entries, this, -1);
        break;
    case Qt::Key_Home:
        to = entries.isEmpty() ? nullptr : entries.first();
        break;
    case Qt::Key_End:
        to = entries.isEmpty() ? nullptr : entries.last();
        break;
    default:
        QLabel::keyPressEvent(event);
        return;
    }
    // Arrow keys stay inside the panel: at its edge the focus stays put.
    event->accept();
    if (to)
        to->setFocus(Qt::OtherFocusReason);
}

} // namespace miravon
