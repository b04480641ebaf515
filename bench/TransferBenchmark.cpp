// What an operator waits for in the largest transfer: 255 pages of photos on
// a dual-colour 112 x 62 sign at 115200 Bd, sent to a reader that drains the
// line at its rate (10 bits a byte). Reports the time to the first byte and
// the total time against the line time, for full-HD
// baseline, 12-megapixel baseline and 12-megapixel progressive photos.
//
// MARQUEE_THREADS forces the decode threads (to compare machines);
// MARQUEE_BENCH_DIR keeps the photos, ck.ini and photos.lis there for a run
// of marquee-cli.

#include "controller/ControllerCommands.h"
#include "platform/Fonts.h"
#include "tests/PacedController.h"
#include "transfer/GlyphTable.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

constexpr int kPhotos = 12;  // distinct photos; the 255 pages take them in turn

// Photo-like pictures: colour fields, shapes and fine noise, different in
// each photo, which JPEG compresses about as well as a photograph.
QImage makePhoto(QSize size, int seed) {
    QRandomGenerator random(quint32(seed) * 7919u + 1);
    QImage photo(size, QImage::Format_RGB32);
    QPainter painter(&photo);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 160, 230));
    sky.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 90));
    painter.fillRect(photo.rect(), sky);
    for (int i = 0; i < 40; ++i) {
        painter.setBrush(QColor::fromHsv(int(random.bounded(360)), 180, int(random.bounded(256))));
        painter.setPen(Qt::NoPen);
        const int w = int(random.bounded(size.width() / 3)) + 8;
        painter.drawEllipse(int(random.bounded(size.width())), int(random.bounded(size.height())),
                            w, w * 2 / 3);
    }
    painter.end();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(random.bounded(24)) - 12;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255),
                           qBound(0, qBlue(c) + n, 255));
        }
    }
    return photo;
}

struct Setup {
    QTemporaryDir temporary;
    QString folder;
    Settings settings;
    PageList pages;
};

void prepare(Setup& setup, QSize size, bool progressive) {
    const QString kept = qEnvironmentVariable("MARQUEE_BENCH_DIR");
    setup.folder = kept.isEmpty() ? setup.temporary.path() : kept;
    QDir().mkpath(setup.folder);
    QByteArray list;
    for (int i = 0; i < kPhotos; ++i) {
        QImageWriter writer(QDir(setup.folder).filePath(QStringLiteral("photo%1.jpg").arg(i)));
        writer.setQuality(90);
        writer.setProgressiveScanWrite(progressive);
        writer.write(makePhoto(size, i));
    }
    std::vector<PlayItem> items(PageList::kMaxPages);
    for (int page = 0; page < PageList::kMaxPages; ++page) {
        items[size_t(page)].FileName = QStringLiteral("photo%1.jpg").arg(page % kPhotos);
        list += items[size_t(page)].FileName.toUtf8() + "\r\n1\r\n0\r\n0\r\n5\r\n1\r\n";
    }
    setup.pages.loadPages(items);
    setup.settings.WIDTH = 112;
    setup.settings.HEIGHT = 62;
    setup.settings.TYPE = 0;
    setup.settings.BPS = 4;  // 115200
    QFile ini(QDir(setup.folder).filePath("ck.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write("1\r\n112\r\n62\r\n1\r\n16\r\n0\r\n0\r\n0\r\n0\r\n4\r\n");
    QFile lis(QDir(setup.folder).filePath("photos.lis"));
    lis.open(QIODevice::WriteOnly);
    lis.write(list);
}

struct QuietSurface : OperatorSurface {
    void setStatus(int, const QString&) override {}
    void message(const QString& text, const QString&) override { error = text; }
    QString error;
};

void BM_Send(benchmark::State& state, QSize size, bool progressive) {
    Setup setup;
    prepare(setup, size, progressive);
    glyphTable();  // the fonts are loaded once per program, not per transfer
    double firstByte = 0;
    double total = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        PacedController reader(setup.folder, 115200);
        QuietSurface surface;
        Link link(setup.folder, surface);
        QElapsedTimer clock;
        clock.start();
        const ExchangeResult result =
            sendPages(link, surface, setup.settings, setup.pages, setup.folder);
        total = clock.elapsed() / 1000.0;
        firstByte = (reader.firstByteAt() - clock.msecsSinceReference()) / 1000.0;
        bytes = result.bytes;
        if (result.reply != ReplyOutcome::Matches) {
            state.SkipWithError(qPrintable(surface.error + result.reason));
            return;
        }
    }
    const double line = bytes * 10.0 / 115200.0;
    state.counters["bytes"] = double(bytes);
    state.counters["line_s"] = line;
    state.counters["first_byte_s"] = firstByte;
    state.counters["total_s"] = total;
    state.counters["total_over_line_pct"] = (total - line) / line * 100.0;
    state.counters["threads"] = pipelineThreads();
}

BENCHMARK_CAPTURE(BM_Send, full_hd_baseline, QSize(1920, 1080), false)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Send, twelve_mp_baseline, QSize(4000, 3000), false)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Send, twelve_mp_progressive, QSize(4000, 3000), true)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    installFontConfig();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
