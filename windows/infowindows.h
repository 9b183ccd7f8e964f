#pragma once

#include "programwindow.h"

namespace miravon {

// The three information windows `frmsoft`, `frmtacgia` and `cauhinh`: fixed
// texts over a background. Their load and close code are rows of the step
// tables (frmmain goes away while one is open and comes back when it
// closes); closing one unloads it, and the next opening builds it anew.
class InfoWindow : public ProgramWindow {
    Q_OBJECT
public:
    InfoWindow(Program& program, WindowId id);

    void load() override;

protected:
    void unloaded() override;
};

// The values the contact and download lines end with.
namespace contact {
inline constexpr char download[] = "http://www.example.org/miravon/";
inline constexpr char email[] = "kestrin@example.org";
inline constexpr char messenger[] = "kestrin_tv";
inline constexpr char website[] = "http://www.example.net/kestrin";
inline constexpr char telephone[] = "(028) 5550 0123";
} // namespace contact

} // namespace miravon
