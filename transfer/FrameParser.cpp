#include "transfer/FrameParser.h"

#include "transfer/Frames.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr auto kWriteBlockCode = static_cast<uint8_t>(Command::WriteBlock);
constexpr auto kSetClockCode = static_cast<uint8_t>(Command::SetClock);
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
                if (frame_.command == kWriteBlockCode || frame_.command == kSetClockCode) {
                    fieldsNeeded_ =
                        frame_.command == kWriteBlockCode ? kBlockFieldBytes : kClockBytes;
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
                if (frame_.command == kSetClockCode) {
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
