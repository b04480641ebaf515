#pragma once

#include "controller/ControllerRecord.h"
#include "controller/Exchange.h"
#include "controller/Link.h"
#include "core/OperatorSurface.h"
#include "core/Settings.h"
#include "pages/PageList.h"
#include "transfer/PagePipeline.h"
#include "transfer/ParameterBlock.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The six commands to a controller, each one exchange over the link: open the
// port, write the transmission, judge the reply, show the outcome, close.

// How SEND goes.
struct SendOptions {
    PreparedPages* cache = nullptr;  // pages found here are not decoded again
    // Write only the pages that differ from what the controller holds, by
    // its record; without a record for the controller everything is sent.
    bool changedOnly = false;
    // Where the records of what each controller holds are kept; none: no
    // record is used or kept.
    const ControllerRecords* records = nullptr;
};

// SEND: the picture transfer of the list's pages. A module type without a
// family sends nothing and says nothing (stage Refused, empty reason). Every
// page is checked before the port opens; then page k is written while later
// pages are decoded and packed. A transfer of the changed pages prepares
// every page first, to compare them with the record. Once the controller
// acknowledged, its record holds what it now has; a transfer that wrote
// anything and was not acknowledged drops the record.
ExchangeResult sendPages(Link& link, OperatorSurface& surface, const Settings& settings,
                         const PageList& pages, const QString& folder,
                         const SendOptions& options = {});

// TIME: the controller's clock from now (the current time when invalid).
ExchangeResult setClock(Link& link, OperatorSurface& surface, const Settings& settings,
                        const QDateTime& now);

// MODE: the play table alone. No picture is read: only the pages' play
// entries are sent. The record, when kept, takes the new play table (or is
// dropped when the controller did not acknowledge).
ExchangeResult sendPlayModes(Link& link, OperatorSurface& surface, const Settings& settings,
                             const PageList& pages, const ControllerRecords* records = nullptr);

// READ PARA.
struct ReadParaResult : ParameterReply {
    ExchangeResult exchange;
    bool received = false;  // "read para success!": the dialog's num, width, high go to 0
};
// A reply that reports another screen or module type than settings drops
// the record; a failed one leaves it.
ReadParaResult readParameters(Link& link, OperatorSurface& surface, const Settings& settings,
                              const ControllerRecords* records = nullptr);

// "save parameter" of the advanced settings dialog. Drops the record: what
// the controller shows is then unknown.
ExchangeResult saveParameters(Link& link, OperatorSurface& surface, const Settings& settings,
                              const ControllerParameters& parameters,
                              const ControllerRecords* records = nullptr);

// "Download" of the advanced settings dialog: the setup image of a type.
// Drops the record too.
ExchangeResult downloadSetup(Link& link, OperatorSurface& surface, const Settings& settings,
                             const QByteArray& image, const ControllerRecords* records = nullptr);
