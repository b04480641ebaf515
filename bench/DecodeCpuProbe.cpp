// CPU time to decode a 12-megapixel progressive JPEG for small signs, with
// every scan and with the scans the sign needs, in one run:
//   build/marquee_decode_probe [photo.jpg]
// Without a file it draws a 4000 x 3000 picture of noise over gradients and
// encodes it with cjpeg -progressive -quality 90 (libjpeg-turbo-progs).

#include "platform/PictureFile.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QByteArray makePhoto() {
    QImage picture(4000, 3000, QImage::Format_RGB32);
    std::uint32_t noise = 2463534242u;
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int n = int(noise & 63) - 32;
            const auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
            line[x] = qRgb(clamp(x * 255 / 3999 + n), clamp(y * 255 / 2999 + n),
                           clamp(((x / 50 + y / 40) % 2 != 0 ? 200 : 60) + n));
        }
    }
    QTemporaryDir dir;
    const QString ppm = dir.filePath("photo.ppm");
    picture.save(ppm, "PPM");
    QProcess cjpeg;
    cjpeg.start(QStringLiteral("cjpeg"), {"-progressive", "-quality", "90", ppm});
    if (!cjpeg.waitForFinished(120000) || cjpeg.exitCode() != 0) {
        std::fprintf(stderr, "cjpeg failed: %s\n", cjpeg.readAllStandardError().constData());
        return QByteArray();
    }
    return cjpeg.readAllStandardOutput();
}

}  // namespace

int main(int argc, char** argv) {
    QByteArray photo;
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        if (file.open(QIODevice::ReadOnly)) {
            photo = file.readAll();
        }
    } else {
        photo = makePhoto();
    }
    if (photo.isEmpty()) {
        std::fprintf(stderr, "no photo\n");
        return 1;
    }
    std::printf("photo: %lld bytes\n", static_cast<long long>(photo.size()));
    constexpr int kRounds = 10;
    for (const QSize sign : {QSize(64, 16), QSize(112, 62)}) {
        double perDecode[2] = {};
        QImage images[2];
        const JpegScans ways[2] = {JpegScans::All, JpegScans::NeededOnly};
        for (int way = 0; way < 2; ++way) {
            const double start = cpuSeconds();
            for (int round = 0; round < kRounds; ++round) {
                const PictureLoad load = decodeJpeg(photo, sign, PictureLimits(), ways[way]);
                if (!load.error.isEmpty()) {
                    std::fprintf(stderr, "%s\n", qPrintable(load.error));
                    return 1;
                }
                images[way] = load.image;
            }
            perDecode[way] = (cpuSeconds() - start) / kRounds * 1000;
        }
        std::printf(
            "%d x %d sign: every scan %.1f ms CPU, needed scans %.1f ms CPU "
            "(%.1f times less), %s, decoded %d x %d, same pixels: %s\n",
            sign.width(), sign.height(), perDecode[0], perDecode[1], perDecode[0] / perDecode[1],
            jpegDecodesFromDcScans(photo, sign) ? "DC scans" : "whole file", images[1].width(),
            images[1].height(), images[0] == images[1] ? "yes" : "NO");
    }
    return 0;
}
