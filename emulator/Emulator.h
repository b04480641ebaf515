#pragma once

#include "emulator/EmulatedController.h"
#include "platform/PseudoTerminal.h"
#include "transfer/FrameParser.h"

#include <QSet>
#include <QString>

#include <functional>
#include <future>
#include <vector>

// How the emulator is set up: the controller it plays, where it is linked,
// where the received pages go, and how it misbehaves on demand.
struct EmulatorOptions {
    ControllerSetup controller;
    int port = 1;          // links comN in the program folder
    QString outDir;        // where the pages are written as pictures; empty: nowhere
    int zoom = 1;          // screen pixels a LED in those pictures (from 2 on, round dots)
    bool animate = false;  // also playlist.png: the list in motion, approximate effects
    // Misbehaviour, to try the failure paths over a real port.
    bool silent = false;      // never reply
    bool wrongReply = false;  // a status byte 0x00, a framed reply starting 55 AA
    int delayMs = 0;          // reply this much later
    int extraBytes = 0;       // append this many 0xEE bytes to a reply
    // When to stop by itself.
    bool once = false;       // after the first acknowledged command
    int idleTimeoutSec = 0;  // after this long without traffic; 0: never
};

// Serves an EmulatedController on a pseudo-terminal linked as comN: frames
// in, replies out, and the received pages written as page1.png,
// page2.png, ... and playlist.txt at every end of data, drawn by the sign
// view's renderer.
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
    const EmulatedController& controller() const { return controller_; }

  private:
    struct PendingReply {
        qint64 dueMs;
        QByteArray bytes;
        bool finishes;  // sending it satisfies --once
    };

    void handle(const ReceivedFrame& frame, qint64 nowMs);
    QString answer(const FrameResponse& response, qint64 nowMs);
    void writePictures();
    void collectAnimation();  // waits for the animation being written
    void log(const QString& line);

    EmulatorOptions options_;
    LogSink log_;
    EmulatedController controller_;
    PseudoTerminal terminal_;
    FrameParser parser_;
    std::vector<PendingReply> pending_;
    QSet<QString> written_;           // picture files this emulator wrote
    std::future<QString> animation_;  // playlist.png being written: the error, if any
    int wake_[2] = {-1, -1};
    bool finished_ = false;
};
