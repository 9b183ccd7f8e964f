#pragma once

#include "catalogue.h"

#include <QDialog>

class QLineEdit;
class QMimeData;
class QPushButton;
class QToolButton;

namespace miravon {

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
// What is wrong with the input, and how saving went, shows in the window
// and is told to screen readers; nothing is written but by "Lưu".
class AddressDialog : public QDialog {
    Q_OBJECT
public:
    AddressDialog(ViewerWindow& viewer, const AddressTarget& target);

    // Fills the address field (a dropped link or file).
    void setAddress(const QString& address);

    QLineEdit* addressField() const { return address_; }
    QLineEdit* userAgentField() const { return userAgent_; }
    QPushButton* tryButton() const { return try_; }
    QString resultText() const;
    QString window() const { return window_; }
    QString control() const { return control_; }

    // What "Thử" and "Lưu" do; false when the input was refused or the
    // file could not be written (the reason is shown).
    bool tryIt();
    bool save();

    // The address as it is kept: an absolute path becomes a file URL.
    static QString normalised(const QString& typed);

private:
    // The address and headers as typed, or the reason they cannot be used.
    bool checked(StreamAddress* out);
    void say(const QString& text);
    void chooseFile();

    ViewerWindow& viewer_;
    QString window_;
    QString control_;
    QLineEdit* address_;
    QLineEdit* referrer_;
    QLineEdit* userAgent_;
    QWidget* advancedArea_;
    QToolButton* advanced_;
    QPushButton* chooseFile_;
    QPushButton* try_;
    QPushButton* save_;
    StatusText* result_;
};

// The address a drag carries for an entry (a video file of this computer
// or a link, as a URI list or as plain text), empty when it carries none;
// lists (.m3u, a .m3u8 file) are the import's, but a .m3u8 link is a live
// stream the entry may play.
QString droppedAddress(const QMimeData* mime);

} // namespace miravon
