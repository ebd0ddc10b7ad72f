#include "forms/InformationWindow.h"

#include "forms/Anchors.h"
#include "forms/FormLook.h"
#include "forms/HandlerGuard.h"
#include "forms/InformationText.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace ziffa {

InformationWindow *FormInformacje = nullptr;

namespace {

constexpr int OuterWidth = 627;
constexpr int OuterHeight = 470;

// Keeps Enter and Escape in the text, as a multi-line text does, so that they close the window
// only from the button.
class KeepDialogKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
    }
};

QString HelpText() {
    QString text;
    for (std::size_t i = 0; i < InformationText.size(); ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += QString::fromUtf8(InformationText[i].data(),
                                  static_cast<qsizetype>(InformationText[i].size()));
    }
    return text;
}

} // namespace

InformationWindow::InformationWindow(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormInformacje"));
    setWindowTitle(QStringLiteral("Ziffa - Informacje"));
    setFont(PointFont(QStringLiteral("MS Sans Serif"), 8));
    setSizeGripEnabled(false);
    resize(611, 432);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(10, 10, 601, 381);
    QFont fixed = PointFont(QStringLiteral("Courier New"), 8);
    fixed.setStyleHint(QFont::TypeWriter);
    Memo1->setFont(fixed);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);
    Memo1->setPlainText(HelpText());
    Memo1->installEventFilter(new KeepDialogKeys(Memo1));

    Button1 = new QPushButton(QStringLiteral("Zamknij"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(271, 400, 75, 25);
    Button1->setDefault(true);
    BindHandler(Button1, &QPushButton::clicked, this, &InformationWindow::Button1Click);
    setTabOrder(Memo1, Button1);

    auto *anchors = new Anchors(this);
    anchors->Add(Memo1, akLeft | akTop | akRight | akBottom);
    anchors->Add(Button1, akBottom);

    // At the centre of the screen, by the window's outer size at design time.
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->geometry().center() - QPoint(OuterWidth / 2, OuterHeight / 2));

    FitCaptions(*this);
    KeepTextLook(*this);
    Memo1->setFocus();
    FormInformacje = this;
}

InformationWindow::~InformationWindow() {
    if (FormInformacje == this)
        FormInformacje = nullptr;
}

void InformationWindow::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    RunGuarded([this] { FormShow(); });
}

void InformationWindow::FormShow() {}

void InformationWindow::Button1Click() {
    reject();
}

} // namespace ziffa
