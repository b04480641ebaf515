// Building the largest picture transfer: 255 pages from full-HD JPEG photos
// on a dual-colour 96 x 64 screen (the pages fill most of the seven banks).
// Reports the build time against the transfer's line time at 115200 baud.

#include "pages/PageList.h"
#include "platform/Fonts.h"
#include "transfer/GlyphTable.h"
#include "transfer/Transmission.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

constexpr int kPhotos = 8;

// Photo-like pictures: smooth colour fields with fine noise, which JPEG
// compresses about as well as a real photograph (about 600 KB at quality
// 90). Every page gets a file of its own, as 255 different photos would.
void makePhotos(const QString& folder) {
    QRandomGenerator random(42);
    for (int i = 0; i < kPhotos; ++i) {
        QImage photo(1920, 1080, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x) {
                const int noise = static_cast<int>(random.bounded(24));
                line[x] = qRgb((x / 8 + i * 30 + noise) & 0xFF, (y / 5 + noise) & 0xFF,
                               ((x + y) / 16 + i * 50) & 0xFF);
            }
        }
        photo.save(QDir(folder).filePath(QStringLiteral("photo%1.jpg").arg(i)), "JPEG", 90);
    }
    for (int page = 1; page <= PageList::kMaxPages; ++page) {
        QFile::copy(QDir(folder).filePath(QStringLiteral("photo%1.jpg").arg(page % kPhotos)),
                    QDir(folder).filePath(QStringLiteral("page%1.jpg").arg(page)));
    }
}

void BM_BuildLargestTransfer(benchmark::State& state) {
    QTemporaryDir dir;
    makePhotos(dir.path());
    Settings settings;
    settings.WIDTH = 96;
    settings.HEIGHT = 64;
    settings.TYPE = 0;
    settings.BPS = 4;  // 115200
    PageList pages;
    for (int i = 1; i < PageList::kMaxPages; ++i) {
        pages.addPage();
    }
    for (int i = 0; i < PageList::kMaxPages; ++i) {
        pages.selectTab(i);
        pages.setPagePicture(QStringLiteral("page%1.jpg").arg(i + 1));
    }
    glyphTable();  // the fonts are loaded once per program, not per transfer
    qsizetype bytes = 0;
    for (auto _ : state) {
        const TransferBuild build = buildTransfer(settings, pages, dir.path(), nullptr);
        if (!build.error.isEmpty()) {
            state.SkipWithError(build.error.toUtf8().constData());
            return;
        }
        bytes = build.bytes.size();
        benchmark::DoNotOptimize(build.bytes.data());
    }
    const double lineSeconds = static_cast<double>(bytes) * 10.0 / 115200.0;
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["line_s"] = lineSeconds;
    state.counters["photo_bytes"] =
        static_cast<double>(QFileInfo(QDir(dir.path()).filePath("photo0.jpg")).size());
}
BENCHMARK(BM_BuildLargestTransfer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

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
