// The logo decoder over arbitrary bytes: never a crash, and always exactly one of a picture (RGB888,
// within the decoder's size limits) and an error.
#include "fuzzrequire.h"
#include "ui/jpegimage.h"

#include <QByteArrayView>
#include <QImage>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ostrel::ui::JpegResult result =
        ostrel::ui::DecodeJpeg(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    REQUIRE(result.image.isNull() != result.error.isEmpty());
    if (!result.image.isNull()) {
        REQUIRE(result.image.format() == QImage::Format_RGB888);
        REQUIRE(result.image.width() <= 16384 && result.image.height() <= 16384);
        REQUIRE(std::int64_t{result.image.width()} * result.image.height() <= std::int64_t{64} * 1024 * 1024);
    }
    return 0;
}
