// The program's icon, on every window.
#include "uProgramIcon.h"

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

TEST(ProgramIcon, EveryWindowCarriesTheTankWithItsLevel) {
    const QIcon Icon = ProgramIcon();
    ASSERT_FALSE(Icon.isNull());
    EXPECT_TRUE(Icon.availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(Icon.availableSizes().contains(QSize(256, 256)));
    const QImage Image = Icon.pixmap(64, 64).toImage();
    // The liquid below the level mark, the empty tank above it, the red mark.
    EXPECT_GT(Image.pixelColor(28, 44).blue(), 150);
    EXPECT_LT(Image.pixelColor(28, 44).red(), 100);
    EXPECT_GT(Image.pixelColor(28, 20).red(), 200);
    EXPECT_GT(Image.pixelColor(54, 30).red(), 200);
    EXPECT_LT(Image.pixelColor(54, 30).green(), 100);
    EXPECT_EQ(Image.pixelColor(2, 2).alpha(), 0);

    InstallProgramIcon();
    QWidget Window;
    EXPECT_FALSE(Window.windowIcon().isNull());
    EXPECT_EQ(Window.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
}
