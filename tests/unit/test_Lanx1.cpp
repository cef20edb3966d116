// The device object: request frames byte for byte, replies and their errors.
#include "Lanx1.h"
#include "RecordingMessages.h"
#include "TestEnvironment.h"
#include "uClock.h"
#include "uLanx1Instance.h"
#include "uMath.h"
#include "uWin1251.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>

namespace {

QByteArray Hex(const char *Text) {
    return QByteArray::fromHex(QByteArray(Text).replace(' ', ""));
}

QByteArray Reply(const char *Text) {
    return AppendCrc16(Hex(Text));
}

// A device object with distinct values in every written field.
void FillFields(TLanx1 &D) {
    D.SetSystemAddressNew(5);
    D.SetPlantNumber(1234);
    D.SetFreq1(20000);
    D.SetFreq2(30000);
    D.SetValue1(10.0);
    D.SetValue2(90.0);
    D.SetValue20mA(50.0);
    D.SetTurning4mA(750);
    D.SetTurning20mA(4000);
    D.SetControlRegister(0x0018);
    D.SetKKalman(10);
}

struct TFrameRow {
    int Kind;
    int Block;
    const char *Frame;
};

const TFrameRow kFrames[] = {
    {0, 0, "01 03 0000 000E"},  {1, 0, "01 03 0000 0001"},  {2, 0, "01 03 0001 0001"},
    {3, 0, "01 03 0002 0002"},  {4, 0, "01 03 0004 0002"},  {5, 0, "01 03 0006 0001"},
    {6, 0, "01 03 000B 0001"},  {7, 0, "01 03 000C 0001"},  {8, 0, "01 03 0090 0002"},
    {9, 0, "01 03 0092 0002"},  {10, 0, "01 03 0009 0002"}, {11, 0, "01 03 0096 0001"},
    {12, 0, "01 03 0095 0001"}, {13, 0, "01 03 000D 0001"}, {14, 0, "01 03 0094 0001"},
    {15, 0, "01 10 0094 0001 02 000A"},
    {17, 0, "01 10 0007 0002 04 0005 04D2"},
    {19, 0, "01 10 000B 0001 02 4E20"},
    {20, 0, "01 10 000C 0001 02 7530"},
    {21, 0, "01 10 0090 0002 04 41200000"},
    {22, 0, "01 10 0092 0002 04 42B40000"},
    {23, 0, "01 10 0009 0002 04 42480000"},
    {24, 0, "01 10 0096 0001 02 02EE"},
    {25, 0, "01 10 0095 0001 02 0FA0"},
    {26, 0, "01 10 000D 0001 02 0018"},
    {27, 1, "01 03 000E 0020"}, {27, 2, "01 03 002E 0020"},
    {28, 1, "01 03 004F 0020"}, {28, 2, "01 03 006F 0020"},
};

} // namespace

TEST(Lanx1Request, EveryKindByteForByte) {
    TLanx1 D;
    FillFields(D);
    for (const TFrameRow &Row : kFrames) {
        D.SetTableBlock(static_cast<std::uint8_t>(Row.Block));
        EXPECT_EQ(D.BuildRequest(static_cast<std::uint8_t>(Row.Kind)).toHex(' '), Hex(Row.Frame).toHex(' '))
            << "kind " << Row.Kind << " block " << Row.Block;
        EXPECT_EQ(D.RequestKind(), Row.Kind);
    }
}

TEST(Lanx1Request, ExamplesAndAddress) {
    TLanx1 D;
    EXPECT_EQ(AppendCrc16(D.BuildRequest(rkReadAll)), Hex("01 03 00 00 00 0E C4 0E"));
    D.SetKKalman(10);
    EXPECT_EQ(D.BuildRequest(rkWriteKKalman), Hex("01 10 00 94 00 01 02 00 0A"));
    D.SetTableBlock(2);
    EXPECT_EQ(D.BuildRequest(rkReadTableVolumes), Hex("01 03 00 6F 00 20"));
    D.SetSystemAddress(300);
    EXPECT_EQ(static_cast<std::uint8_t>(D.BuildRequest(rkReadLevel)[0]), 0x2C);
}

TEST(Lanx1Request, InvalidKindsRaise) {
    TLanx1 D;
    for (int Kind : {16, 18, 31, 255}) {
        EXPECT_THROW(D.BuildRequest(static_cast<std::uint8_t>(Kind)), ERequestError);
        EXPECT_EQ(D.RequestKind(), Kind);
    }
    try {
        D.BuildRequest(16);
    } catch (const ERequestError &E) {
        EXPECT_EQ(QString::fromUtf8(E.what()), "Ошибка формирования запроса");
    }
    // A table request without a block would address registers outside the table.
    D.SetTableBlock(0);
    EXPECT_THROW(D.BuildRequest(rkWriteTableLevels), ERequestError);
}

TEST(Lanx1Request, TableBlocks) {
    TRecordingMessages Messages;
    TLanx1 D;
    TTara Tara;
    for (int i = 0; i < 10; ++i)
        Tara.Table.push_back({i * 10.0, i * 1000.5});
    D.LoadTable(&Tara);
    D.SetTableBlock(1);
    const QByteArray Levels = D.BuildRequest(rkWriteTableLevels);
    ASSERT_EQ(Levels.size(), 71);
    EXPECT_EQ(Levels.left(7), Hex("01 10 000E 0020 40"));
    EXPECT_EQ(Levels.mid(7 + 4, 4), Hex("41200000"));     // point 2: 10.0
    EXPECT_EQ(Levels.mid(7 + 4 * 10, 4), Hex("FFFFFFFF")); // point 11: empty
    EXPECT_TRUE(Messages.Messages().isEmpty());

    const QByteArray Volumes = D.BuildRequest(rkWriteTableVolumes);
    EXPECT_EQ(Volumes.left(7), Hex("01 10 004F 0020 40"));
    ASSERT_EQ(Messages.Messages().size(), 1);
    const QStringList Lines = Messages.Messages()[0].Text.split(u'\r');
    ASSERT_EQ(Lines.size(), 17); // 16 lines, each ended by a carriage return
    EXPECT_EQ(Lines[0], "1)0,000");
    EXPECT_EQ(Lines[2], QString("3)2") + QChar(0xA0) + "001,000");
    EXPECT_EQ(Lines[15], "16)NAN");

    D.SetTableBlock(2);
    EXPECT_EQ(D.BuildRequest(rkWriteTableLevels).left(7), Hex("01 10 002E 0020 40"));
    EXPECT_EQ(D.BuildRequest(rkWriteTableVolumes).left(7), Hex("01 10 006F 0020 40"));
}

TEST(Lanx1Reply, ReadingsAndParameters) {
    TLanx1 D;
    D.SetErrorMax(1);
    D.BuildRequest(rkReadLevel);
    EXPECT_TRUE(D.ParseReply(Hex("01 03 04 42 48 00 00 6E 5D")));
    EXPECT_DOUBLE_EQ(D.Level.AsDouble(), 50.0);
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsFalse);
    EXPECT_EQ(D.LastErrorText(), "Норма");

    D.BuildRequest(rkReadAll);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 1C 04D2 0002 41200000 42C80000 4E20 0005 04D2 42480000 4E20 7530 0010")));
    EXPECT_EQ(D.PlantNumber(), 1234);
    EXPECT_EQ(D.Modification(), 2);
    EXPECT_DOUBLE_EQ(D.Level.AsDouble(), 10.0);
    EXPECT_DOUBLE_EQ(D.Volume.AsDouble(), 100.0);
    EXPECT_EQ(D.Frequency.AsInteger(), 20000);
    EXPECT_EQ(D.Freq1(), 20000);
    EXPECT_EQ(D.Freq2(), 30000);
    EXPECT_EQ(D.ControlRegister(), 0x10);
    EXPECT_EQ(D.ModeCurrentOutput(), 1);
    EXPECT_EQ(D.SystemAddressNew(), 0); // registers 7..10 are not applied

    const struct {
        int Kind;
        const char *Reply;
    } Rows[] = {{rkReadPlantNumber, "01 03 02 0007"}, {rkReadModification, "01 03 02 0001"},
                {rkReadFreq1, "01 03 02 1111"},       {rkReadFreq2, "01 03 02 2222"},
                {rkReadValue1, "01 03 04 41200000"},  {rkReadValue2, "01 03 04 42B40000"},
                {rkReadValue20mA, "01 03 04 C2480000"}, {rkReadTurning4mA, "01 03 02 02EE"},
                {rkReadTurning20mA, "01 03 02 0FA0"}, {rkReadKKalman, "01 03 02 0003"},
                {rkReadControlRegister, "01 03 02 0000"}, {rkReadFrequency, "01 03 02 FFFF"},
                {rkReadVolume, "01 03 04 3DCCCCCD"}};
    for (const auto &Row : Rows) {
        D.BuildRequest(static_cast<std::uint8_t>(Row.Kind));
        EXPECT_TRUE(D.ParseReply(Reply(Row.Reply))) << Row.Kind;
    }
    EXPECT_EQ(D.PlantNumber(), 7);
    EXPECT_EQ(D.Modification(), 1);
    EXPECT_EQ(D.Freq1(), 0x1111);
    EXPECT_EQ(D.Freq2(), 0x2222);
    EXPECT_DOUBLE_EQ(D.Value1(), 10.0);
    EXPECT_DOUBLE_EQ(D.Value2(), 90.0);
    EXPECT_DOUBLE_EQ(D.Value20mA(), -50.0); // no range test for this one
    EXPECT_EQ(D.Turning4mA(), 750);
    EXPECT_EQ(D.Turning20mA(), 4000);
    EXPECT_EQ(D.KKalman(), 3);
    EXPECT_EQ(D.ModeCurrentOutput(), 2);
    EXPECT_EQ(D.Frequency.AsInteger(), 65535);
    EXPECT_DOUBLE_EQ(D.Volume.AsDouble(), static_cast<double>(0.1f));
    EXPECT_EQ(D.PropertyText("Volume"), "0.1");
}

TEST(Lanx1Reply, SetterRulesApplyToReplies) {
    TLanx1 D;
    D.SetErrorMax(1);
    D.BuildRequest(rkReadValue1);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 04 BF800000"))); // -1.0
    EXPECT_DOUBLE_EQ(D.Value1(), 0.0);
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsFalse);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 04 43480000"))); // 200.0, above the Level maximum
    EXPECT_DOUBLE_EQ(D.Value1(), 0.0);
    D.BuildRequest(rkReadKKalman);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 02 0000")));
    EXPECT_EQ(D.KKalman(), 1);
    D.BuildRequest(rkReadTurning4mA);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 02 03E9"))); // 1001
    EXPECT_EQ(D.Turning4mA(), 500);
}

TEST(Lanx1Reply, Failures) {
    TLanx1 D;
    D.SetErrorMax(1);
    D.BuildRequest(rkReadLevel);
    const struct {
        QByteArray Bytes;
        int Code;
        const char *Text;
    } Rows[] = {
        {QByteArray(), -1, "Нет ответа от устройства"},
        {Hex("01 03 02 00"), -3, "Ошибка чтения"},
        {Hex("01 03 04 42 48 00 00 6E 5E"), -4, "Ошибка контрольной суммы"},
        {Reply("01 04 02 0000"), -5, "Несоответствие команды"},
        {Reply("01 A5 02 0000"), -5, "Несоответствие команды"},
        {Reply("01 03 02 0000"), -3, "Ошибка чтения"}, // a whole frame of two bytes where the level has four
        {Reply("01 03 06 0000 0000 0000"), -5, "Несоответствие команды"}, // six bytes: another question's
        {Reply("01 10 00 94 00"), -5, "Несоответствие команды"}, // a write echo to a read
        {Reply("01 FA 03"), -3, "Ошибка чтения"},
    };
    for (const auto &Row : Rows) {
        EXPECT_FALSE(D.ParseReply(Row.Bytes)) << Row.Bytes.toHex(' ').constData();
        EXPECT_EQ(D.LastErrorCode(), Row.Code);
        EXPECT_EQ(D.LastErrorText(), QString::fromUtf8(Row.Text));
        EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsTrue);
        EXPECT_EQ(D.ExchangeState.Description.Captions[tsTrue], QString::fromUtf8(Row.Text));
    }
}

TEST(Lanx1Reply, WriteRepliesChangeNothing) {
    TLanx1 D;
    D.SetErrorMax(1);
    D.BuildRequest(rkReadLevel);
    D.ParseReply(QByteArray()); // an error is showing
    D.SetKKalman(10);
    D.BuildRequest(rkWriteKKalman);
    EXPECT_TRUE(D.ParseReply(Hex("01 10 00 94 00 01 40 25")));
    EXPECT_EQ(D.LastErrorText(), "Норма");
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsTrue); // no success step after a write
    EXPECT_FALSE(D.ParseReply(Reply("01 03 02 0000")));  // a read reply to a write confirms nothing
    EXPECT_EQ(D.LastErrorCode(), -5);
}

TEST(Lanx1Reply, ErrorLimit) {
    TLanx1 D;
    D.SetErrorMax(3);
    D.BuildRequest(rkReadLevel);
    D.ParseReply(QByteArray());
    D.ParseReply(QByteArray());
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsUnknown);
    EXPECT_EQ(D.LastErrorCode(), 0); // counted, not yet shown
    D.ParseReply(QByteArray());
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsTrue);
    EXPECT_EQ(D.LastErrorCode(), -1);
    D.ParseReply(Hex("01 03 04 42 48 00 00 6E 5D"));
    EXPECT_EQ(D.ErrorCount(), 0);
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsFalse);

    D.ParseReply(QByteArray());
    D.SetErrorMax(3); // the same value: the count stays
    EXPECT_EQ(D.ErrorCount(), 1);
    D.SetErrorMax(1);
    EXPECT_EQ(D.ErrorCount(), 0);
}

TEST(Lanx1Reply, NoFrequencySignal) {
    TLanx1 D;
    D.SetErrorMax(5); // reported whatever the limit
    D.BuildRequest(rkReadLevel);
    D.ParseReply(Hex("01 03 04 42 48 00 00 6E 5D"));
    D.BuildRequest(rkReadAll);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 1C 04D2 0002 41200000 42C80000 4E20 0005 04D2 42480000 4E20 7530 0090")));
    EXPECT_DOUBLE_EQ(D.Level.AsDouble(), 50.0);
    EXPECT_EQ(D.Frequency.AsInteger(), 0);
    EXPECT_EQ(D.PlantNumber(), 0);
    EXPECT_EQ(D.ControlRegister(), 0x90);
    EXPECT_EQ(D.ModeCurrentOutput(), 1);
    EXPECT_EQ(D.LastErrorCode(), 5);
    EXPECT_EQ(D.LastErrorText(), "Отсутствует частотный сигнал");
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsTrue);

    D.BuildRequest(rkReadControlRegister);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 02 0080")));
    EXPECT_EQ(D.ModeCurrentOutput(), 2);
    EXPECT_EQ(D.LastErrorCode(), 5);
}

TEST(Lanx1Reply, ExceptionsStatusesAndBlackBox) {
    TTestFolder Folder;
    TLanx1 D;
    D.SetErrorMax(1);
    D.BuildRequest(rkReadLevel);
    EXPECT_FALSE(D.ParseReply(Hex("01 83 02 C0 F1")));
    EXPECT_EQ(D.LastErrorCode(), 2);
    EXPECT_EQ(D.LastErrorText(), "Число запрашиваемых регистров больше 125");
    D.BuildRequest(rkWriteKKalman);
    EXPECT_FALSE(D.ParseReply(Reply("01 90 03")));
    EXPECT_EQ(D.LastErrorText(), "НА > 164, или НА+ЧЗР > 164");
    D.BuildRequest(rkReadLevel);
    EXPECT_FALSE(D.ParseReply(Reply("01 83 07")));
    EXPECT_EQ(D.LastErrorCode(), 7);
    EXPECT_EQ(D.LastErrorText(), "Норма");
    // Code 0 is nothing to record, but the device did not read either.
    EXPECT_FALSE(D.ParseReply(Reply("01 83 00")));
    EXPECT_EQ(D.LastVerdict(), TReplyVerdict::Exception);

    const QString Path = Folder.File("DATA/" + CurrentDate().toString("yyyy/MM/dd") + "/BlackBox.txt");
    const QStringList Lines = FromWin1251(ReadAll(Path)).split("\r\n");
    ASSERT_EQ(Lines.size(), 4);
    const QRegularExpression Stamp("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d,\\d{3} ");
    EXPECT_TRUE(Stamp.match(Lines[0]).hasMatch()) << Lines[0].toStdString();
    EXPECT_EQ(Lines[0].mid(24), " 2 Число запрашиваемых регистров больше 125");
    EXPECT_EQ(Lines[1].mid(24), " 3 НА > 164, или НА+ЧЗР > 164");
    EXPECT_EQ(Lines[2].mid(24), " 7 Не известно");
    EXPECT_TRUE(Lines[3].isEmpty());

    EXPECT_FALSE(D.ParseReply(Reply("01 FA 03 02")));
    EXPECT_EQ(D.LastErrorText(), "Полученная команда не может быть выполенена в настоящее время");
    EXPECT_FALSE(D.ParseReply(Reply("01 FA 03 09")));
    EXPECT_EQ(D.LastErrorCode(), 9);
    EXPECT_EQ(D.LastErrorText(), "Норма");
    // Status 0 brings no reading: the exchange is not done, the state stays.
    EXPECT_FALSE(D.ParseReply(Reply("01 FA 03 00")));
    EXPECT_EQ(D.LastVerdict(), TReplyVerdict::Status);
    EXPECT_EQ(D.LastErrorCode(), 0);
}

// Only the answer to the request built last is applied: a late answer to an
// earlier request, an echo of a write, a reply of another device or one whose
// length disagrees with its byte count is -5 (-3 for a whole frame that is
// only too short) and changes nothing.
TEST(Lanx1Reply, OnlyTheAnswerToTheRequestIsApplied) {
    const struct {
        int Kind;
        const char *Reply;
        bool Done;
        int Code = -5;
    } Rows[] = {
        {rkReadModification, "01 03 02 10E1", true},
        {rkReadModification, "02 03 02 10E1", false},                // another address
        {rkReadLevel, "01 03 02 10E1", false, -3},                   // 2 bytes for 2 registers: short
        {rkReadAll, "01 03 04 42480000", false, -3},                 // the level's answer to "read all"
        {rkReadLevel, "01 03 1C 04D2 0002 41200000 42C80000 4E20 0005 04D2 42480000 4E20 7530 0010", false},
        {rkReadLevel, "01 10 0002 0002", false},                     // a write echo to a read
        {rkWriteKKalman, "01 10 0094 0001", true},
        {rkWriteKKalman, "01 10 0093 0001", false},                  // echo of another register
        {rkWriteKKalman, "01 10 0094 0002", false},                  // echo of another count
        {rkWriteKKalman, "01 03 02 0007", false},                    // a read reply to a write
        {rkWriteKKalman, "01 83 02", false},                         // the read's exception
        {rkReadLevel, "01 90 02", false},                            // the write's exception
    };
    for (const auto &Row : Rows) {
        TLanx1 D;
        D.SetErrorMax(1);
        D.SetModification(1);
        D.BuildRequest(rkReadLevel);
        ASSERT_TRUE(D.ParseReply(Hex("01 03 04 42 48 00 00 6E 5D")));
        D.BuildRequest(static_cast<std::uint8_t>(Row.Kind));
        EXPECT_EQ(D.ParseReply(Reply(Row.Reply)), Row.Done) << Row.Reply;
        if (Row.Done)
            continue;
        EXPECT_EQ(D.LastErrorCode(), Row.Code) << Row.Reply;
        EXPECT_EQ(D.LastVerdict(), TReplyVerdict::Mismatch) << Row.Reply;
        EXPECT_DOUBLE_EQ(D.Level.AsDouble(), 50.0) << Row.Reply;
        EXPECT_EQ(D.Modification(), 1) << Row.Reply;
        EXPECT_EQ(D.PlantNumber(), 0) << Row.Reply;
    }
}

TEST(Lanx1Reply, AddressWriteIsAnsweredFromEitherAddress) {
    TLanx1 D;
    D.SetErrorMax(1);
    D.SetSystemAddress(1);
    D.SetSystemAddressNew(9);
    D.BuildRequest(rkWriteSystemAddress);
    EXPECT_TRUE(D.ParseReply(Reply("01 10 0007 0002")));
    EXPECT_TRUE(D.ParseReply(Reply("09 10 0007 0002")));
    EXPECT_FALSE(D.ParseReply(Reply("05 10 0007 0002")));
    // A request that could not be built is answered by nothing.
    EXPECT_THROW(D.BuildRequest(16), ERequestError);
    EXPECT_FALSE(D.ParseReply(Reply("01 10 0007 0002")));
}

TEST(Lanx1Reply, RefusedDeviceValuesAreNamed) {
    TLanx1 D;
    D.SetErrorMax(1);
    D.BuildRequest(rkReadKKalman);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 02 0000")));
    ASSERT_EQ(D.RefusedValues().size(), 1);
    EXPECT_EQ(D.RefusedValues()[0].Name, "KKalman");
    EXPECT_EQ(D.RefusedValues()[0].Value, 0);
    D.BuildRequest(rkReadValue1);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 04 BF800000")));
    ASSERT_EQ(D.RefusedValues().size(), 1);
    EXPECT_EQ(D.RefusedValues()[0].Name, "Value1");
    EXPECT_EQ(D.RefusedValues()[0].Value, -1.0);
    EXPECT_TRUE(D.ParseReply(Reply("01 03 04 41200000")));
    EXPECT_TRUE(D.RefusedValues().isEmpty());
}

TEST(Lanx1Request, FloatsBeyondTheSingleRangeAreDefined) {
    TLanx1 D;
    D.SetValue20mA(1e39);
    EXPECT_EQ(D.BuildRequest(rkWriteValue20mA).mid(7), Hex("7F800000"));
    D.SetValue20mA(-1e39);
    EXPECT_EQ(D.BuildRequest(rkWriteValue20mA).mid(7), Hex("FF800000"));
}

TEST(Lanx1Reply, TableBlocksKeepErrorState) {
    TLanx1 D;
    D.SetErrorMax(1);
    D.BuildRequest(rkReadLevel);
    D.ParseReply(QByteArray());
    D.SetTableBlock(2);
    D.BuildRequest(rkReadTableLevels);
    QByteArray Data = Hex("01 03 40");
    for (int i = 0; i < 16; ++i)
        Data += i == 3 ? Hex("FFFFFFFF") : Hex("40490FDB"); // pi, and one empty point
    EXPECT_TRUE(D.ParseReply(AppendCrc16(Data)));
    EXPECT_FLOAT_EQ(static_cast<float>(D.TablePoint(17).Level), 3.14159265f);
    EXPECT_TRUE(std::isnan(D.TablePoint(20).Level));
    EXPECT_DOUBLE_EQ(D.TablePoint(1).Level, 0.0);
    EXPECT_EQ(D.ErrorCount(), 1);
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsTrue);
}

TEST(Lanx1Model, DefaultsAndSetterRules) {
    TLanx1 D;
    EXPECT_EQ(D.SystemAddress(), 1);
    EXPECT_EQ(D.Freq2(), 65535);
    EXPECT_DOUBLE_EQ(D.Value20mA(), 100.0);
    EXPECT_TRUE(D.Enabled());
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsUnknown);
    EXPECT_EQ(D.Level.Description.Title, "Уровень");
    EXPECT_EQ(D.Level.Description.Digits, 1);
    EXPECT_EQ(D.Frequency.Description.GetMax(), 65535);

    D.SetValue1(150);
    EXPECT_DOUBLE_EQ(D.Value1(), 0);
    D.SetValue1(100);
    EXPECT_DOUBLE_EQ(D.Value1(), 100);
    D.SetValue2(std::nan(""));
    EXPECT_DOUBLE_EQ(D.Value2(), 100);
    D.SetTurning4mA(499);
    D.SetTurning4mA(1001);
    EXPECT_EQ(D.Turning4mA(), 500);
    D.SetTurning20mA(3500);
    EXPECT_EQ(D.Turning20mA(), 3500);
    D.SetTurning20mA(4096);
    EXPECT_EQ(D.Turning20mA(), 4096);
    D.SetKKalman(0);
    EXPECT_EQ(D.KKalman(), 1);
    D.SetModeCurrentOutput(2);
    D.SetModeCurrentOutput(3);
    EXPECT_EQ(D.ModeCurrentOutputText(), "0...20 mА");
    D.SetModification(7);
    EXPECT_EQ(D.ModificationText(), "Не известно");
    D.SetUpperLimitPercent(101);
    EXPECT_DOUBLE_EQ(D.UpperLimitPercent(), 0);
    D.SetEnabled(false);
    EXPECT_FALSE(D.Enabled());
    D.SetEnabled(true);
    EXPECT_TRUE(D.Enabled());
}

TEST(Lanx1Model, ControlRegisterBits) {
    TLanx1 D;
    D.SetControlRegister(0x0010);
    EXPECT_EQ(D.ModeFromControlRegister(), 1);
    D.SetControlRegister(0x0000);
    EXPECT_EQ(D.ModeFromControlRegister(), 2);
    D.SetControlRegister(0xFFFF);
    D.SetModeCurrentOutput(2);
    D.ModeToControlRegister();
    EXPECT_EQ(D.ControlRegister(), 0xFFEF);
    D.SetControlRegister(0);
    D.SetTurning20mAMode(true);
    D.SetTurning4mAMode(true);
    D.SetAutoFreq1Mode(true);
    D.SetAutoFreq2Mode(true);
    EXPECT_EQ(D.ControlRegister(), 0x006C);
    D.SetTurning4mAMode(false);
    EXPECT_EQ(D.ControlRegister(), 0x0064);
    EXPECT_FALSE(D.NoFrequencySignal());
}

TEST(Lanx1Model, LoadTable) {
    TLanx1 D;
    TTara Ten, Forty;
    for (int i = 0; i < 10; ++i)
        Ten.Table.push_back({1.0 * i, 2.0 * i});
    for (int i = 0; i < 40; ++i)
        Forty.Table.push_back({1.0 * i, 2.0 * i});
    D.LoadTable(&Ten);
    EXPECT_DOUBLE_EQ(D.TablePoint(10).Volume, 18.0);
    EXPECT_TRUE(std::isnan(D.TablePoint(11).Level));
    EXPECT_TRUE(std::isnan(D.TablePoint(32).Volume));
    D.LoadTable(&Forty);
    EXPECT_DOUBLE_EQ(D.TablePoint(32).Level, 31.0);
    D.LoadTable(nullptr); // nothing happens
    EXPECT_DOUBLE_EQ(D.TablePoint(32).Level, 31.0);
}

TEST(Lanx1Model, PropertiesByName) {
    TLanx1 D;
    EXPECT_TRUE(D.SetPropertyText("kkalman", "7"));
    EXPECT_EQ(D.KKalman(), 7);
    EXPECT_TRUE(D.SetPropertyText("Value1", "42.5"));
    EXPECT_EQ(D.PropertyText("VALUE1"), "42.5");
    EXPECT_TRUE(D.SetPropertyText("Value2", "12,5"));
    EXPECT_DOUBLE_EQ(D.Value2(), 12.5);
    EXPECT_TRUE(D.SetPropertyText("Turning4mA", "400")); // a number the setter refuses
    EXPECT_EQ(D.Turning4mA(), 500);
    EXPECT_FALSE(D.SetPropertyText("Freq1", "70000"));
    EXPECT_FALSE(D.SetPropertyText("Freq1", "abc"));
    EXPECT_FALSE(D.SetPropertyText("NoSuch", "1"));
    EXPECT_EQ(D.PropertyText("Freq2"), "65535");
    EXPECT_TRUE(D.PropertyText("NoSuch").isEmpty());
}

TEST(Lanx1Instance, CreatedAsTheProgramRunsIt) {
    CreateLanx1();
    ASSERT_NE(Lanx1, nullptr);
    EXPECT_EQ(Lanx1->Name, "Lanx1");
    EXPECT_EQ(Lanx1->ErrorMax(), 1);
    EXPECT_EQ(Lanx1->DeviceDescription.Title, "КЕЛМ352И");
    DestroyLanx1();
    EXPECT_EQ(Lanx1, nullptr);
    PollSet.Include(0);
    PollSet.Include(3);
    EXPECT_TRUE(PollSet.Contains(3));
    EXPECT_FALSE(PollSet.Contains(4));
    PollSet.Clear();
}
