#pragma once

#include <QWidget>

namespace ziffa {

// A lowered bevel that draws one line along one edge of its rectangle: a dark line with a light
// one beside it, as a separator between groups of controls.
class TBevel : public QWidget {
public:
    enum class Shape { LeftLine, TopLine };

    TBevel(Shape shape, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Shape shape_;
};

} // namespace ziffa
