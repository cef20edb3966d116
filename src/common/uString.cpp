#include "uString.h"

QString RepeatString(const QString &S, int Count) {
    return Count <= 0 ? S : S.repeated(Count);
}

QByteArray BufferToString(const TBuffer &B) {
    return B;
}

TBuffer StringToBuffer(const QByteArray &S) {
    return S;
}

QString StringToHex(const QByteArray &S) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QString Result;
    Result.reserve(S.size() * 3);
    for (qsizetype i = 0; i < S.size(); ++i) {
        const auto B = static_cast<unsigned char>(S[i]);
        if (i > 0)
            Result += u' ';
        Result += QLatin1Char(kDigits[B >> 4]);
        Result += QLatin1Char(kDigits[B & 0x0F]);
    }
    return Result;
}

QString StringToDec(const QByteArray &S, bool Pad) {
    QString Result;
    Result.reserve(S.size() * 4);
    for (qsizetype i = 0; i < S.size(); ++i) {
        const auto B = static_cast<unsigned char>(S[i]);
        if (i > 0)
            Result += u' ';
        Result += Pad ? QStringLiteral("%1").arg(B, 3, 10, QLatin1Char('0')) : QString::number(B);
    }
    return Result;
}
