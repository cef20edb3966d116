#pragma once
// Bits, ranges, the CRC-16 of the register protocol and its float encoding.
#include <QByteArray>
#include <cstdint>

bool InRange(int Value, int AMin, int AMax);
int SetBit(int Value, std::uint8_t Bit, bool State);
bool GetBit(std::uint32_t Value, std::uint8_t Bit);

// CRC-16/MODBUS: start 0xFFFF, polynomial 0xA001 (reflected), no final XOR.
std::uint16_t Crc16(const QByteArray &Frame);
// The frame is longer than two bytes and ends with the CRC of the rest, low byte first.
bool CheckCrc16(const QByteArray &Frame);
// Frame with its CRC appended, low byte then high byte.
QByteArray AppendCrc16(const QByteArray &Frame);

// IEEE 754 single precision, most significant byte first.
void SingleToBytes(float Value, std::uint8_t &B1, std::uint8_t &B2, std::uint8_t &B3, std::uint8_t &B4);
float BytesToSingle(std::uint8_t B1, std::uint8_t B2, std::uint8_t B3, std::uint8_t B4);
