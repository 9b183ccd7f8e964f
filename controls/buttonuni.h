#pragma once

#include <QAbstractButton>

namespace miravon {

// A flat page button: white face, black text that turns blue under the
// pointer, a grey outline. Its caption (`tx`) may be in VNI notation.
class ButtonUni : public QAbstractButton {
    Q_OBJECT
public:
    explicit ButtonUni(QWidget* parent = nullptr);

    void setSetkieugotv(bool on);
    bool setkieugotv() const { return setkieugotv_; }

    void setTx(const QString& stored);
    QString tx() const { return tx_; }

    QSize sizeHint() const override;

    // How the caption is drawn in the button's rectangle.
    static constexpr int textFlags = Qt::AlignCenter | Qt::TextSingleLine;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // Enter presses the button as Space and a click do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();

    QString tx_;
    bool setkieugotv_ = false;
    bool hover_ = false;
};

} // namespace miravon
