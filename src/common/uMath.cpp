#include "uMath.h"

#include <bit>

bool InRange(int Value, int AMin, int AMax) {
    return AMin <= Value && Value <= AMax;
}

int SetBit(int Value, std::uint8_t Bit, bool State) {
    const std::uint32_t Mask = 1u << (Bit & 31);
    const auto U = static_cast<std::uint32_t>(Value);
    return static_cast<int>(State ? (U | Mask) : (U & ~Mask));
}

bool GetBit(std::uint32_t Value, std::uint8_t Bit) {
    return (Value >> (Bit & 31)) & 1u;
}

std::uint16_t Crc16(const QByteArray &Frame) {
    std::uint16_t Crc = 0xFFFF;
    for (const char C : Frame) {
        Crc ^= static_cast<std::uint8_t>(C);
        for (int i = 0; i < 8; ++i)
            Crc = (Crc & 1) ? static_cast<std::uint16_t>((Crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(Crc >> 1);
    }
    return Crc;
}

bool CheckCrc16(const QByteArray &Frame) {
    if (Frame.size() <= 2)
        return false;
    const std::uint16_t Crc = Crc16(Frame.left(Frame.size() - 2));
    return static_cast<std::uint8_t>(Frame[Frame.size() - 2]) == (Crc & 0xFF) &&
           static_cast<std::uint8_t>(Frame[Frame.size() - 1]) == (Crc >> 8);
}

QByteArray AppendCrc16(const QByteArray &Frame) {
    const std::uint16_t Crc = Crc16(Frame);
    QByteArray Result = Frame;
    Result.append(static_cast<char>(Crc & 0xFF));
    Result.append(static_cast<char>(Crc >> 8));
    return Result;
}

void SingleToBytes(float Value, std::uint8_t &B1, std::uint8_t &B2, std::uint8_t &B3, std::uint8_t &B4) {
    const auto Bits = std::bit_cast<std::uint32_t>(Value);
    B1 = static_cast<std::uint8_t>(Bits >> 24);
    B2 = static_cast<std::uint8_t>(Bits >> 16);
    B3 = static_cast<std::uint8_t>(Bits >> 8);
    B4 = static_cast<std::uint8_t>(Bits);
}

float BytesToSingle(std::uint8_t B1, std::uint8_t B2, std::uint8_t B3, std::uint8_t B4) {
    const std::uint32_t Bits = (std::uint32_t(B1) << 24) | (std::uint32_t(B2) << 16) | (std::uint32_t(B3) << 8) | B4;
    return std::bit_cast<float>(Bits);
}
