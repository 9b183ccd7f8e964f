#pragma once

#include <QString>
#include <array>
#include <optional>

namespace miravon {

// The twelve named windows of the program.
enum class WindowId {
    Form1,
    frmmain,
    frmmain2,
    frmmain3,
    frmmain4,
    frmmain5,
    frmmain6,
    frmphim,
    chonkenh,
    frmsoft,
    frmtacgia,
    cauhinh,
};

inline constexpr std::array<WindowId, 12> allWindows = {
    WindowId::Form1,    WindowId::frmmain,  WindowId::frmmain2, WindowId::frmmain3,
    WindowId::frmmain4, WindowId::frmmain5, WindowId::frmmain6, WindowId::frmphim,
    WindowId::chonkenh, WindowId::frmsoft,  WindowId::frmtacgia, WindowId::cauhinh,
};

// The six viewer windows and the movie window: the windows with a player.
inline constexpr std::array<WindowId, 7> playerWindows = {
    WindowId::frmmain,  WindowId::frmmain2, WindowId::frmmain3, WindowId::frmmain4,
    WindowId::frmmain5, WindowId::frmmain6, WindowId::frmphim,
};

QString windowName(WindowId id);
std::optional<WindowId> windowByName(const QString& name);
bool hasPlayer(WindowId id);

} // namespace miravon
