#include "display.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace miravon {
namespace {

struct Kept {
    QtMsgType type;
    const char* file; // static strings of the caller
    int line;
    const char* function;
    QByteArray category;
    QString message;
};

QtMessageHandler previous = nullptr;
QList<Kept>* kept = nullptr;

QByteArray environment(const char* name) { return qgetenv(name); }

[[noreturn]] void noDisplay()
{
    const QByteArray platform = environment("QT_QPA_PLATFORM");
    const QByteArray x11 = environment("DISPLAY");
    const QByteArray wayland = environment("WAYLAND_DISPLAY");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        std::fprintf(stderr, "miravon: cannot open a window on the platform \"%s\" set in QT_QPA_PLATFORM;"
                             " unset it or name one that is installed\n", platform.constData());
    else if (x11.isEmpty() && wayland.isEmpty())
        std::fprintf(stderr, "miravon: no graphical display (DISPLAY and WAYLAND_DISPLAY are unset);"
                             " start it from a desktop session\n");
    else
        std::fprintf(stderr, "miravon: cannot connect to the display \"%s\"; start it from a desktop"
                             " session or point DISPLAY at a running X server\n",
                     (x11.isEmpty() ? wayland : x11).constData());
    std::fflush(stderr);
    std::_Exit(1);
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg)
        noDisplay();
    // Kept back until the application exists: if it never does, only the
    // one line above is printed.
    kept->append(Kept{type, context.file, context.line, context.function,
                      QByteArray(context.category ? context.category : ""), message});
}

} // namespace

DisplayGuard::DisplayGuard()
{
    kept = new QList<Kept>;
    previous = qInstallMessageHandler(handler);
}

DisplayGuard::~DisplayGuard() { release(); }

void DisplayGuard::release()
{
    if (!held_)
        return;
    held_ = false;
    qInstallMessageHandler(previous);
    QList<Kept> messages = std::move(*kept);
    delete kept;
    kept = nullptr;
    for (const Kept& k : messages) {
        QMessageLogContext context(k.file, k.line, k.function,
                                   k.category.isEmpty() ? nullptr : k.category.constData());
        qt_message_output(k.type, context, k.message);
    }
}

} // namespace miravon
