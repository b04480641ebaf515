#pragma once

#include "core/ProgramFolder.h"
#include "platform/MqttClient.h"
#include "service/MqttFace.h"

#include <QString>
#include <QStringList>

// serve's broker options (--mqtt URL --site NAME --mqtt-ca FILE --mqtt-user
// NAME --mqtt-password-file FILE --discovery PREFIX), from its "--name
// value" pairs. *wanted is false when --mqtt is not given; empty when good,
// else what is wrong.
QString readMqttOptions(const QStringList& args, const Folders& folders, bool* wanted,
                        MqttEndpoint* endpoint, MqttFaceOptions* options);
