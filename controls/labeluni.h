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

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();

    QString caption_;
    bool setkieugotv_ = false;
    bool pressed_ = false;
    Use use_ = Use::Text;
};

} // namespace miravon
