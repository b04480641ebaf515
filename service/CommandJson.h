#pragma once

#include "service/SignService.h"

#include <QJsonObject>
#include <QString>

// A command of a face as JSON:
//   {"command": "send", "list": "lunch.lis", "full": false, "for": 600}
//   {"command": "text", "text": "Closed today", "layout": "one line", "colour": "red"}
//   {"command": "mode" | "time" | "read-para"}
// with "sign" naming the sign where the face has no other way to. "list"
// is a .lis in the sign folder; "text" takes the composer's options as a
// live page does. Every field is checked here as the command line checks
// it; the text's options when it is composed.

inline constexpr int kMaxMessageChars = 8000;
inline constexpr int kMaxHoldSeconds = 7 * 24 * 3600;

// Fills *command (keeping a sign already named there); empty when good,
// else what is wrong.
QString parseServiceCommand(const QJsonObject& object, ServiceCommand* command);

// The command word of a kind ("send", "text", ...).
QString commandName(ServiceCommandKind kind);
