#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;
class QPushButton;

namespace miravon {

class ImportRunner;
namespace import {
class ChannelListPolicy;
enum class ListConsent;
}

// The offer to fetch the public channel lists, laid over the picture area
// of a viewer window (not a modal box): "Có" fetches them at once and shows
// the progress in the same place, "Không" puts the offer away for this run,
// "Không hỏi lại" for good. The answer is kept in the settings.
class ChannelOffer : public QFrame {
    Q_OBJECT
public:
    // Shown when `policy` says the offer is due (offerDue()); the answer
    // is kept by it.
    ChannelOffer(ImportRunner& runner, import::ChannelListPolicy& policy, QWidget* pictureArea);

    QString text() const;

signals:
    // The offer is answered and put away ("Không", "Không hỏi lại"), or the
    // fetch it started is over.
    void done();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void answer(import::ListConsent consent);
    void place();

    ImportRunner& runner_;
    import::ChannelListPolicy& policy_;
    QLabel* text_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* yes_ = nullptr;
    QPushButton* no_ = nullptr;
    QPushButton* never_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace miravon
