#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace ziffa {

// The information window: the fixed help text in a fixed-pitch font and a "Zamknij" button.
// It is made on each request, shown modally at the centre of the screen and destroyed after.
class InformationWindow : public QDialog {
    Q_OBJECT
public:
    explicit InformationWindow(QWidget *parent = nullptr);
    ~InformationWindow() override;

    QPlainTextEdit *Memo1;
    QPushButton *Button1;

    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;
};

// The open information window, or null.
extern InformationWindow *FormInformacje;

} // namespace ziffa
