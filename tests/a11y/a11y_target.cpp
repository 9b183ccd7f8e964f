// The program's windows with a recording player, for the screen-reader test:
// frmmain on its Vietnamese panel and the chooser beside it, as after the
// world-television command. Every put on a player is printed on standard
// output as "put <window> <address>".
#include "accessible.h"
#include "focusring.h"
#include "look.h"
#include "navigation.h"
#include "player.h"
#include "program.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>

namespace {

class PrintingPlayer : public miravon::Player {
public:
    explicit PrintingPlayer(QWidget* parent)
        : view_(new QWidget(parent))
    {
        view_->setFocusPolicy(Qt::StrongFocus);
    }
    QWidget* widget() override { return view_; }
    void setUrl(const QString& address) override
    {
        std::printf("put %s %s\n", qPrintable(view_->window()->objectName()), qPrintable(address));
        std::fflush(stdout);
    }
    void close() override {}

private:
    QWidget* view_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("miravon-a11y-target"));
    QApplication::setQuitOnLastWindowClosed(false);
    miravon::installFontSubstitutions();
    miravon::installAccessibility();
    miravon::FocusRing::install();
    miravon::playerFactory() = [](QWidget* parent) -> std::unique_ptr<miravon::Player> {
        return std::make_unique<PrintingPlayer>(parent);
    };
    miravon::Program program;
    program.show(miravon::WindowId::frmmain);
    miravon::runMenuCommand(program, miravon::WindowId::frmmain, QStringLiteral("thegioi"));
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}
