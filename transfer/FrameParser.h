#pragma once

#include <QByteArray>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// One frame as the controller receives it.
struct ReceivedFrame {
    uint8_t controller = 0;  // number byte of the header
    uint8_t command = 0;     // command byte of the header
    // Write block (0x00): where the data goes.
    int bank = 0;
    int address = 0;
    QByteArray data;
    // Set clock (0x02): year, weekday, month, day, hour, minute, second as sent.
    std::array<uint8_t, 7> clock{};
};

// The one frame parser: the controller's side (the emulator) and the fuzz
// target read the sender's frames with it.
// Splits the byte stream into frames, whatever the pieces it arrives in.
// Between frames it hunts for a header, the five bytes [number] 55 AA 55 AA,
// so noise before a frame and a frame cut short inside its header are
// skipped. Command bytes: 0x00 write block (bank, address and length
// little-endian, then the data), 0x01 end of data, 0x02 set clock (seven
// clock bytes); any other command is reported with nothing after it.
class FrameParser {
  public:
    void feed(const char* bytes, size_t size);
    // The frames completed so far, oldest first; emptied by the call.
    std::vector<ReceivedFrame> takeFrames();

    // Whether part of a frame is held, waiting for the rest.
    bool inFrame() const { return state_ != State::Hunt; }
    // Drops a frame that was cut short and hunts for the next header: the
    // rest of a write block cannot be told from a header inside its data,
    // so the caller decides by a pause in the traffic.
    void abandonFrame();
    // Bytes skipped while hunting for a header.
    uint64_t skippedBytes() const { return skipped_; }

  private:
    enum class State { Hunt, Command, Fields, Data };
    void finishFrame();

    State state_ = State::Hunt;
    std::array<uint8_t, 5> window_{};  // the last bytes seen while hunting
    int windowFill_ = 0;
    std::array<uint8_t, 7> fields_{};
    int fieldsNeeded_ = 0;
    int fieldsFill_ = 0;
    int dataNeeded_ = 0;
    ReceivedFrame frame_;
    std::vector<ReceivedFrame> frames_;
    uint64_t skipped_ = 0;
};
