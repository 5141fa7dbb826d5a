#include "readabletext.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <array>
#include <cmath>

namespace {

// WCAG 2 relative luminance: the sRGB channels made linear, weighted by how
// bright each looks.
double luminance(const QColor &c) {
    const auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// Each text role, with the role it is drawn on.
constexpr std::array TextRoles{
    std::pair{QPalette::WindowText, QPalette::Window},
    std::pair{QPalette::Text, QPalette::Base},
    std::pair{QPalette::ButtonText, QPalette::Button},
    std::pair{QPalette::HighlightedText, QPalette::Highlight},
};

// Disabled text is dimmed no further than this against its palette colour:
// styles shade button faces and frames away from that colour (Fusion draws a
// dark button's face lighter), and against what they draw the text must still
// make 4.5:1.
constexpr double DimmedContrast = 7;

// `dimmed` moved toward `full` just far enough to read on `background`.
QColor readableDimmed(const QColor &dimmed, const QColor &full, const QColor &background) {
    constexpr int Steps = 32;
    const auto toward = [](int from, int to, int step) {
        return from + (to - from) * step / Steps;
    };
    for (int step = 0; step < Steps; ++step) {
        const QColor c(toward(dimmed.red(), full.red(), step),
                       toward(dimmed.green(), full.green(), step),
                       toward(dimmed.blue(), full.blue(), step));
        if (ReadableText::Contrast(c, background) >= DimmedContrast)
            return c;
    }
    return full;
}

// `palette` with its disabled text made readable. The desktop's disabled
// colours, read from `natural`, stay where they read; a disabled background
// on which even the enabled text does not read gives way to the enabled one.
QPalette readableDisabled(QPalette palette, const QPalette &natural) {
    for (auto [text, background] : TextRoles) {
        const QColor full = palette.color(QPalette::Active, text);
        QColor behind = natural.color(QPalette::Disabled, background);
        if (ReadableText::Contrast(full, behind) < ReadableText::LeastContrast)
            behind = palette.color(QPalette::Active, background);
        palette.setColor(QPalette::Disabled, background, behind);
        palette.setColor(QPalette::Disabled, text,
                         readableDimmed(natural.color(QPalette::Disabled, text), full, behind));
    }
    return palette;
}

// Redoes a widget's disabled colours each time its palette changes: a desktop
// turning from light to dark changes it, and so does the widget's own setting.
// For a whole class (Scope::Class) the colours are the class's own palette in
// the application (QApplication::setPalette with a class name), one for all
// of its widgets.
class DisabledTextWatch : public QObject {
public:
    enum class Scope { Widget, Class };

    DisabledTextWatch(QWidget *widget, Scope scope)
        : QObject(widget)
        , m_className(scope == Scope::Class ? widget->metaObject()->className() : QByteArray()) {
        widget->installEventFilter(this);
        apply(widget);
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::PaletteChange)
            apply(static_cast<QWidget *>(watched));
        return false;
    }

private:
    void apply(QWidget *widget) const {
        if (!m_className.isEmpty()) {
            applyToClass(widget);
            return;
        }
        // The colours the widget would have without this watch.
        const QWidget *parent = widget->parentWidget();
        const QPalette natural = parent ? parent->palette() : QApplication::palette(widget);
        const QPalette readable = readableDisabled(widget->palette(), natural);
        // The same colours again would change nothing and end the round.
        if (readable != widget->palette())
            widget->setPalette(readable);
    }

    void applyToClass(QWidget *widget) const {
        const QPalette desktop = QApplication::palette();
        QPalette readable = readableDisabled(desktop, desktop);
        // A palette that sets nothing of its own is the class's natural one,
        // shared as it is by each widget of the class and its children; one
        // that set colours would be copied afresh into every widget.
        readable.setResolveMask(0);
        if (readable != QApplication::palette(m_className.constData()))
            QApplication::setPalette(readable, m_className.constData());
        // A window takes a new palette of its class only when its own is set:
        // set to none of its own, it takes its class's.
        if (widget->palette() != QApplication::palette(m_className.constData()))
            widget->setPalette(QPalette());
    }

    const QByteArray m_className; // empty: the widget alone
};

} // namespace

double ReadableText::Contrast(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableText::On(const QColor &background) {
    const QColor black(Qt::black), white(Qt::white);
    return Contrast(black, background) >= Contrast(white, background) ? black : white;
}

QColor ReadableText::Readable(const QColor &colour, const QColor &background) {
    // Away from the background: darker on a light one, lighter on a dark one.
    constexpr int Steps = 64;
    const bool darker = On(background) == QColor(Qt::black);
    float hue = 0, saturation = 0, lightness = 0, alpha = 1;
    colour.getHslF(&hue, &saturation, &lightness, &alpha);
    for (int step = 0; step <= Steps; ++step) {
        const float l = darker ? lightness * float(Steps - step) / Steps
                               : lightness + (1 - lightness) * float(step) / Steps;
        const QColor c = QColor::fromHslF(hue, saturation, l);
        if (Contrast(c, background) >= LeastContrast)
            return c;
    }
    return On(background);
}

void ReadableText::SetBackground(QWidget *widget, const QColor &background) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    // Labels draw their text in WindowText; option buttons and check boxes
    // their captions in WindowText or ButtonText, as the style has it.
    const QColor text = On(background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::ButtonText, text);
    widget->setPalette(palette);
    // Buttons of every kind fill in their Button colour unless told otherwise.
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

void ReadableText::KeepDisabledReadable(QWidget *widget) {
    new DisabledTextWatch(widget, DisabledTextWatch::Scope::Widget);
}

void ReadableText::KeepClassDisabledReadable(QWidget *widget) {
    new DisabledTextWatch(widget, DisabledTextWatch::Scope::Class);
}
