#pragma once

#include "engineoptions.h"

#include <QObject>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>

struct mpv_handle;
struct mpv_event;

namespace miravon {

// How the engine's playback of one file ended.
enum class FileEndReason { EndOfFile, Stopped, Error, Other };

struct FileEnd {
    qint64 entry = -1;
    FileEndReason reason = FileEndReason::Other;
    // The engine could not open an audio output; the file itself may well
    // have played (video only).
    bool audioOutputFailed = false;
    QString error;
};

// Property kinds the engine reports through propertyChanged.
enum class PropertyFormat { Flag, Int64, Double, String };

// One engine handle and the thin API the controller needs. The handle is
// made and destroyed off the UI thread (both can take long: the engine
// starts its threads and outputs, or closes its connections); everything
// the engine reports arrives as typed signals on the UI thread. Commands,
// property writes and observations given before the handle exists are
// queued and sent once it does.
class Engine : public QObject {
    Q_OBJECT
public:
    explicit Engine(QObject* parent = nullptr);
    // Hands the handle, if any, to a background thread for destruction.
    ~Engine() override;

    // Starts making the handle with these options. ready() or startFailed()
    // follow on the UI thread; calling again while starting or ready does
    // nothing.
    void start(const EngineOptions& options);
    bool isReady() const { return handle_ != nullptr; }

    // For the render surface: it needs the raw handle to make its render
    // context. Null until ready().
    mpv_handle* handle() const { return handle_; }

    // Asynchronous command; commandReplied(tag, ...) follows when tag != 0.
    void command(const QList<QByteArray>& args, quint64 tag = 0);
    void setProperty(const QByteArray& name, const QVariant& value);
    void observe(quint64 id, const QByteArray& name, PropertyFormat format);

signals:
    void ready();
    void startFailed();
    // A load command's reply: the engine's playlist entry id, or an error.
    void commandReplied(quint64 tag, bool ok, qint64 entry);
    void fileStarted(qint64 entry);
    void fileLoaded();
    void playbackRestarted();
    void fileEnded(const miravon::FileEnd& end);
    void propertyChanged(quint64 id, const QVariant& value);

private:
    struct Start;
    struct Pending {
        enum Kind { Command, Property, Observe } kind;
        QList<QByteArray> args;
        quint64 tag = 0;
        QVariant value;
        PropertyFormat format = PropertyFormat::Flag;
    };

    void onStarted();
    void send(const Pending& p);
    void drain();
    void dispatch(const mpv_event& event);

    mpv_handle* handle_ = nullptr;
    std::shared_ptr<Start> start_;
    QList<Pending> pending_;
    std::atomic_bool drainQueued_{false};
};

// Runs a slow job (making or destroying an engine) on a thread of its own.
// Every job is finished, within a bound, before the process exits.
void runInBackground(std::function<void()> job);

} // namespace miravon

Q_DECLARE_METATYPE(miravon::FileEnd)
