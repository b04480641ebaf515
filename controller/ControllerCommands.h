#pragma once

#include "controller/Exchange.h"
#include "controller/Link.h"
#include "core/OperatorSurface.h"
#include "core/Settings.h"
#include "pages/PageList.h"
#include "transfer/ParameterBlock.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// ---- TIME ----------------------------------------------------------------
// Clock frame, 13 bytes: NUM 55 AA 55 AA 02, then year (mod 100), weekday
// (Monday 1 .. Sunday 7, binary), month, day, hour, minute, second, all but
// the weekday in packed BCD. One reading of the clock gives every field.
QByteArray clockFrame(int num, const QDateTime& now);
ExchangeResult setClock(Link& link, OperatorSurface& surface, const Settings& settings,
                        const QDateTime& now);

// ---- MODE ----------------------------------------------------------------
// The play table alone: a write block to bank 7 at A holding N and the
// entries, then the end frame; for a type without a family only the end
// frame. Empty with a reason when the screen is too large for the memory.
QByteArray modeFrames(const Settings& settings, const PageList& pages, QString* refusal);
ExchangeResult sendPlayModes(Link& link, OperatorSurface& surface, const Settings& settings,
                             const PageList& pages);

// ---- READ PARA -----------------------------------------------------------
// Request: 00 55 AA 55 AA 05, whatever NUM is.
QByteArray readRequest();

struct ReadParaResult {
    ExchangeResult exchange;
    bool received = false;            // "read para success!": the dialog's num, width, high go to 0
    bool apply = false;               // the values below are to be shown
    bool defaultsReply = false;       // the controller reported number 0xFF
    ControllerParameters parameters;  // what the dialog shows
    // What the main window shows: NUM, TYPE, WIDTH, HEIGHT, BPS, SCAN (in
    // this order); the other settings as they were.
    Settings settings;
};

// Interprets a 36-byte framed reply: a normal reply shows its block; a
// defaults reply (num 0xFF) shows the defaults of the reported type, or
// nothing for a type above 26.
ReadParaResult interpretParameterReply(const QByteArray& reply, const Settings& current);

ReadParaResult readParameters(Link& link, OperatorSurface& surface, const Settings& settings);

// ---- save parameter ------------------------------------------------------
ExchangeResult saveParameters(Link& link, OperatorSurface& surface, const Settings& settings,
                              const ControllerParameters& parameters);

// The main window's settings after a save or a download: NUM, WIDTH,
// HEIGHT, SCAN, COLOR-SWAP (data com) and BPS (same list position) from the
// dialog's parameters, clamped into the settings' ranges.
Settings settingsAfterSave(const Settings& current, const ControllerParameters& parameters);

// ---- Download ------------------------------------------------------------
constexpr int kSetupImageBytes = 16384;

struct SetupImage {
    QByteArray image;  // 16384 bytes
    QString error;     // "can not find this type!" or why the file is refused
};

// The image of module type `type` from folder/"setup" + type: 0xFF
// everywhere, then the second byte of each pair of the file in turn.
SetupImage loadSetupImage(const QString& folder, int type);

// The image made from a setup file's bytes (at most 32768, an even count).
QByteArray setupImageFromPairs(const QByteArray& pairs);

// The download frame, 16405 bytes: write block (bank 0, address 0x8000,
// length 16388), the image, "dow", the check byte (0xFF minus the low 8 bits
// of the sum of image and tag), then the frame header with command 0x03.
QByteArray downloadFrame(const QByteArray& image);

ExchangeResult downloadSetup(Link& link, OperatorSurface& surface, const Settings& settings,
                             const QByteArray& image);
