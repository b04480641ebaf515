#pragma once

#include "platform/HttpServer.h"

#include <QImage>
#include <QObject>

class SignService;
struct ServiceCommand;
struct Settings;

// The routes of the service's HTTP face, JSON in and out:
//   GET  /api/signs                      every sign, its settings and health
//   GET  /api/signs/NAME/preview.png?page=K&zoom=Z
//                                        page K of what the sign shows, as its sign view
//   POST /api/signs/NAME/text            {"text": ..., composer options, "for": S}
//   POST /api/signs/NAME/text/preview.png?zoom=Z
//                                        the same text composed, not sent: its pages
//   POST /api/signs/NAME/list            multipart form: a .lis and its pictures
//                                        (or one picture alone), kept and sent
//   POST /api/signs/NAME/send|mode|time|read-para   {"list": ..., "full": ..., "for": ...}
//   GET  /, /app.js, /style.css          the web page
// Commands answer with the service's result and the status that fits it:
// 200, 400 what was wrong, 404 unknown sign, 409 busy, 502 no reply, 503
// the port failed.
class HttpRoutes : public QObject {
    Q_OBJECT
  public:
    HttpRoutes(SignService& service, HttpServer& server, QObject* parent = nullptr);

  private:
    void handle(const HttpRequest& request, const HttpResponder& respond);
    void signRoute(const QString& name, const QString& what, const HttpRequest& request,
                   const HttpResponder& respond);
    void listUpload(const QString& name, const HttpRequest& request, const HttpResponder& respond);
    // The command the path and body ask for; empty when good, else what is wrong.
    QString parseCommand(const QString& name, const QString& command, const QJsonObject& body,
                         ServiceCommand* parsed) const;
    void submit(const ServiceCommand& command, const HttpResponder& respond);
    HttpResponse signsJson() const;
    HttpResponse preview(const QString& name, const HttpRequest& request) const;
    HttpResponse textPreview(const QString& name, const HttpRequest& request) const;

    SignService& m_service;
    quint64 m_uploads = 0;
};

// A picture as the sign view shows it: fitted to the screen and lit as the
// controller lights it, zoom screen pixels to a LED, drawn as dots.
QImage signViewImage(const QImage& picture, const Settings& settings, int zoom);
