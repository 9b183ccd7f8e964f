#pragma once

#include "programwindow.h"

#include <QHash>

namespace miravon {

class FrameUni;

// The chooser page (1 to 3) a control of the chooser stands on; 0 for none.
int chooserPageOf(const QString& control);

// The country chooser `chonkenh`: three pages `qg1` to `qg3` of country
// lines, each page with a button to the next, and a close button below them.
// Every click goes to the chooser's step table; controls without a row do
// nothing. At load it stands against the right edge of frmmain.
class ChooserWindow : public ProgramWindow {
    Q_OBJECT
public:
    explicit ChooserWindow(Program& program);

    void load() override;
    // Against the right edge of `window`, which it is opened over, when that
    // window's frame covers its left edge by a few pixels (the viewer windows
    // differ that much in width); any other place is kept.
    void standBeside(WindowId window);

    FrameUni* page(const QString& name) const { return pages_.value(name); }

private:
    QHash<QString, FrameUni*> pages_;
};

} // namespace miravon
