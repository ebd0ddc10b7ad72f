#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <vector>

namespace ziffa {

// The edges of its parent that a control keeps its distance to.
enum Anchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using AnchorSet = unsigned;

// Where an anchored control goes when its parent's client area has a new size: an edge that is
// anchored keeps its distance to the parent's edge, a control anchored on both sides of an axis
// stretches, and one anchored on neither keeps its centre at the same fraction of the parent.
QRect AnchoredGeometry(const QRect &design, AnchorSet anchors, const QSize &designParent,
                       const QSize &parent);

// Keeps the anchored children of one parent in place on every resize of the parent. The design
// places are taken when a control is added, against the parent's size at that moment.
class Anchors : public QObject {
public:
    explicit Anchors(QWidget *parent);

    void Add(QWidget *control, AnchorSet anchors);
    // Places every control for the parent's present size.
    void Apply();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry {
        QPointer<QWidget> control;
        QRect design;
        AnchorSet anchors;
        QSize designParent;
    };
    QWidget *parent_;
    std::vector<Entry> entries_;
};

} // namespace ziffa
