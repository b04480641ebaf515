#pragma once

#include <QString>

// The names the window shows for module types and entry effects: clear ones,
// translated, the number in front ("T0 — dual colour, no fold", "25 — wipe
// from the top-left corner"). The codes are what is stored and sent; the
// lists' order stays the protocol's.
QString moduleTypeName(int type);
QString effectName(int code);
