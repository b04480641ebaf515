#pragma once

#include <QObject>

#include <map>
#include <vector>

class LocalChannelServer;
class SignService;

// What the service answers on its local socket, a JSON object a line:
//   {"request": "status"}            -> the health of every sign
//   {"request": "run", "command": ..., "sign": ...}  (as the faces' JSON)
//                                    -> {"result": {...}} once done
//   {"request": "hold", "sign": N}   -> {"held": N} once the port is free;
//                                       it is the asker's until "release"
//                                       or until it goes
//   {"request": "release", "sign": N}
class ServiceChannel : public QObject {
    Q_OBJECT
  public:
    ServiceChannel(SignService& service, LocalChannelServer& server, QObject* parent = nullptr);

  private:
    void handle(int client, const class QJsonObject& request);
    SignService& m_service;
    LocalChannelServer& m_server;
    std::map<int, std::map<QString, int>> m_holds;  // client -> sign -> hold
};
