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
struct ImportOutcome;
}

// The offer to fetch the public channel lists, laid over the picture area
// of a viewer window (not a modal box), naming the source configured:
// "Có" fetches them at once and shows the progress in the same place, with
// what it waits for; "Không" puts the offer away for this run, "Không hỏi
// lại" for good. The answer is kept in the settings. It takes the focus and
// its question is told to screen readers as it appears; so is how the
// fetch ended. A failure stays, with its reason, until it is put away
// ("Đóng"), and "Nguồn kênh…" opens the sources window, where it is kept as
// the last attempt; a success goes after a moment.
class ChannelOffer : public QFrame {
    Q_OBJECT
public:
    // Shown when `policy` says the offer is due (offerDue()); the answer
    // is kept by it.
    ChannelOffer(ImportRunner& runner, import::ChannelListPolicy& policy, QWidget* pictureArea);

    QString text() const;
    // What the progress line says while the lists come.
    QString progressText() const;

    // How long a success stays before the offer goes (tests shorten it).
    static int successStayMs();
    static void setSuccessStayMs(int ms);

signals:
    // The offer is answered and put away ("Không", "Không hỏi lại"), or the
    // fetch it started is over and put away.
    void done();
    // "Nguồn kênh…" was pressed.
    void sourcesRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void answer(import::ListConsent consent);
    void finished(const import::ImportOutcome& outcome);
    void setText(const QString& text);
    void putAway();
    void place();

    ImportRunner& runner_;
    import::ChannelListPolicy& policy_;
    QLabel* text_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* waiting_ = nullptr;
    QPushButton* yes_ = nullptr;
    QPushButton* no_ = nullptr;
    QPushButton* never_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* sources_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace miravon
