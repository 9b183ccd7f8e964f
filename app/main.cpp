#include "program.h"

#include "look.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("miravon"));
    QApplication::setQuitOnLastWindowClosed(false);
    miravon::installFontSubstitutions();

    miravon::Program program;
    program.start();
    return QApplication::exec();
}
