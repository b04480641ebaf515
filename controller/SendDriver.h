#pragma once

#include "controller/Link.h"
#include "core/OperatorSurface.h"
#include "core/Settings.h"
#include "pages/PageList.h"
#include "transfer/MemoryMap.h"

#include <QByteArray>
#include <QString>

// The whole picture transfer built in memory, in wire order:
//   per page i = 1..N  write block: bank (i-1) div S, address 0x0500 + ((i-1) mod S) * P,
//                      length P, then the packed page
//   glyph table        write block: bank 7, address 0x0D04, length 816
//   play table         write block: bank 7, address A, length 2 + 3N:
//                      N (16-bit), then InMode, DispSpeed, DispTime of each page
//   end frame          NUM 55 AA 55 AA 01
struct TransferBuild {
    QByteArray bytes;
    MemoryMap map;
    int pagesSent = 0;
    QString error;  // bad input: nothing may be sent
};

// Checks that the settings can be sent at all: the link speed is one of the
// five, and at least one page fits the controller memory. Empty when fine.
QString checkSendable(const Settings& settings, const MemoryMap& map);

// "MAX " n " PAGES".
QString capacityText(const MemoryMap& map);

// Builds the transfer of the list's pages with the settings' module type.
// Reports each page as it is prepared and the progress through surface (may
// be null). A page whose picture cannot be loaded makes it an error naming
// every such page.
TransferBuild buildTransfer(const Settings& settings, const PageList& pages, const QString& folder,
                            OperatorSurface* surface);

// The play table frame: a write block to bank 7 at A holding N (16-bit)
// and then InMode, DispSpeed, DispTime of pages 1..N (speed before time).
void appendPlayTableFrame(QByteArray& tx, uint8_t controller, const MemoryMap& map,
                          const PageList& pages, int count);

enum class SendStatus { Acknowledged, NoReply, WrongReply, PortError, BadInput, NotSent };

struct SendResult {
    SendStatus status = SendStatus::NotSent;
    QString detail;  // why the port failed, or why the input was refused
};

// SEND: the picture transfer over the link, with its messages. A module type
// without a family sends nothing and says nothing (NotSent).
SendResult sendPages(Link& link, OperatorSurface& surface, const Settings& settings,
                     const PageList& pages, const QString& folder);
