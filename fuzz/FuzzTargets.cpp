// libFuzzer entry points, one per target; FUZZ_TARGET selects which this
// file builds. Each feeds arbitrary bytes to one of the parsers that take
// input from outside: files, replies, frames on the line.

#include "core/SettingsFile.h"
#include "emulator/EmulatedController.h"
#include "emulator/Line.h"
#include "import/TextComposer.h"
#include "pages/PlayListFile.h"
#include "platform/Fonts.h"
#include "platform/MultipartForm.h"
#include "platform/PictureFile.h"
#include "transfer/FrameParser.h"
#include "transfer/ParameterBlock.h"
#include "transfer/SetupImage.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace {

QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

#if defined(FUZZ_BMP) || defined(FUZZ_JPEG) || defined(FUZZ_PNG)
// Every decode here must be quick, so the budget is far below the program's:
// the limits are what is tested, not how long a large picture takes. JPEG
// frames are bounded as libjpeg-turbo's own fuzzers bound them (entropy
// decoding reads every block even when decoding reduced).
const PictureLimits kFuzzLimits{512 * 512, 8 * 1024 * 1024, 512 * 512};

// Decodes and checks what every decoder promises: a picture within the
// budget in the one format the encoders read, or an error and no picture.
void checkDecoded(const PictureLoad& load) {
    if (load.error.isEmpty() == load.image.isNull()) {
        __builtin_trap();
    }
    if (!load.image.isNull() &&
        (load.image.format() != QImage::Format_RGB32 ||
         qint64(load.image.width()) * load.image.height() > kFuzzLimits.pixels)) {
        __builtin_trap();
    }
}

// Picture headers are read twice, cheaply before a transfer and fully by
// the decoder; a header the cheap check refuses must not decode.
void checkHeaderAgrees(const QByteArray& input, const PictureLoad& load, QSize target) {
    const PictureHeader header = parsePictureHeader(input, input.size(), target);
    if (!load.image.isNull() && header.kind == PictureKind::Unknown) {
        __builtin_trap();
    }
}
#endif

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Text drawing needs fonts and a platform; nothing is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    installFontConfig();
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = bytesOf(data, size);
#if defined(FUZZ_SETTINGS)
    Settings settings;
    parseSettings(input, &settings);
    const auto values = settingValues(settings);
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingDef& def = settingDefs()[static_cast<size_t>(i)];
        if (values[static_cast<size_t>(i)] < def.minimum ||
            values[static_cast<size_t>(i)] > def.maximum) {
            __builtin_trap();  // a value out of its range got through
        }
    }
#elif defined(FUZZ_PLAYLIST)
    const PlayListParse parse = parsePlayList(input);
    if (parse.pages.size() > static_cast<size_t>(PageList::kMaxPages)) {
        __builtin_trap();
    }
    PageList pages;
    pages.loadPages(parse.pages);
    const QByteArray saved = formatPlayList(pages.items(), pages.PageCount());
    // What was loaded saves and loads back to the same pages.
    if (!parse.pages.empty() && parsePlayList(saved).pages.size() != parse.pages.size()) {
        __builtin_trap();
    }
#elif defined(FUZZ_BMP)
    const PictureLoad load = decodeBmp(input, kFuzzLimits);
    checkDecoded(load);
    checkHeaderAgrees(input, load, QSize());
#elif defined(FUZZ_JPEG)
    // Mostly a 64 x 16 screen, where large pictures decode reduced.
    const QSize target = size % 4 == 0 ? QSize() : QSize(64, 16);
    const PictureLoad load = decodeJpeg(input, target, kFuzzLimits);
    checkDecoded(load);
    checkHeaderAgrees(input, load, target);
#elif defined(FUZZ_PNG)
    const PictureLoad load = decodePng(input, kFuzzLimits);
    checkDecoded(load);
    checkHeaderAgrees(input, load, QSize());
#elif defined(FUZZ_SETUP)
    // Through the file, as the download reads it.
    static QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("setup3"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(input) != input.size()) {
        __builtin_trap();
    }
    file.close();
    const SetupImage setup = loadSetupImage(folder.path(), 3);
    const bool fits = input.size() % 2 == 0 && input.size() <= 2 * kSetupImageBytes;
    if (setup.error.isEmpty() != fits || (fits && setup.image != setupImageFromPairs(input))) {
        __builtin_trap();
    }
    if (fits && setup.image.size() != kSetupImageBytes) {
        __builtin_trap();
    }
#elif defined(FUZZ_EMULATOR)
    // The first bytes choose the controller's screen; the rest arrives on
    // the line in two pieces.
    if (size < 3) {
        return 0;
    }
    ControllerSetup setup;
    ControllerParameters& p = setup.parameters;
    p = defaultParameters(data[2] % kTypeCount);
    p.width = 8 * (1 + data[0] % 32);
    p.height = 8 * (1 + data[1] % 8);
    p.scanMode = 1 + (data[0] >> 5) * 2;
    p.dataCom = (data[1] & 0x80) != 0;
    setup.rgSwap = (data[1] & 0x40) != 0;
    setup.reportDefaults = (data[2] & 0x80) != 0;
    setup.strict = (data[2] & 0x40) != 0;
    EmulatedController controller(setup);
    FrameParser parser;
    const size_t half = 3 + (size - 3) / 2;
    parser.feed(reinterpret_cast<const char*>(data) + 3, half - 3);
    parser.feed(reinterpret_cast<const char*>(data) + half, size - half);
    bool ended = false;
    for (const ReceivedFrame& frame : parser.takeFrames()) {
        const FrameResponse response = controller.handle(frame);
        const QByteArray reply = replyBytes(response);
        if ((response.form == FrameResponse::Form::None) != reply.isEmpty()) {
            __builtin_trap();
        }
        ended = ended || response.endOfData;
    }
    if (ended) {
        // What it shows fits its own screen, as its parameter block says now
        // (a save may have changed it).
        const ControllerParameters& now = controller.parameters();
        for (const ShownPage& page : controller.shownPages()) {
            if (page.image.width() != std::max<qint64>(now.width, 1) ||
                page.image.height() != std::max<qint64>(now.height, 1)) {
                __builtin_trap();
            }
        }
    }
    for (int bank = 0; bank < ControllerMemory::kBanks; ++bank) {
        if (controller.memory().bank(bank).size() != ControllerMemory::kBankBytes) {
            __builtin_trap();
        }
    }
#elif defined(FUZZ_FRAMES)
    FrameParser parser;
    // Fed in two pieces, as bytes arrive from a line.
    const size_t half = size / 2;
    parser.feed(reinterpret_cast<const char*>(data), half);
    parser.feed(reinterpret_cast<const char*>(data) + half, size - half);
    for (const ReceivedFrame& frame : parser.takeFrames()) {
        // A write block never carries more than its 16-bit length can say.
        if (frame.data.size() > 0xFFFF || frame.address > 0xFFFF || frame.bank > 0xFF) {
            __builtin_trap();
        }
    }
#elif defined(FUZZ_LINE)
    // What the controller makes of bytes on its line: the first byte picks
    // the rates at the two ends, the rest is the line.
    static const int kRates[4][2] = {{9600, 9600}, {115200, 9600}, {9600, 19200}, {57600, 38400}};
    const int* rates = kRates[size > 0 ? data[0] % 4 : 0];
    UartReceiver uart(rates[0], rates[1]);
    const QByteArray received = uart.receive(input.mid(1)) + uart.idle();
    FrameParser parser;
    parser.feed(received.constData(), static_cast<size_t>(received.size()));
    ControllerSetup setup;
    setup.strict = size > 0 && (data[0] & 4);
    EmulatedController controller(setup);
    for (const ReceivedFrame& frame : parser.takeFrames()) {
        const FrameResponse response = controller.handle(frame);
        if (response.form == FrameResponse::Form::StatusByte && response.code != frame.command) {
            __builtin_trap();  // an acknowledgement of another command
        }
    }
    // What the sign shows fits its own screen.
    const ControllerParameters& p = controller.parameters();
    for (const ShownPage& page : controller.shownPages()) {
        if (page.image.width() != std::max<qint64>(p.width, 1) ||
            page.image.height() != std::max<qint64>(p.height, 1)) {
            __builtin_trap();
        }
    }
#elif defined(FUZZ_READ_PARA)
    const ParameterReply result = interpretParameterReply(input, Settings{});
    if (result.settings.WIDTH < 8 || result.settings.WIDTH > 2048 || result.settings.TYPE < 0 ||
        result.settings.TYPE > 26 || result.settings.SCAN < 1 || result.settings.SCAN > 16) {
        __builtin_trap();
    }
#elif defined(FUZZ_TEXT)
    // The first byte picks the layout, the second the screen; the rest is
    // the text file.
    static const QSize screens[] = {{8, 8},    {16, 8},   {64, 16}, {96, 64},
                                    {160, 32}, {512, 48}, {2048, 8}};
    const QSize screen = size > 1 ? screens[data[1] % std::size(screens)] : QSize(64, 16);
    ComposeOptions options;
    const uint8_t mode = size > 0 ? data[0] : 0;
    options.layout = (mode & 1) ? TextLayout::ManyLine : TextLayout::OneLine;
    options.continuous = (mode & 2) != 0;
    options.center = (mode & 4) != 0;
    options.wordWrap = (mode & 8) != 0;
    options.linesPerPage = 1 + (mode >> 4);
    const TextComposition composition(decodeText(input.mid(2)), screen, options);
    if (composition.error().isEmpty() && composition.pageCount() > PageList::kMaxPages) {
        __builtin_trap();
    }
    if (composition.pageCount() > 0) {
        const QImage last = composition.page(composition.pageCount());
        if (last.size() != screen) {
            __builtin_trap();
        }
    }
#elif defined(FUZZ_FORM)
    // The first line is the Content-Type header, the rest the body.
    const qsizetype newline = input.indexOf('\n');
    QList<FormPart> parts;
    QString error;
    const QByteArray body = newline >= 0 ? input.mid(newline + 1) : QByteArray();
    if (parseMultipartForm(input.left(std::max<qsizetype>(newline, 0)), body, &parts, &error)) {
        qsizetype total = 0;
        for (const FormPart& part : parts) {
            total += part.data.size();
        }
        if (total > body.size()) {
            __builtin_trap();
        }
    }
#else
#error "FUZZ_TARGET not set"
#endif
    return 0;
}
