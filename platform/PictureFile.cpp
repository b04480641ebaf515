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
#include <cstring>
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

enum class JpegFailure { None, Decode, TooLarge, NotDcOnly };

struct JpegJob {
    // In.
    const unsigned char* data;
    unsigned long size;
    QSize target;  // empty = full size
    long maxPixels;
    long maxWorkBytes;
    long maxFramePixels;
    bool dcScansOnly;  // data lacks the AC scans of the components in acDropped
    unsigned int acDropped;
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

// True when every component in the mask is decoded at one pixel a block,
// from its DC coefficients alone.
bool onePixelPerBlock(const jpeg_decompress_struct* cinfo, unsigned int mask) {
    for (int c = 0; c < cinfo->num_components; ++c) {
        if ((mask & (1u << c)) != 0 && cinfo->comp_info[c].DCT_scaled_size != 1) {
            return false;
        }
    }
    return true;
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
    if (job->dcScansOnly &&
        (cinfo->scale_denom != 8 || !cinfo->progressive_mode || cinfo->arith_code ||
         cinfo->do_block_smoothing || !onePixelPerBlock(cinfo, job->acDropped))) {
        job->failure = JpegFailure::NotDcOnly;
        jpeg_destroy_decompress(cinfo);
        return false;
    }

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

// ---- DC scans only ----------------------------------------------------------
//
// At 1/8 scale libjpeg's inverse DCT reads each block's DC coefficient only,
// and with interblock smoothing off nothing else of the coefficients reaches
// the pixels. A progressive file sends DC coefficients in their own scans
// (a scan with Ss = 0 is DC only), so the picture comes out the same when the
// decoder is handed the file less its AC scans. Components that libjpeg
// decodes at 2 x 2 pixels a block instead of upsampling them (4:2:0 chroma)
// need their AC coefficients, so their AC scans stay. The markers are copied as
// they are, and each AC scan's entropy-coded data is passed over by its
// markers without being decoded. The walk below copies only what it can
// vouch for; anything else (arithmetic coding, markers it does not know, a
// scan script libjpeg would warn about, more scans than kMaxJpegScans, a
// file that ends before its end marker) gives an empty result, and the
// caller decodes the whole file instead.

constexpr unsigned char kMarkerSof2 = 0xc2;  // progressive, Huffman coding
constexpr unsigned char kMarkerSos = 0xda;
constexpr unsigned char kMarkerEoi = 0xd9;

struct DcScanStream {
    QSize imageSize;             // from the frame header
    QByteArray bytes;            // empty when the file is not one this can vouch for
    unsigned int acDropped = 0;  // bit c: component c's AC scans are left out
};

inline int bigEndian16(const unsigned char* p) {
    return (p[0] << 8) | p[1];
}

// True for the segments between scans that carry tables or nothing the
// pixels depend on beyond what libjpeg reads from them itself.
bool isTableOrMiscMarker(unsigned char marker) {
    return marker == 0xc4 /* DHT */ || marker == 0xdb /* DQT */ || marker == 0xdd /* DRI */ ||
           marker == 0xfe /* COM */ || (marker >= 0xe0 && marker <= 0xef) /* APPn */;
}

// For a target that the file is decoded at 1/8 for; empty bytes otherwise.
DcScanStream dcScanStream(const unsigned char* data, std::size_t size, QSize target) {
    DcScanStream result;
    if (size < 4 || data[0] != 0xff || data[1] != 0xd8) {
        return result;
    }
    QByteArray out;
    out.append(reinterpret_cast<const char*>(data), 2);
    // Per component: its id, and which bit each coefficient was last sent
    // down to (-1: not yet), as libjpeg tracks it to warn about odd scripts.
    int componentIds[4] = {};
    // Bit c: component c is decoded at more than one pixel a block, so its
    // AC coefficients count (4:2:0 chroma: libjpeg scales it up in the DCT).
    unsigned int acNeeded = 0;
    int components = 0;
    int coefficientBits[4][DCTSIZE2];
    std::fill(&coefficientBits[0][0], &coefficientBits[0][0] + 4 * DCTSIZE2, -1);
    unsigned int acTables = 0;  // bit n: AC Huffman table n is defined
    bool sawFrame = false;
    int scans = 0;
    std::size_t at = 2;
    for (;;) {
        // Markers follow one another directly: no fill bytes, no garbage.
        if (at + 2 > size || data[at] != 0xff) {
            return {};
        }
        const unsigned char marker = data[at + 1];
        if (marker == kMarkerEoi) {
            if (!sawFrame || scans == 0) {
                return {};
            }
            for (int c = 0; c < components; ++c) {
                if (coefficientBits[c][0] < 0) {
                    return {};  // a component without DC coefficients
                }
            }
            out.append(reinterpret_cast<const char*>(data + at), 2);
            result.bytes = out;
            return result;
        }
        if (at + 4 > size) {
            return {};
        }
        const int length = bigEndian16(data + at + 2);
        if (length < 2 || at + 2 + std::size_t(length) > size) {
            return {};
        }
        const unsigned char* segment = data + at + 4;  // after the length
        const std::size_t segmentEnd = at + 2 + std::size_t(length);
        if (marker == kMarkerSof2) {
            if (sawFrame || length < 8) {
                return {};
            }
            components = segment[5];
            if (components < 1 || components > 4 || length != 8 + 3 * components) {
                return {};
            }
            for (int c = 0; c < components; ++c) {
                componentIds[c] = segment[6 + 3 * c];
            }
            // libjpeg doubles a component's DCT size while the sampling
            // still divides evenly, rather than upsample it afterwards.
            int maxH = 1, maxV = 1;
            for (int c = 0; c < components; ++c) {
                maxH = std::max(maxH, segment[7 + 3 * c] >> 4);
                maxV = std::max(maxV, segment[7 + 3 * c] & 0x0f);
            }
            for (int c = 0; c < components; ++c) {
                const int h = segment[7 + 3 * c] >> 4;
                const int v = segment[7 + 3 * c] & 0x0f;
                if (h == 0 || v == 0) {
                    return {};
                }
                if (maxH % (h * 2) == 0 && maxV % (v * 2) == 0) {
                    acNeeded |= 1u << c;
                }
            }
            result.imageSize = QSize(bigEndian16(segment + 3), bigEndian16(segment + 1));
            if (jpegScaleDenominator(result.imageSize, target) != 8) {
                return {};
            }
            sawFrame = true;
            out.append(reinterpret_cast<const char*>(data + at), int(segmentEnd - at));
            at = segmentEnd;
            continue;
        }
        if (marker == 0xc4) {
            // Huffman tables: an AC scan that is passed over must have its
            // table, as libjpeg refuses one without.
            std::size_t table = at + 4;
            while (table < segmentEnd) {
                if (table + 17 > segmentEnd) {
                    return {};
                }
                const int kind = data[table];
                int symbols = 0;
                for (int i = 1; i <= 16; ++i) {
                    symbols += data[table + i];
                }
                if ((kind & 0x0f) < 4 && (kind >> 4) == 1) {
                    acTables |= 1u << (kind & 0x0f);
                }
                table += 17 + std::size_t(symbols);
            }
            if (table != segmentEnd) {
                return {};
            }
        }
        if (isTableOrMiscMarker(marker)) {
            out.append(reinterpret_cast<const char*>(data + at), int(segmentEnd - at));
            at = segmentEnd;
            continue;
        }
        if (marker != kMarkerSos || !sawFrame || ++scans > kMaxJpegScans) {
            return {};  // another frame type, DNL, a second SOI, ...
        }
        const int inScan = length >= 3 ? segment[0] : 0;
        if (inScan < 1 || inScan > 4 || length != 6 + 2 * inScan) {
            return {};
        }
        const int ss = segment[1 + 2 * inScan];
        const int se = segment[2 + 2 * inScan];
        const int ah = segment[3 + 2 * inScan] >> 4;
        const int al = segment[3 + 2 * inScan] & 0x0f;
        // The checks libjpeg makes of a progressive scan, those that stop it
        // and those it only warns about.
        const bool dc = ss == 0;
        if ((dc && se != 0) || (!dc && (se < ss || se >= DCTSIZE2 || inScan != 1)) ||
            (ah != 0 && al != ah - 1) || al > 13) {
            return {};
        }
        for (int i = 0; i < inScan; ++i) {
            const int* found =
                std::find(componentIds, componentIds + components, segment[1 + 2 * i]);
            if (found == componentIds + components) {
                return {};
            }
            if (!dc && (acTables & (1u << (segment[2 + 2 * i] & 0x0f))) == 0) {
                return {};
            }
            int* bits = coefficientBits[found - componentIds];
            if (!dc && bits[0] < 0) {
                return {};  // AC before DC
            }
            for (int k = ss; k <= se; ++k) {
                if ((bits[k] < 0 ? 0 : bits[k]) != ah) {
                    return {};
                }
                bits[k] = al;
            }
        }
        // The entropy-coded data runs up to the next marker that is neither
        // a stuffed 0xff (0xff 0x00) nor a restart marker.
        std::size_t end = segmentEnd;
        for (;;) {
            const void* ff = std::memchr(data + end, 0xff, size - end);
            if (ff == nullptr) {
                return {};  // cut short
            }
            end = std::size_t(static_cast<const unsigned char*>(ff) - data);
            if (end + 1 >= size) {
                return {};
            }
            const unsigned char next = data[end + 1];
            if (next == 0x00 || (next >= 0xd0 && next <= 0xd7)) {
                end += 2;
                continue;
            }
            break;
        }
        const int first =
            int(std::find(componentIds, componentIds + components, segment[1]) - componentIds);
        if (!dc && (acNeeded & (1u << first)) == 0) {
            result.acDropped |= 1u << first;
        } else {
            out.append(reinterpret_cast<const char*>(data + at), int(end - at));
        }
        at = end;
    }
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

bool jpegDecodesFromDcScans(const QByteArray& data, QSize targetSize) {
    return targetSize.isValid() && !targetSize.isEmpty() &&
           !dcScanStream(reinterpret_cast<const unsigned char*>(data.constData()),
                         std::size_t(data.size()), targetSize)
                .bytes.isEmpty();
}

PictureLoad decodeJpeg(const QByteArray& data, QSize targetSize, const PictureLimits& limits,
                       JpegScans scans) {
    if (data.isEmpty()) {
        return {QImage(), QStringLiteral("no picture data")};
    }
    const QSize target = targetSize.isValid() ? targetSize : QSize();
    const auto newJob = [&](const QByteArray& bytes) {
        // Value-initialised: all zero, as runJpegDecode expects.
        auto job = std::make_unique<JpegJob>();
        job->data = reinterpret_cast<const unsigned char*>(bytes.constData());
        job->size = static_cast<unsigned long>(bytes.size());
        job->target = target;
        job->maxPixels = static_cast<long>(limits.pixels);
        job->maxWorkBytes = static_cast<long>(limits.jpegWorkBytes);
        job->maxFramePixels = static_cast<long>(limits.jpegFramePixels);
        return job;
    };
    std::unique_ptr<JpegJob> job;
    if (scans == JpegScans::NeededOnly && !target.isEmpty()) {
        const DcScanStream dcScans =
            dcScanStream(reinterpret_cast<const unsigned char*>(data.constData()),
                         std::size_t(data.size()), target);
        if (!dcScans.bytes.isEmpty()) {
            job = newJob(dcScans.bytes);
            job->dcScansOnly = true;
            job->acDropped = dcScans.acDropped;
            // Any failure is left to the whole file's decode to report.
            if (!runJpegDecode(job.get())) {
                job.reset();
            }
        }
    }
    if (!job) {
        job = newJob(data);
    }
    if (!job->dcScansOnly && !runJpegDecode(job.get())) {
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
