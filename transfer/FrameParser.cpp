#include "transfer/FrameParser.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kWriteBlock = 0x00;
constexpr uint8_t kSetClock = 0x02;
constexpr int kBlockFieldBytes = 5;  // bank, address (2), length (2)
constexpr int kClockBytes = 7;

}  // namespace

void FrameParser::feed(const char* bytes, size_t size) {
    const auto* next = reinterpret_cast<const uint8_t*>(bytes);
    const uint8_t* const end = next + size;
    while (next < end) {
        switch (state_) {
            case State::Hunt: {
                if (windowFill_ == 5) {
                    ++skipped_;
                    std::memmove(window_.data(), window_.data() + 1, 4);
                    windowFill_ = 4;
                }
                window_[static_cast<size_t>(windowFill_++)] = *next++;
                if (windowFill_ == 5 && window_[1] == 0x55 && window_[2] == 0xAA &&
                    window_[3] == 0x55 && window_[4] == 0xAA) {
                    frame_ = ReceivedFrame{};
                    frame_.controller = window_[0];
                    windowFill_ = 0;
                    state_ = State::Command;
                }
                break;
            }
            case State::Command:
                frame_.command = *next++;
                if (frame_.command == kWriteBlock || frame_.command == kSetClock) {
                    fieldsNeeded_ = frame_.command == kWriteBlock ? kBlockFieldBytes : kClockBytes;
                    fieldsFill_ = 0;
                    state_ = State::Fields;
                } else {
                    finishFrame();
                }
                break;
            case State::Fields:
                fields_[static_cast<size_t>(fieldsFill_++)] = *next++;
                if (fieldsFill_ < fieldsNeeded_) {
                    break;
                }
                if (frame_.command == kSetClock) {
                    std::copy_n(fields_.begin(), kClockBytes, frame_.clock.begin());
                    finishFrame();
                    break;
                }
                frame_.bank = fields_[0];
                frame_.address = fields_[1] | (fields_[2] << 8);
                dataNeeded_ = fields_[3] | (fields_[4] << 8);
                frame_.data.reserve(dataNeeded_);
                if (dataNeeded_ == 0) {
                    finishFrame();
                } else {
                    state_ = State::Data;
                }
                break;
            case State::Data: {
                const int take = static_cast<int>(
                    std::min<ptrdiff_t>(end - next, dataNeeded_ - frame_.data.size()));
                frame_.data.append(reinterpret_cast<const char*>(next), take);
                next += take;
                if (frame_.data.size() == dataNeeded_) {
                    finishFrame();
                }
                break;
            }
        }
    }
}

void FrameParser::finishFrame() {
    frames_.push_back(std::move(frame_));
    frame_ = ReceivedFrame{};
    state_ = State::Hunt;
    windowFill_ = 0;
}

std::vector<ReceivedFrame> FrameParser::takeFrames() {
    std::vector<ReceivedFrame> taken;
    taken.swap(frames_);
    return taken;
}

void FrameParser::abandonFrame() {
    frame_ = ReceivedFrame{};
    state_ = State::Hunt;
    windowFill_ = 0;
}

ControllerMemory::ControllerMemory() {
    for (QByteArray& bank : banks_) {
        bank = QByteArray(kBankBytes, '\0');
    }
}

int ControllerMemory::write(int bank, int address, const QByteArray& data) {
    if (bank < 0 || bank >= kBanks || address < 0 || address >= kBankBytes) {
        return 0;
    }
    const int count = std::min<int>(static_cast<int>(data.size()), kBankBytes - address);
    std::memcpy(banks_[static_cast<size_t>(bank)].data() + address, data.constData(),
                static_cast<size_t>(count));
    return count;
}

QByteArray ControllerMemory::read(int bank, int address, int length) const {
    if (bank < 0 || bank >= kBanks || address < 0 || address >= kBankBytes || length <= 0) {
        return {};
    }
    return banks_[static_cast<size_t>(bank)].mid(address, std::min(length, kBankBytes - address));
}
