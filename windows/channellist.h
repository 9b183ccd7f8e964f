#pragma once

#include "catalogue.h"

#include <QAbstractButton>
#include <QAbstractListModel>
#include <QFrame>
#include <QListView>
#include <memory>

class QLabel;

namespace miravon {

class StatusText;

// What the tooltip of a channel of the user's lists says: its name, its
// group and quality, the list it comes from (and how many other streams it
// has), the user's own address when it has one, and how it went in this run.
QString channelToolTip(const catalogue::ListChannel& channel, const StreamAddress* own, const QString& lastRun);

// The rows of a channel list: the other channels of one country, or of
// several countries each under a heading row with its name.
class ChannelListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        KeyRole = Qt::UserRole + 1, // the channel's key; empty on a heading row
        GroupRole,
        QualityRole, // "1080p", ...; may be empty
        NowRole,     // what is on now, when a guide says it; empty otherwise
        HeadingRole, // true on a country's heading row
        PlayingRole, // true on the channel the window plays
    };

    explicit ChannelListModel(QObject* parent = nullptr);

    // `headings`: a heading row before each country's channels.
    void setChannels(std::shared_ptr<const catalogue::ListChannelSet> set, const QStringList& countries,
                     bool headings);
    // Tooltips ask it for the user's own addresses and how a channel went.
    using LastRun = std::function<QString(const QString& key)>;
    void setSources(const catalogue::RunningCatalogue* running, LastRun lastRun);
    // What is on a channel, asked when a row is drawn or read: the title on
    // now (NowRole) and now and next in a line (its tooltip); empty when no
    // guide says it. Call refresh() when it may read differently.
    struct OnAir {
        std::function<QString(const QString& key)> now;
        std::function<QString(const QString& key)> nowNext;
    };
    void setOnAir(OnAir onAir) { onAir_ = std::move(onAir); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int channelCount() const { return channelCount_; }
    int rowOf(const QString& key) const;
    const catalogue::ListChannel* channelAt(int row) const;
    // The channel the window plays, marked; empty for none.
    void setPlaying(const QString& key);
    // Asks every row again (an address or a run changed).
    void refresh();

private:
    struct Row {
        const catalogue::ListChannel* channel = nullptr;
        QString heading;
    };
    std::shared_ptr<const catalogue::ListChannelSet> set_;
    const catalogue::RunningCatalogue* running_ = nullptr;
    LastRun lastRun_;
    OnAir onAir_;
    QList<Row> rows_;
    QHash<QString, int> rowOf_;
    int channelCount_ = 0;
    QString playing_;
};

// The rows' view: the arrows, Home and End go from channel to channel over
// the heading rows; Enter chooses, as a click does.
class ChannelRows : public QListView {
    Q_OBJECT
public:
    explicit ChannelRows(QWidget* parent = nullptr);

signals:
    void chosen(const QModelIndex& index);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Other channels of the user's lists in a viewer window, in the place of
// its panels: "‹ Quay lại", what the list is of, the number of channels
// (told to screen readers when the list opens), and a row per channel with
// its name, its group and its quality mark. A click or Enter on a row
// chooses the channel; Esc, the Back key, Alt+Left or "‹ Quay lại" asks to
// go back. The right button, the menu key or Shift+F10 asks for the row's
// menu.
class ChannelList : public QFrame {
    Q_OBJECT
public:
    explicit ChannelList(QWidget* parent);

    // Fills the list: `title` says what it is of.
    void fill(std::shared_ptr<const catalogue::ListChannelSet> set, const QStringList& countries,
              const QString& title);
    // Shows the current fill and puts the focus on its rows.
    void open();

    ChannelListModel* model() const { return model_; }
    ChannelRows* rows() const { return rows_; }
    QAbstractButton* backButton() const { return back_; }
    QString title() const;
    QString countText() const;
    QStringList countries() const { return countries_; }
    // Makes the channel the current row, scrolled into view; false when
    // the list has no such channel.
    bool select(const QString& key);
    QString currentKey() const;

signals:
    void chosen(const QString& key);
    void menuRequested(const QString& key, const QPoint& globalPos);
    void backRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ChannelListModel* model_;
    ChannelRows* rows_;
    QAbstractButton* back_;
    QLabel* title_;
    StatusText* count_;
    QStringList countries_;
};

// A small outlined button with rounded ends, in the panels' colours, for
// the links and buttons added beside the windows' own controls
// without looking like one of them. Enter presses it as Space does.
class PillButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PillButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool hover_ = false;
};

// The small control on a panel's frame that opens the other channels of
// the panel's countries: "Thêm 87 kênh khác ›". A button to the keyboard
// and screen readers.
class OtherChannelsLink : public PillButton {
    Q_OBJECT
public:
    explicit OtherChannelsLink(QWidget* parent = nullptr);

    void setCount(qsizetype count);
    qsizetype count() const { return count_; }
    // What the link opens, for screen readers ("các kênh khác của Pháp").
    void setWhat(const QString& what);

    static QString textFor(qsizetype count);

private:
    qsizetype count_ = 0;
};

// Where a control of `size` stands on `panel` (in the panel's coordinates)
// so that it covers none of the panel's labels, buttons and lines, nor its
// title (`title`, empty without one): the free place nearest the panel's
// foot, right first, kept a few pixels inside the frame; where the panel
// has none, across the top edge of its frame at the right, over the
// panel's top margin and what lies above the panel.
QRect placeOnFrame(const QWidget& panel, const QSize& size, const QRect& title);

} // namespace miravon
