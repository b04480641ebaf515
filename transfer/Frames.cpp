#include "transfer/Frames.h"

void appendFrameHeader(QByteArray& tx, uint8_t controller, Command command) {
    tx += static_cast<char>(controller);
    tx += "\x55\xAA\x55\xAA";
    tx += static_cast<char>(command);
}

void appendLittleEndian16(QByteArray& tx, int value) {
    tx += static_cast<char>(value & 0xFF);
    tx += static_cast<char>((value >> 8) & 0xFF);
}

void appendWriteBlockHeader(QByteArray& tx, uint8_t controller, int bank, int address, int length) {
    appendFrameHeader(tx, controller, Command::WriteBlock);
    tx += static_cast<char>(bank & 0xFF);
    appendLittleEndian16(tx, address);
    appendLittleEndian16(tx, length);
}

void appendEndFrame(QByteArray& tx, uint8_t controller) {
    appendFrameHeader(tx, controller, Command::EndOfData);
}

int ToBcd(int value) {
    const int v = value & 0xFF;
    return ((v / 10) * 16 + v % 10) & 0xFF;
}

int frameLengthAt(const QByteArray& tx, int offset) {
    const int left = static_cast<int>(tx.size()) - offset;
    constexpr int kHeaderBytes = 6;
    if (left <= kHeaderBytes) {
        return left;
    }
    int length = kHeaderBytes;
    const auto command = static_cast<Command>(tx[offset + 5]);
    if (command == Command::WriteBlock && left >= kWriteBlockHeaderBytes) {
        const auto byte = [&](int at) { return static_cast<unsigned char>(tx[offset + at]); };
        length = kWriteBlockHeaderBytes + (byte(9) | byte(10) << 8);
    } else if (command == Command::SetClock) {
        length = kClockFrameBytes;
    }
    return length < left ? length : left;
}
