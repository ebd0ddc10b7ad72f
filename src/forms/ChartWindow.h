#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class QCloseEvent;
class QKeyEvent;
class QResizeEvent;
class QTimer;

namespace ziffa {

class TGraph3D;

// The chart window: a black window filled by a 3D graph component. It is created hidden at
// start, cleared, and cleared again 200 ms after the last of a burst of resizes.
class ChartWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int ClearDelayMs = 200;

    ChartWindow();
    ~ChartWindow() override;

    QTimer *TimerClear;
    TGraph3D *Graph = nullptr;

    // Asks where to save the picture (Ctrl+S): a file name, or an empty text when the user
    // cancels. A file dialog captioned "Zapisz wykres" unless a test puts another in its place.
    std::function<QString(QWidget *parent)> AskPictureFileName;
    // Writes the graph's picture as a PNG file, whole or not at all (WritePictureFile); false
    // when it can't be written.
    bool SavePicture(const QString &fileName) const;

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
extern ChartWindow *FormWykres;

} // namespace ziffa
