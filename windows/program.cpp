#include "program.h"

#include "chooserwindow.h"
#include "finder.h"
#include "logging.h"
#include "importrunner.h"
#include "programguide.h"
#include "programwindow.h"
#include "viewerwindow.h"
#include "windowfactory.h"

#include "frameuni.h"
#include "player.h"

#include "channelpolicy.h"
#include "filetext.h"
#include "settings.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

Q_LOGGING_CATEGORY(lcWindows, "miravon.windows", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStart, "miravon.start", QtWarningMsg)

namespace miravon {

Program::Program(EndHook onEnd, QObject* parent)
    : QObject(parent)
    , imports_(new ImportRunner(this))
    , channelLists_(new import::ChannelListPolicy(catalogue_.configDir(), {}, this))
    , guide_(new ProgramGuide(programGuideOptions(), this))
    , onEnd_(onEnd ? std::move(onEnd) : EndHook([] { QCoreApplication::exit(0); }))
{
    imports_->setFolders(catalogue_.configDir(), {});
    connect(imports_, &ImportRunner::layerChanged, &catalogue_, &catalogue::RunningCatalogue::reload);
    connect(imports_, &ImportRunner::layerChanged, guide_, &ProgramGuide::reload);
    playedStreams_.writeInBackground(this);
}

Program::~Program()
{
    // Windows go without running any close handling.
    ending_ = true;
    // The kept lists handed to the writer are on disk before the program
    // says it has ended; a disk that takes longer loses only this run's
    // last changes.
    if (kept_)
        kept_->flush(5000);
    const auto windows = windows_;
    windows_.clear();
    for (ProgramWindow* w : windows)
        delete w;
}

EntryIndex& Program::entryIndex()
{
    if (!entryIndex_)
        entryIndex_ = new EntryIndex(*this);
    return *entryIndex_;
}

KeptEntries& Program::kept()
{
    if (!kept_) {
        kept_.emplace();
        kept_->load(
            [this](const KeptEntries::Key& key) {
                // A list channel is kept while its lists are still being
                // read; one they no longer have is not listed.
                if (key.window == catalogue::listWindow())
                    return catalogue::isChannelKey(key.control)
                        && (!catalogue_.channelsRead() || catalogue_.listChannels()->channel(key.control));
                const catalogue::Label* l = catalogue_.catalogue().label(key.window, key.control);
                return l && l->clickable();
            },
            [this](const QString& file, const QString& log, const QString& said) {
                qCWarning(lcWindows).noquote() << log;
                keptNotices_.insert(file, said);
            });
        kept_->writeInBackground(this, [this](const QString& file, const QString& said) {
            qCWarning(lcWindows).noquote() << file << "was not written:" << said;
            // A favourite not kept is said at once; the recent list, a
            // convenience, only at its menu.
            if (file == KeptEntries::favouritesFile() && !ending_) {
                auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Miravon"),
                                            QStringLiteral("Không lưu được danh sách kênh yêu thích: %1").arg(said),
                                            QMessageBox::NoButton, QApplication::activeWindow());
                box->setObjectName(QStringLiteral("keptNotWritten"));
                box->addButton(QStringLiteral("Đóng"), QMessageBox::AcceptRole);
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->open();
            } else
                keptNotices_.insert(file, said);
        });
    }
    return *kept_;
}

QString Program::takeKeptNotice(const QString& file)
{
    kept();
    return keptNotices_.take(file);
}

ProgramWindow& Program::window(WindowId id)
{
    if (ProgramWindow* w = windows_.value(id))
        return *w;
    ProgramWindow* w = createWindow(*this, id);
    windows_.insert(id, w);
    qCDebug(lcWindows) << "load" << windowName(id);
    w->load();
    emit windowLoaded(id);
    return *w;
}

ViewerWindow& Program::viewer(WindowId id)
{
    Q_ASSERT(hasPlayer(id));
    return static_cast<ViewerWindow&>(window(id));
}

ProgramWindow* Program::loadedWindow(WindowId id) const
{
    return windows_.value(id);
}

void Program::show(WindowId id)
{
    ProgramWindow& w = window(id);
    if (ending_)
        return;
    qCDebug(lcWindows) << "show" << windowName(id);
    w.show();
    w.raise();
    w.activateWindow();
}

void Program::hide(WindowId id)
{
    ProgramWindow& w = window(id);
    qCDebug(lcWindows) << "hide" << windowName(id);
    w.hide();
}

void Program::closePlayer(WindowId id)
{
    qCDebug(lcWindows) << "close player of" << windowName(id);
    viewer(id).player().close();
}

void Program::setPanelVisible(WindowId id, const QString& panel, bool visible)
{
    ProgramWindow& w = window(id);
    QWidget* p = nullptr;
    if (auto* v = qobject_cast<ViewerWindow*>(&w))
        p = v->panel(panel);
    if (!p)
        p = w.findChild<QWidget*>(panel);
    if (!p) {
        qCWarning(lcWindows) << "no panel" << panel << "on" << windowName(id);
        return;
    }
    qCDebug(lcWindows) << "panel" << windowName(id) << panel << visible;
    p->setVisible(visible);
    if (auto* v = qobject_cast<ViewerWindow*>(&w))
        v->panelStepped();
    else if (auto* c = qobject_cast<ChooserWindow*>(&w))
        c->pageStepped();
}

QRect Program::outerGeometry(WindowId id)
{
    return window(id).outerGeometry();
}

void Program::unload(WindowId id)
{
    if (ProgramWindow* w = windows_.value(id))
        w->unloadByProgram();
}

bool Program::firstViewerShown(QWidget* shown)
{
    if (!started_ || viewerShown_)
        return false;
    viewerShown_ = true;
    // The program is in use: its guides are read back, and fetched when due.
    guide_->start();
    if (!startNotices_.isEmpty() && shown) {
        // Said where it is seen, and read out as it appears (an alert);
        // it stops nothing.
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Miravon"),
                                    startNotices_.join(QStringLiteral("\n\n")), QMessageBox::NoButton, shown);
        box->setObjectName(QStringLiteral("startNotice"));
        box->addButton(QStringLiteral("Đóng"), QMessageBox::AcceptRole);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
        startNotices_.clear();
    }
    // The weekly update: in the background, a while after the hand-over,
    // never in the way of a click.
    if (channelLists_->update() == import::ChannelListPolicy::Update::Due) {
        QTimer::singleShot(5000, this, [this] {
            qCDebug(lcWindows) << "updating the channel lists (a week has passed)";
            imports_->updateChannels();
        });
    }
    return true;
}

void Program::start()
{
    started_ = true;
    // Said once, in the first viewer window; main() says the settings' on
    // standard error, the catalogue the address file's.
    const QString settingsProblem = Settings::load(catalogue_.configDir()).problemText();
    if (!settingsProblem.isEmpty())
        startNotices_ << settingsProblem;
    const QString ownProblem = userdata::readProblemText(catalogue_.configDir() + u'/' + userdata::ownFileName(),
                                                         userdata::maxAddressFileBytes, false);
    if (!ownProblem.isEmpty())
        startNotices_ << QStringLiteral("%1 Các địa chỉ riêng của bạn trong tệp ấy chưa được dùng; tệp được để nguyên.")
                             .arg(ownProblem);
    show(WindowId::Form1);
}

void Program::endProgram()
{
    if (ending_)
        return;
    ending_ = true;
    qCDebug(lcWindows) << "end of program";
    for (ProgramWindow* w : std::as_const(windows_))
        w->hide();
    emit ended();
    onEnd_();
}

void Program::forget(ProgramWindow* window)
{
    const WindowId id = window->id();
    if (windows_.value(id) != window)
        return;
    windows_.remove(id);
    qCDebug(lcWindows) << "unloaded" << windowName(id);
    window->deleteLater();
    emit windowUnloaded(id);
}

} // namespace miravon
