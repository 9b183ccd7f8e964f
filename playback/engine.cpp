#include "engine.h"

#include "playback.h"

#include <mpv/client.h>

#include <chrono>
#include <clocale>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace miravon {

namespace {

// Background jobs in flight; waited for when the process exits so that no
// engine thread outlives the libraries it runs in.
class Jobs {
public:
    void run(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex_);
            ++running_;
        }
        std::thread([this, job = std::move(job)] {
            job();
            std::lock_guard lock(mutex_);
            --running_;
            done_.notify_all();
        }).detach();
    }
    ~Jobs()
    {
        std::unique_lock lock(mutex_);
        done_.wait_for(lock, std::chrono::seconds(10), [this] { return running_ == 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    int running_ = 0;
};

Jobs& jobs()
{
    static Jobs instance;
    return instance;
}

mpv_format toMpv(PropertyFormat f)
{
    switch (f) {
    case PropertyFormat::Flag:
        return MPV_FORMAT_FLAG;
    case PropertyFormat::Int64:
        return MPV_FORMAT_INT64;
    case PropertyFormat::Double:
        return MPV_FORMAT_DOUBLE;
    case PropertyFormat::String:
        return MPV_FORMAT_STRING;
    }
    return MPV_FORMAT_NONE;
}

} // namespace

void runInBackground(std::function<void()> job) { jobs().run(std::move(job)); }

// Shared between the Engine and the thread making its handle: whichever
// finishes last owns the handle.
struct Engine::Start {
    std::mutex mutex;
    bool abandoned = false;
    bool finished = false;
    mpv_handle* handle = nullptr;
};

Engine::Engine(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<FileEnd>();
}

Engine::~Engine()
{
    if (start_) {
        std::lock_guard lock(start_->mutex);
        start_->abandoned = true;
        if (start_->handle && !handle_) {
            handle_ = start_->handle;
            start_->handle = nullptr;
        }
    }
    if (handle_) {
        // After this returns the engine calls the wakeup callback no more.
        mpv_set_wakeup_callback(handle_, nullptr, nullptr);
        mpv_handle* h = handle_;
        handle_ = nullptr;
        runInBackground([h] {
            mpv_terminate_destroy(h);
            // The engine's buffers are free now but still held by the heap.
            releaseFreedMemory();
        });
    }
}


void Engine::start(const EngineOptions& options)
{
    if (start_)
        return;
    start_ = std::make_shared<Start>();
    // The engine refuses to start without the C numeric locale; initPlayback()
    // normally set it already.
    if (const char* numeric = std::setlocale(LC_NUMERIC, nullptr); !numeric || qstrcmp(numeric, "C") != 0)
        std::setlocale(LC_NUMERIC, "C");
    const bool wantLog = lcPlayer().isDebugEnabled();
    runInBackground([state = start_, options, wantLog, self = this] {
        mpv_handle* h = mpv_create();
        if (h) {
            for (const EngineOption& o : options) {
                if (mpv_set_option_string(h, o.name.constData(), o.value.constData()) < 0)
                    qCWarning(lcPlayer) << "engine option refused:" << o.name << o.value;
            }
            if (mpv_initialize(h) < 0) {
                qCWarning(lcPlayer) << "engine could not be initialised";
                mpv_terminate_destroy(h);
                h = nullptr;
            } else if (wantLog) {
                // The engine's log only feeds the debug output.
                mpv_request_log_messages(h, "warn");
            }
        }
        std::lock_guard lock(state->mutex);
        state->finished = true;
        if (state->abandoned) {
            if (h)
                mpv_terminate_destroy(h);
            return;
        }
        state->handle = h;
        // Under the lock: the Engine cannot be destroyed before the call is
        // queued, and a queued call to a destroyed object is dropped.
        QMetaObject::invokeMethod(self, &Engine::onStarted, Qt::QueuedConnection);
    });
}

void Engine::onStarted()
{
    if (!start_)
        return;
    {
        std::lock_guard lock(start_->mutex);
        handle_ = start_->handle;
        start_->handle = nullptr;
    }
    if (!handle_) {
        qCWarning(lcPlayer) << "engine could not be created";
        emit startFailed();
        return;
    }
    mpv_set_wakeup_callback(handle_, [](void* ctx) {
        // Engine thread: hand over to the UI thread, at most one call queued.
        auto* self = static_cast<Engine*>(ctx);
        if (!self->drainQueued_.exchange(true))
            QMetaObject::invokeMethod(self, &Engine::drain, Qt::QueuedConnection);
    }, this);
    const QList<Pending> queued = std::exchange(pending_, {});
    for (const Pending& p : queued)
        send(p);
    emit ready();
    drain();
}

void Engine::command(const QList<QByteArray>& args, quint64 tag)
{
    Pending p{Pending::Command, args, tag, {}, {}};
    if (handle_)
        send(p);
    else
        pending_.append(p);
}

void Engine::setProperty(const QByteArray& name, const QVariant& value)
{
    Pending p{Pending::Property, {name}, 0, value, {}};
    if (handle_)
        send(p);
    else
        pending_.append(p);
}

void Engine::observe(quint64 id, const QByteArray& name, PropertyFormat format)
{
    Pending p{Pending::Observe, {name}, id, {}, format};
    if (handle_)
        send(p);
    else
        pending_.append(p);
}

void Engine::send(const Pending& p)
{
    switch (p.kind) {
    case Pending::Command: {
        std::vector<const char*> argv;
        for (const QByteArray& a : p.args)
            argv.push_back(a.isNull() ? nullptr : a.constData());
        // A null argument ends the list early; keep the rest out.
        argv.push_back(nullptr);
        mpv_command_async(handle_, p.tag, argv.data());
        break;
    }
    case Pending::Property: {
        const QByteArray& name = p.args.first();
        switch (p.value.typeId()) {
        case QMetaType::Bool: {
            int flag = p.value.toBool() ? 1 : 0;
            mpv_set_property_async(handle_, 0, name.constData(), MPV_FORMAT_FLAG, &flag);
            break;
        }
        case QMetaType::Int:
        case QMetaType::LongLong: {
            int64_t v = p.value.toLongLong();
            mpv_set_property_async(handle_, 0, name.constData(), MPV_FORMAT_INT64, &v);
            break;
        }
        case QMetaType::Double: {
            double v = p.value.toDouble();
            mpv_set_property_async(handle_, 0, name.constData(), MPV_FORMAT_DOUBLE, &v);
            break;
        }
        default: {
            const QByteArray s = p.value.toString().toUtf8();
            const char* v = s.constData();
            mpv_set_property_async(handle_, 0, name.constData(), MPV_FORMAT_STRING, &v);
            break;
        }
        }
        break;
    }
    case Pending::Observe:
        mpv_observe_property(handle_, p.tag, p.args.first().constData(), toMpv(p.format));
        break;
    }
}

void Engine::drain()
{
    drainQueued_ = false;
    while (handle_) {
        mpv_event* event = mpv_wait_event(handle_, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        dispatch(*event);
    }
}

void Engine::dispatch(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_LOG_MESSAGE: {
        const auto* msg = static_cast<const mpv_event_log_message*>(event.data);
        qCDebug(lcPlayer) << "engine:" << msg->prefix << QString::fromUtf8(msg->text).trimmed();
        break;
    }
    case MPV_EVENT_COMMAND_REPLY: {
        if (event.reply_userdata == 0)
            break;
        qint64 entry = -1;
        const auto* cmd = static_cast<const mpv_event_command*>(event.data);
        if (event.error >= 0 && cmd->result.format == MPV_FORMAT_NODE_MAP) {
            const mpv_node_list* map = cmd->result.u.list;
            for (int i = 0; i < map->num; ++i) {
                if (qstrcmp(map->keys[i], "playlist_entry_id") == 0 && map->values[i].format == MPV_FORMAT_INT64)
                    entry = map->values[i].u.int64;
            }
        }
        emit commandReplied(event.reply_userdata, event.error >= 0, entry);
        break;
    }
    case MPV_EVENT_START_FILE:
        emit fileStarted(static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id);
        break;
    case MPV_EVENT_FILE_LOADED:
        emit fileLoaded();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        emit playbackRestarted();
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        FileEnd info;
        info.entry = end->playlist_entry_id;
        switch (end->reason) {
        case MPV_END_FILE_REASON_EOF:
            info.reason = FileEndReason::EndOfFile;
            break;
        case MPV_END_FILE_REASON_STOP:
        case MPV_END_FILE_REASON_QUIT:
            info.reason = FileEndReason::Stopped;
            break;
        case MPV_END_FILE_REASON_ERROR:
            info.reason = FileEndReason::Error;
            info.audioOutputFailed = end->error == MPV_ERROR_AO_INIT_FAILED;
            info.error = QString::fromUtf8(mpv_error_string(end->error));
            break;
        default:
            break;
        }
        emit fileEnded(info);
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* prop = static_cast<const mpv_event_property*>(event.data);
        QVariant value;
        switch (prop->format) {
        case MPV_FORMAT_FLAG:
            value = *static_cast<int*>(prop->data) != 0;
            break;
        case MPV_FORMAT_INT64:
            value = static_cast<qlonglong>(*static_cast<int64_t*>(prop->data));
            break;
        case MPV_FORMAT_DOUBLE:
            value = *static_cast<double*>(prop->data);
            break;
        case MPV_FORMAT_STRING:
            value = QString::fromUtf8(*static_cast<char**>(prop->data));
            break;
        default:
            break;  // unavailable: an invalid QVariant
        }
        emit propertyChanged(event.reply_userdata, value);
        break;
    }
    default:
        break;
    }
}

} // namespace miravon
