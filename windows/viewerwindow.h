#pragma once

#include "catalogue.h"
#include "labeluni.h"
#include "programwindow.h"

#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <memory>
#include <vector>

namespace miravon {

class AddressDialog;
struct AddressTarget;
class FindBox;
class FrameUni;
class LabelUni;
class MenuXpUni;
class OnAirLine;
class Player;

// The frame shared by the six viewer windows and the movie window: a fixed
// client area with the player `manhinh`, the status line `status`, the
// version label, the decoration pictures, the stacked panels at the left and
// the menu bar. One class; each window is a row of data (viewerwindow.cpp).
class ViewerWindow : public ProgramWindow {
    Q_OBJECT
public:
    ViewerWindow(Program& program, WindowId id);
    ~ViewerWindow() override;

    // Everything inside the window is placed on this fixed-size area, in
    // pixels from twips (units.h).
    QWidget* clientArea() const { return client_; }

    Player& player() const { return *player_; }
    LabelUni* status() const { return status_; }
    // What is on the channel playing, under the status line.
    OnAirLine* onAirLine() const { return onAir_; }
    LabelUni* versionLabel() const { return version_; }
    MenuXpUni* menu() const { return menu_; }

    // Panels (FrameUni) by name; created hidden-or-shown as stored.
    FrameUni* addPanel(const QString& name, const QRect& twipsRect);
    FrameUni* panel(const QString& name) const { return panels_.value(name); }
    QStringList panelNames() const { return panelOrder_; }
    // Names of the panels whose Visible flag is set, in creation order.
    QStringList visiblePanels() const;

    void load() override;

    // The entry whose address this window's player last received: marked
    // until another entry of this window is clicked.
    void markEntry(LabelUni* entry);
    LabelUni* markedEntry() const { return marked_; }

    // Plays an entry of this window in its player: its streams in turn, the
    // one that played last for it first; the entry is marked as playing,
    // and how it goes is kept for its tooltip.
    void playEntry(LabelUni* label, const catalogue::Label& entry);
    // How the entry went in this run ("đang phát", ...), empty when it was
    // not played.
    QString lastRun(const QString& control) const { return lastRun_.value(control); }
    // The entry's tooltip as of now: its address, how it went, what is on.
    void refreshToolTip(LabelUni* label, const catalogue::Label& entry);

    // The find box over this window, made when first opened: `typed` is
    // the letter that opened it.
    void openFind(const QString& typed = {});
    FindBox* findBox() const { return find_; }

    // The "Gần đây" and "Yêu thích" lists of the menu bar, filled each
    // time they open.
    QMenu* recentMenu() const { return recent_; }
    QMenu* favouritesMenu() const { return favourites_; }
    // The menu of an entry (right click, the menu key, Shift+F10), shown
    // at `globalPos`; it closes itself.
    QMenu* showEntryMenu(const catalogue::Label& entry, const QPoint& globalPos);

    // The window that gives `entry` its own address, one at a time in this
    // window, with `address` filled in when given (a drop).
    AddressDialog* openAddressDialog(const AddressTarget& target, const QString& address = {});
    AddressDialog* addressDialog() const;
    // Takes the entry's row out of the user's own file, off this window's
    // thread: it then falls back to its imported or built-in address (the
    // catalogue changes), or it is said why the file was not written.
    void removeOwnAddress(const catalogue::Label& entry);
    // The label of this window at `pos` (window coordinates) that can be
    // given an address: an entry, a logo, a film title; null elsewhere.
    const catalogue::Label* entryAt(const QPoint& pos) const;

signals:
    // A menu item was chosen, by item name.
    void menuChosen(const QString& item);

protected:
    void unloaded() override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildFrame();
    void buildMenu();
    void fillKeptMenu(QMenu* menu, const QString& file);
    void goTo(const QString& window, const QString& control);

    QWidget* client_ = nullptr;
    std::unique_ptr<Player> player_;
    LabelUni* status_ = nullptr;
    OnAirLine* onAir_ = nullptr;
    LabelUni* version_ = nullptr;
    MenuXpUni* menu_ = nullptr;
    QMenu* recent_ = nullptr;
    QMenu* favourites_ = nullptr;
    FindBox* find_ = nullptr;
    QPointer<AddressDialog> addressDialog_;
    QHash<QString, FrameUni*> panels_;
    QStringList panelOrder_;
    QPointer<LabelUni> marked_;
    // The entry being played, and the streams given for it.
    QPointer<LabelUni> playingLabel_;
    const catalogue::Label* playing_ = nullptr;
    QList<StreamAddress> playingStreams_;
    QHash<QString, QString> lastRun_;
    void tellLastRun(const QString& text);
};

} // namespace miravon
