#pragma once

#include "core/OperatorSurface.h"

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <memory>

class LocalChannelClient;

// The window beside a running sign service (marquee-cli serve for the same
// settings): what it says of its signs, and its leave to use a sign's port.

// The service's status (the health of every sign), or an empty object when
// none runs. Waits a moment at most.
QJsonObject askServiceStatus(const QString& settingsFolder);

// The port of the sign called sign, held from the service: while the hold
// lives the service starts nothing on that port. Without a service, or for
// a sign it does not serve, there is nothing to hold and holding succeeds at
// once. While the service is busy on the port the surface says so and the
// hold waits; false when cancel was asked for meanwhile.
class ServicePortHold {
  public:
    ServicePortHold();
    ~ServicePortHold();
    ServicePortHold(const ServicePortHold&) = delete;
    ServicePortHold& operator=(const ServicePortHold&) = delete;

    bool take(const QString& settingsFolder, const QString& sign, OperatorSurface& surface,
              const std::atomic<bool>& cancel);

  private:
    std::unique_ptr<LocalChannelClient> m_client;
};
