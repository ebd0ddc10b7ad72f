#include "forms/FormLook.h"

#include "forms/Contrast.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>
#include <QToolButton>
#include <QWidget>

namespace ziffa {

namespace {

// The free font of about the same metrics that stands in where a Windows font is missing, so
// that captions fit the controls drawn for it.
QString MetricTwin(const QString &family) {
    if (family == QLatin1String("MS Sans Serif"))
        return QStringLiteral("Liberation Sans");
    if (family == QLatin1String("Courier New"))
        return QStringLiteral("Liberation Mono");
    if (family == QLatin1String("Verdana"))
        return QStringLiteral("DejaVu Sans");
    return family;
}

QFont FamilyFont(const QString &family, bool bold) {
    QFont font(family);
    font.setFamilies({family, MetricTwin(family)});
    font.setBold(bold);
    return font;
}

} // namespace

QFont PointFont(const QString &family, int points, bool bold) {
    QFont font = FamilyFont(family, bold);
    font.setPointSize(points);
    return font;
}

QFont PixelFont(const QString &family, int pixels, bool bold) {
    QFont font = FamilyFont(family, bold);
    font.setPixelSize(pixels);
    return font;
}

namespace {

// The colours a window names for a control, kept on the control.
constexpr char MeantText[] = "ziffaMeantText";
constexpr char MeantBackground[] = "ziffaMeantBackground";
// Set while a control shows colours made legible on a dark palette.
constexpr char MadeLegible[] = "ziffaMadeLegible";

constexpr double TextContrast = 4.5;
constexpr double DisabledTextContrast = 3;

const QPalette::ColorRole TextRoles[] = {QPalette::WindowText, QPalette::ButtonText,
                                         QPalette::Text};

// What the control's text is drawn on, by the palette in force: an edit's base, a push
// button's face, a flat button's window and the face it shows under the mouse, a label's window.
QList<QColor> TextBackgrounds(const QWidget &control, const QPalette &own) {
    if (qobject_cast<const QLineEdit *>(&control) || qobject_cast<const QComboBox *>(&control) ||
        qobject_cast<const QAbstractScrollArea *>(&control))
        return {own.color(QPalette::Active, QPalette::Base)};
    if (qobject_cast<const QPushButton *>(&control))
        return {own.color(QPalette::Active, QPalette::Button)};
    // (The theme's, not the parent's palette of the moment, which a palette change may not
    // have reached yet.)
    const QWidget *parent = control.parentWidget();
    const QColor around =
        (parent ? QApplication::palette(parent) : own).color(QPalette::Active, QPalette::Window);
    if (qobject_cast<const QToolButton *>(&control))
        return {around, own.color(QPalette::Active, QPalette::Button)};
    return {around};
}

} // namespace

void SetTextColour(QWidget &control, const QColor &colour) {
    control.setProperty(MeantText, colour);
    ApplyTextLook(control);
}

QColor TextColour(const QWidget &control) {
    const QVariant meant = control.property(MeantText);
    return meant.isValid() ? meant.value<QColor>()
                           : control.palette().color(QPalette::Active, QPalette::Text);
}

void ApplyTextLook(QWidget &control) {
    const QPalette theme = QApplication::palette(&control);
    const bool dark = IsDarkPalette(theme);
    const QVariant meantText = control.property(MeantText);
    const QVariant meantBackground = control.property(MeantBackground);
    if (!dark && !meantText.isValid() && !control.property(MadeLegible).toBool())
        return; // the theme's own colours, untouched
    QPalette palette = control.palette();
    QList<QColor> backgrounds;
    if (meantBackground.isValid()) {
        // Its own background: the text stays, the background takes the lightness.
        QColor background = meantBackground.value<QColor>();
        if (dark)
            background = Legible(background, {meantText.value<QColor>()}, TextContrast);
        palette.setColor(QPalette::Window, background);
        backgrounds = {background};
    } else {
        backgrounds = TextBackgrounds(control, theme);
    }
    for (const QPalette::ColorRole role : TextRoles) {
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            QColor colour = theme.color(group, role);
            if (meantText.isValid() && (!dark || meantText.value<QColor>() != Black))
                colour = meantText.value<QColor>();
            if (dark && !meantBackground.isValid())
                colour = Legible(colour, backgrounds, TextContrast);
            palette.setColor(group, role, colour);
        }
        const QColor disabled = theme.color(QPalette::Disabled, role);
        palette.setColor(QPalette::Disabled, role,
                         dark ? Legible(disabled, backgrounds, DisabledTextContrast) : disabled);
    }
    // Selected text on the selection's colour.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor selected = theme.color(group, QPalette::HighlightedText);
        palette.setColor(
            group, QPalette::HighlightedText,
            dark ? Legible(selected, {theme.color(group, QPalette::Highlight)}, TextContrast)
                 : selected);
    }
    control.setProperty(MadeLegible, dark);
    control.setPalette(palette);
}

namespace {

// Gives a window's controls their text colours again when the application's palette changes.
class TextLookKeeper : public QObject {
public:
    explicit TextLookKeeper(QWidget &window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
        Apply();
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == &window_ && event->type() == QEvent::ApplicationPaletteChange)
            Apply();
        return false;
    }

private:
    void Apply() {
        ApplyTextLook(window_);
        for (QWidget *control : window_.findChildren<QWidget *>())
            if (control->window() == &window_)
                ApplyTextLook(*control);
    }

    QWidget &window_;
};

} // namespace

void KeepTextLook(QWidget &window) {
    new TextLookKeeper(window);
}

void StyleCaptionLabel(QLabel &label, QWidget *buddy) {
    label.setFont(PointFont(QStringLiteral("Verdana"), 8));
    label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label.setAutoFillBackground(true);
    label.setProperty(MeantBackground, Gray);
    SetTextColour(label, White);
    label.setBuddy(buddy);
}

void StyleSpeedButton(QAbstractButton &button, const QColor &colour, bool bold) {
    button.setFont(PointFont(QStringLiteral("MS Sans Serif"), 8, bold));
    SetTextColour(button, colour);
    button.setFocusPolicy(Qt::NoFocus);
}

QString ShownCaption(const QWidget &control) {
    QString text;
    if (const auto *button = qobject_cast<const QAbstractButton *>(&control))
        text = button->text();
    else if (const auto *label = qobject_cast<const QLabel *>(&control))
        text = label->text();
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i; // "&x" shows x underlined, "&&" shows one "&"
        shown += text[i];
    }
    return shown;
}

int CaptionRoom(const QWidget &control) {
    const QStyle *style = control.style();
    if (const auto *label = qobject_cast<const QLabel *>(&control)) {
        int indent = label->indent();
        if (indent < 0) // the default: half an "x" when the label has a frame
            indent = label->frameWidth() > 0 ? label->fontMetrics().horizontalAdvance(u'x') / 2 : 0;
        return label->contentsRect().width() - 2 * label->margin() - indent;
    }
    if (const auto *button = qobject_cast<const QPushButton *>(&control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.features = button->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
        option.text = button->text();
        return style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    }
    if (const auto *button = qobject_cast<const QToolButton *>(&control)) {
        QStyleOptionToolButton option;
        option.initFrom(button);
        option.subControls = QStyle::SC_ToolButton;
        option.toolButtonStyle = button->toolButtonStyle();
        option.text = button->text();
        if (button->autoRaise())
            option.state |= QStyle::State_AutoRaise;
        const QRect area =
            style->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButton, button);
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
        return area.width() - 2 * frame;
    }
    return control.width();
}

namespace {

int CaptionWidth(const QFont &font, const QString &caption) {
    return QFontMetrics(font).horizontalAdvance(caption);
}

} // namespace

bool CaptionFits(const QWidget &control) {
    return CaptionWidth(control.font(), ShownCaption(control)) < CaptionRoom(control);
}

void FitCaption(QWidget &control) {
    const QString caption = ShownCaption(control);
    const int room = CaptionRoom(control);
    QFont font = control.font();
    // A column to spare: a letter that touches the edge looks cut.
    if (caption.isEmpty() || CaptionWidth(font, caption) < room)
        return;
    // Narrower letters first, down to the width of a condensed face; then smaller ones.
    for (int stretch = 95; stretch >= 75; stretch -= 5) {
        font.setStretch(stretch);
        if (CaptionWidth(font, caption) < room) {
            control.setFont(font);
            return;
        }
    }
    const bool inPixels = font.pixelSize() > 0;
    int size = inPixels ? font.pixelSize() : font.pointSize();
    while (size > 1 && CaptionWidth(font, caption) >= room) {
        --size;
        if (inPixels)
            font.setPixelSize(size);
        else
            font.setPointSize(size);
    }
    control.setFont(font);
}

void FitCaptions(QWidget &window) {
    for (QWidget *control : window.findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(control) || qobject_cast<QAbstractButton *>(control))
            FitCaption(*control);
    }
}

} // namespace ziffa
