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

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void refresh();

    QString caption_;
    bool setkieugotv_ = false;
    bool pressed_ = false;
};

} // namespace miravon
