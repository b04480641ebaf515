// libFuzzer entry points, one per target; FUZZ_TARGET selects which this
// file builds. Each feeds arbitrary bytes to one of the parsers that take
// input from outside: files, replies, frames on the line.

#include "core/SettingsFile.h"
#include "emulator/EmulatedController.h"
#include "emulator/Line.h"
#include "import/TextComposer.h"
#include "pages/PlayListFile.h"
#include "platform/Fonts.h"
#include "platform/PictureFile.h"
#include "transfer/FrameParser.h"
#include "transfer/ParameterBlock.h"
#include "transfer/SetupImage.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

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
    decodeBmp(input);
#elif defined(FUZZ_JPEG)
    decodeJpeg(input, QSize(64, 16));
#elif defined(FUZZ_SETUP)
    if (setupImageFromPairs(input).size() != kSetupImageBytes) {
        __builtin_trap();
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
    // The first byte picks the layout; the rest is the text file.
    ComposeOptions options;
    const uint8_t mode = size > 0 ? data[0] : 0;
    options.layout = (mode & 1) ? TextLayout::ManyLine : TextLayout::OneLine;
    options.continuous = (mode & 2) != 0;
    options.center = (mode & 4) != 0;
    options.wordWrap = (mode & 8) != 0;
    options.linesPerPage = 1 + (mode >> 4);
    const TextComposition composition(decodeText(input.mid(1)), QSize(64, 16), options);
    if (composition.error().isEmpty() && composition.pageCount() > PageList::kMaxPages) {
        __builtin_trap();
    }
    if (composition.pageCount() > 0) {
        const QImage last = composition.page(composition.pageCount());
        if (last.size() != QSize(64, 16)) {
            __builtin_trap();
        }
    }
#else
#error "FUZZ_TARGET not set"
#endif
    return 0;
}
