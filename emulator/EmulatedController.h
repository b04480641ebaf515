#pragma once

#include "emulator/ControllerMemory.h"
#include "transfer/FrameParser.h"
#include "transfer/Frames.h"
#include "transfer/MemoryMap.h"
#include "transfer/ModuleType.h"
#include "transfer/Packing.h"
#include "transfer/ParameterBlock.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// Who the controller is and how its sign is built. Everything it shows
// follows its own parameter block: the screen (type, width, high, scan), the
// data polarity (data com: on, a 0 bit lights an LED) and the 8 bit swap (on,
// every byte goes out to the modules least significant bit first).
struct ControllerSetup {
    ControllerParameters parameters;
    bool rgSwap = false;  // the modules' red and green lines are swapped
    // The parameter block reports controller number 0xFF, asking the
    // program to take the defaults of the module type.
    bool reportDefaults = false;
    // A transmission with a write block that breaks the memory map gets no
    // acknowledgement.
    bool strict = false;
    // The controller loses the pages, glyphs and play table in its memory
    // once, after this many transfers (end frames), as a power cut without
    // a backup battery would; the parameter block and setup image stay.
    std::optional<int> forgetAfter;
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
    bool endOfData = false;        // a transfer or play table ended: the sign shows it now
    bool clockSet = false;         // the clock was set
    bool parametersSaved = false;  // a new parameter block is in force
};

// The sign a parameter block describes, for the log: "T0 64 x 16, scan 16,
// 9600 bit/s, data com on, 8 bit swap off".
QString describeSign(const ControllerParameters& parameters);

// The bytes of a correct reply: the code alone, or AA 55 00 code + data.
QByteArray replyBytes(const FrameResponse& response);

// One page of the play table as the sign shows it.
struct ShownPage {
    QImage image;  // the lit LEDs, unpacked from the controller's memory
    int effect = 0;
    int speed = 0;
    int time = 0;
};

// The controller's clock: what it was set to, running on from then.
struct ControllerClock {
    QDateTime time;
    int weekday = 6;  // Monday 1 .. Sunday 7, counted on at each midnight
};

// The controller without a port: frames in, replies and state changes out.
// It uses the sender's own protocol code (command codes, memory map, frame
// parser, unpacking), so the two sides cannot drift apart. Times are
// milliseconds on any steady clock the caller keeps.
class EmulatedController {
  public:
    explicit EmulatedController(const ControllerSetup& setup, qint64 nowMs = 0);

    FrameResponse handle(const ReceivedFrame& frame, qint64 nowMs = 0);

    // The memory map of its own screen.
    MemoryMap memoryMap() const;
    // The number of pages in the play table in memory; none when its screen
    // and type give no page layout.
    std::optional<int> pageCount() const;
    // Those pages as the sign shows them.
    std::vector<ShownPage> shownPages() const;
    // How its LEDs light from page bits.
    ColourTest colourTest() const;
    Depth depth() const { return typeFamily(static_cast<int>(parameters_.type)).depth; }

    // Its clock at nowMs. Before it is set it runs from 2000-01-01 00:00:00,
    // a Saturday, counted from the controller's start.
    ControllerClock clockAt(qint64 nowMs) const;
    // The 816 bytes of the glyph table it holds.
    QByteArray glyphTable() const;

    const ControllerSetup& setup() const { return setup_; }
    const ControllerParameters& parameters() const { return parameters_; }
    const ControllerMemory& memory() const { return memory_; }
    // The 32-byte parameter block: what "read parameters" reports.
    QByteArray parameterBlock() const;
    // The last setup image taken, 16384 bytes (empty before any).
    const QByteArray& setupImage() const { return setupImage_; }

  private:
    FrameResponse handleMine(const ReceivedFrame& frame, qint64 nowMs);
    FrameResponse writeBlock(const ReceivedFrame& frame);
    // The reply to a command that closes a transmission, or none under
    // --strict when a block of it broke the memory map.
    FrameResponse closing(FrameResponse::Form form, Command code, const QString& log);
    void setClock(const ReceivedFrame& frame, qint64 nowMs);

    ControllerSetup setup_;
    ControllerParameters parameters_;
    ControllerMemory memory_;
    ControllerClock clockSetTo_;
    qint64 clockSetAtMs_ = 0;
    int brokenBlocks_ = 0;  // write blocks of this transmission off the map
    int transfersEnded_ = 0;
    bool forgotten_ = false;
    QByteArray setupImage_;
};
