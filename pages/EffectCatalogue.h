#pragma once

#include <QString>
#include <QStringList>

// The entry effects the controller knows, in code order: a page's InMode is
// the index of its effect here, and the order is part of the protocol.
const QStringList& entryEffects();

// The exit effects of the hidden OutModeList (never sent to the controller).
const QStringList& exitEffects();

// The add modes of the hidden AddModeList: "静止" and "连续".
const QStringList& addModes();

// What a list shows for a stored code it does not hold (a hand-edited play
// list): a clearly marked entry, never another effect's name.
QString unknownCodeText(int code);
