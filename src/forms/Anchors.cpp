#include "forms/Anchors.h"

#include <QEvent>

#include <algorithm>

namespace ziffa {

namespace {

// One axis: start and length of the control, the parent's extent at design time and now.
void PlaceAxis(int &start, int &length, bool nearEdge, bool farEdge, int designExtent, int extent) {
    const int farGap = designExtent - (start + length);
    if (nearEdge && farEdge) {
        length = extent - farGap - start;
    } else if (farEdge) {
        start = extent - farGap - length;
    } else if (!nearEdge) {
        // Neither edge: the centre keeps its fraction of the parent's extent.
        const long long centre = start + length / 2;
        start = designExtent > 0 ? static_cast<int>(centre * extent / designExtent) - length / 2
                                 : start;
    }
}

} // namespace

QRect AnchoredGeometry(const QRect &design, AnchorSet anchors, const QSize &designParent,
                       const QSize &parent) {
    int left = design.left();
    int width = design.width();
    int top = design.top();
    int height = design.height();
    PlaceAxis(left, width, anchors & akLeft, anchors & akRight, designParent.width(),
              parent.width());
    PlaceAxis(top, height, anchors & akTop, anchors & akBottom, designParent.height(),
              parent.height());
    return QRect(left, top, std::max(width, 0), std::max(height, 0));
}

Anchors::Anchors(QWidget *parent) : QObject(parent), parent_(parent) {
    parent_->installEventFilter(this);
}

void Anchors::Add(QWidget *control, AnchorSet anchors) {
    entries_.push_back({control, control->geometry(), anchors, parent_->size()});
}

void Anchors::Apply() {
    for (const Entry &entry : entries_) {
        if (entry.control)
            entry.control->setGeometry(
                AnchoredGeometry(entry.design, entry.anchors, entry.designParent, parent_->size()));
    }
}

bool Anchors::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parent_ && event->type() == QEvent::Resize)
        Apply();
    return false;
}

} // namespace ziffa
