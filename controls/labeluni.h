#pragma once

#include <QLabel>

namespace miravon {

// A label that can show Vietnamese text stored in VNI notation. With
// setkieugotv on, the caption is displayed converted; otherwise exactly as
// stored. A press and release over the label is a click.
//
// The text is one line unless word wrap is turned on. It is never elided or
// cut: a text wider than the label (or, wrapped, taller than its room) is
// drawn in the label's own face condensed just enough to fit, down to
// minimumStretch percent of its width.
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

    // --- Keyboard and screen readers (labeluni_keys.cpp) ---
    // What the label is to a keyboard or screen-reader user. An entry takes
    // the focus (Tab, and the arrow keys, Home and End among the entries of
    // its panel, in reading order); Enter and Space activate it exactly as a
    // click does, and screen readers see a button with a press action. A
    // heading and plain text never take the focus.
    enum class Use { Text, Heading, Entry };
    void setUse(Use use);
    Use use() const { return use_; }
    // Activates the label as a click does: emits clicked().
    void click();
    // True while clicked() is emitted for a click of the mouse (not a key,
    // not a screen reader's press): what it starts may take the focus.
    bool clickedByPointer() const { return byPointer_; }
    // The height the text may take from the label's top, when less than the
    // label's own (a wrapped caption with another label under its lower part).
    void setTextHeightLimit(int pixels);

    static constexpr int minimumStretch = 70;
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

    // An entry with no address to play yet: a quiet dotted line under its
    // text (round a picture), in the text's own colour, faint. The text,
    // its colour, font and place stay as they are.
    void setWithoutAddress(bool on);
    bool withoutAddress() const { return withoutAddress_; }

signals:
    void clicked();

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void applyColour();
    void fit(bool resized = false);
    bool fits(const QFont& font) const;

    QString caption_;
    QColor fore_;
    bool setkieugotv_ = false;
    bool pressed_ = false;
    bool byPointer_ = false;
    Use use_ = Use::Text;
    bool fitting_ = false;
    int heightLimit_ = -1;
    bool invitesClick_ = false;
    bool hovered_ = false;
    bool marked_ = false;
    bool withoutAddress_ = false;
};

} // namespace miravon
