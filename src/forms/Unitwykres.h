#pragma once

#include <QWidget>

class QCloseEvent;
class QKeyEvent;
class QResizeEvent;
class QTimer;

namespace ziffa {

class TGraph3D;

// The chart window: a black window filled by a 3D graph component. It is created hidden at
// start, cleared, and cleared again 200 ms after the last of a burst of resizes.
class TFormWykres : public QWidget {
    Q_OBJECT
public:
    static constexpr int ClearDelayMs = 200;

    TFormWykres();
    ~TFormWykres() override;

    TFormWykres(const TFormWykres &) = delete;
    TFormWykres &operator=(const TFormWykres &) = delete;

    QTimer *TimerClear;
    TGraph3D *Graph = nullptr;

    // ---- Handlers.
    void FormClose();
    void FormKeyUp(int key, Qt::KeyboardModifiers shift);
    void FormResize();
    void TimerClearTimer();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
};

// The chart window while it exists.
extern TFormWykres *FormWykres;

} // namespace ziffa
