// What a screen reader meets: the windows as named frames, no control that can't be seen, one
// change of the result field a calculation, and each result announced.
#include "WindowsFixture.h"

#include "forms/Announce.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <functional>
#include <set>

namespace ziffa {
namespace {

using Accessibility = WindowsTest;

TEST_F(Accessibility, TopLevelWindowsAreFramesNamedByTheirCaptions) {
    for (QWidget *window :
         {static_cast<QWidget *>(ziffa.get()), static_cast<QWidget *>(variables.get()),
          static_cast<QWidget *>(wykres.get())}) {
        QAccessibleInterface *frame = QAccessible::queryAccessibleInterface(window);
        EXPECT_EQ(frame->role(), QAccessible::Window) << window->windowTitle().toStdString();
        EXPECT_EQ(frame->text(QAccessible::Name), window->windowTitle());
    }
}

// Every control in the calculator window's tree, depth first.
void Walk(QAccessibleInterface *node, const std::function<void(QAccessibleInterface *)> &visit) {
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface *child = node->child(i);
        visit(child);
        Walk(child, visit);
    }
}

TEST_F(Accessibility, ControlsThatCannotBeSeenAreNotInTheTree) {
    std::set<const QObject *> listed;
    Walk(QAccessible::queryAccessibleInterface(ziffa.get()), [&](QAccessibleInterface *node) {
        listed.insert(node->object());
        EXPECT_GE(node->parent()->indexOfChild(node), 0) << "a child its parent lists";
    });
    EXPECT_FALSE(listed.count(ziffa->ButtonClose)) << "\"Zamknij\" lies outside the window";
    EXPECT_FALSE(listed.count(ziffa->SpeedButton8)) << "the hidden chart button";
    EXPECT_FALSE(listed.count(ziffa->PanelWykres)) << "the hidden chart row";
    EXPECT_TRUE(listed.count(ziffa->ButtonCalculate));
}

struct Changes {
    const char *first, *second;
    int textChanges;  // of the result field, by the second calculation
    int storeChanges; // of ">M1"'s enabled state, by the second calculation
};

class OneChange : public WindowsTest, public testing::WithParamInterface<Changes> {};

TEST_P(OneChange, ResultFieldAndStoreButtonsChangeOnceACalculation) {
    Calculate(QString::fromLatin1(GetParam().first));
    QSignalSpy texts(ziffa->EditResult, &QLineEdit::textChanged);
    int enabledChanges = 0;
    struct Counter : QObject {
        int *count;
        bool eventFilter(QObject *, QEvent *e) override {
            *count += e->type() == QEvent::EnabledChange;
            return false;
        }
    } counter;
    counter.count = &enabledChanges;
    ziffa->SpeedButton2->installEventFilter(&counter);
    Calculate(QString::fromLatin1(GetParam().second));
    EXPECT_EQ(texts.count(), GetParam().textChanges);
    EXPECT_EQ(enabledChanges, GetParam().storeChanges);
    ziffa->SpeedButton2->removeEventFilter(&counter);
}

INSTANTIATE_TEST_SUITE_P(Calculations, OneChange,
                         testing::Values(Changes{"2+2", "1/0", 1, 1}, Changes{"1/0", "(1", 1, 0},
                                         Changes{"1/0", "2+2", 1, 1}, Changes{"0", "(1", 1, 1},
                                         Changes{"2+2", "3+1", 0, 0}));

TEST_F(Accessibility, EachCalculationAnnouncesItsResultOrErrorLine) {
    Calculate(QStringLiteral("6*7"));
    EXPECT_EQ(ziffa->ResultAnnouncer->Text(), QStringLiteral("42"));
    Calculate(QStringLiteral("(2+3"));
    EXPECT_EQ(ziffa->ResultAnnouncer->Text(), ziffa->EditResult->text());
    EXPECT_TRUE(ziffa->ResultAnnouncer->Text().startsWith(QStringLiteral("BŁĄD: ")));
    QAccessibleInterface *notice = QAccessible::queryAccessibleInterface(ziffa->ResultAnnouncer);
    EXPECT_EQ(notice->role(), QAccessible::Notification);
    EXPECT_EQ(notice->text(QAccessible::Name), ziffa->EditResult->text());
}

} // namespace
} // namespace ziffa
