#include "forms/ChartWindow.h"

#include "components/Graph3d.h"
#include "components/PictureFile.h"
#include "forms/AccessibleWindows.h"
#include "forms/CalculatorWindow.h"
#include "forms/ChartLook.h"
#include "forms/FormLook.h"
#include "forms/HandlerGuard.h"
#include "forms/KeyMapping.h"
#include "forms/Reporter.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QTimer>

namespace ziffa {

ChartWindow *FormWykres = nullptr;

ChartWindow::ChartWindow() : QWidget(nullptr, Qt::Window) {
    InstallAccessibleWindows();
    setObjectName(QStringLiteral("FormWykres"));
    setWindowTitle(QStringLiteral("Wykres"));
    setFont(ChartFont());
    QPalette background = palette();
    background.setColor(QPalette::Window, Black);
    setPalette(background);
    setAutoFillBackground(true);
    // Shown by the calculator window's F6, which keeps the activation and the typing.
    setAttribute(Qt::WA_ShowWithoutActivating);
    move(675, 83);
    resize(556, 424);

    TimerClear = new QTimer(this);
    TimerClear->setObjectName(QStringLiteral("TimerClear"));
    TimerClear->setInterval(ClearDelayMs);
    BindHandler(TimerClear, &QTimer::timeout, this, &ChartWindow::TimerClearTimer);

    AskPictureFileName = [](QWidget *parent) {
        // Qt's own dialog, which speaks the program's language; a platform's native one would
        // follow the desktop's.
        return QFileDialog::getSaveFileName(
            parent, QStringLiteral("Zapisz wykres"), QStringLiteral("wykres.png"),
            QStringLiteral("PNG (*.png)"), nullptr, QFileDialog::DontUseNativeDialog);
    };

    FormWykres = this;
    FormCreate(); // runs at start-up, whose own guard reports a failure
}

ChartWindow::~ChartWindow() {
    if (FormWykres == this)
        FormWykres = nullptr;
}

void ChartWindow::FormCreate() {
    // The graph belongs to the chart window, which shows it and destroys it.
    Graph = new TGraph3D(this);
    Graph->setObjectName(QStringLiteral("Graph"));
    Graph->show();
    SetChartWindowProperties(*Graph);
    // A sizeable border: the window is an ordinary resizable one.
    Graph->SetAlign(TAlign::alClient);
    Graph->update();
    Graph->g3D_cleargraph();
    // On a screen of another device pixel ratio the picture is drawn again, as after a resize.
    BindHandler(Graph, &TImage::PixelRatioChanged, this, &ChartWindow::FormResize);
}

void ChartWindow::FormClose() {
    if (FormZiffa)
        FormZiffa->SetChartMode(false);
}

void ChartWindow::FormKeyUp(int key, Qt::KeyboardModifiers shift) {
    if (key == Qt::Key_Escape) {
        if (FormZiffa)
            FormZiffa->ActivateWithFocus();
    } else if (key == Qt::Key_F6 && !CtrlHeld(shift) && !ShiftHeld(shift)) {
        close();
    } else if (key == Qt::Key_S && CtrlHeld(shift) && !ShiftHeld(shift)) {
        const QString fileName = AskPictureFileName(this);
        if (!fileName.isEmpty() && !SavePicture(fileName))
            Reporter().ShowWarning(
                this, QStringLiteral("Zapisz wykres"),
                QStringLiteral("Nie mo\u017Cna zapisa\u0107 pliku %1").arg(fileName));
    }
}

bool ChartWindow::SavePicture(const QString &fileName) const {
    return WritePictureFile(Graph->Bitmap(),
                            std::filesystem::path(QFile::encodeName(fileName).toStdString()));
}

void ChartWindow::FormResize() {
    TimerClear->stop();
    TimerClear->start();
}

void ChartWindow::TimerClearTimer() {
    TimerClear->stop();
    Graph->g3D_cleargraph();
    if (FormZiffa)
        FormZiffa->ButtonDrawClick(nullptr);
}

void ChartWindow::closeEvent(QCloseEvent *event) {
    RunGuarded([this] { FormClose(); });
    event->accept(); // hidden, not destroyed
}

void ChartWindow::keyReleaseEvent(QKeyEvent *event) {
    if (!event->isAutoRepeat())
        RunGuarded([&] { FormKeyUp(event->key(), event->modifiers()); });
    QWidget::keyReleaseEvent(event);
}

void ChartWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    RunGuarded([this] { FormResize(); });
}

} // namespace ziffa
