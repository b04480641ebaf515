#pragma once

#include "core/Settings.h"
#include "pages/PageList.h"

#include <QString>
#include <QStringList>

#include <vector>

// What the operator should know before a transfer starts, found without
// opening the port: pages beyond the controller's capacity, columns the
// packing cuts, pictures that cannot be used, and what the transfer will
// cost on the line.

struct SendEstimate {
    qint64 bytes = 0;      // the whole transmission
    qint64 lineMs = 0;     // its time on the line: 10 bits a byte at the BPS rate
    int pagesSent = 0;     // N
    int pagesThatFit = 0;  // the capacity, "MAX n PAGES"
    int banksUsed = 0;     // page banks holding the pages sent, of kPageBanks
};

struct SendFinding {
    enum class Kind { NotSendable, Picture, Capacity, ColumnsCut };
    Kind kind;
    QString text;
    bool blocking;  // nothing can be sent while it holds
};

struct SendReview {
    std::vector<SendFinding> findings;
    SendEstimate estimate;

    // Whether sending is possible at all (no blocking finding).
    bool canSend() const;
    // The estimate in one line: bytes, line time, banks, pages that fit.
    QString estimateText(int baud) const;
    // Every finding, one a line.
    QStringList texts() const;
};

// SEND. pictureFindings are the texts of the pages whose picture cannot be
// used, from the cheap picture check run before the port opens; each
// becomes a blocking finding. A module type without a family gives an
// empty review: SEND does nothing for it.
SendReview reviewSend(const Settings& settings, const PageList& pages,
                      const QStringList& pictureFindings);

// MODE: the play table alone, so only the capacity counts.
SendReview reviewMode(const Settings& settings, const PageList& pages);
