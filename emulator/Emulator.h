#pragma once

#include "platform/PseudoTerminal.h"
#include "transfer/FrameParser.h"
#include "transfer/ModuleType.h"

#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

// How the emulated controller is set up and how it behaves.
struct EmulatorOptions {
    int number = 1;  // the controller number it answers to
    int port = 1;    // links comN in the program folder
    QString outDir;  // where the pages are written as pictures; empty: nowhere
    // The screen, to show the received pages as the sign would.
    int width = 64;
    int height = 16;
    int scan = 16;
    int type = 0;
    bool colorSwap = true;
    bool rgSwap = false;
    // Misbehaviour, to try the failure paths over a real port.
    bool silent = false;      // never reply
    bool wrongReply = false;  // reply 0x00 instead of the command code
    int delayMs = 0;          // reply this much later
    int extraBytes = 0;       // append this many 0xEE bytes to a reply
    // When to stop by itself.
    bool once = false;  // after the first acknowledged command
    // The parameter block reports controller number 0xFF, asking the
    // program to take the defaults of the module type.
    bool reportDefaults = false;
    int idleTimeoutSec = 0;  // after this long without traffic; 0: never
};

// A page image from the controller's memory, the way the sign shows it:
// lit red, green or yellow on black. Dual-colour rows are 2 x (width div 8)
// bytes of four pixels, the leftmost pixel in bits 7 (red) and 6 (green);
// monochrome rows are width div 8 bytes, bit 7 the leftmost pixel, shown red.
// colorSwap: a 0 bit is lit. rgSwap: the red and green bits trade places.
QImage decodePage(const QByteArray& bytes, Depth depth, int width, int height, bool colorSwap,
                  bool rgSwap);

// The controller on a pseudo-terminal linked as comN: keeps the eight
// memory banks and the clock, answers end of data with 0x01 and set clock
// with 0x02, and writes the received pages as page1.png, page2.png, ... and
// playlist.txt. Frames for another controller number are not answered.
class Emulator {
  public:
    using LogSink = std::function<void(const QString&)>;
    // log gets one line per received command; standard output when empty.
    explicit Emulator(const EmulatorOptions& options, LogSink log = {});
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Makes the pseudo-terminal and links it as comN in folder.
    bool start(const QString& folder, QString* error);

    enum class Outcome { Stopped, Done, IdleTimeout, Failed };
    // Answers frames until stop(), --once is satisfied or the idle time-out.
    Outcome run();
    // Ends run() soon; callable from another thread or a signal handler.
    void stop();
    // The descriptor stop() writes to, for a signal handler.
    int wakeHandle() const { return wake_[1]; }

    QString linkPath() const { return terminal_.linkPath(); }
    const ControllerMemory& memory() const { return memory_; }
    std::array<uint8_t, 7> clock() const { return clock_; }
    // The 32-byte parameter block: what "read parameters" reports and
    // "save parameters" stores.
    const QByteArray& parameters() const { return parameters_; }
    // The last setup image taken, 16384 bytes (empty before any).
    const QByteArray& setupImage() const { return setupImage_; }

  private:
    struct PendingReply {
        qint64 dueMs;
        QByteArray bytes;
        bool finishes;  // sending it satisfies --once
    };

    void handle(const ReceivedFrame& frame, qint64 nowMs);
    QString reply(uint8_t code, qint64 nowMs);
    QString framedReply(uint8_t code, const QByteArray& data, qint64 nowMs);
    void queue(QByteArray bytes, qint64 nowMs);
    int showPages();
    void log(const QString& line);

    EmulatorOptions options_;
    LogSink log_;
    PseudoTerminal terminal_;
    FrameParser parser_;
    ControllerMemory memory_;
    std::array<uint8_t, 7> clock_{};
    QByteArray parameters_;
    QByteArray setupImage_;
    std::vector<PendingReply> pending_;
    QSet<QString> written_;  // picture files this emulator wrote
    int wake_[2] = {-1, -1};
    bool finished_ = false;
};

// marquee-cli emulate [options]: returns the exit status.
int runEmulator(const QString& folder, const QStringList& args);
