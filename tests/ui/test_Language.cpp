// One language: Qt's own texts in Russian, message-box buttons named by the
// program, and Russian conventions where the user's locale names no country.
#include "TestEnvironment.h"
#include "UiTestSupport.h"
#include "uFormat.h"
#include "uMessageBoxes.h"
#include "uQtTranslations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTranslator>
#include <gtest/gtest.h>

TEST(Locale, CAndPosixAndBareLanguageGiveRussianConventions) {
    for (const QLocale &L : {QLocale::c(), QLocale(QStringLiteral("POSIX")), QLocale(QStringLiteral("C.UTF-8"))}) {
        SCOPED_TRACE(L.name().toStdString());
        const TFormatSettings S = TFormatSettings::FromLocale(DisplayLocale(L));
        EXPECT_EQ(S.DecimalSeparator, QChar(u','));
        EXPECT_EQ(S.ThousandSeparator, QChar(0x00A0));
        EXPECT_EQ(S.ShortDateFormat, QStringLiteral("dd.MM.yyyy"));
        EXPECT_EQ(S.LongTimeFormat, QStringLiteral("HH:mm:ss"));
        // 8 Dec 2026 23:15:01 in the short form, never with a month name.
        const TDateTime T = DateTimeFromQt(QDateTime(QDate(2026, 12, 8), QTime(23, 15, 1)));
        EXPECT_EQ(DateTimeToStr(T, S), QStringLiteral("08.12.2026 23:15:01"));
        EXPECT_EQ(FormatNumber(1234.5, 9, 1, S), QStringLiteral("1\u00A0234,5"));
    }
}

TEST(Locale, AUserLocaleWithACountryIsKept) {
    const QLocale German(QLocale::German, QLocale::Germany);
    EXPECT_EQ(DisplayLocale(German), German);
    const QLocale Us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(TFormatSettings::FromLocale(DisplayLocale(Us)).DecimalSeparator, QChar(u'.'));
}

TEST(QtTexts, RussianCatalogueTranslatesDialogsMenusAndButtons) {
    ASSERT_TRUE(InstallQtTranslations(*QCoreApplication::instance()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("&Имя файла:"));
    EXPECT_EQ(QCoreApplication::translate("QWidgetTextControl", "&Copy"), QStringLiteral("&Копировать"));
    EXPECT_EQ(QCoreApplication::translate("QPrintPreviewDialog", "Print Preview"), QStringLiteral("Просмотр печати"));
    EXPECT_EQ(QCoreApplication::translate("QColorDialog", "Select Color"), QStringLiteral("Выбор цвета"));
    for (QTranslator *T : QCoreApplication::instance()->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(T);
        delete T;
    }
}

TEST(MessageBoxes, ButtonsAreNamedInRussianWithoutQtsCatalogue) {
    TMessageBoxes Boxes;
    QStringList Captions;
    auto Watch = OnNextModal([&](QWidget *W) {
        auto *Box = qobject_cast<QMessageBox *>(W);
        ASSERT_NE(Box, nullptr);
        for (QAbstractButton *B : Box->buttons())
            Captions << B->text();
        Box->button(QMessageBox::No)->click();
    });
    const TMsgButton Answer =
        Boxes.Show(QStringLiteral("Внимание"), QStringLiteral("Сохранить?"), TMsgIcon::Warning, mbYes | mbNo | mbCancel, mbYes);
    EXPECT_EQ(Answer, mbNo);
    Captions.sort();
    EXPECT_EQ(Captions, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет"), QStringLiteral("Отмена")}));

    auto WatchOk = OnNextModal([&](QWidget *W) {
        auto *Box = qobject_cast<QMessageBox *>(W);
        ASSERT_NE(Box, nullptr);
        EXPECT_EQ(Box->button(QMessageBox::Ok)->text(), QStringLiteral("ОК"));
        Box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(Boxes.Show(QStringLiteral("Ошибка"), QStringLiteral("Нет связи"), TMsgIcon::Error, mbOK, mbOK), mbOK);
}
