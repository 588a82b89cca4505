// libjpeg reports errors by calling error_exit, which by default prints and ends the process. The
// decoder below replaces it with a longjmp back into a small stage function, so all C++ objects
// with destructors live one frame further out, in DecodeJpeg, which longjmp never crosses.
#include "ui/jpegimage.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio> // jpeglib.h names FILE and size_t without including anything itself

#include <jpeglib.h>
#include <jerror.h>

namespace ostrel::ui {
namespace {

// Far beyond any header logo, yet small enough that a forged frame header cannot make us
// allocate gigabytes before the first scanline is read.
constexpr JDIMENSION kMaxSide = 16384;
constexpr std::uint64_t kMaxPixels = std::uint64_t{64} * 1024 * 1024;

// Everything the callbacks reach through client_data. It has to stay trivially destructible:
// a longjmp skips destructors in the frames it unwinds.
struct Session {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
};

Session& sessionOf(j_common_ptr cinfo)
{
    return *static_cast<Session*>(cinfo->client_data);
}

[[noreturn]] void abandonDecoding(j_common_ptr cinfo)
{
    Session& session = sessionOf(cinfo);
    cinfo->err->format_message(cinfo, session.message);
    std::longjmp(session.escape, 1);
}

// These two concern metadata only and leave the pixels exact. Every other warning means the
// compressed data is broken, and libjpeg would carry on painting grey or noise in its place.
bool isHarmlessWarning(int code)
{
    return code == JWRN_ADOBE_XFORM || code == JWRN_JFIF_MAJOR;
}

void onMessage(j_common_ptr cinfo, int msgLevel)
{
    if (msgLevel >= 0) // trace output, of interest only when debugging libjpeg itself
        return;
    ++cinfo->err->num_warnings;
    if (!isHarmlessWarning(cinfo->err->msg_code))
        abandonDecoding(cinfo);
}

// A GUI program has no console worth writing to; the text reaches the user through JpegResult.
void discardOutput(j_common_ptr) {}

// Each stage has its own setjmp because a jmp_buf is valid only while the function that filled it
// is still running.
bool readHeader(Session& session, const unsigned char* bytes, unsigned long size)
{
    if (setjmp(session.escape))
        return false;
    jpeg_create_decompress(&session.cinfo);
    jpeg_mem_src(&session.cinfo, bytes, size);
    jpeg_read_header(&session.cinfo, TRUE);
    session.cinfo.out_color_space = JCS_RGB;
    jpeg_calc_output_dimensions(&session.cinfo);
    return true;
}

bool readPixels(Session& session, unsigned char* bits, qsizetype bytesPerLine, JDIMENSION width,
                JDIMENSION height)
{
    if (setjmp(session.escape))
        return false;
    jpeg_start_decompress(&session.cinfo);
    // The buffer was sized from the header; a library that disagreed now would write past it.
    if (session.cinfo.output_width != width || session.cinfo.output_height != height
        || session.cinfo.output_components != 3) {
        std::snprintf(session.message, sizeof session.message,
                      "Unexpected output geometry %ux%u with %d components",
                      unsigned(session.cinfo.output_width), unsigned(session.cinfo.output_height),
                      session.cinfo.output_components);
        return false;
    }
    while (session.cinfo.output_scanline < session.cinfo.output_height) {
        JSAMPROW row = bits + qsizetype(session.cinfo.output_scanline) * bytesPerLine;
        jpeg_read_scanlines(&session.cinfo, &row, 1);
    }
    // Reading on to the end marker is what exposes a file cut short after its last scanline.
    jpeg_finish_decompress(&session.cinfo);
    return true;
}

bool sizeIsPlausible(JDIMENSION width, JDIMENSION height)
{
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide
        && std::uint64_t{width} * height <= kMaxPixels;
}

QString damaged(const char* reason)
{
    return QStringLiteral("The logo picture is damaged: ") + QString::fromLatin1(reason);
}

} // namespace

JpegResult DecodeJpeg(QByteArrayView data)
{
    JpegResult result;
    // jpeg_mem_src refuses an empty buffer by raising an error, so say it plainly before that.
    if (data.isEmpty()) {
        result.error = QStringLiteral("The logo picture is empty.");
        return result;
    }

    Session session{};
    session.cinfo.err = jpeg_std_error(&session.err);
    session.err.error_exit = abandonDecoding;
    session.err.emit_message = onMessage;
    session.err.output_message = discardOutput;
    session.cinfo.client_data = &session;

    if (!readHeader(session, reinterpret_cast<const unsigned char*>(data.data()),
                    static_cast<unsigned long>(data.size()))) {
        result.error = damaged(session.message);
    } else if (const JDIMENSION width = session.cinfo.output_width,
               height = session.cinfo.output_height;
               !sizeIsPlausible(width, height)) {
        result.error = QStringLiteral("The logo picture claims an impossible size (%1 × %2 pixels).")
                           .arg(width)
                           .arg(height);
    } else {
        QImage image(int(width), int(height), QImage::Format_RGB888);
        if (image.isNull())
            result.error = QStringLiteral("There is not enough memory to show the logo picture.");
        else if (!readPixels(session, image.bits(), image.bytesPerLine(), width, height))
            result.error = damaged(session.message);
        else
            result.image = std::move(image);
    }

    // Safe in every state: after a failed create, mid-header, mid-scan or after finishing.
    jpeg_destroy_decompress(&session.cinfo);
    return result;
}

} // namespace ostrel::ui
