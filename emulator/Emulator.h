#pragma once

#include "core/Settings.h"
#include "emulator/EmulatedController.h"
#include "emulator/Line.h"
#include "emulator/SignOutput.h"
#include "platform/PseudoTerminal.h"
#include "transfer/FrameParser.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What the sign plays now: its pages, the glyph table, its clock at the
// moment this was taken, and its screen. Handed to a live view.
struct SignPlay {
    std::vector<ShownPage> pages;
    QByteArray glyphs;
    QTime clock;
    QSize screen;
};

// How the emulator is set up: the controller it plays, where it is linked,
// where the received pages go, how true to the line it is, and how it
// misbehaves on demand.
struct EmulatorOptions {
    ControllerSetup controller;
    // Further controllers on the same line (an RS-485 bus), told apart by
    // these numbers; each has the first one's setup and its own memory.
    // With any, the pictures of controller N go into outDir/controllerN.
    std::vector<int> alsoNumbers;
    int port = 1;          // links comN in the program folder
    QString outDir;        // where the pages are written as pictures; empty: nowhere
    int zoom = 1;          // screen pixels a LED in those pictures (from 2 on, round dots)
    bool animate = false;  // also playlist.png: the list in motion, approximate effects
    // A live view: called from the emulator's thread at the start and whenever
    // what the sign plays changes (a list received, the clock set, the
    // parameters saved).
    std::function<void(const SignPlay&)> show;
    // Where a saved parameter block is kept for the next start; empty: nowhere.
    QString stateFile;
    // Every byte taken from the line is appended here, as it came; empty: nowhere.
    QString recordFile;
    // Take bytes at the line rate the program set (10 bits a byte) and answer
    // processingMs after the last one has arrived; off, take what is there.
    bool pace = true;
    int processingMs = 20;
    // Misbehaviour, to try the failure paths over a real port.
    bool silent = false;                     // never reply
    bool wrongReply = false;                 // a status byte 0x00, a framed reply starting 55 AA
    int delayMs = 0;                         // reply this much later
    int extraBytes = 0;                      // append this many 0xEE bytes to a reply
    int noiseBytes = 0;                      // put this many 0xFE bytes before a reply
    std::optional<qint64> hangUpAfter;       // close the line after this many bytes
    std::optional<qint64> stopReadingAfter;  // take no byte more after this many
    // When to stop by itself.
    bool once = false;       // after the first acknowledged command
    int idleTimeoutSec = 0;  // after this long without traffic; 0: never
};

// The options of `marquee-cli emulate` that set the controller up as the
// settings describe the sign: number, type, screen, scan, line speed, data
// polarity and red/green swap.
QStringList controllerOptionsFor(const Settings& settings);

// Serves an EmulatedController on a pseudo-terminal linked as comN: bytes
// in at the line's pace, replies out, and the sign's pictures written at
// every end of data, drawn by the sign view's renderer.
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

    enum class Outcome { Stopped, Done, IdleTimeout, HungUp, Failed };
    // Answers frames until stop(), --once is satisfied, the idle time-out or
    // the hang-up asked for.
    Outcome run();
    // Ends run() soon; callable from another thread or a signal handler.
    void stop();
    // The descriptor stop() writes to, for a signal handler.
    int wakeHandle() const { return wake_[1]; }

    QString linkPath() const { return terminal_.linkPath(); }
    const EmulatedController& controller() const { return controller_; }

  private:
    struct Outgoing {
        qint64 startNs;  // the first byte is on the line from here
        QByteArray bytes;
        qint64 byteNs;  // line time of a byte; 0: all at once
        bool finishes;  // sending it satisfies --once
        int sent = 0;
    };

    qint64 nowNs() const { return clock_.nsecsElapsed(); }
    // Takes what has arrived on the line by now; readable: poll saw bytes.
    void readLine(qint64 now, bool readable);
    void take(const QByteArray& raw, qint64 arrivalNs);
    void endBurst();
    void handle(const ReceivedFrame& frame, qint64 arrivalNs);
    // A further controller on the line and where its pictures go.
    struct Neighbour {
        std::unique_ptr<EmulatedController> controller;
        std::unique_ptr<SignOutput> output;
    };
    QString answer(const FrameResponse& response, qint64 arrivalNs);
    void sendDue(qint64 now);
    void log(const QString& line);
    QString describeSetup() const;
    void publish();

    EmulatorOptions options_;
    LogSink log_;
    QElapsedTimer clock_;
    EmulatedController controller_;
    SignOutput output_;
    std::vector<Neighbour> neighbours_;
    PseudoTerminal terminal_;
    QFile record_;
    FrameParser parser_;
    std::deque<Outgoing> outgoing_;
    // The burst of bytes on the line now: when it began, at what rate, how
    // many bytes of it were taken, and the receiver when the rates differ.
    bool inBurst_ = false;
    qint64 burstStartNs_ = 0;
    qint64 burstBytes_ = 0;
    qint64 burstByteNs_ = 0;
    int burstBps_ = 0;
    std::unique_ptr<UartReceiver> uart_;
    qint64 burstReceived_ = 0;  // bytes the receiver made of them
    qint64 received_ = 0;       // bytes taken from the line in all
    uint64_t skippedReported_ = 0;
    qint64 lastTrafficNs_ = 0;
    bool reading_ = true;
    bool hungUp_ = false;
    int wake_[2] = {-1, -1};
    bool finished_ = false;
};
