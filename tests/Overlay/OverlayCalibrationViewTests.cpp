#include "CoordinatorWorld.h"
#include "Screenshots.h"
#include "ShownText.h"

#include "Overlay/OverlayCalibrationModel.h"
#include "Overlay/OverlayCalibrationView.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace ondrake;
using namespace ondrake::test;

namespace {

enum Row : std::size_t { top = 0, height = 1, left = 2, right = 3 };

struct Window {
    OverlayCalibrationModel model;
    OverlayCalibrationView view{model};
    std::vector<SafariChromeInsets> edits;
    int saves = 0, cancels = 0, resets = 0;

    Window() {
        model.onEdit = [this](const SafariChromeInsets &i) { edits.push_back(i); };
        model.onSave = [this] { ++saves; };
        model.onCancel = [this] { ++cancels; };
        model.onResetToAutomatic = [this] { ++resets; };
    }
    QString shown(Row row) const { return view.valueField(row).text(); }
    // Types into a field and leaves it, as a person tabbing on would.
    void type(Row row, const QString &text) {
        auto &field = view.valueField(row);
        field.selectAll();
        QTest::keyClicks(&field, text);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(&field, &out);
    }
};

TEST(OverlayCalibrationView, ShowsTheFourNumbersInOrder) {
    Window w;
    EXPECT_EQ(w.view.width(), 420);
    const QStringList labels{QStringLiteral("From window top"), QStringLiteral("Height"),
                             QStringLiteral("Inset from left"), QStringLiteral("Inset from right")};
    w.model.setInsets({.fromTop = 48, .fromLeft = 12, .fromRight = 1200, .height = 30});
    const QStringList expected{QStringLiteral("48"), QStringLiteral("30"), QStringLiteral("12"),
                               QLocale().toString(1200.0, 'f', 0)};
    for (std::size_t row = 0; row < 4; ++row) {
        EXPECT_EQ(w.view.valueField(row).accessibleName(), labels[qsizetype(row)]);
        EXPECT_EQ(w.view.valueField(row).width(), 64);
        EXPECT_EQ(w.view.valueField(row).text(), expected[qsizetype(row)]);
        EXPECT_EQ(QString::fromUtf8(OverlayCalibrationModel::fields()[row].label), labels[qsizetype(row)]);
        EXPECT_FALSE(w.view.stepUp(row).toolTip().isEmpty());
        EXPECT_FALSE(w.view.stepDown(row).accessibleName().isEmpty());
    }
    EXPECT_TRUE(w.edits.empty());  // what the model shows is no edit
}

TEST(OverlayCalibrationView, TypedNumbersAreClampedToTheirRange) {
    struct Case {
        Row row;
        const char *typed;
        const char *shown;
        SafariChromeInsets sent;
    };
    const Case cases[] = {
        {top, "500", "400", {400, 0, 0, 28}},
        {height, "10", "16", {52, 0, 0, 16}},
        {height, "36", "36", {52, 0, 0, 36}},
        {left, "-20", "0", {52, 0, 0, 28}},
        {right, "75", "75", {52, 0, 75, 28}},
    };
    for (const auto &c : cases) {
        Window w;
        w.type(c.row, QString::fromUtf8(c.typed));
        EXPECT_EQ(w.shown(c.row), QString::fromUtf8(c.shown)) << c.typed;
        EXPECT_EQ(w.edits, std::vector<SafariChromeInsets>{c.sent}) << c.typed;
        EXPECT_EQ(w.model.insets(), c.sent) << c.typed;
    }
}

TEST(OverlayCalibrationView, TextThatIsNoNumberChangesNothing) {
    Window w;
    w.type(top, QStringLiteral("abc"));
    EXPECT_EQ(w.shown(top), QStringLiteral("52"));
    EXPECT_TRUE(w.edits.empty());
}

TEST(OverlayCalibrationView, SteppersStopAtTheEndsOfTheRange) {
    Window w;
    w.model.setInsets({.fromTop = 52, .fromLeft = 0, .fromRight = 0, .height = 80});
    EXPECT_FALSE(w.view.stepUp(height).isEnabled());
    QTest::mouseClick(&w.view.stepUp(height), Qt::LeftButton);
    EXPECT_FALSE(w.view.stepDown(left).isEnabled());
    QTest::mouseClick(&w.view.stepDown(left), Qt::LeftButton);
    EXPECT_TRUE(w.edits.empty());
    EXPECT_EQ(w.shown(height), QStringLiteral("80"));
    EXPECT_EQ(w.shown(left), QStringLiteral("0"));

    QTest::mouseClick(&w.view.stepDown(height), Qt::LeftButton);
    QTest::mouseClick(&w.view.stepUp(top), Qt::LeftButton);
    EXPECT_EQ(w.edits, (std::vector<SafariChromeInsets>{{52, 0, 0, 79}, {53, 0, 0, 79}}));
    EXPECT_EQ(w.shown(height), QStringLiteral("79"));
    EXPECT_TRUE(w.view.stepUp(height).isEnabled());
}

TEST(OverlayCalibrationView, UseAutomaticOnlyWithAStoredCalibration) {
    Window w;
    EXPECT_TRUE(w.view.useAutomaticButton().isHidden());
    EXPECT_FALSE(w.view.cancelButton().isHidden());
    EXPECT_FALSE(w.view.saveButton().isHidden());
    EXPECT_TRUE(w.view.saveButton().isDefault());

    w.model.setHasStoredCalibration(true);
    EXPECT_FALSE(w.view.useAutomaticButton().isHidden());
    EXPECT_EQ(w.view.useAutomaticButton().toolTip(),
              QStringLiteral("Forget this calibration and go back to detecting the tab row automatically."));
    w.view.useAutomaticButton().click();
    EXPECT_EQ(w.resets, 1);
    w.view.cancelButton().click();
    w.view.saveButton().click();
    EXPECT_EQ(w.cancels, 1);
    EXPECT_EQ(w.saves, 1);
}

TEST(OverlayCalibrationView, TheNoteNamesTheSafariItIsSavedFor) {
    Window w;
    EXPECT_EQ(w.view.note().text(), QStringLiteral("Saved for Safari. A Safari update may need a new calibration."));
    w.model.setSafariVersion(OverlayCalibrationModel::versionName(std::nullopt));
    EXPECT_EQ(w.view.note().text(),
              QStringLiteral("Saved for this Safari. A Safari update may need a new calibration."));
    w.model.setSafariVersion(OverlayCalibrationModel::versionName(QStringLiteral("17.4")));
    EXPECT_EQ(w.view.note().text(), QStringLiteral("Saved for Safari 17.4. A Safari update may need a new calibration."));
}

TEST(OverlayCalibrationView, EveryCaptionGoesThroughTranslation) {
    BracketingTranslator translation;
    Window w;
    w.model.setHasStoredCalibration(true);
    w.model.setSafariVersion(QStringLiteral("Safari 17.4"));
    QStringList untranslated;
    const auto check = [&](const QString &text) {
        if (!text.startsWith(QLatin1Char('[')) || !text.endsWith(QLatin1Char(']'))) untranslated << text;
    };
    check(w.view.accessibleName());
    for (auto *label : w.view.findChildren<QLabel *>()) check(label->text());
    for (auto *button : w.view.findChildren<QPushButton *>()) check(button->text());
    for (auto *button : w.view.findChildren<QToolButton *>()) {
        check(button->toolTip());
        check(button->accessibleName());
    }
    for (std::size_t row = 0; row < 4; ++row) check(w.view.valueField(row).accessibleName());
    check(w.view.useAutomaticButton().toolTip());
    EXPECT_TRUE(untranslated.isEmpty()) << untranslated.join(QStringLiteral(" | ")).toStdString();

    // What is filled in at run time stays as it is.
    EXPECT_EQ(w.view.note().text(), QStringLiteral("[Saved for Safari 17.4. A Safari update may need a new calibration.]"));
    EXPECT_EQ(w.view.stepUp(top).accessibleName(), QStringLiteral("[Increase [From window top]]"));
    EXPECT_EQ(w.shown(top), QStringLiteral("52"));
}

TEST(OverlayCalibrationView, ReturnSavesWhatWasTypedAndEscapeCancels) {
    Window w;
    auto &field = w.view.valueField(top);
    field.selectAll();
    QTest::keyClicks(&field, QStringLiteral("60"));
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(w.edits, (std::vector<SafariChromeInsets>{{60, 0, 0, 28}}));
    EXPECT_EQ(w.saves, 1);

    QTest::keyClick(&w.view.valueField(height), Qt::Key_Escape);
    EXPECT_EQ(w.cancels, 1);
    EXPECT_EQ(w.saves, 1);
}

TEST(OverlayCalibrationView, FollowsTheModelButLeavesAFieldBeingTypedIn) {
    Window w;
    auto &field = w.view.valueField(height);
    field.selectAll();
    QTest::keyClicks(&field, QStringLiteral("4"));
    w.model.setInsets({.fromTop = 70, .fromLeft = 5, .fromRight = 6, .height = 30});
    EXPECT_EQ(w.shown(top), QStringLiteral("70"));
    EXPECT_EQ(w.shown(left), QStringLiteral("5"));
    EXPECT_EQ(field.text(), QStringLiteral("4"));
}

// The calibration window wired to the coordinator as the shell wires it, driven by a person:
// the bar is dragged, a number typed, then saved; later the stored calibration is forgotten.
TEST(OverlayCalibrationView, CalibratesTheBarThroughTheCoordinator) {
    CoordinatorWorld world;
    world.start();
    auto &coordinator = world.coordinator;
    OverlayCalibrationModel model;
    OverlayCalibrationView view(model);
    coordinator.onCalibrationChanged = [&](const SafariChromeInsets &i) { model.setInsets(i); };
    model.onEdit = [&](const SafariChromeInsets &i) { coordinator.applyCalibrationEdit(i); };
    const auto finish = [&](bool save) {
        coordinator.endCalibration(save);
        model.setHasStoredCalibration(coordinator.hasStoredCalibration());
    };
    model.onSave = [&] { finish(true); };
    model.onCancel = [&] { finish(false); };
    model.onResetToAutomatic = [&] {
        coordinator.resetToAutomaticDetection();
        model.setHasStoredCalibration(false);
    };

    coordinator.beginCalibration();
    model.setInsets(coordinator.calibrationSeed());
    model.setHasStoredCalibration(coordinator.hasStoredCalibration());
    model.setSafariVersion(OverlayCalibrationModel::versionName(coordinator.safariVersion()));
    EXPECT_EQ(view.valueField(top).text(), QStringLiteral("52"));
    EXPECT_EQ(view.note().text(), QStringLiteral("Saved for Safari 17.4.1. A Safari update may need a new calibration."));

    // Dragging the bar 10 points down fills the fields.
    world.panel().setFrame(CoordinatorWorld::kRowFrame.translated(0, -10), true);
    EXPECT_EQ(view.valueField(top).text(), QStringLiteral("62"));

    // A typed height moves the bar on the next turn of the main loop.
    world.panel().show();
    view.show();
    auto &heightField = view.valueField(height);
    heightField.selectAll();
    QTest::keyClicks(&heightField, QStringLiteral("24"));
    QTest::keyClick(&heightField, Qt::Key_Return);
    saveScreenshot(view.grab().toImage(), QStringLiteral("overlay-calibration-window"));
    EXPECT_TRUE(world.store.load(CoordinatorWorld::kVersion));
    EXPECT_EQ(world.store.load(CoordinatorWorld::kVersion)->insets, (SafariChromeInsets{62, 0, 0, 24}));
    EXPECT_FALSE(coordinator.isCalibrating());
    EXPECT_TRUE(model.hasStoredCalibration());
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.panel().frame(), QRectF(100, 764, 1200, 24));

    // Later: back to automatic detection, with the window open.
    coordinator.beginCalibration();
    EXPECT_FALSE(view.useAutomaticButton().isHidden());
    view.useAutomaticButton().click();
    EXPECT_TRUE(view.useAutomaticButton().isHidden());
    EXPECT_FALSE(world.store.load(CoordinatorWorld::kVersion));
    EXPECT_EQ(model.insets(), (SafariChromeInsets{52, 0, 0, 28}));
    view.cancelButton().click();
    EXPECT_EQ(world.model.geometrySource(), SafariChromeGeometrySource::accessibility);
    EXPECT_EQ(world.panel().frame(), CoordinatorWorld::kRowFrame);
}

}  // namespace
