#pragma once

// A controller of our own on a real pseudo-terminal, linked as comN: it reads
// at the line rate (10 bits a byte), splits what arrives into frames with
// the one frame parser, answers an end of data with 0x01 and a read request
// with a chosen parameter reply, and remembers every frame.

#include "platform/PseudoTerminal.h"
#include "transfer/FrameParser.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class PacedController {
  public:
    PacedController(const QString& folder, int baud, bool answer = true)
        : m_bytesPerSecond(baud / 10), m_answer(answer) {
        QString error;
        m_ok = m_port.open(&error) && m_port.linkAs(folder, 1, &error);
        m_thread = std::thread([this] { serve(); });
    }
    ~PacedController() {
        m_stop = true;
        m_thread.join();
    }
    bool ok() const { return m_ok; }
    // The 36 bytes that answer a read request.
    void setParameterReply(const QByteArray& reply) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_parameterReply = reply;
    }
    std::vector<ReceivedFrame> frames() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }
    qint64 bytesRead() const { return m_bytes; }
    // When the first byte came, on QElapsedTimer's clock (ms); 0 before.
    qint64 firstByteAt() const { return m_firstByteAt; }
    // Whether part of a frame is held, cut short.
    bool inFrame() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_parser.inFrame();
    }
    int endFrames() const {
        int count = 0;
        for (const ReceivedFrame& frame : frames()) {
            count += frame.command == 0x01;
        }
        return count;
    }

  private:
    void serve() {
        QElapsedTimer clock;
        clock.start();
        qint64 allowed = 0;
        while (!m_stop) {
            // Never ahead of the line: what 10 bits a byte allow since the
            // last byte read.
            const qint64 budget = clock.elapsed() * m_bytesPerSecond / 1000 - allowed;
            const QByteArray data =
                m_port.read(10, static_cast<int>(qBound<qint64>(qint64(1), budget, qint64(4096))));
            if (data.isEmpty()) {
                clock.restart();
                allowed = 0;
                continue;
            }
            if (m_firstByteAt == 0) {
                QElapsedTimer now;
                now.start();
                m_firstByteAt = now.msecsSinceReference();
            }
            allowed += data.size();
            m_bytes += data.size();
            std::lock_guard<std::mutex> lock(m_mutex);
            m_parser.feed(data.constData(), static_cast<size_t>(data.size()));
            for (ReceivedFrame& frame : m_parser.takeFrames()) {
                QString error;
                if (m_answer && frame.command == 0x01) {
                    m_port.writeAll(QByteArray(1, '\x01'), 1000, &error);
                } else if (m_answer && frame.command == 0x05) {
                    m_port.writeAll(m_parameterReply, 1000, &error);
                }
                m_frames.push_back(std::move(frame));
            }
        }
    }

    PseudoTerminal m_port;
    int m_bytesPerSecond;
    bool m_answer;
    bool m_ok = false;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_bytes{0};
    std::atomic<qint64> m_firstByteAt{0};
    mutable std::mutex m_mutex;
    FrameParser m_parser;
    std::vector<ReceivedFrame> m_frames;
    QByteArray m_parameterReply;
    std::thread m_thread;
};
