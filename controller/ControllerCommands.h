#pragma once

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

// SEND: the picture transfer of the list's pages. A module type without a
// family sends nothing and says nothing (stage Refused, empty reason). Every
// page is checked before the port opens; then page k is written while later
// pages are decoded and packed (pages found in cache are not decoded again).
ExchangeResult sendPages(Link& link, OperatorSurface& surface, const Settings& settings,
                         const PageList& pages, const QString& folder,
                         PreparedPages* cache = nullptr);

// TIME: the controller's clock from now (the current time when invalid).
ExchangeResult setClock(Link& link, OperatorSurface& surface, const Settings& settings,
                        const QDateTime& now);

// MODE: the play table alone. No picture is read: only the pages' play
// entries are sent.
ExchangeResult sendPlayModes(Link& link, OperatorSurface& surface, const Settings& settings,
                             const PageList& pages);

// READ PARA.
struct ReadParaResult : ParameterReply {
    ExchangeResult exchange;
    bool received = false;  // "read para success!": the dialog's num, width, high go to 0
};
ReadParaResult readParameters(Link& link, OperatorSurface& surface, const Settings& settings);

// "save parameter" of the advanced settings dialog.
ExchangeResult saveParameters(Link& link, OperatorSurface& surface, const Settings& settings,
                              const ControllerParameters& parameters);

// "Download" of the advanced settings dialog: the setup image of a type.
ExchangeResult downloadSetup(Link& link, OperatorSurface& surface, const Settings& settings,
                             const QByteArray& image);
