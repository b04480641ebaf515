#include "platform/PictureFile.h"

#include "platform/AtomicFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>

#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Qt's reader refuses pictures above its own limit, 128 MB by default.
constexpr int kQtAllocationLimitMb = static_cast<int>(kMaxPictureBytes / (1024 * 1024));

bool tooLarge(qint64 width, qint64 height) {
    // Divided, not multiplied: a header may claim sizes whose product
    // overflows even 64 bits.
    if (width <= 0 || height <= 0) {
        return false;
    }
    return width > kMaxPictureBytes / 4 / height;
}

QString tooLargeMessage(qint64 width, qint64 height) {
    return QStringLiteral("picture too large: %1 x %2 pixels").arg(width).arg(height);
}

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
    unsigned int targetWidth;  // 0 = full size
    unsigned int targetHeight;
    long maxWorkBytes;
    // Work.
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
    // Out. pixels is a malloc'ed RGB32 buffer handed over on success.
    unsigned char* pixels;
    unsigned int width;
    unsigned int height;
    JpegFailure failure;
    qint64 coefficientBytes;  // a progressive file's coefficients, from the header
};

[[noreturn]] void failJpeg(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (err->pub.msg_code == JERR_NO_BACKING_STORE) {
        // libjpeg asks for a temporary file when kMaxJpegWorkBytes is not
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

// Picks the smallest DCT scale that still covers the target in both
// directions, for pictures at least twice the target's size.
void chooseScale(JpegJob* job) {
    jpeg_decompress_struct* cinfo = &job->cinfo;
    if (job->targetWidth == 0 || job->targetHeight == 0 ||
        cinfo->image_width < 2 * job->targetWidth || cinfo->image_height < 2 * job->targetHeight) {
        return;
    }
    // The picture is only going to be shrunk to a screen of LEDs: the fast
    // integer transform and plain upsampling lose nothing visible there.
    cinfo->dct_method = JDCT_IFAST;
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->do_block_smoothing = FALSE;
    for (unsigned int denom : {8u, 4u, 2u}) {
        cinfo->scale_num = 1;
        cinfo->scale_denom = denom;
        jpeg_calc_output_dimensions(cinfo);
        if (cinfo->output_width >= job->targetWidth && cinfo->output_height >= job->targetHeight) {
            return;
        }
    }
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

    job->width = cinfo->output_width;
    job->height = cinfo->output_height;
    if (tooLarge(job->width, job->height)) {
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

// The size a Windows BMP header claims. Qt's reader gives no size for
// headers it finds absurd, such as over 16384 rows, but those deserve the
// same clear refusal as other oversized pictures.
QSize bmpHeaderSize(const QByteArray& data) {
    if (data.size() < 26 || !data.startsWith("BM")) {
        return {};
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    auto le16 = [bytes](int at) { return qint64(bytes[at]) | qint64(bytes[at + 1]) << 8; };
    auto le32 = [bytes](int at) {
        return qint64(std::int32_t(std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
                                   std::uint32_t(bytes[at + 2]) << 16 |
                                   std::uint32_t(bytes[at + 3]) << 24));
    };
    const qint64 infoSize = le32(14);
    if (infoSize == 12) {  // OS/2 header with 16-bit sizes
        return QSize(int(le16(18)), int(le16(20)));
    }
    const qint64 width = le32(18);
    const qint64 height = qAbs(le32(22));  // negative when stored top down
    if (infoSize < 40 || width <= 0 || height <= 0 || height > INT_MAX) {
        return {};
    }
    return QSize(int(width), int(height));
}

// Whether an uncompressed BMP holds all the pixel rows its header claims.
// Qt's reader fills missing rows in silently, so a file cut short (or a tiny
// file claiming a huge picture) would load as a mostly blank picture.
bool bmpCutShort(const QByteArray& data) {
    if (data.size() < 30 || !data.startsWith("BM")) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    auto le16 = [bytes](int at) { return qint64(bytes[at]) | qint64(bytes[at + 1]) << 8; };
    auto le32 = [bytes](int at) {
        return qint64(std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
                      std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24);
    };
    const qint64 offset = le32(10);
    const qint64 infoSize = le32(14);
    qint64 width = 0;
    qint64 height = 0;
    qint64 bits = 0;
    qint64 compression = 0;
    if (infoSize == 12) {
        width = le16(18);
        height = le16(20);
        bits = le16(24);
    } else if (infoSize >= 40 && data.size() >= 34) {
        width = qint64(std::int32_t(le32(18)));
        height = qAbs(qint64(std::int32_t(le32(22))));
        bits = le16(28);
        compression = le32(30);
    } else {
        return false;
    }
    // Run-length and embedded JPEG/PNG data have no fixed size.
    if (compression != 0 && compression != 3 && compression != 6) {
        return false;
    }
    if (width <= 0 || height <= 0 || bits <= 0 || bits > 64) {
        return false;
    }
    // Divided, not multiplied: header sizes may overflow any product.
    const qint64 rowBytes = (width * bits + 31) / 32 * 4;
    const qint64 available = data.size() - offset + rowBytes;  // allow a short last row
    return available <= 0 || height > available / rowBytes;
}

PictureLoad decodeWithQt(const QByteArray& data, const QByteArray& format) {
    // The limit is process wide; raise it where it is lower than ours.
    if (QImageReader::allocationLimit() < kQtAllocationLimitMb) {
        QImageReader::setAllocationLimit(kQtAllocationLimitMb);
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    QSize size = reader.size();
    if (!size.isValid()) {
        size = bmpHeaderSize(data);
    }
    if (size.isValid() && tooLarge(size.width(), size.height())) {
        return {QImage(), tooLargeMessage(size.width(), size.height())};
    }
    if (format.toLower() == "bmp" && bmpCutShort(data)) {
        return {QImage(), QStringLiteral("the file is cut short: it holds fewer pixel rows than "
                                         "its header says")};
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        return {QImage(), reader.errorString()};
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

PictureLoad decodeJpeg(const QByteArray& data, QSize targetSize, qint64 jpegWorkBytes) {
    if (data.isEmpty()) {
        return {QImage(), QStringLiteral("no picture data")};
    }
    // Value-initialised: all zero, as runJpegDecode expects.
    auto job = std::make_unique<JpegJob>();
    job->data = reinterpret_cast<const unsigned char*>(data.constData());
    job->size = static_cast<unsigned long>(data.size());
    job->maxWorkBytes = static_cast<long>(jpegWorkBytes);
    if (targetSize.isValid() && !targetSize.isEmpty()) {
        job->targetWidth = static_cast<unsigned int>(targetSize.width());
        job->targetHeight = static_cast<unsigned int>(targetSize.height());
    }
    if (!runJpegDecode(job.get())) {
        if (job->failure == JpegFailure::TooLarge) {
            return {QImage(), tooLargeMessage(job->width, job->height)};
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

PictureLoad decodeBmp(const QByteArray& data) {
    return decodeWithQt(data, "bmp");
}

PictureLoad loadPicture(const QString& path, QSize targetSize, qint64 jpegWorkBytes) {
    const QFileInfo info(path);
    // A name is shown whole unless it is absurdly long (a damaged list).
    QString name = info.fileName();
    if (name.size() > 120) {
        name = name.left(60) + QStringLiteral("…") + name.right(40);
    }
    auto failed = [&name](const QString& reason) {
        return PictureLoad{QImage(), QStringLiteral("cannot load %1: %2").arg(name, reason)};
    };
    // A file larger than the largest picture we accept is not worth reading.
    QByteArray data;
    QString error;
    if (!readWholeFile(path, kMaxPictureBytes, &data, &error)) {
        return failed(error);
    }
    if (data.isEmpty()) {
        return failed(QStringLiteral("the file is empty"));
    }
    const QString suffix = info.suffix().toLower();
    PictureLoad result = suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")
                             ? decodeJpeg(data, targetSize, jpegWorkBytes)
                             : decodeWithQt(data, suffix.toLatin1());
    if (!result.error.isEmpty()) {
        return failed(result.error);
    }
    return result;
}

qint64 decodeMemoryEstimate(const QString& path, QSize targetSize) {
    QFile file(path);
    const qint64 fileBytes = file.size();
    if (!file.open(QIODevice::ReadOnly)) {
        return fileBytes;
    }
    // The header, and with it any thumbnail and metadata before the frame.
    const QByteArray start = file.read(256 * 1024);
    qint64 pixels = 0;
    qint64 workBytes = 0;
    if (start.startsWith("\xFF\xD8")) {
        auto job = std::make_unique<JpegJob>();
        job->data = reinterpret_cast<const unsigned char*>(start.constData());
        job->size = static_cast<unsigned long>(start.size());
        job->targetWidth = static_cast<unsigned int>(std::max(0, targetSize.width()));
        job->targetHeight = static_cast<unsigned int>(std::max(0, targetSize.height()));
        if (readJpegHeader(job.get())) {
            pixels = qint64(job->width) * job->height;
            workBytes = job->coefficientBytes;
        }
    } else {
        QBuffer buffer;
        buffer.setData(start);
        buffer.open(QIODevice::ReadOnly);
        QSize size = QImageReader(&buffer).size();
        if (!size.isValid()) {
            size = bmpHeaderSize(start);
        }
        pixels = qint64(std::max(0, size.width())) * std::max(0, size.height());
    }
    return fileBytes + workBytes + 2 * pixels * 4;
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
