#pragma once

#include <QHash>
#include <QPointer>
#include <QObject>
#include <QIcon>

class QAction;
class QKeyEvent;
class QMenu;
class QMenuBar;

namespace miravon {

// Draws a window's menu bar and its drop-down lists in the stored menu
// colours and font, captions in VNI notation shown converted. Items are
// addressed by their names; choosing one emits `chosen` with that name.
class MenuXpUni : public QObject {
    Q_OBJECT
public:
    explicit MenuXpUni(QMenuBar* bar);

    QMenuBar* bar() const { return bar_; }

    // A drop-down list on the bar.
    QMenu* addMenu(const QString& name, const QString& storedCaption);
    // A command inside a drop-down list.
    QAction* addItem(QMenu* menu, const QString& name, const QString& storedCaption);
    // A command placed directly on the bar.
    QAction* addCommand(const QString& name, const QString& storedCaption);
    // A picture drawn just before the item named by `key` ("#asdf").
    // Clicking it chooses that item.
    void setPicture(const QString& key, const QIcon& picture);

    QAction* item(const QString& name) const { return items_.value(name); }
    QStringList itemNames() const { return items_.keys(); }

    // Keyboard use of the bar, the same on every desktop and style: F10,
    // or Alt pressed and released alone, opens the first item; Left and
    // Right then walk the whole bar, its lists and its commands alike (a
    // list opens as it is reached); Enter or Space runs a command, Esc
    // leaves; either way the focus goes back where it was. Alt+letter opens
    // or runs the item of that letter, and only it.
    void openFirst();
    // The item the walk stands on; null when the bar is not walked.
    QAction* walkedItem() const;

signals:
    void chosen(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString display(const QString& stored) const;
    void bind(QAction* action, const QString& name, const QString& storedCaption);
    void installMenuKeys();
    // The walk: stands on `action`, its list opened when it has one.
    void walkTo(QAction* action);
    QAction* besideOf(QAction* action, int step) const;
    void endWalk();
    bool walkKey(QKeyEvent* key);

    QMenuBar* bar_;
    QHash<QString, QAction*> items_;
    bool walking_ = false;
    QPointer<QWidget> focusBefore_;
};

} // namespace miravon
