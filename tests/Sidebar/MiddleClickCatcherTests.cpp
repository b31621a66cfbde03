#include "SidebarTestSupport.h"

#include "Ondrake/Sidebar/MiddleClickCatcher.h"

#include <QMouseEvent>
#include <QTest>

#include <vector>

using namespace ondrake;
using namespace ondrake::test;

namespace {

using RowID = MiddleClickCatcher::RowID;

struct Step {
    enum Kind { press, drag, release } kind;
    Qt::MouseButton button;
    RowID row;
    bool taken;  // for presses and releases
};

TEST(MiddleClickCatcher, FiresOnlyForAMiddleClickThatStaysOnItsRow) {
    const RowID a = QStringLiteral("tab-1");
    const RowID b = QStringLiteral("tab-2");
    const auto M = Qt::MiddleButton;
    struct Case {
        const char *name;
        std::vector<Step> steps;
        std::vector<QString> fired;
    };
    const std::vector<Case> cases = {
        {"click", {{Step::press, M, a, true}, {Step::drag, M, a, false}, {Step::release, M, a, true}}, {*a}},
        {"dragged out and back",
         {{Step::press, M, a, true}, {Step::drag, M, b, false}, {Step::drag, M, a, false}, {Step::release, M, a, false}},
         {}},
        {"released on another row", {{Step::press, M, a, true}, {Step::release, M, b, true}}, {}},
        {"released off the rows", {{Step::press, M, a, true}, {Step::release, M, std::nullopt, true}}, {}},
        {"pressed off the rows", {{Step::press, M, std::nullopt, false}, {Step::release, M, a, false}}, {}},
        {"primary button", {{Step::press, Qt::LeftButton, a, false}, {Step::release, Qt::LeftButton, a, false}}, {}},
        {"secondary button", {{Step::press, Qt::RightButton, a, false}, {Step::release, Qt::RightButton, a, false}}, {}},
        {"another extra button", {{Step::press, Qt::BackButton, a, false}, {Step::release, Qt::BackButton, a, false}}, {}},
        {"release without press", {{Step::release, M, a, false}}, {}},
        {"two rows in turn",
         {{Step::press, M, a, true}, {Step::release, M, a, true}, {Step::press, M, b, true}, {Step::release, M, b, true}},
         {*a, *b}},
    };
    for (const Case &c : cases) {
        MiddleClickCatcher catcher;
        std::vector<QString> fired;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step &s = c.steps[i];
            switch (s.kind) {
            case Step::press: EXPECT_EQ(catcher.press(s.button, s.row), s.taken) << c.name << " step " << i; break;
            case Step::drag: catcher.drag(s.button, s.row); break;
            case Step::release: {
                RowID row;
                EXPECT_EQ(catcher.release(s.button, s.row, &row), s.taken) << c.name << " step " << i;
                if (row) fired.push_back(*row);
                break;
            }
            }
        }
        EXPECT_EQ(fired, c.fired) << c.name;
        EXPECT_EQ(catcher.pressedRow(), std::nullopt) << c.name;
    }
}

// Two rows stacked like a list's: "tab-1" above y = 29, "tab-2" below.
class RowsWidget : public QWidget {
public:
    RowsWidget() { resize(200, 58); }
    std::vector<Qt::MouseButton> presses;

protected:
    void mousePressEvent(QMouseEvent *event) override { presses.push_back(event->button()); }
};

std::optional<QString> rowAt(QPoint point) {
    if (point.x() < 0 || point.x() >= 200 || point.y() < 0 || point.y() >= 58) return std::nullopt;
    return point.y() < 29 ? QStringLiteral("tab-1") : QStringLiteral("tab-2");
}

TEST(MiddleClickFilter, TakesMiddleClicksOnRowsAndLetsEverythingElseThrough) {
    RowsWidget rows;
    std::vector<QString> closed;
    new MiddleClickFilter(&rows, rowAt, [&](const QString &row) { closed.push_back(row); });
    rows.show();

    QTest::mouseClick(&rows, Qt::LeftButton, {}, QPoint(50, 10));
    QTest::mouseClick(&rows, Qt::RightButton, {}, QPoint(50, 40));
    QTest::mouseClick(&rows, Qt::MiddleButton, {}, QPoint(50, 40));
    EXPECT_EQ(rows.presses, (std::vector<Qt::MouseButton>{Qt::LeftButton, Qt::RightButton}));
    EXPECT_EQ(closed, std::vector<QString>{QStringLiteral("tab-2")});

    // Dragged off its row while held: nothing closes, even back on the row.
    QTest::mousePress(&rows, Qt::MiddleButton, {}, QPoint(50, 10));
    QMouseEvent away(QEvent::MouseMove, QPointF(50, 45), rows.mapToGlobal(QPointF(50, 45)), Qt::NoButton,
                     Qt::MiddleButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&rows, &away);
    QMouseEvent back(QEvent::MouseMove, QPointF(50, 10), rows.mapToGlobal(QPointF(50, 10)), Qt::NoButton,
                     Qt::MiddleButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&rows, &back);
    QTest::mouseRelease(&rows, Qt::MiddleButton, {}, QPoint(50, 10));
    EXPECT_EQ(closed.size(), 1u);
}

TEST(MiddleClickFilter, QuickSuccessiveMiddleClicksEachClose) {
    RowsWidget rows;
    std::vector<QString> closed;
    new MiddleClickFilter(&rows, rowAt, [&](const QString &row) { closed.push_back(row); });
    rows.show();
    // Qt delivers the second press of a quick pair as a double click.
    const QPointF at(50, 10);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                    QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, rows.mapToGlobal(at), Qt::MiddleButton, down ? Qt::MiddleButton : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&rows, &event);
    }
    EXPECT_EQ(closed, (std::vector<QString>{QStringLiteral("tab-1"), QStringLiteral("tab-1")}));
    EXPECT_TRUE(rows.presses.empty());
}

}  // namespace
