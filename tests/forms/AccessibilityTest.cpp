// What a screen reader meets: the windows as named frames, no control that can't be seen, one
// change of the result field a calculation, and each result announced.
#include "WindowsFixture.h"

#include "forms/Announce.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <set>

namespace ziffa {
namespace {

using Accessibility = WindowsTest;

TEST_F(Accessibility, WindowsAreFramesNamedByCaptionsListingOnlyWhatCanBeSeen) {
    for (QWidget *window :
         std::initializer_list<QWidget *>{ziffa.get(), variables.get(), wykres.get()}) {
        QAccessibleInterface *frame = QAccessible::queryAccessibleInterface(window);
        EXPECT_EQ(frame->role(), QAccessible::Window);
        EXPECT_EQ(frame->text(QAccessible::Name), window->windowTitle());
    }
    std::set<const QObject *> listed;
    std::vector<QAccessibleInterface *> open{QAccessible::queryAccessibleInterface(ziffa.get())};
    while (!open.empty()) {
        QAccessibleInterface *node = open.back();
        open.pop_back();
        for (int i = 0; i < node->childCount(); ++i) {
            EXPECT_EQ(node->indexOfChild(node->child(i)), i);
            listed.insert(node->child(i)->object());
            open.push_back(node->child(i));
        }
    }
    EXPECT_FALSE(listed.count(ziffa->ButtonClose)) << "\"Zamknij\" lies outside the window";
    EXPECT_FALSE(listed.count(ziffa->SpeedButton8) || listed.count(ziffa->PanelWykres));
    EXPECT_TRUE(listed.count(ziffa->ButtonCalculate) && listed.count(ziffa->EditResult));
}

struct Changes {
    const char *first, *second;
    int textChanges, storeButtonChanges; // by the second calculation
};

class OneChange : public WindowsTest, public testing::WithParamInterface<Changes> {};

TEST_P(OneChange, ResultFieldAndStoreButtonsChangeOnceACalculation) {
    struct EnabledChanges : QObject {
        int count = 0;
        bool eventFilter(QObject *, QEvent *e) override {
            count += e->type() == QEvent::EnabledChange;
            return false;
        }
    } store;
    Calculate(QString::fromLatin1(GetParam().first));
    QSignalSpy texts(ziffa->EditResult, &QLineEdit::textChanged);
    ziffa->SpeedButton2->installEventFilter(&store);
    Calculate(QString::fromLatin1(GetParam().second));
    ziffa->SpeedButton2->removeEventFilter(&store);
    EXPECT_EQ(texts.count(), GetParam().textChanges);
    EXPECT_EQ(store.count, GetParam().storeButtonChanges);
}

INSTANTIATE_TEST_SUITE_P(Calculations, OneChange,
                         testing::Values(Changes{"2+2", "1/0", 1, 1}, Changes{"1/0", "(1", 1, 0},
                                         Changes{"1/0", "2+2", 1, 1}, Changes{"2+2", "3+1", 0, 0}));

TEST_F(Accessibility, EachCalculationAnnouncesItsResultOrErrorLine) {
    QAccessibleInterface *notice = QAccessible::queryAccessibleInterface(ziffa->ResultAnnouncer);
    EXPECT_EQ(notice->role(), QAccessible::Notification);
    for (const char *expression : {"6*7", "(2+3", "(2+3"}) {
        ziffa->ResultAnnouncer->Announce(QString());
        Calculate(QString::fromLatin1(expression));
        EXPECT_EQ(notice->text(QAccessible::Name), ziffa->EditResult->text()) << expression;
    }
}

} // namespace
} // namespace ziffa
