#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;
class QPushButton;

namespace miravon {

class ImportRunner;

// The offer to fetch the public channel lists, laid over the picture area
// of a viewer window (not a modal box): "Có" fetches them at once and shows
// the progress in the same place, "Không" puts the offer away for this run,
// "Không hỏi lại" for good. The answer is kept in the settings.
class ChannelOffer : public QFrame {
    Q_OBJECT
public:
    ChannelOffer(ImportRunner& runner, const QString& configDir, QWidget* pictureArea);

    // Whether the offer is due: no import layer, no address file of the
    // user's, and the user has not said yes or never.
    static bool isDue(const QString& configDir);

    QString text() const;

signals:
    // The offer is answered and put away ("Không", "Không hỏi lại"), or the
    // fetch it started is over.
    void done();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void answer(const QString& consent);
    void place();

    ImportRunner& runner_;
    QString configDir_;
    QLabel* text_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* yes_ = nullptr;
    QPushButton* no_ = nullptr;
    QPushButton* never_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace miravon
