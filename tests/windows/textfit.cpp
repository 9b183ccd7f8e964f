#include "textfit.h"

#include "buttonuni.h"
#include "frameuni.h"

#include <QAction>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QMenuBar>
#include <QRawFont>
#include <QTextLayout>
#include <QWidget>

namespace textfit {
namespace {

struct Laid {
    QList<QRectF> lines; // line boxes: glyph advances by the font's height
    QList<QRectF> ink;   // the glyphs' own outlines
};

// Lays the text out as QPainter::drawText(box, flags, text) does: lines of
// the font's height, each as wide as its glyphs, aligned in the box.
Laid layOut(const QFont& font, const QString& text, const QRectF& box, int flags)
{
    QTextOption option;
    option.setWrapMode((flags & Qt::TextWordWrap) ? QTextOption::WordWrap : QTextOption::ManualWrap);
    QTextLayout layout(text, font);
    layout.setTextOption(option);
    const QFontMetricsF fm(font);
    Laid laid;
    qreal height = 0;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(box.width());
        laid.lines.append(QRectF(0, height, line.naturalTextWidth(), line.height()));
        const QRectF glyphs = fm.tightBoundingRect(text.mid(line.textStart(), line.textLength()));
        laid.ink.append(glyphs.translated(0, height + line.ascent()));
        height += line.height();
    }
    layout.endLayout();

    qreal dy = box.top();
    if (flags & Qt::AlignVCenter)
        dy += (box.height() - height) / 2;
    else if (flags & Qt::AlignBottom)
        dy += box.height() - height;
    for (qsizetype i = 0; i < laid.lines.size(); ++i) {
        qreal dx = box.left();
        if (flags & Qt::AlignHCenter)
            dx += (box.width() - laid.lines[i].width()) / 2;
        else if (flags & Qt::AlignRight)
            dx += box.width() - laid.lines[i].width();
        laid.lines[i].translate(dx, dy);
        laid.ink[i].translate(dx, dy);
    }
    return laid;
}

QRectF inWindow(QWidget* w, QWidget* window, const QRectF& r)
{
    return r.translated(w->mapTo(window, QPoint(0, 0)));
}

QRectF clipOf(QWidget* owner, QWidget* window)
{
    QRectF clip = inWindow(owner, window, QRectF(owner->rect()));
    for (QWidget* a = owner->parentWidget(); a && a != window; a = a->parentWidget())
        clip &= inWindow(a, window, QRectF(a->rect()));
    return clip & QRectF(window->rect());
}

void add(QList<Text>& out, QWidget* owner, QWidget* window, const QString& text, const QRect& box,
         int flags, const QFont& font)
{
    if (text.trimmed().isEmpty())
        return;
    Text t;
    t.owner = owner;
    t.text = text;
    t.flags = flags;
    t.box = inWindow(owner, window, QRectF(box));
    // A control lying wholly outside its container is not shown at all.
    if (!clipOf(owner, window).intersects(t.box))
        return;
    const Laid laid = layOut(font, text, QRectF(box), flags);
    for (const QRectF& l : laid.lines)
        t.lines.append(inWindow(owner, window, l));
    for (const QRectF& l : laid.ink)
        t.ink.append(inWindow(owner, window, l));
    out.append(t);
}

QString nameOf(const Text& t)
{
    return QStringLiteral("%1 \"%2\"").arg(t.owner->objectName(), t.text);
}

QString linesOf(const Text& t)
{
    QStringList out;
    for (const QRectF& l : t.lines)
        out << QStringLiteral("%1,%2 %3x%4").arg(l.x()).arg(l.y()).arg(l.width()).arg(l.height());
    return out.join(QLatin1String("; "));
}

bool inside(const QRectF& outer, const QRectF& inner)
{
    constexpr qreal slack = 0.01;
    return inner.left() >= outer.left() - slack && inner.top() >= outer.top() - slack
        && inner.right() <= outer.right() + slack && inner.bottom() <= outer.bottom() + slack;
}

bool overlaps(const QRectF& a, const QRectF& b)
{
    // Anti-aliased edges may touch; half a pixel into each other is a clash.
    const QRectF both = a.intersected(b);
    return both.width() > 0.5 && both.height() > 0.5;
}

// A control that paints over whatever lies under it.
bool opaque(QWidget* w)
{
    if (w->autoFillBackground() || w->objectName() == QLatin1String("manhinh"))
        return true;
    if (auto* label = qobject_cast<QLabel*>(w))
        return !label->pixmap().isNull();
    return false;
}

} // namespace

QList<Text> textsOf(QWidget* window)
{
    QList<Text> out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (!label->pixmap().isNull())
                continue;
            int flags = int(label->alignment());
            if (label->wordWrap())
                flags |= Qt::TextWordWrap;
            add(out, w, window, label->text(), label->contentsRect(), flags, label->font());
        } else if (auto* frame = qobject_cast<miravon::FrameUni*>(w)) {
            add(out, w, window, frame->displayedCaption(), frame->titleRect(),
                miravon::FrameUni::titleFlags, frame->font());
        } else if (auto* button = qobject_cast<miravon::ButtonUni*>(w)) {
            add(out, w, window, button->text(), button->rect(), miravon::ButtonUni::textFlags,
                button->font());
        } else if (auto* bar = qobject_cast<QMenuBar*>(w)) {
            for (QAction* a : bar->actions())
                add(out, w, window, a->text(), bar->actionGeometry(a), Qt::AlignCenter | Qt::TextSingleLine,
                    bar->font());
        }
    }
    return out;
}

QList<Fault> faultsOf(QWidget* window)
{
    QList<Fault> faults;
    const QList<Text> texts = textsOf(window);
    for (const Text& t : texts) {
        const QFont font = t.owner->font();
        const QFontInfo real(font);
        if (real.family() != font.family()) {
            faults.append({Fault::Fallback, QStringLiteral("%1: face %2 is not installed (got %3)")
                                                .arg(nameOf(t), font.family(), real.family())});
        } else {
            const QRawFont raw = QRawFont::fromFont(font);
            for (char32_t c : t.text.toUcs4()) {
                if (!QChar::isSpace(c) && !raw.supportsCharacter(c)) {
                    faults.append({Fault::Fallback, QStringLiteral("%1: %2 has no U+%3")
                                                        .arg(nameOf(t), font.family())
                                                        .arg(uint(c), 4, 16, QLatin1Char('0'))});
                    break;
                }
            }
        }

        bool cut = t.box.isEmpty();
        for (const QRectF& l : t.lines)
            cut = cut || !inside(t.box, l);
        if (cut) {
            faults.append({Fault::Truncated, QStringLiteral("%1: %2 line(s) of %3 x %4 px in a box of %5 x %6")
                                                 .arg(nameOf(t))
                                                 .arg(t.lines.size())
                                                 .arg(t.lines.isEmpty() ? 0 : t.lines.first().width())
                                                 .arg(t.lines.isEmpty() ? 0 : t.lines.first().height())
                                                 .arg(t.box.width())
                                                 .arg(t.box.height())});
            continue;
        }
        const QRectF clip = clipOf(t.owner, window);
        bool clipped = false;
        for (const QRectF& l : t.lines)
            clipped = clipped || !inside(clip, l);
        if (clipped) {
            faults.append({Fault::Clipped, QStringLiteral("%1: cut by its container").arg(nameOf(t))});
            continue;
        }

        // Opaque controls stacked above the text's control or above one of
        // its containers.
        for (QWidget* a = t.owner; a && a != window; a = a->parentWidget()) {
            QWidget* parent = a->parentWidget();
            if (!parent)
                break;
            const QObjectList& siblings = parent->children();
            for (qsizetype i = siblings.indexOf(a) + 1; i < siblings.size(); ++i) {
                auto* s = qobject_cast<QWidget*>(siblings.at(i));
                if (!s || s->isWindow() || !s->isVisibleTo(window) || !opaque(s))
                    continue;
                const QRectF over = inWindow(s, window, QRectF(s->rect()));
                for (const QRectF& l : t.ink) {
                    if (overlaps(over, l)) {
                        faults.append({Fault::Covered,
                                       QStringLiteral("%1: under %2").arg(nameOf(t), s->objectName())});
                        break;
                    }
                }
            }
        }
    }

    for (qsizetype i = 0; i < texts.size(); ++i) {
        for (qsizetype j = i + 1; j < texts.size(); ++j) {
            bool clash = false;
            for (const QRectF& a : texts[i].lines)
                for (const QRectF& b : texts[j].lines)
                    clash = clash || overlaps(a, b);
            if (clash)
                faults.append({Fault::Overlapping,
                               QStringLiteral("%1 and %2 (lines %3 and %4)")
                                   .arg(nameOf(texts[i]), nameOf(texts[j]), linesOf(texts[i]), linesOf(texts[j]))});
        }
    }
    return faults;
}

QString kindName(Fault::Kind kind)
{
    switch (kind) {
    case Fault::Truncated:
        return QStringLiteral("truncated");
    case Fault::Clipped:
        return QStringLiteral("clipped");
    case Fault::Overlapping:
        return QStringLiteral("overlapping");
    case Fault::Covered:
        return QStringLiteral("covered");
    case Fault::Fallback:
        return QStringLiteral("fallback");
    }
    return {};
}

} // namespace textfit
