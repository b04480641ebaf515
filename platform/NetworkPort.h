#pragma once

#include "platform/PortDevice.h"

#include <QByteArray>
#include <QString>

#include <array>

// A serial server on the network, reached over TCP. tcp://HOST:PORT is a
// raw connection: the bytes go to the line as they are and the server sets
// the line. rfc2217://HOST:PORT speaks telnet with the COM port option of
// RFC 2217: the rate and 8N1 are set from here, the purges are asked of the
// server, and 0xFF data bytes are doubled on the way out and in.
class NetworkPort : public PortDevice {
  public:
    NetworkPort() = default;
    ~NetworkPort() override;
    NetworkPort(const NetworkPort&) = delete;
    NetworkPort& operator=(const NetworkPort&) = delete;

    bool open(const QString& path, QString* error) override;
    bool configure(int baud, QString* error) override;
    qint64 writeSome(const char* data, qint64 size, QString* error) override;
    bool waitWritable(int ms, QString* error) override;
    bool sleepUnlessHungUp(int ms, QString* error) override;
    int bytesQueuedOut() const override;
    bool waitUntilSent(QString* error) override;
    Wait waitReply(int timeoutMs, int count, QByteArray* reply) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }

    // Time limits: connecting, and the server's answers to the negotiation
    // and to the line settings.
    void setConnectTimeout(int ms) { connectTimeoutMs_ = ms; }

  private:
    enum class Option { No, Asked, Yes };
    // Reads what the socket holds now into the reply queue, answering the
    // telnet commands in it. False when the connection was closed.
    bool pump();
    void decode(const char* data, int size);
    void negotiate(unsigned char verb, unsigned char option);
    void subnegotiation(const QByteArray& body);
    bool sendControl(const QByteArray& bytes);
    bool flushPending(QString* error);
    // Waits until done() or ms have passed, reading and answering meanwhile.
    template <typename Done>
    bool waitFor(int ms, Done done);
    QString dropped(const QString& when) const;

    int fd_ = -1;
    bool telnet_ = false;
    QString address_;  // HOST:PORT, for the messages
    int connectTimeoutMs_ = 5000;
    QByteArray received_;  // data bytes not yet read by a reply wait
    QByteArray pending_;   // bytes for the socket that it has not taken yet
    bool closed_ = false;
    bool suspended_ = false;  // the server asked this side to stop sending for now
    // Telnet: where the decoder stands, and the options of both sides.
    int state_ = 0;
    unsigned char verb_ = 0;
    QByteArray sub_;
    std::array<Option, 256> local_{};
    std::array<Option, 256> remote_{};
    // The server's answers to the COM port settings: code - 100 -> value.
    std::array<qint64, 16> answered_{};
};
