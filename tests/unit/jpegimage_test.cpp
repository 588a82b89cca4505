// Decoding the header's logo: clean pictures in the shapes libjpeg writes, and damaged ones
// (cut short, garbled, not a JPEG at all) which must come back as an error without a crash.
#include "ui/jpegimage.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSize>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio> // jpeglib.h names FILE and size_t without including anything itself
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace ostrel::ui {
namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 82;

// Smooth ramps for red (left to right) and green (top to bottom) catch swapped channels or a
// mirrored image; blue stripes on 8-pixel block edges add hard edges without much JPEG ringing.
struct Rgb {
    int r, g, b;
};

Rgb patternAt(int x, int y)
{
    return {x * 255 / (kWidth - 1), y * 255 / (kHeight - 1), (x / 40) % 2 ? 200 : 40};
}

std::vector<std::uint8_t> patternPixels()
{
    std::vector<std::uint8_t> pixels;
    pixels.reserve(std::size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Rgb c = patternAt(x, y);
            pixels.insert(pixels.end(), {std::uint8_t(c.r), std::uint8_t(c.g), std::uint8_t(c.b)});
        }
    }
    return pixels;
}

struct EncodeOptions {
    bool progressive = false;
    bool subsampleChroma = false;
    J_COLOR_SPACE inputSpace = JCS_RGB;
};

// Produces the test inputs with libjpeg's own encoder, so the decoder meets the marker layouts real
// tools write rather than hand-built ones.
QByteArray encodeJpeg(const std::vector<std::uint8_t>& pixels, int components,
                      const EncodeOptions& options = {})
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);

    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);

    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = components;
    cinfo.in_color_space = options.inputSpace;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (!options.subsampleChroma) {
        for (int i = 0; i < cinfo.num_components; ++i) {
            cinfo.comp_info[i].h_samp_factor = 1;
            cinfo.comp_info[i].v_samp_factor = 1;
        }
    }
    if (options.progressive)
        jpeg_simple_progression(&cinfo);

    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = std::size_t(kWidth) * components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);

    QByteArray encoded(reinterpret_cast<const char*>(buffer), qsizetype(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return encoded;
}

const QByteArray& baselineJpeg()
{
    static const QByteArray encoded = encodeJpeg(patternPixels(), 3);
    return encoded;
}

// Walks the marker segments from SOI and returns the offset of the first one with this code,
// or -1 if the scan data begins before it.
qsizetype findMarker(const QByteArray& jpeg, std::uint8_t code)
{
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size() && std::uint8_t(jpeg[pos]) == 0xFF) {
        const auto marker = std::uint8_t(jpeg[pos + 1]);
        if (marker == code)
            return pos;
        if (marker == 0xDA)
            return -1;
        pos += 2 + (std::uint8_t(jpeg[pos + 2]) << 8 | std::uint8_t(jpeg[pos + 3]));
    }
    return -1;
}

qsizetype segmentEnd(const QByteArray& jpeg, qsizetype markerPos)
{
    return markerPos + 2 + (std::uint8_t(jpeg[markerPos + 2]) << 8 | std::uint8_t(jpeg[markerPos + 3]));
}

// In a baseline frame header: FF C0, length (2), precision (1), height (2), width (2).
QByteArray withFrameSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = findMarker(jpeg, 0xC0);
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}

bool touchesFrameSize(const QByteArray& jpeg, qsizetype pos)
{
    const qsizetype sof = findMarker(jpeg, 0xC0);
    return pos >= sof + 5 && pos <= sof + 8;
}

// The two outcomes allowed for damaged input: an error and no picture, or a whole picture and no
// error. When the frame size itself was hit, any size the limits allow is a fair reading of it.
::testing::AssertionResult isCleanOutcome(const JpegResult& result, bool sizeMayChange)
{
    if (result.image.isNull()) {
        if (result.error.isEmpty())
            return ::testing::AssertionFailure() << "neither a picture nor an error";
        return ::testing::AssertionSuccess();
    }
    if (!result.error.isEmpty())
        return ::testing::AssertionFailure() << "a picture and an error: " << result.error.toStdString();
    if (result.image.format() != QImage::Format_RGB888)
        return ::testing::AssertionFailure() << "format " << int(result.image.format());
    const QSize size = result.image.size();
    if (!sizeMayChange && size != QSize(kWidth, kHeight))
        return ::testing::AssertionFailure() << "size " << size.width() << "x" << size.height();
    if (size.width() > 16384 || size.height() > 16384)
        return ::testing::AssertionFailure() << "size " << size.width() << "x" << size.height();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult isReportedError(const JpegResult& result)
{
    if (!result.image.isNull())
        return ::testing::AssertionFailure() << "decoded to a " << result.image.width() << "x"
                                             << result.image.height() << " picture";
    if (result.error.isEmpty())
        return ::testing::AssertionFailure() << "no picture but no error either";
    return ::testing::AssertionSuccess();
}

struct ColourError {
    int worst = 0;
    double mean = 0;
};

ColourError compareWithPattern(const QImage& image)
{
    ColourError result;
    long long total = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const Rgb want = patternAt(x, y);
            const int diffs[] = {std::abs(line[3 * x] - want.r), std::abs(line[3 * x + 1] - want.g),
                                 std::abs(line[3 * x + 2] - want.b)};
            for (int d : diffs) {
                result.worst = std::max(result.worst, d);
                total += d;
            }
        }
    }
    result.mean = double(total) / (double(image.width()) * image.height() * 3);
    return result;
}

// Quality 95 keeps ramps within a few levels; the stripe edges ring a little more.
void expectMatchesPattern(const JpegResult& result)
{
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    ASSERT_EQ(result.image.size(), QSize(kWidth, kHeight));
    EXPECT_EQ(result.image.format(), QImage::Format_RGB888);
    const ColourError error = compareWithPattern(result.image);
    EXPECT_LE(error.worst, 16);
    EXPECT_LE(error.mean, 2.0);
}

TEST(JpegImageDecode, decodesBaselineToItsSizeAndColours)
{
    expectMatchesPattern(DecodeJpeg(baselineJpeg()));
}

TEST(JpegImageDecode, decodesProgressiveJpeg)
{
    const QByteArray progressive = encodeJpeg(patternPixels(), 3, {.progressive = true});
    ASSERT_NE(findMarker(progressive, 0xC2), -1) << "the encoder did not write a progressive frame";
    expectMatchesPattern(DecodeJpeg(progressive));
}

TEST(JpegImageDecode, decodesChromaSubsampledJpeg)
{
    const JpegResult result = DecodeJpeg(encodeJpeg(patternPixels(), 3, {.subsampleChroma = true}));
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    EXPECT_EQ(result.image.size(), QSize(kWidth, kHeight));
    EXPECT_LE(compareWithPattern(result.image).mean, 4.0);
}

TEST(JpegImageDecode, expandsGreyscaleToRgb)
{
    std::vector<std::uint8_t> grey(std::size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            grey[std::size_t(y) * kWidth + x] = std::uint8_t(x * 255 / (kWidth - 1));

    const JpegResult result = DecodeJpeg(encodeJpeg(grey, 1, {.inputSpace = JCS_GRAYSCALE}));
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    ASSERT_EQ(result.image.size(), QSize(kWidth, kHeight));
    ASSERT_EQ(result.image.format(), QImage::Format_RGB888);
    const uchar* line = result.image.constScanLine(40);
    for (int x : {0, 100, 199}) {
        EXPECT_NEAR(line[3 * x], x * 255 / (kWidth - 1), 4) << "x " << x;
        EXPECT_EQ(line[3 * x], line[3 * x + 1]) << "x " << x;
        EXPECT_EQ(line[3 * x], line[3 * x + 2]) << "x " << x;
    }
}

TEST(JpegImageDecode, ignoresBytesAfterTheEndMarker)
{
    expectMatchesPattern(DecodeJpeg(QByteArray(baselineJpeg() + QByteArray(64, '\x5A'))));
}

// An unknown JFIF revision is only a remark about the metadata; the pixels are intact.
TEST(JpegImageDecode, toleratesAnUnknownJfifRevision)
{
    QByteArray jpeg = baselineJpeg();
    const qsizetype app0 = findMarker(jpeg, 0xE0);
    ASSERT_NE(app0, -1);
    ASSERT_EQ(jpeg.mid(app0 + 4, 5), QByteArray("JFIF\0", 5));
    jpeg[app0 + 9] = 2;
    expectMatchesPattern(DecodeJpeg(jpeg));
}

TEST(JpegImageDecode, decodesTheShippedLogo)
{
#ifdef OSTREL_LOGO_JPG
    QFile file(QString::fromUtf8(OSTREL_LOGO_JPG));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << OSTREL_LOGO_JPG;
    const QByteArray logo = file.readAll();

    const JpegResult result = DecodeJpeg(logo);
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    EXPECT_EQ(result.image.size(), QSize(kWidth, kHeight));

    // Baseline, three components, none subsampled: FF C0, length, precision, height, width,
    // count, then id / sampling / table for each component.
    const qsizetype sof = findMarker(logo, 0xC0);
    ASSERT_NE(sof, -1) << "the logo is not a baseline JPEG";
    ASSERT_EQ(std::uint8_t(logo[sof + 9]), 3);
    for (int component = 0; component < 3; ++component)
        EXPECT_EQ(std::uint8_t(logo[sof + 11 + 3 * component]), 0x11) << "component " << component;
#else
    GTEST_SKIP() << "OSTREL_LOGO_JPG is not defined for this build";
#endif
}

TEST(JpegImageDamage, emptyInputIsAnError)
{
    EXPECT_TRUE(isReportedError(DecodeJpeg(QByteArrayView())));
    EXPECT_TRUE(isReportedError(DecodeJpeg(QByteArray())));
}

TEST(JpegImageDamage, everyTruncationIsReportedAsDamage)
{
    const QByteArray& jpeg = baselineJpeg();
    std::vector<qsizetype> cuts;
    for (qsizetype cut = 1; cut < jpeg.size(); cut += 7)
        cuts.push_back(cut);
    for (qsizetype cut = jpeg.size() - 8; cut < jpeg.size(); ++cut)
        cuts.push_back(cut);

    for (qsizetype cut : cuts)
        EXPECT_TRUE(isReportedError(DecodeJpeg(QByteArrayView(jpeg).first(cut))))
            << "cut at " << cut << " of " << jpeg.size();
}

// libjpeg would hand back the picture with its missing rows filled in grey and only a warning.
TEST(JpegImageDamage, aFileCutInsideTheScanDataIsNotFilledWithGrey)
{
    const QByteArray& jpeg = baselineJpeg();
    const JpegResult result = DecodeJpeg(QByteArrayView(jpeg).first(jpeg.size() * 2 / 3));
    ASSERT_TRUE(isReportedError(result));
    EXPECT_EQ(result.error.toStdString(), "The logo picture is damaged: Premature end of JPEG file");
}

TEST(JpegImageDamage, aMissingEndMarkerIsDamage)
{
    const QByteArray& jpeg = baselineJpeg();
    ASSERT_EQ(jpeg.right(2), QByteArray("\xFF\xD9", 2));
    EXPECT_TRUE(isReportedError(DecodeJpeg(QByteArrayView(jpeg).chopped(2))));
}

// Here every scanline is already decoded when the data runs out; only reading on to the end
// marker notices that the file was cut short.
TEST(JpegImageDamage, aFileCutAfterItsLastScanIsStillDamage)
{
    const QByteArray& jpeg = baselineJpeg();
    const QByteArray comment = QByteArray("\xFF\xFE\x00\x10", 4) + QByteArray(14, 'c');
    const QByteArray withTrailingComment = jpeg.chopped(2) + comment + jpeg.right(2);
    ASSERT_TRUE(isCleanOutcome(DecodeJpeg(withTrailingComment), false));
    ASSERT_FALSE(DecodeJpeg(withTrailingComment).image.isNull());

    for (qsizetype cut = 1; cut <= comment.size(); ++cut)
        EXPECT_TRUE(isReportedError(DecodeJpeg(QByteArrayView(withTrailingComment).chopped(cut))))
            << cut << " bytes cut from the end";
}

TEST(JpegImageDamage, nonJpegInputIsRejected)
{
    const QByteArray pngSignature("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    const QByteArray text("This is the logo, honestly.\n");

    for (const QByteArray& input : {pngSignature, text}) {
        const JpegResult result = DecodeJpeg(input);
        ASSERT_TRUE(isReportedError(result)) << input.toStdString();
        EXPECT_NE(result.error.indexOf(QLatin1String("Not a JPEG file")), -1)
            << result.error.toStdString();
    }
}

TEST(JpegImageDamage, zeroFrameDimensionsAreRejected)
{
    EXPECT_TRUE(isReportedError(DecodeJpeg(withFrameSize(baselineJpeg(), 0, kHeight))));
    EXPECT_TRUE(isReportedError(DecodeJpeg(withFrameSize(baselineJpeg(), kWidth, 0))));
}

TEST(JpegImageDamage, maximalFrameDimensionsAreRejected)
{
    EXPECT_TRUE(isReportedError(DecodeJpeg(withFrameSize(baselineJpeg(), 65535, kHeight))));
    EXPECT_TRUE(isReportedError(DecodeJpeg(withFrameSize(baselineJpeg(), kWidth, 65535))));
    EXPECT_TRUE(isReportedError(DecodeJpeg(withFrameSize(baselineJpeg(), 65535, 65535))));
}

// libjpeg itself accepts these, and would have us allocate hundreds of megabytes for them.
TEST(JpegImageDamage, implausibleSizesAreRefusedBeforeDecoding)
{
    for (const QSize claimed : {QSize(16385, kHeight), QSize(kWidth, 16385), QSize(16384, 8192)}) {
        const JpegResult result =
            DecodeJpeg(withFrameSize(baselineJpeg(), claimed.width(), claimed.height()));
        ASSERT_TRUE(isReportedError(result)) << claimed.width() << "x" << claimed.height();
        EXPECT_NE(result.error.indexOf(QLatin1String("impossible size")), -1)
            << result.error.toStdString();
    }
}

TEST(JpegImageDamage, theSideLimitItselfIsNotRefusedForItsSize)
{
    const JpegResult result = DecodeJpeg(withFrameSize(baselineJpeg(), 16384, 16));
    ASSERT_TRUE(isReportedError(result)) << "the scan data only covers 200 pixels a row";
    EXPECT_EQ(result.error.indexOf(QLatin1String("impossible size")), -1)
        << result.error.toStdString();
}

TEST(JpegImageDamage, garbledHeaderBytesNeverCrash)
{
    const QByteArray& jpeg = baselineJpeg();
    const qsizetype sos = findMarker(jpeg, 0xDA);
    ASSERT_NE(sos, -1);
    const qsizetype headerEnd = segmentEnd(jpeg, sos);

    for (qsizetype pos = 0; pos < headerEnd; ++pos) {
        const auto original = std::uint8_t(jpeg[pos]);
        const std::uint8_t replacements[] = {0x00, 0xFF, std::uint8_t(original ^ 0xFF),
                                             std::uint8_t(original + 1), std::uint8_t(original - 1)};
        for (std::uint8_t value : replacements) {
            QByteArray garbled = jpeg;
            garbled[pos] = char(value);
            EXPECT_TRUE(isCleanOutcome(DecodeJpeg(garbled), touchesFrameSize(jpeg, pos)))
                << "byte " << pos << " set to " << int(value);
        }
    }
}

TEST(JpegImageDamage, garbageHuffmanTablesNeverCrash)
{
    const QByteArray& jpeg = baselineJpeg();
    std::vector<qsizetype> tables;
    for (qsizetype pos = 2; pos + 4 <= jpeg.size() && std::uint8_t(jpeg[pos]) == 0xFF;
         pos = segmentEnd(jpeg, pos)) {
        if (std::uint8_t(jpeg[pos + 1]) == 0xDA)
            break;
        if (std::uint8_t(jpeg[pos + 1]) == 0xC4)
            tables.push_back(pos);
    }
    ASSERT_FALSE(tables.empty());

    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (qsizetype table : tables) {
        const qsizetype bodyStart = table + 4;
        const qsizetype bodyEnd = segmentEnd(jpeg, table);

        QByteArray allOnes = jpeg;
        for (qsizetype pos = bodyStart; pos < bodyEnd; ++pos)
            allOnes[pos] = char(0xFF);
        EXPECT_TRUE(isReportedError(DecodeJpeg(allOnes))) << "table at " << table;

        for (int trial = 0; trial < 60; ++trial) {
            QByteArray garbled = jpeg;
            for (qsizetype pos = bodyStart; pos < bodyEnd; ++pos)
                garbled[pos] = char(byte(random));
            EXPECT_TRUE(isCleanOutcome(DecodeJpeg(garbled), false))
                << "table at " << table << ", trial " << trial;
        }
    }
}

TEST(JpegImageDamage, randomByteNoiseNeverCrashes)
{
    const QByteArray& jpeg = baselineJpeg();
    std::mt19937 random(7);
    std::uniform_int_distribution<qsizetype> position(0, jpeg.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> count(1, 16);

    for (int trial = 0; trial < 600; ++trial) {
        QByteArray noisy = jpeg;
        bool sizeHit = false;
        for (int n = count(random); n > 0; --n) {
            const qsizetype pos = position(random);
            noisy[pos] = char(byte(random));
            sizeHit = sizeHit || touchesFrameSize(jpeg, pos);
        }
        EXPECT_TRUE(isCleanOutcome(DecodeJpeg(noisy), sizeHit)) << "trial " << trial;
    }
}

TEST(JpegImageDamage, noiseAfterAStartMarkerIsRejected)
{
    std::mt19937 random(99);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int trial = 0; trial < 200; ++trial) {
        QByteArray noise("\xFF\xD8", 2);
        for (int n = 0; n < 64 + trial * 8; ++n)
            noise += char(byte(random));
        EXPECT_TRUE(isReportedError(DecodeJpeg(noise))) << "trial " << trial;
    }
}

TEST(JpegImageDamage, anUnsupportedColourSpaceIsReportedNotFatal)
{
    std::vector<std::uint8_t> cmyk(std::size_t(kWidth) * kHeight * 4, 0x40);
    const JpegResult result = DecodeJpeg(encodeJpeg(cmyk, 4, {.inputSpace = JCS_CMYK}));
    EXPECT_TRUE(isReportedError(result));
}

// The default libjpeg error manager writes to stderr; a GUI program reports through its result.
TEST(JpegImageDamage, damagedInputPrintsNothing)
{
    const QByteArray& jpeg = baselineJpeg();
    ::testing::internal::CaptureStderr();
    DecodeJpeg(QByteArrayView(jpeg).first(jpeg.size() / 2));
    DecodeJpeg(QByteArray("garbage"));
    DecodeJpeg(withFrameSize(baselineJpeg(), 0, 0));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace ostrel::ui
