#pragma once

#include <QString>

// The topics of a site on the broker:
//   marquee/SITE/SIGN/status   retained: the sign's health; state "offline"
//                              once its service has gone
//   marquee/SITE/SIGN/cmd      commands to the sign; SIGN "*": every sign
//   marquee/SITE/SIGN/result   the result of each command
//   marquee/SITE/$service      retained: "online", or "offline" once gone
// A sign's name stands in a topic as it is, but for the bytes that have a
// meaning there, which are written %XX (the hexadecimal of each UTF-8 byte):
// '/', '+', '#', '*', '$', '%', space and the control characters. The name
// "Gate 2/North" is "Gate%202%2FNorth".

QString topicLevel(const QString& sign);
// The sign a level names; false when it is not a level topicLevel makes.
bool signOfLevel(const QString& level, QString* sign);

// Sites are named by their operators: letters, digits, '-', '_' and '.'.
bool validSiteName(const QString& site);

QString signTopic(const QString& site, const QString& sign, const QString& leaf);
QString serviceTopic(const QString& site);
// What the service subscribes to: every sign's cmd, "*" too.
QString commandPattern(const QString& site);
