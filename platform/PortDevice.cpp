#include "platform/PortDevice.h"

#include "platform/NetworkPort.h"
#include "platform/SerialDevice.h"

bool isNetworkPort(const QString& path) {
    return path.startsWith(QLatin1String("tcp://")) || path.startsWith(QLatin1String("rfc2217://"));
}

std::unique_ptr<PortDevice> makePortDevice(const QString& path) {
    if (isNetworkPort(path)) {
        return std::make_unique<NetworkPort>();
    }
    return std::make_unique<SerialDevice>();
}
