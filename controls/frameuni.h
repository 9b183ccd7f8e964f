#pragma once

#include <QWidget>

namespace miravon {

// A panel: a container with an optional title, showing and hiding with
// everything in it. It paints its own background, so that of several panels
// on one spot only the top visible one is seen.
class FrameUni : public QWidget {
    Q_OBJECT
public:
    explicit FrameUni(QWidget* parent = nullptr);

    void setSetkieugotv(bool on);
    bool setkieugotv() const { return setkieugotv_; }

    void setCaption(const QString& stored);
    QString caption() const { return caption_; }
    // The title as displayed.
    QString displayedCaption() const;
    // Where the title is drawn, one line, in the panel's coordinates; empty
    // without a title.
    QRect titleRect() const;
    static constexpr int titleFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;

    void setForecolor(qint64 ole);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    bool setkieugotv_ = false;
    QColor fore_;
};

} // namespace miravon
