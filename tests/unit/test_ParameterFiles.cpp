// Parameter files: PAR/<plant number>.ini beside the program.
#include "FileSizeLimit.h"
#include "RecordingMessages.h"
#include "TestEnvironment.h"
#include "uLanx1Instance.h"
#include "uWin1251.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

void Customise(TLanx1 &D) {
    D.SetPlantNumber(1234);
    D.SetSystemAddress(17);
    D.SetKKalman(9);
    D.SetModeCurrentOutput(2);
    D.Level.Description.Title = "Уровень в баке";
    D.Level.Description.Hint = "Подсказка";
    D.Level.Description.Dimension = "мм";
    D.Level.Description.Digits = 3;
    D.Level.Description.SetMinMax(-5.5, 2500.25);
    D.Volume.Description.Title = "V";
    D.Volume.Description.Digits = 0;
    D.Volume.Description.SetMinMax(1, 2);
    D.SetUpperLimitPercent(90.5);
    D.SetLowerLimitPercent(7.25);
}

} // namespace

TEST(ParameterFiles, SaveThenLoadRestoresEveryKey) {
    TTestFolder Folder;
    TRecordingMessages Messages;
    TLanx1 Saved;
    Customise(Saved);
    QString Path;
    ASSERT_EQ(SaveParameters(Saved, &Path), TSaveParametersResult::Saved);
    EXPECT_EQ(Path, Folder.File("PAR/1234.ini"));
    EXPECT_TRUE(Messages.Messages().isEmpty());

    const QString Text = FromWin1251(ReadAll(Path));
    EXPECT_TRUE(Text.startsWith("[Lanx1]\r\nPlantNumber=1234\r\nSystemAddress=17\r\nKKalman=9\r\nModeCurrentOutput=2\r\n"
                                "Title1=Уровень в баке\r\nHint1=Подсказка\r\nDimension1=мм\r\nDigits1=3\r\n"
                                "Maximum1=2500,25\r\nMinimum1=-5,5\r\n"));
    EXPECT_TRUE(Text.endsWith("UpperLimitPercent=90,5\r\nLowerLimitPercent=7,25\r\n"));
    EXPECT_EQ(Text.count("\r\n"), 19);

    TLanx1 Loaded;
    LoadParametersFromFile(Loaded, Path);
    EXPECT_EQ(Loaded.PlantNumber(), 1234);
    EXPECT_EQ(Loaded.SystemAddress(), 17);
    EXPECT_EQ(Loaded.KKalman(), 9);
    EXPECT_EQ(Loaded.ModeCurrentOutput(), 2);
    EXPECT_EQ(Loaded.Level.Description.Title, "Уровень в баке");
    EXPECT_EQ(Loaded.Level.Description.Dimension, "мм");
    EXPECT_EQ(Loaded.Level.Description.Digits, 3);
    EXPECT_DOUBLE_EQ(Loaded.Level.Description.GetMin(), -5.5);
    EXPECT_DOUBLE_EQ(Loaded.Level.Description.GetMax(), 2500.25);
    EXPECT_EQ(Loaded.Volume.Description.Title, "V");
    EXPECT_EQ(Loaded.Volume.Description.Digits, 0);
    EXPECT_DOUBLE_EQ(Loaded.Volume.Description.GetMax(), 2);
    EXPECT_DOUBLE_EQ(Loaded.UpperLimitPercent(), 90.5);
    EXPECT_DOUBLE_EQ(Loaded.LowerLimitPercent(), 7.25);
}

TEST(ParameterFiles, ReplaceQuestionNoKeepsTheFirstFile) {
    TTestFolder Folder;
    TRecordingMessages Messages;
    TLanx1 D;
    Customise(D);
    ASSERT_EQ(SaveParameters(D), TSaveParametersResult::Saved);
    const QByteArray First = ReadAll(ParametersFileName(D));
    D.SetKKalman(33);
    Messages.Answer(mbNo);
    EXPECT_EQ(SaveParameters(D), TSaveParametersResult::Kept);
    const auto Shown = Messages.Messages();
    ASSERT_EQ(Shown.size(), 1);
    const auto &M = Shown[0];
    EXPECT_EQ(M.Caption, "Внимание");
    EXPECT_EQ(M.Text, "Заменить существующий файл \r" + ParametersFileName(D) + " ?");
    EXPECT_EQ(M.Buttons, mbYes | mbNo);
    EXPECT_EQ(M.Default, mbYes);
    EXPECT_EQ(ReadAll(ParametersFileName(D)), First);
    Messages.Answer(mbYes);
    EXPECT_EQ(SaveParameters(D), TSaveParametersResult::Saved);
    EXPECT_TRUE(ReadAll(ParametersFileName(D)).contains("KKalman=33\r\n"));
}

TEST(ParameterFiles, BadValuesAndMissingKeysGiveDefaults) {
    TTestFolder Folder;
    const QString Path = Folder.File("odd.ini");
    WriteAll(Path, ToWin1251(QString::fromUtf8("; comment\r\n[lanx1]\r\nModeCurrentOutput=3\r\nKKalman=0\r\nMinimum1=50\r\nMaximum1=20\r\n"
                             "Title1=Новый\r\nSystemAddress=0x10\r\nDigits1=abc\r\nUpperLimitPercent=1.5\r\n"
                             "\x01\x02garbage\r\n[Other]\r\nPlantNumber=7\r\n")));
    TLanx1 D;
    D.SetKKalman(4);
    D.SetModeCurrentOutput(2);
    LoadParametersFromFile(D, Path);
    EXPECT_EQ(D.ModeCurrentOutput(), 2);
    EXPECT_EQ(D.KKalman(), 4);
    EXPECT_DOUBLE_EQ(D.Level.Description.GetMin(), 0);
    EXPECT_DOUBLE_EQ(D.Level.Description.GetMax(), 100);
    EXPECT_EQ(D.Level.Description.Title, "Новый");
    EXPECT_EQ(D.SystemAddress(), 16);
    EXPECT_EQ(D.Level.Description.Digits, 1);
    EXPECT_DOUBLE_EQ(D.UpperLimitPercent(), 95); // "1.5" is no number with a decimal comma
    EXPECT_EQ(D.PlantNumber(), 65535);           // only the section "Lanx1" counts

    TLanx1 Empty;
    LoadParametersFromFile(Empty, Folder.File("missing.ini"));
    EXPECT_EQ(Empty.SystemAddress(), 255);
    EXPECT_EQ(Empty.PlantNumber(), 65535);
    EXPECT_EQ(Empty.Volume.Description.Title, "Объем");
    EXPECT_DOUBLE_EQ(Empty.LowerLimitPercent(), 10);
}

TEST(ParameterFiles, FailedWriteIsReportedAndLeavesNoHalfFile) {
    TTestFolder Folder;
    TRecordingMessages Messages;
    TLanx1 D;
    Customise(D);
    ASSERT_EQ(SaveParameters(D), TSaveParametersResult::Saved);
    const QByteArray Before = ReadAll(ParametersFileName(D));
    D.Level.Description.Title = QString(4000, u'Я');
    QString Path, Error;
    TSaveParametersResult Result;
    {
        TFileSizeLimit Limit(1000);
        Result = SaveParameters(D, &Path, &Error);
    }
    EXPECT_EQ(Result, TSaveParametersResult::Failed);
    EXPECT_FALSE(Error.isEmpty());
    EXPECT_EQ(Path, ParametersFileName(D));
    EXPECT_EQ(ReadAll(Path), Before);
    EXPECT_EQ(QDir(Folder.File("PAR")).entryList(QDir::Files).size(), 1);
}

TEST(ParameterFiles, FolderBesideTheProgramInAnyCase) {
    TTestFolder Folder;
    QDir(Folder.Path()).mkdir("par");
    TLanx1 D;
    D.SetPlantNumber(5);
    EXPECT_EQ(ParametersFileName(D), Folder.File("par/5.ini"));
}
