// The multi-step device commands against the simulated transducer.
#include "EngineRig.h"
#include "RecordingMessages.h"
#include "TLanx1DeviceModel.h"
#include "uLanx1Commands.h"
#include "uLanx1Instance.h"
#include "uTextFile.h"

#include <QList>
#include <cmath>
#include <gtest/gtest.h>
#include <utility>

using TModel = TLanx1DeviceModel;

namespace {

// The function code and start register of every request the simulator received.
QList<std::pair<int, int>> Received(TLanx1Simulator &Sim) {
    QList<std::pair<int, int>> L;
    for (const QByteArray &F : Sim.Requests())
        L.append({static_cast<std::uint8_t>(F[1]),
                  static_cast<std::uint8_t>(F[2]) * 256 + static_cast<std::uint8_t>(F[3])});
    return L;
}

// The first data word of a write request (after address, function, start, count, byte count).
int WrittenWord(const QByteArray &Frame) {
    return static_cast<std::uint8_t>(Frame[7]) * 256 + static_cast<std::uint8_t>(Frame[8]);
}

TExecute Plain(QStringList *Hints = nullptr) {
    return [Hints](std::uint8_t Kind, const QString &Hint) {
        if (Hints)
            *Hints << Hint;
        return ExecuteWithRetries(Kind, 5);
    };
}

// A table file of Count points (level i*10, volume i*2.5) and the table loaded from it.
bool LoadTable(TEngineRig &Rig, int Count, TTara &Tara) {
    QStringList Lines{QStringLiteral("* test"), QStringLiteral("T=") + QString::number(Count)};
    for (int i = 1; i <= Count; ++i)
        Lines << QString::number(i * 10) + QStringLiteral(" ") + QString::number(i * 2.5).replace(u'.', u',');
    Tara.FileName = Rig.Folder().File(QStringLiteral("t.txt"));
    WriteTextLines(Tara.FileName, Lines);
    Tara.TableName = QStringLiteral("T");
    return Tara.LoadFromStrings(Lines);
}

const QStringList kFast{QStringLiteral("ReadTotalConstant=40"), QStringLiteral("ReadInterval=10")};

} // namespace

TEST(Lanx1Commands, ReadAllParametersRunsElevenReadsInOrderAndStopsOnRequest) {
    TEngineRig Rig;
    Rig.Sim().SetRegister(TModel::rgPlantNumber, 777);
    Rig.Sim().SetRegister(TModel::rgKKalman, 9);
    Rig.Sim().SetFloat(TModel::rgValue1, 12.5f);
    QStringList Hints;
    const TSequenceResult R = ReadAllParameters(Plain(&Hints));
    EXPECT_TRUE(R.Ok());
    const QList<std::pair<int, int>> Expected{{3, 0},   {3, 1},  {3, 9},   {3, 149}, {3, 150}, {3, 12},
                                              {3, 11},  {3, 146}, {3, 144}, {3, 13},  {3, 148}};
    EXPECT_EQ(Received(Rig.Sim()), Expected);
    EXPECT_EQ(Hints.size(), 11);
    EXPECT_EQ(Hints.first(), QStringLiteral("Считать заводской номер из прибора"));
    EXPECT_EQ(Hints.last(), QStringLiteral("Считать Ку - коэффициент усреднения из прибора"));
    EXPECT_EQ(Lanx1->PlantNumber(), 777);
    EXPECT_EQ(Lanx1->KKalman(), 9);
    EXPECT_DOUBLE_EQ(Lanx1->Value1(), 12.5);

    // Asked to stop during the third step: that step ends, nothing follows.
    const int Before = Rig.Sim().RequestCount();
    int Steps = 0;
    const TSequenceResult S = ReadAllParameters(
        [&](std::uint8_t Kind, const QString &) {
            ++Steps;
            return ExecuteWithRetries(Kind, 5);
        },
        [&] { return Steps >= 3; });
    EXPECT_TRUE(S.Stopped);
    EXPECT_FALSE(S.Ok());
    EXPECT_EQ(Rig.Sim().RequestCount() - Before, 3);
}

TEST(Lanx1Commands, ReadAllParametersGoesOnPastFailedSteps) {
    TEngineRig Rig(kFast);
    Rig.Sim().SetFault(TSimFault::Silence, 0, 5); // the first command's five attempts
    const TSequenceResult R = ReadAllParameters(Plain());
    ASSERT_EQ(R.Failed.size(), 1u);
    EXPECT_EQ(R.Failed[0], rkReadPlantNumber);
    EXPECT_EQ(Rig.Sim().RequestCount(), 5 + 10);
}

TEST(Lanx1Commands, ModeWriteKeepsTheOtherControlBits) {
    TEngineRig Rig;
    Rig.Sim().SetRegister(TModel::rgControl, 0x0108); // 0...20 mA on the device, other bits set
    Lanx1->SetControlRegister(0);
    TSequenceResult R = WriteModeCurrentOutput(*Lanx1, 1, Plain());
    EXPECT_TRUE(R.Ok());
    QList<QByteArray> Frames = Rig.Sim().Requests();
    ASSERT_EQ(Frames.size(), 2);
    EXPECT_EQ(static_cast<std::uint8_t>(Frames[1][1]), 0x10);
    EXPECT_EQ(WrittenWord(Frames[1]), 0x0118);
    EXPECT_EQ(Rig.Sim().Register(TModel::rgControl), 0x0118);
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 1);

    // Back to 0...20 mA: only bit 4 changes.
    R = WriteModeCurrentOutput(*Lanx1, 2, Plain());
    EXPECT_TRUE(R.Ok());
    EXPECT_EQ(Rig.Sim().Register(TModel::rgControl), 0x0108);

    // A mode that is no mode sends nothing.
    const int Before = Rig.Sim().RequestCount();
    EXPECT_TRUE(WriteModeCurrentOutput(*Lanx1, 3, Plain()).Refused);
    EXPECT_EQ(Rig.Sim().RequestCount(), Before);
}

TEST(Lanx1Commands, ModeWriteWithoutARegisterReadWritesNothing) {
    TEngineRig Rig(kFast);
    Rig.Sim().SetRegister(TModel::rgControl, 0x0108);
    Rig.Sim().SetFault(TSimFault::Silence, 0, 5);
    const TSequenceResult R = WriteModeCurrentOutput(*Lanx1, 1, Plain());
    EXPECT_EQ(R.Failed, std::vector<std::uint8_t>{rkReadControlRegister});
    EXPECT_EQ(R.Skipped, std::vector<std::uint8_t>{rkWriteControlRegister});
    for (const auto &[Function, Start] : Received(Rig.Sim()))
        EXPECT_EQ(Function, 0x03);
    EXPECT_EQ(Rig.Sim().Register(TModel::rgControl), 0x0108);
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 1); // the choice stays for a later try
}

TEST(Lanx1Commands, AutocalibrationOfC1SetsBit5AndReadsThePointBack) {
    TEngineRig Rig;
    Rig.Sim().SetLevel(20.0);
    Rig.Sim().SetRegister(TModel::rgControl, 0x0010);
    Rig.Sim().SetRegister(TModel::rgFreq1, 1);
    QStringList Hints;
    const TSequenceResult R = Autocalibrate(*Lanx1, 1, 10.0, Plain(&Hints));
    EXPECT_TRUE(R.Ok());
    const QList<std::pair<int, int>> Expected{{0x10, 144}, {3, 13}, {0x10, 13}, {3, 144}, {3, 11}};
    EXPECT_EQ(Received(Rig.Sim()), Expected);
    EXPECT_EQ(WrittenWord(Rig.Sim().Requests()[2]), 0x0030);
    EXPECT_FLOAT_EQ(Rig.Sim().FloatAt(TModel::rgValue1), 10.0f);
    EXPECT_EQ(Lanx1->Freq1(), Rig.Sim().Register(TModel::rgFreq1));
    EXPECT_NE(Lanx1->Freq1(), 1); // the device calibrated the point
    EXPECT_DOUBLE_EQ(Lanx1->Value1(), 10.0);
    EXPECT_EQ(Hints.first(), QStringLiteral("Записать значение калибровочной точки С1"));

    // C2 uses its own registers and bit 6.
    const int Before = Rig.Sim().RequestCount();
    EXPECT_TRUE(Autocalibrate(*Lanx1, 2, 90.0, Plain()).Ok());
    const QList<QByteArray> Frames = Rig.Sim().Requests().mid(Before);
    ASSERT_EQ(Frames.size(), 5);
    EXPECT_EQ(WrittenWord(Frames[2]) & 0x0060, 0x0040);
    EXPECT_EQ(Lanx1->Freq2(), Rig.Sim().Register(TModel::rgFreq2));

    // A value outside the level range is refused before anything is sent.
    const int Count = Rig.Sim().RequestCount();
    EXPECT_TRUE(Autocalibrate(*Lanx1, 1, 150.0, Plain()).Refused);
    EXPECT_TRUE(Autocalibrate(*Lanx1, 1, std::nan(""), Plain()).Refused);
    EXPECT_EQ(Rig.Sim().RequestCount(), Count);
}

TEST(Lanx1Commands, AutocalibrationDoesNotStartAfterAFailedValueWrite) {
    TEngineRig Rig(kFast);
    Rig.Sim().SetFault(TSimFault::Exception, 4, 5); // the value write is refused five times
    const TSequenceResult R = Autocalibrate(*Lanx1, 1, 5.0, Plain());
    EXPECT_EQ(R.Failed, std::vector<std::uint8_t>{rkWriteValue1});
    EXPECT_EQ(R.Skipped, std::vector<std::uint8_t>{rkWriteControlRegister});
    int RegisterWrites = 0;
    for (const auto &[Function, Start] : Received(Rig.Sim()))
        RegisterWrites += Function == 0x10 && Start == 13;
    EXPECT_EQ(RegisterWrites, 0);
}

TEST(Lanx1Commands, WritingATableSendsItsFirst32PointsAndNaNBeyond) {
    TEngineRig Rig;
    TRecordingMessages Messages;
    TTara Tara;
    ASSERT_TRUE(LoadTable(Rig, 10, Tara));
    QStringList Echo;
    const TTableTransferResult R =
        WriteDeviceTable(*Lanx1, Tara, true, [&](const QString &, const QString &Line, int Block) {
            Echo << (Block == 0 ? QStringLiteral("-") : Line);
        });
    EXPECT_TRUE(R.Ok());
    EXPECT_EQ(Echo, (QStringList{"Запись значений уровня: 1 блок", "Запись значений уровня: 2 блок", "-",
                                 "Запись значений объема: 1 блок", "Запись значений объема: 2 блок", "-"}));
    const QList<std::pair<int, int>> Expected{{0x10, 14}, {0x10, 46}, {0x10, 79}, {0x10, 111}};
    EXPECT_EQ(Received(Rig.Sim()), Expected);
    for (int i = 0; i < 32; ++i) {
        const float L = Rig.Sim().FloatAt(TModel::rgTableLevels + 2 * i);
        const float V = Rig.Sim().FloatAt(TModel::rgTableVolumes + 2 * i);
        if (i < 10) {
            EXPECT_FLOAT_EQ(L, (i + 1) * 10.0f) << i;
            EXPECT_FLOAT_EQ(V, (i + 1) * 2.5f) << i;
        } else {
            EXPECT_TRUE(std::isnan(L)) << i;
            EXPECT_TRUE(std::isnan(V)) << i;
        }
    }
    EXPECT_EQ(Messages.Messages().size(), 2); // one volume block shown per volume request

    TTara Long;
    ASSERT_TRUE(LoadTable(Rig, 40, Long));
    EXPECT_TRUE(WriteDeviceTable(*Lanx1, Long, true).Ok());
    EXPECT_FLOAT_EQ(Rig.Sim().FloatAt(TModel::rgTableLevels + 2 * 31), 320.0f);
    EXPECT_FLOAT_EQ(Rig.Sim().FloatAt(TModel::rgTableVolumes + 2 * 31), 80.0f);
}

TEST(Lanx1Commands, ATableThatDidNotLoadIsNotSent) {
    TEngineRig Rig;
    TTara Tara;
    ASSERT_TRUE(LoadTable(Rig, 10, Tara));
    Tara.TableName = QStringLiteral("Missing");
    const bool Loaded = Tara.LoadFromStrings(ReadTextLines(Tara.FileName));
    ASSERT_FALSE(Loaded);
    EXPECT_TRUE(WriteDeviceTable(*Lanx1, Tara, Loaded).Refused);
    TTara Empty;
    EXPECT_TRUE(WriteDeviceTable(*Lanx1, Empty, true).Refused);
    EXPECT_EQ(Rig.Sim().RequestCount(), 0);
}

TEST(Lanx1Commands, ReadingTheTableFillsAll32Points) {
    TEngineRig Rig(kFast);
    for (int i = 0; i < 32; ++i) {
        Rig.Sim().SetFloat(TModel::rgTableLevels + 2 * i, i * 3.25f);
        Rig.Sim().SetFloat(TModel::rgTableVolumes + 2 * i, i * 0.5f + 1);
    }
    EXPECT_TRUE(ReadDeviceTable(*Lanx1).Ok());
    const QList<std::pair<int, int>> Expected{{3, 14}, {3, 46}, {3, 79}, {3, 111}};
    EXPECT_EQ(Received(Rig.Sim()), Expected);
    for (int i = 0; i < 32; ++i) {
        EXPECT_FLOAT_EQ(static_cast<float>(Lanx1->TablePoint(i + 1).Level), i * 3.25f);
        EXPECT_FLOAT_EQ(static_cast<float>(Lanx1->TablePoint(i + 1).Volume), i * 0.5f + 1);
    }

    // A block that never answers is reported, keeps its points NaN and does not stop the rest.
    Rig.Sim().SetFault(TSimFault::Silence, 0, TableBlockAttempts);
    const TTableTransferResult R = ReadDeviceTable(*Lanx1);
    EXPECT_EQ(R.Failed, QStringList{QStringLiteral("Чтение значений уровня: 1 блок")});
    EXPECT_TRUE(std::isnan(Lanx1->TablePoint(1).Level));
    EXPECT_FLOAT_EQ(static_cast<float>(Lanx1->TablePoint(17).Level), 16 * 3.25f);
    EXPECT_FLOAT_EQ(static_cast<float>(Lanx1->TablePoint(1).Volume), 1.0f);
}
