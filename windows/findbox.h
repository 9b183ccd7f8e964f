#pragma once

#include "search.h"

#include <QFrame>
#include <QIcon>
#include <QPointer>

class QLabel;
class QLineEdit;
class QListWidget;

namespace miravon {

class StatusText;

// The find box, laid over the top of a viewer window or the movie window:
// it lists every entry, film and channel of the user's lists that what is
// typed finds (its name and its country), best first, as the user types,
// each marked by whether it can play; under the list, the highlighted one
// says so in words. Up and Down choose, Enter or a click goes there, Esc
// puts it away and gives the focus back where it was. Screen readers hear
// its field, its list and the number of results.
class FindBox : public QFrame {
    Q_OBJECT
public:
    FindBox(const search::Index& index, QWidget* parent);

    // Shows the box with `typed` in its field (the letter that opened it).
    void open(const QString& typed = {});
    // Puts it away; the focus goes back where it was.
    void dismiss();

    QLineEdit* field() const { return field_; }
    QListWidget* results() const { return results_; }
    // Whether the highlighted result can play, and what to do if not.
    QString detailText() const;
    QString countText() const;

    static QString hint() { return QStringLiteral("Tìm kênh, phim hoặc quốc gia…"); }

signals:
    void chosen(const QString& window, const QString& control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update(const QString& text);
    void choose();
    void place();

    const search::Index& index_;
    QLineEdit* field_;
    StatusText* count_;
    QListWidget* results_;
    QLabel* detail_;
    QIcon marks_[2]; // cannot play, plays
    qreal marksRatio_ = 0;
    QPointer<QWidget> before_;
};

} // namespace miravon
