// Several circles on one image in the real window: each judged, one verdict for the part.

// Standard library
#include <algorithm>
#include <memory>

// Qt
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

// Ours
#include "CircleListPanel.h"
#include "RecipeFile.h"
#include "ServiceFakes.h"
#include "WindowProbe.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

class frmMainCirclesTest : public testing::Test {
protected:
    std::unique_ptr<frmMain> start() {
        auto window = std::make_unique<frmMain>(fakes::services(messages));
        window->Form_Load();
        // Left half 100, right half 200.
        KeshImage& image = window->KeshImage1;
        for (int y = 0; y < image.height(); ++y) {
            std::fill_n(image.bufferAddress() + y * image.bytesPerLine(), 256, std::uint8_t{100});
            std::fill_n(image.bufferAddress() + y * image.bytesPerLine() + 256, 256,
                        std::uint8_t{200});
        }
        window->KeshDisplayEx1->showImage(image);
        return window;
    }

    static QString text(frmMain& window, const char* name) { return probe::text(window, name); }
    static void press(frmMain& window, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        probe::mouse(window, QEvent::MouseButtonPress, button, button, at);
        probe::mouse(window, QEvent::MouseButtonRelease, button, Qt::NoButton, at);
    }

    InspectionRecipe bracket() {
        InspectionRecipe recipe;
        recipe.name = QStringLiteral("bracket");
        recipe.circles = {{QStringLiteral("A"), 100, 100, 40, 100, 5},
                          {QStringLiteral("B"), 400, 100, 40, 200, 5},
                          {QStringLiteral("inner"), 100, 100, 10, 100, 5}};
        return recipe;
    }

    std::shared_ptr<fakes::MessageRecorder> messages = std::make_shared<fakes::MessageRecorder>();
    testutils::Sandbox sandbox;
};

TEST_F(frmMainCirclesTest, OneCircleIsTheWindowAsItAlwaysWas) {
    auto window = start();
    EXPECT_EQ(window->inspection().circleCount(), 1);
    EXPECT_FALSE(window->circlePanel()->isVisible());
    EXPECT_FALSE(window->removeCircleAction()->isEnabled());
    EXPECT_EQ(text(*window, "lblCircleCenterX"), QStringLiteral("100"));
    EXPECT_EQ(text(*window, "txtStandard"), QStringLiteral("128"));
    EXPECT_EQ(text(*window, "txtTolerance"), QStringLiteral("20"));
    // A press anywhere moves the one circle, as ever.
    press(*window, {300, 300});
    EXPECT_EQ(text(*window, "lblCircleCenterX"), QStringLiteral("300"));
}

TEST_F(frmMainCirclesTest, ARecipeOfSeveralCirclesIsJudgedAsOnePart) {
    auto window = start();
    const QString path = sandbox.filePath(QStringLiteral("bracket.gavrel-recipe"));
    ASSERT_EQ(RecipeFile::write(path, bracket()), QString());
    ASSERT_TRUE(window->openRecipe(path));
    ASSERT_EQ(window->inspection().circleCount(), 3);
    const Judgement* judged = window->inspection().last();
    ASSERT_NE(judged, nullptr);
    ASSERT_EQ(judged->circles.size(), 3u);
    EXPECT_EQ(judged->circles[0].verdict, Verdict::OK);
    EXPECT_EQ(judged->circles[1].verdict, Verdict::OK);
    EXPECT_EQ(judged->partVerdict(), Verdict::OK);
    EXPECT_TRUE(window->removeCircleAction()->isEnabled());

    // The boxes show and edit the selected circle: B judged against a standard of 100 is NG.
    window->circlePanel()->table()->setCurrentCell(1, 0);
    EXPECT_EQ(text(*window, "txtStandard"), QStringLiteral("200"));
    EXPECT_EQ(text(*window, "lblCircleCenterX"), QStringLiteral("400"));
    probe::child<QLineEdit>(*window, "txtStandard")->setText(QStringLiteral("100"));
    probe::click(*window, "cmdRecalc");
    EXPECT_EQ(text(*window, "lblJudge"), QStringLiteral("NG"));
    EXPECT_EQ(window->inspection().last()->partVerdict(), Verdict::NG);

    // Saved and opened again, the part is the same.
    const QString again = sandbox.filePath(QStringLiteral("again.gavrel-recipe"));
    ASSERT_TRUE(window->saveRecipe(again));
    const RecipeFile::ReadResult back = RecipeFile::read(again);
    ASSERT_TRUE(back.recipe);
    ASSERT_EQ(back.recipe->circles.size(), 3u);
    EXPECT_EQ(back.recipe->circles[1].standard, 100.0);
    EXPECT_EQ(back.recipe->circles[2].name, QStringLiteral("inner"));
}

TEST_F(frmMainCirclesTest, AClickSelectsTheSmallestCircleUnderThePointer) {
    auto window = start();
    const QString path = sandbox.filePath(QStringLiteral("bracket.gavrel-recipe"));
    ASSERT_EQ(RecipeFile::write(path, bracket()), QString());
    ASSERT_TRUE(window->openRecipe(path));
    const struct {
        QPoint at;
        int selected;
        const char* centreX; // of the selected circle afterwards
    } cases[] = {
        {{100, 100}, 2, "100"}, // inside both A and inner: inner, not moved
        {{410, 100}, 1, "400"}, // inside B: selected where it is
        {{130, 100}, 0, "100"}, // inside A only
        {{300, 300}, 0, "300"}, // in none: the selected circle moves there
    };
    for (const auto& c : cases) {
        press(*window, c.at);
        EXPECT_EQ(window->inspection().selectedIndex(), c.selected) << c.at.x();
        EXPECT_EQ(text(*window, "lblCircleCenterX"), QString::fromLatin1(c.centreX)) << c.at.x();
    }
}

TEST_F(frmMainCirclesTest, CirclesAreAddedAndRemovedFromTheKeyboard) {
    auto window = start();
    window->activateWindow();
    QTest::keyClick(window.get(), Qt::Key_Insert, Qt::ControlModifier);
    ASSERT_EQ(window->inspection().circleCount(), 2);
    EXPECT_EQ(window->inspection().selectedIndex(), 1);
    EXPECT_EQ(window->inspection().selected().name, QStringLiteral("2"));
    // From the keyboard, at the image's centre.
    EXPECT_EQ(text(*window, "lblCircleCenterX"), QStringLiteral("256"));
    EXPECT_EQ(text(*window, "lblCircleCenterY"), QStringLiteral("240"));
    EXPECT_TRUE(window->circlePanel()->isVisible());
    EXPECT_EQ(window->circlePanel()->table()->rowCount(), 2);

    QTest::keyClick(window.get(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(window->inspection().circleCount(), 1);
    EXPECT_FALSE(window->circlePanel()->isVisible());
    // The last circle stays.
    QTest::keyClick(window.get(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(window->inspection().circleCount(), 1);
    EXPECT_TRUE(messages->records().empty());
}

TEST_F(frmMainCirclesTest, NamesAndLimitsAreEditedInTheList) {
    auto window = start();
    window->addCircleAction()->trigger();
    QTableWidget* table = window->circlePanel()->table();
    table->item(0, 0)->setText(QStringLiteral("rim"));
    table->item(0, 6)->setText(QStringLiteral("100"));
    table->item(1, 0)->setText(QStringLiteral("rim")); // taken: kept as it was
    EXPECT_EQ(window->inspection().circle(0).name, QStringLiteral("rim"));
    EXPECT_EQ(window->inspection().circle(0).standard, 100.0);
    EXPECT_EQ(window->inspection().circle(1).name, QStringLiteral("2"));
    QTest::qWait(100);
    EXPECT_TRUE(window->circlePanel()->partVerdict()->text().contains(QStringLiteral("NG")));
}

} // namespace
