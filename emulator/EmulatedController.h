#pragma once

#include "transfer/FrameParser.h"
#include "transfer/MemoryMap.h"
#include "transfer/ModuleType.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// The controller's memory: eight banks of 64 KiB.
class ControllerMemory {
  public:
    static constexpr int kBanks = kBankCount;
    static constexpr int kBankBytes = kBankSize;

    ControllerMemory();
    // Stores data from bank:address on. Bytes past the end of the bank are
    // dropped, and a bank outside 0..7 stores nothing. Returns the bytes stored.
    int write(int bank, int address, const QByteArray& data);
    // Up to length bytes from bank:address, fewer at the end of the bank.
    QByteArray read(int bank, int address, int length) const;
    const QByteArray& bank(int index) const { return banks_.at(static_cast<size_t>(index)); }

  private:
    std::array<QByteArray, kBanks> banks_;
};

// Who the controller is and the screen it drives.
struct ControllerSetup {
    int number = 1;  // the controller number it answers to (and 0, which all take)
    int width = 64;
    int height = 16;
    int scan = 16;
    int type = 0;
    bool colorSwap = true;
    bool rgSwap = false;
    // The parameter block reports controller number 0xFF, asking the
    // program to take the defaults of the module type.
    bool reportDefaults = false;
};

// What the controller does with one frame.
struct FrameResponse {
    enum class Form { None, StatusByte, Framed };
    Form form = Form::None;  // the reply due, if any
    uint8_t code = 0;        // the command code a good reply carries back
    QByteArray data;         // what follows a framed reply's header
    // What happened, for the log. When a reply is due the line goes on with
    // how it was answered.
    QString log;
    bool endOfData = false;  // a transfer or play table ended: the sign shows it now
};

// The bytes of a correct reply: the code alone, or AA 55 00 code + data.
QByteArray replyBytes(const FrameResponse& response);

// One page of the play table as the sign shows it.
struct ShownPage {
    QImage image;  // the lit LEDs, unpacked from the controller's memory
    int effect = 0;
    int speed = 0;
    int time = 0;
};

// The controller without a port: frames in, replies and state changes out.
// It uses the sender's own protocol code (command codes, memory map, frame
// parser, unpacking), so the two sides cannot drift apart.
class EmulatedController {
  public:
    explicit EmulatedController(const ControllerSetup& setup);

    FrameResponse handle(const ReceivedFrame& frame);

    // The number of pages in the play table in memory; none when the screen
    // and type give no page layout.
    std::optional<int> pageCount() const;
    // Those pages as the sign shows them.
    std::vector<ShownPage> shownPages() const;

    const ControllerSetup& setup() const { return setup_; }
    const ControllerMemory& memory() const { return memory_; }
    std::array<uint8_t, 7> clock() const { return clock_; }
    // The 32-byte parameter block: what "read parameters" reports and
    // "save parameters" stores.
    const QByteArray& parameters() const { return parameters_; }
    // The last setup image taken, 16384 bytes (empty before any).
    const QByteArray& setupImage() const { return setupImage_; }

  private:
    ControllerSetup setup_;
    ControllerMemory memory_;
    std::array<uint8_t, 7> clock_{};
    QByteArray parameters_;
    QByteArray setupImage_;
};
