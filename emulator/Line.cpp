#include "emulator/Line.h"

#include <algorithm>
#include <numeric>

UartReceiver::UartReceiver(int lineBps, int ownBps)
    : matched_(lineBps == ownBps || lineBps <= 0 || ownBps <= 0) {
    if (!matched_) {
        // Time in ticks of 1 / (lineBps x ownBps) s, reduced: a sent bit is
        // ownBps ticks long, a received bit lineBps ticks.
        const int64_t common = std::gcd(lineBps, ownBps);
        sentBitTicks_ = ownBps / common;
        ownBitTicks_ = lineBps / common;
    }
}

void UartReceiver::appendLevels(const QByteArray& sent) {
    levels_.reserve(levels_.size() + static_cast<size_t>(sent.size()) * 10);
    for (const char byte : sent) {
        levels_.push_back(0);
        for (int bit = 0; bit < 8; ++bit) {
            levels_.push_back((static_cast<uint8_t>(byte) >> bit) & 1);
        }
        levels_.push_back(1);
    }
}

bool UartReceiver::level(int64_t bit) const {
    const int64_t index = bit - firstBit_;
    return index < 0 || index >= static_cast<int64_t>(levels_.size()) ||
           levels_[static_cast<size_t>(index)] != 0;
}

QByteArray UartReceiver::receive(const QByteArray& sent) {
    if (matched_) {
        return sent;
    }
    appendLevels(sent);
    return sample();
}

QByteArray UartReceiver::idle() {
    if (matched_) {
        return {};
    }
    // Enough resting bits to carry the receiver past any byte it started.
    const int64_t restBits = (11 * ownBitTicks_) / sentBitTicks_ + 2;
    levels_.insert(levels_.end(), static_cast<size_t>(restBits), 1);
    QByteArray bytes = sample();
    firstBit_ += static_cast<int64_t>(levels_.size());
    levels_.clear();
    searchTick_ = firstBit_ * sentBitTicks_;
    return bytes;
}

QByteArray UartReceiver::sample() {
    QByteArray bytes;
    const int64_t endBit = firstBit_ + static_cast<int64_t>(levels_.size());
    for (;;) {
        // The next falling edge at or after searchTick_: levels change only
        // at the sender's bit boundaries.
        int64_t bit = (searchTick_ + sentBitTicks_ - 1) / sentBitTicks_;
        while (bit < endBit && !(level(bit - 1) && !level(bit))) {
            ++bit;
        }
        if (bit >= endBit) {
            searchTick_ = std::max(searchTick_, (endBit - 1) * sentBitTicks_);
            break;
        }
        const int64_t start = bit * sentBitTicks_;
        // The middle of received bit k, k = 0 the start bit, 9 the stop bit.
        const auto middle = [&](int k) { return start + (2 * k + 1) * ownBitTicks_ / 2; };
        if (middle(9) / sentBitTicks_ >= endBit) {
            searchTick_ = start;  // wait for the rest of this character
            break;
        }
        if (level(middle(0) / sentBitTicks_)) {
            searchTick_ = middle(0);  // a glitch, not a start bit
            continue;
        }
        int value = 0;
        for (int k = 1; k <= 8; ++k) {
            value |= (level(middle(k) / sentBitTicks_) ? 1 : 0) << (k - 1);
        }
        if (level(middle(9) / sentBitTicks_)) {
            bytes += static_cast<char>(value);
        } else {
            ++framingErrors_;
        }
        searchTick_ = middle(9);
    }
    // Levels before the hunt's position are never looked at again, but the
    // one before it decides whether the next low is an edge.
    const int64_t keepFrom = searchTick_ / sentBitTicks_ - 1;
    if (keepFrom - firstBit_ > 4096) {
        levels_.erase(levels_.begin(), levels_.begin() + (keepFrom - firstBit_));
        firstBit_ = keepFrom;
    }
    return bytes;
}
