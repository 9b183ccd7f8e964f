#include "windowid.h"

namespace miravon {

QString windowName(WindowId id)
{
    switch (id) {
    case WindowId::Form1: return QStringLiteral("Form1");
    case WindowId::frmmain: return QStringLiteral("frmmain");
    case WindowId::frmmain2: return QStringLiteral("frmmain2");
    case WindowId::frmmain3: return QStringLiteral("frmmain3");
    case WindowId::frmmain4: return QStringLiteral("frmmain4");
    case WindowId::frmmain5: return QStringLiteral("frmmain5");
    case WindowId::frmmain6: return QStringLiteral("frmmain6");
    case WindowId::frmphim: return QStringLiteral("frmphim");
    case WindowId::chonkenh: return QStringLiteral("chonkenh");
    case WindowId::frmsoft: return QStringLiteral("frmsoft");
    case WindowId::frmtacgia: return QStringLiteral("frmtacgia");
    case WindowId::cauhinh: return QStringLiteral("cauhinh");
    }
    return {};
}

std::optional<WindowId> windowByName(const QString& name)
{
    for (WindowId id : allWindows)
        if (windowName(id) == name)
            return id;
    return std::nullopt;
}

bool hasPlayer(WindowId id)
{
    for (WindowId w : playerWindows)
        if (w == id)
            return true;
    return false;
}

} // namespace miravon
