#pragma once

#include <QHash>
#include <QObject>
#include <QIcon>

class QAction;
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

    // Opens the first item of the bar, as F10 does.
    void openFirst();

signals:
    void chosen(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString display(const QString& stored) const;
    void bind(QAction* action, const QString& name, const QString& storedCaption);
    void installMenuKeys();

    QMenuBar* bar_;
    QHash<QString, QAction*> items_;
    bool altAlone_ = false; // Alt is down and no other key came since
};

} // namespace miravon
