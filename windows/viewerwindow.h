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
#include <optional>
#include <vector>

namespace miravon {

class AddressDialog;
struct AddressTarget;
class FilmNotice;
class ChannelList;
class FindBox;
class OtherChannelsLink;
class FrameUni;
class LabelUni;
class MenuXpUni;
class OnAirLine;
class Player;
class PlayerOutcomes;

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
    QStringList visiblePanels() const override;

    void load() override;

    // The entry whose address this window's player last received: marked
    // until another entry of this window is clicked.
    void markEntry(LabelUni* entry);
    LabelUni* markedEntry() const { return marked_; }

    // Plays an entry of this window in its player: its streams in turn, the
    // one that played last for it first; the entry is marked as playing,
    // and how it goes is kept for its tooltip.
    void playEntry(LabelUni* label, const catalogue::Label& entry);
    // Plays a channel of the user's lists in this window's player, as an
    // entry plays: the user's own address for it first, then its streams,
    // the one that played last first. False when the lists have no such
    // channel.
    bool playChannel(const QString& key);
    // How an entry (or, by window catalogue::listWindow(), a list channel)
    // went in this run ("đang phát", ...), empty when it was not played.
    QString lastRun(const QString& window, const QString& control) const
    {
        return lastRun_.value(window + u'/' + control);
    }

    // --- The other channels of the user's lists (viewerwindow_channels.cpp) ---
    // Opens the list of the other channels of `countries` in the place of
    // the panels, which keep their state under it; `panel` is the panel it
    // was opened from (its link takes the focus back), empty for a country
    // without one. Any panel step on the window puts it away.
    ChannelList* openChannelList(const QStringList& countries, const QString& panel = {});
    void closeChannelList();
    // The list, made at its first opening; null before.
    ChannelList* channelList() const { return channelList_; }
    bool channelListOpen() const;
    // The link on a panel's frame that opens its countries' other
    // channels; null for a panel without countries. Shown while the panel
    // is the one in view and its countries have other channels.
    OtherChannelsLink* otherChannelsLink(const QString& panel) const { return links_.value(panel); }
    // Makes the links of the panels of `countries` (from countries.tsv).
    void addOtherChannelsLinks(const QHash<QString, QStringList>& countriesByPanel);
    // A step set one of this window's panels (Program::setPanelVisible).
    void panelStepped();
    // The entry's tooltip and description as of now: its address, how it
    // went, what is on.
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
    // The same menu for a channel of the user's lists.
    QMenu* showChannelMenu(const QString& key, const QPoint& globalPos);

    // The window that gives `entry` its own address, one at a time in this
    // window, with `address` filled in when given (a drop).
    AddressDialog* openAddressDialog(const AddressTarget& target, const QString& address = {});
    AddressDialog* addressDialog() const;
    // Takes the row of `window`/`control` (an entry or a list channel) out
    // of the user's own file, off this window's thread: it then falls back
    // to its imported or built-in address (the catalogue changes), or it is
    // said why the file was not written.
    void removeOwnAddress(const QString& window, const QString& control);
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the window's player was last given to play.
    struct Playing {
        QString window; // the entry's window, or catalogue::listWindow()
        QString control;
        QList<StreamAddress> streams;
        QPointer<LabelUni> label; // an entry's label
        bool recent = true;       // kept among the recent ones once it plays (not a hidden label)
        QString name;             // as a person reads it
    };
    struct MenuSubject;

    void buildFrame();
    void buildMenu();
    void fillKeptMenu(QMenu* menu, const QString& file);
    void goTo(const QString& window, const QString& control);
    void play(Playing playing, int keepFirst);
    QMenu* showMenu(const MenuSubject& subject, const QPoint& globalPos);
    void updateOtherChannels();
    // The panel a person sees: of those in view, the one stacked highest.
    FrameUni* panelSeen() const;

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
    // The entry or channel being played, and the streams given for it.
    std::optional<Playing> playing_;
    QHash<QString, QString> lastRun_; // by "window/control"
    PlayerOutcomes* outcomes_ = nullptr;
    FilmNotice* filmNotice_ = nullptr; // the movie window's
    void tellLastRun(const QString& text);
    ChannelList* channelList_ = nullptr;
    QString listPanel_; // the panel the open list was opened from
    QHash<QString, OtherChannelsLink*> links_;
    QHash<QString, QStringList> linkCountries_;
};

} // namespace miravon
