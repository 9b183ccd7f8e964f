#pragma once

#include "catalogue.h"
#include "ownfile.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include <functional>
#include <optional>

class QLineEdit;

class QMimeData;
class QPushButton;
class QToolButton;

namespace miravon {

class Program;
class StatusText;
class ViewerWindow;

// What the address window gives an address to: an entry or a film of the
// catalogue, or a channel of the user's lists (window
// catalogue::listWindow(), control its key).
struct AddressTarget {
    QString window;
    QString control;
    QString name; // as the user reads it
    bool film = false;
    // The user's own address for it now; an empty url when it has none.
    StreamAddress own;
};
// The target an entry or film of the catalogue is.
AddressTarget addressTarget(const catalogue::Label& entry);

// The small window that gives one entry or film its own address, kept in
// the user's addresses.tsv: the address (or a video file of this computer,
// "Chọn tệp…"), a referrer and a user agent under "Nâng cao", "Thử" to
// play it in the entry's own player before anything is saved, and "Lưu".
// The field starts with the address the entry has now, unless that is a
// built-in stand-in that never plays. What is wrong with the input, how the
// try went (followed on the player's own signals) and how saving went show
// in the window's result line, which the window grows to fit, and are told
// to screen readers; "Lưu" of an address not seen playing asks first. The
// file is written off the window's thread, and nothing is written but by
// "Lưu". A film is spoken of as a film, a channel as a channel.
class AddressDialog : public QDialog {
    Q_OBJECT
public:
    AddressDialog(ViewerWindow& viewer, const AddressTarget& target);

    // Fills the address field (a dropped link or file).
    void setAddress(const QString& address);

    QLineEdit* addressField() const { return address_; }
    QLineEdit* referrerField() const { return referrer_; }
    QLineEdit* userAgentField() const { return userAgent_; }
    QToolButton* advancedButton() const { return advanced_; }
    QPushButton* tryButton() const { return try_; }
    QPushButton* saveButton() const { return save_; }
    QString resultText() const;
    QString window() const { return window_; }
    QString control() const { return control_; }

    // What "Thử" does; false when the input was refused (the reason is
    // shown). How the try goes is shown as the player tells it.
    bool tryIt();
    // What "Lưu" does: false when the input was refused; otherwise the
    // question (when the address was not seen playing) or the write is
    // under way, and finished() tells how it ended.
    bool save();
    // The question "Lưu" asks, while it is open.
    QMessageBox* question() const { return question_; }
    bool saving() const { return saving_; }

    // The address as it is kept: an absolute path becomes a file URL.
    static QString normalised(const QString& typed);

signals:
    // A save ended: written, or not (the reason is shown).
    void finished(bool saved);

private:
    enum class Tried { No, Pending, Played, Failed };
    // The address and headers as typed, or the reason they cannot be used.
    bool checked(StreamAddress* out);
    void say(const QString& text);
    void write(const StreamAddress& stream);
    void chooseFile();
    // "kênh" or "phim", as the window speaks of what it gives an address to.
    QString kind() const;

    ViewerWindow& viewer_;
    QString window_;
    QString control_;
    bool film_ = false;
    QLineEdit* address_;
    QLineEdit* referrer_;
    QLineEdit* userAgent_;
    QWidget* advancedArea_;
    QToolButton* advanced_;
    QPushButton* chooseFile_;
    QPushButton* try_;
    QPushButton* save_;
    StatusText* result_;
    QPointer<QMessageBox> question_;
    Tried tried_ = Tried::No;
    StreamAddress triedStream_;
    bool saving_ = false;
};

// Sets (`row`) or takes out (none) the user's own address of an entry:
// written on the thread that writes the user's files; on `context`'s
// thread, the catalogue is read again when it was written, then `done`
// hears whether it was and, if not, why (in Vietnamese).
void saveOwnAddress(Program& program, QObject* context, const QString& window, const QString& control,
                    const std::optional<userdata::OwnRow>& row,
                    std::function<void(bool saved, const QString& error)> done);

// The address a drag carries for an entry (a video file of this computer
// or a link, as a URI list or as plain text), empty when it carries none;
// lists (.m3u, a .m3u8 file) are the import's, but a .m3u8 link is a live
// stream the entry may play.
QString droppedAddress(const QMimeData* mime);

} // namespace miravon
