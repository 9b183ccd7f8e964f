#include "translations.h"

#include <QCoreApplication>
#include <QTranslator>

namespace miravon {

bool installQtTranslation()
{
    static QTranslator* translator = nullptr;
    if (translator)
        return true;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QStringLiteral(":/translations/qt_vi.qm"))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}

} // namespace miravon
