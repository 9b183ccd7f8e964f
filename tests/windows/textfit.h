#pragma once

// Where the texts of a window are painted, and what is wrong with them: a
// text cut by its own control, cut by a container, lying over another text or
// under an opaque control (by its glyphs' outlines), or drawn partly from a face other than its own.

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

class QWidget;

namespace textfit {

struct Text {
    QWidget* owner = nullptr; // the control that draws it
    QString text;
    QRectF box;               // where the control lays it out, window coordinates
    QList<QRectF> lines;      // each painted line's box, window coordinates
    QList<QRectF> ink;        // the glyphs of each line, window coordinates
    int flags = 0;
};

struct Fault {
    enum Kind { Truncated, Clipped, Overlapping, Covered, Fallback };
    Kind kind;
    QString what;
};

// Every text the window shows as it stands: labels, panel titles, buttons
// and menu-bar items of visible controls.
QList<Text> textsOf(QWidget* window);

// The faults of those texts.
QList<Fault> faultsOf(QWidget* window);

QString kindName(Fault::Kind kind);

} // namespace textfit
