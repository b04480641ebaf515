#include "platform/PictureFile.h"

#include "platform/AtomicFile.h"
#include "platform/PictureHeader.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Qt's reader refuses pictures above its own limit, 128 MB by default; ours
// is the pixel budget as RGB32, with room for one conversion.
constexpr int kQtAllocationLimitMb = static_cast<int>(kMaxPicturePixels * 4 * 2 / (1024 * 1024));

// ---- JPEG -----------------------------------------------------------------
//
// libjpeg reports errors by calling error_exit, which must not return; ours
// longjmps back into runJpegDecode. Everything that function touches lives
// in the plain JpegJob owned by its caller, so no C++ object is skipped by
// the jump and no local of the function that called setjmp changes after it.

struct JpegErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer to it is ours too
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

enum class JpegFailure { None, Decode, TooLarge };

struct JpegJob {
    // In.
    const unsigned char* data;
    unsigned long size;
    QSize target;  // empty = full size
    long maxPixels;
    long maxWorkBytes;
    long maxFramePixels;
    // Work.
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
    // Out. pixels is a malloc'ed RGB32 buffer handed over on success.
    unsigned char* pixels;
    unsigned int imageWidth;  // as the header says
    unsigned int imageHeight;
    unsigned int width;  // as decoded
    unsigned int height;
    JpegFailure failure;
    qint64 coefficientBytes;  // a progressive file's coefficients, from the header
};

[[noreturn]] void failJpeg(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (err->pub.msg_code == JERR_NO_BACKING_STORE) {
        // libjpeg asks for a temporary file when maxWorkBytes is not
        // enough; its own text for that would puzzle the user.
        std::snprintf(err->message, sizeof err->message, "picture needs too much memory");
    } else {
        (*cinfo->err->format_message)(cinfo, err->message);
    }
    std::longjmp(err->jump, 1);
}

// Called between the passes over a progressive file: a file with more
// scans than kMaxJpegScans is refused before it takes seconds.
void onJpegProgress(j_common_ptr cinfo) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number > kMaxJpegScans) {
        auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message,
                      "the picture has more than %d progressive scans", kMaxJpegScans);
        std::longjmp(err->jump, 1);
    }
}

void onJpegMessage(j_common_ptr cinfo, int msgLevel) {
    if (msgLevel != -1) {
        return;  // trace output
    }
    // Warnings mean corrupt data that libjpeg would paper over, e.g. with
    // grey for the missing end of a cut-short file. Those about metadata the
    // picture does not depend on are let through.
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JFIF_MAJOR || code == JWRN_BOGUS_ICC) {
        return;
    }
    failJpeg(cinfo);
}

// Decodes at the DCT scale jpegScaleDenominator picks for the target.
void chooseScale(JpegJob* job) {
    jpeg_decompress_struct* cinfo = &job->cinfo;
    const int denominator =
        jpegScaleDenominator(QSize(int(cinfo->image_width), int(cinfo->image_height)), job->target);
    if (denominator == 1) {
        return;
    }
    // The picture is only going to be shrunk to a screen of LEDs: the fast
    // integer transform and plain upsampling lose nothing visible there.
    cinfo->dct_method = JDCT_IFAST;
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->do_block_smoothing = FALSE;
    cinfo->scale_num = 1;
    cinfo->scale_denom = static_cast<unsigned int>(denominator);
    jpeg_calc_output_dimensions(cinfo);
}

inline std::uint32_t rgb32(unsigned int r, unsigned int g, unsigned int b) {
    return 0xff000000u | (r << 16) | (g << 8) | b;
}

inline unsigned int inkTimesBlack(unsigned int ink, unsigned int black) {
    return (ink * black + 127) / 255;
}

void convertRow(const JSAMPLE* in, std::uint32_t* out, unsigned int width, J_COLOR_SPACE space,
                bool invertedInk) {
    switch (space) {
        case JCS_GRAYSCALE:
            for (unsigned int x = 0; x < width; ++x) {
                out[x] = rgb32(in[x], in[x], in[x]);
            }
            break;
        case JCS_CMYK:
            for (unsigned int x = 0; x < width; ++x, in += 4) {
                // Adobe's files store 255 for no ink, plain CMYK stores 0.
                unsigned int c = in[0], m = in[1], y = in[2], k = in[3];
                if (!invertedInk) {
                    c = 255 - c;
                    m = 255 - m;
                    y = 255 - y;
                    k = 255 - k;
                }
                out[x] = rgb32(inkTimesBlack(c, k), inkTimesBlack(m, k), inkTimesBlack(y, k));
            }
            break;
        default:  // JCS_RGB
            for (unsigned int x = 0; x < width; ++x, in += 3) {
                out[x] = rgb32(in[0], in[1], in[2]);
            }
            break;
    }
}

// Returns false with job->failure set; the reason is in job->err.message
// for JpegFailure::Decode.
bool runJpegDecode(JpegJob* job) {
    job->cinfo.err = jpeg_std_error(&job->err.pub);
    job->err.pub.error_exit = failJpeg;
    job->err.pub.emit_message = onJpegMessage;
    if (setjmp(job->err.jump)) {
        jpeg_destroy_decompress(&job->cinfo);
        std::free(job->pixels);
        job->pixels = nullptr;
        if (job->failure == JpegFailure::None) {
            job->failure = JpegFailure::Decode;
        }
        return false;
    }
    jpeg_create_decompress(&job->cinfo);
    jpeg_decompress_struct* cinfo = &job->cinfo;
    cinfo->mem->max_memory_to_use = job->maxWorkBytes;
    job->progress.progress_monitor = onJpegProgress;
    cinfo->progress = &job->progress;
    jpeg_mem_src(cinfo, job->data, job->size);
    jpeg_read_header(cinfo, TRUE);

    switch (cinfo->jpeg_color_space) {
        case JCS_GRAYSCALE:
            cinfo->out_color_space = JCS_GRAYSCALE;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            cinfo->out_color_space = JCS_CMYK;
            break;
        default:
            cinfo->out_color_space = JCS_RGB;
            break;
    }
    const bool invertedInk = cinfo->saw_Adobe_marker;
    jpeg_calc_output_dimensions(cinfo);
    chooseScale(job);

    job->imageWidth = cinfo->image_width;
    job->imageHeight = cinfo->image_height;
    job->width = cinfo->output_width;
    job->height = cinfo->output_height;
    if (std::uint64_t(job->width) * job->height > std::uint64_t(job->maxPixels) ||
        std::uint64_t(job->imageWidth) * job->imageHeight > std::uint64_t(job->maxFramePixels)) {
        job->failure = JpegFailure::TooLarge;
        jpeg_destroy_decompress(cinfo);
        return false;
    }

    // A progressive file is read whole here, so libjpeg's memory cap applies
    // before our own buffer is taken.
    jpeg_start_decompress(cinfo);
    job->pixels =
        static_cast<unsigned char*>(std::malloc(std::size_t(job->width) * job->height * 4));
    if (job->pixels == nullptr) {
        std::snprintf(job->err.message, sizeof job->err.message, "not enough memory");
        job->failure = JpegFailure::Decode;
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 cinfo->output_width * cinfo->output_components, 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        auto* out = reinterpret_cast<std::uint32_t*>(job->pixels) +
                    std::size_t(cinfo->output_scanline) * job->width;
        if (jpeg_read_scanlines(cinfo, row, 1) != 1) {
            ERREXIT(cinfo, JERR_INPUT_EOF);
        }
        convertRow(row[0], out, job->width, cinfo->out_color_space, invertedInk);
    }
    // Every pixel is in; whatever follows the last scan is not needed, so
    // libjpeg is not asked to read on to the end marker.
    jpeg_destroy_decompress(cinfo);
    return true;
}

// Reads a JPEG header only: the size it decodes at for the target, and what
// a progressive file's coefficients take. False when the header is bad.
bool readJpegHeader(JpegJob* job) {
    job->cinfo.err = jpeg_std_error(&job->err.pub);
    job->err.pub.error_exit = failJpeg;
    job->err.pub.emit_message = onJpegMessage;
    if (setjmp(job->err.jump)) {
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    jpeg_create_decompress(&job->cinfo);
    jpeg_mem_src(&job->cinfo, job->data, job->size);
    jpeg_read_header(&job->cinfo, TRUE);
    const jpeg_decompress_struct& cinfo = job->cinfo;
    // Every coefficient of every component, 2 bytes each, at its own
    // sampling: width x height x components x 2 without subsampling.
    for (int c = 0; cinfo.progressive_mode && c < cinfo.num_components; ++c) {
        const jpeg_component_info& component = cinfo.comp_info[c];
        job->coefficientBytes += qint64(component.width_in_blocks) * component.height_in_blocks *
                                 DCTSIZE2 * qint64(sizeof(JCOEF));
    }
    jpeg_calc_output_dimensions(&job->cinfo);
    chooseScale(job);
    job->width = job->cinfo.output_width;
    job->height = job->cinfo.output_height;
    jpeg_destroy_decompress(&job->cinfo);
    return true;
}

void freePixels(void* pixels) {
    std::free(pixels);
}

// ---- Other formats ----------------------------------------------------------

PictureLoad decodeWithQt(const QByteArray& data, const char* format, qint64 maxPixels) {
    // The limit is process wide; raise it where it is lower than ours.
    if (QImageReader::allocationLimit() < kQtAllocationLimitMb) {
        QImageReader::setAllocationLimit(kQtAllocationLimitMb);
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // The size is known before decoding, or the picture is refused. For a
    // BMP it is the size our own reading of the header gives (Qt's reader
    // gives none for headers it finds absurd, such as over 16384 rows), and
    // a header that Qt reads otherwise is damaged (found by fuzzing: Qt took
    // an unknown header for 16-bit sizes and decoded a picture far larger
    // than any budget check had seen).
    const bool bmp = qstrcmp(format, "bmp") == 0;
    const QSize qtSize = reader.size();
    const QSize size = bmp ? bmpHeaderSize(data) : qtSize;
    if (size.isEmpty() || (bmp && qtSize.isValid() && qtSize != size)) {
        return {QImage(), QStringLiteral("the picture's header gives no usable size")};
    }
    const QString tooLarge = pictureBudgetError(size, size, maxPixels, maxPixels);
    if (!tooLarge.isEmpty()) {
        return {QImage(), tooLarge};
    }
    // Qt's BMP reader fills missing rows in silently, so a file cut short
    // (or a tiny file claiming a huge picture) would load mostly blank.
    if (bmp && bmpCutShort(data, data.size())) {
        return {QImage(), QStringLiteral("the file is cut short: it holds fewer pixel rows than "
                                         "its header says")};
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        return {QImage(), reader.errorString()};
    }
    if (image.size() != size) {
        return {QImage(), QStringLiteral("the picture is not the size its header says")};
    }
    // A sign shows no transparency: transparent parts become unlit, black.
    if (!image.hasAlphaChannel()) {
        return {image.convertToFormat(QImage::Format_RGB32), QString()};
    }
    QImage opaque = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < opaque.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(opaque.scanLine(y));
        for (int x = 0; x < opaque.width(); ++x) {
            line[x] = qPremultiply(line[x]) | 0xff000000u;
        }
    }
    opaque.reinterpretAsFormat(QImage::Format_RGB32);
    return {opaque, QString()};
}

}  // namespace

PictureLoad decodeJpeg(const QByteArray& data, QSize targetSize, const PictureLimits& limits) {
    if (data.isEmpty()) {
        return {QImage(), QStringLiteral("no picture data")};
    }
    // Value-initialised: all zero, as runJpegDecode expects.
    auto job = std::make_unique<JpegJob>();
    job->data = reinterpret_cast<const unsigned char*>(data.constData());
    job->size = static_cast<unsigned long>(data.size());
    job->target = targetSize.isValid() ? targetSize : QSize();
    job->maxPixels = static_cast<long>(limits.pixels);
    job->maxWorkBytes = static_cast<long>(limits.jpegWorkBytes);
    job->maxFramePixels = static_cast<long>(limits.jpegFramePixels);
    if (!runJpegDecode(job.get())) {
        if (job->failure == JpegFailure::TooLarge) {
            return {QImage(), pictureBudgetError(QSize(int(job->imageWidth), int(job->imageHeight)),
                                                 QSize(int(job->width), int(job->height)),
                                                 limits.pixels, limits.jpegFramePixels)};
        }
        return {QImage(), QString::fromLocal8Bit(job->err.message)};
    }
    const int width = static_cast<int>(job->width);
    const int height = static_cast<int>(job->height);
    QImage image(job->pixels, width, height, width * 4, QImage::Format_RGB32, freePixels,
                 job->pixels);
    if (image.isNull()) {
        std::free(job->pixels);
        return {QImage(), QStringLiteral("not enough memory")};
    }
    return {image, QString()};
}

PictureLoad decodeBmp(const QByteArray& data, const PictureLimits& limits) {
    return decodeWithQt(data, "bmp", limits.pixels);
}

PictureLoad decodePng(const QByteArray& data, const PictureLimits& limits) {
    // The header check first: it refuses chunks longer than the data.
    const PictureHeader header = parsePictureHeader(data, data.size(), QSize());
    if (header.kind == PictureKind::Png && !header.error.isEmpty()) {
        return {QImage(), header.error};
    }
    return decodeWithQt(data, "png", limits.pixels);
}

PictureLoad decodePicture(const QByteArray& data, QSize targetSize, const PictureLimits& limits) {
    switch (pictureKindOf(data)) {
        case PictureKind::Bmp:
            return decodeBmp(data, limits);
        case PictureKind::Jpeg:
            return decodeJpeg(data, targetSize, limits);
        case PictureKind::Png:
            return decodePng(data, limits);
        case PictureKind::Unknown:
            break;
    }
    return {QImage(), data.isEmpty() ? QStringLiteral("the file is empty")
                                     : QStringLiteral("it is not %1").arg(acceptedPictureKinds())};
}

PictureLoad loadPicture(const QString& path, QSize targetSize, const PictureLimits& limits) {
    // The file is checked and its header read before the whole of it: a
    // picture that cannot be used costs no more than its first bytes.
    const PictureHeader header = probePicture(path, targetSize);
    if (!header.error.isEmpty()) {
        return {QImage(), header.error};
    }
    QByteArray data;
    QString error;
    if (!readWholeFile(path, kMaxPictureFileBytes, &data, &error)) {
        return {QImage(), pictureError(path, error)};
    }
    PictureLoad result = decodePicture(data, targetSize, limits);
    if (!result.error.isEmpty()) {
        result.error = pictureError(path, result.error);
    }
    return result;
}

qint64 decodeMemoryEstimate(const QString& path, QSize targetSize) {
    ReadableFile file;
    QString error;
    if (!file.open(path, kMaxPictureFileBytes, &error)) {
        return 0;  // refused before any decode
    }
    // The header, and with it any thumbnail and metadata before the frame.
    QByteArray start;
    if (!file.readAt(0, 256 * 1024, &start, &error)) {
        return file.size();
    }
    qint64 pixels = 0;
    qint64 workBytes = 0;
    if (pictureKindOf(start) == PictureKind::Jpeg) {
        auto job = std::make_unique<JpegJob>();
        job->data = reinterpret_cast<const unsigned char*>(start.constData());
        job->size = static_cast<unsigned long>(start.size());
        job->target = targetSize.isValid() ? targetSize : QSize();
        if (readJpegHeader(job.get())) {
            pixels = qint64(job->width) * job->height;
            workBytes = job->coefficientBytes;
        }
    } else {
        const PictureHeader header = parsePictureHeader(start, file.size(), targetSize);
        pixels = qint64(std::max(0, header.size.width())) * std::max(0, header.size.height());
    }
    return file.size() + workBytes + 2 * pixels * 4;
}

bool saveBmp(const QImage& image, const QString& path, QString* error) {
    if (image.isNull()) {
        *error = QStringLiteral("there is no picture to save");
        return false;
    }
    // Qt writes 24 bits per pixel for any format without a palette or alpha.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(rgb)) {
        *error = writer.errorString();
        return false;
    }
    return writeFileAtomically(path, buffer.data(), error);
}
