#include "uWin1251.h"

#include <gtest/gtest.h>

TEST(Win1251, EveryByteSurvivesARoundTrip) {
    QByteArray All;
    for (int b = 0; b < 256; ++b)
        All.append(static_cast<char>(b));
    const QString Text = FromWin1251(All);
    ASSERT_EQ(Text.size(), 256);
    EXPECT_EQ(ToWin1251(Text), All);
    // Spot checks of the code page itself.
    EXPECT_EQ(Text[0xC0], QChar(0x0410)); // А
    EXPECT_EQ(Text[0xFF], QChar(0x044F)); // я
    EXPECT_EQ(Text[0xA8], QChar(0x0401)); // Ё
    EXPECT_EQ(Text[0xB8], QChar(0x0451)); // ё
    EXPECT_EQ(Text[0x88], QChar(0x20AC)); // €
    EXPECT_EQ(Text[0xB9], QChar(0x2116)); // №
    EXPECT_EQ(Text[0xA0], QChar(0x00A0)); // no-break space
}

TEST(Win1251, CyrillicTextAndMissingCharacters) {
    EXPECT_EQ(ToWin1251(u"Ошибка"), QByteArray("\xCE\xF8\xE8\xE1\xEA\xE0"));
    EXPECT_EQ(FromWin1251(QByteArray("\xCE\xF8\xE8\xE1\xEA\xE0")), QString("Ошибка"));
    // Characters the code page lacks become one '?' each, surrogate pairs included.
    EXPECT_EQ(ToWin1251(u"aä中b"), QByteArray("a??b"));
    EXPECT_EQ(ToWin1251(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
    EXPECT_EQ(ToWin1251(u""), QByteArray());
}
