#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// Nanoseconds a byte takes on a line of bps bit/s: 10 bits, 8N1.
constexpr int64_t byteNanoseconds(int bps) {
    return bps > 0 ? 10'000'000'000LL / bps : 0;
}

// What a UART receiving at its own rate makes of 8N1 bytes sent at another
// rate. The sent bytes are turned into the line's levels (idle high, a low
// start bit, 8 data bits least significant first, a high stop bit), and the
// receiver does what a UART does with them: waits for a falling edge, then
// samples the middle of each of its own bit times. A byte whose stop bit
// reads low is a framing error and is dropped. At equal rates the bytes pass
// unchanged.
class UartReceiver {
  public:
    UartReceiver(int lineBps, int ownBps);

    // The bytes received from sent, which follows what came before back to
    // back. A byte still being sampled waits for the next call or idle().
    QByteArray receive(const QByteArray& sent);
    // The line rests high: ends the byte being sampled.
    QByteArray idle();

    bool matched() const { return matched_; }
    int framingErrors() const { return framingErrors_; }

  private:
    // The level of sent bit index (absolute), high past the end.
    bool level(int64_t bit) const;
    QByteArray sample();
    void appendLevels(const QByteArray& sent);

    bool matched_;
    int64_t sentBitTicks_ = 1;  // one bit of the sender, in ticks
    int64_t ownBitTicks_ = 1;   // one bit of the receiver, in ticks
    std::vector<uint8_t> levels_;
    int64_t firstBit_ = 0;    // absolute index of levels_[0]
    int64_t searchTick_ = 0;  // where the hunt for the next start bit goes on
    int framingErrors_ = 0;
};
