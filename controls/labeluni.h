#pragma once

#include <QLabel>

namespace miravon {

// A label that can show Vietnamese text stored in VNI notation. With
// setkieugotv on, the caption is displayed converted; otherwise exactly as
// stored. A press and release over the label is a click.
class LabelUni : public QLabel {
    Q_OBJECT
public:
    explicit LabelUni(QWidget* parent = nullptr);

    void setSetkieugotv(bool on);
    bool setkieugotv() const { return setkieugotv_; }

    void setCaption(const QString& stored);
    QString caption() const { return caption_; }

    // OLE colour of the text.
    void setForecolor(qint64 ole);

    // An entry that invites a click: a pointing hand over it and a faint
    // light behind it while the pointer is there. Nothing moves or resizes.
    void setInvitesClick(bool on);
    bool invitesClick() const { return invitesClick_; }
    bool hovered() const { return hovered_; }

    // The entry now playing: its text in the mark colour, a picture framed
    // in it. Same font and place, so nothing moves.
    void setMarked(bool on);
    bool marked() const { return marked_; }
    static QColor markColour();

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void applyColour();

    QString caption_;
    QColor fore_;
    bool setkieugotv_ = false;
    bool pressed_ = false;
    bool invitesClick_ = false;
    bool hovered_ = false;
    bool marked_ = false;
};

} // namespace miravon
