// Turning the JPEG bytes embedded in the program (the header's logo) into a QImage, without ever
// letting a damaged picture take the program down.
#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace ostrel::ui {

// Exactly one side is filled: a decoded image and an empty error, or a null image and the reason.
struct JpegResult {
    QImage image;
    QString error;
};

// Decodes a JPEG held in memory into a QImage::Format_RGB888 image. Truncated or corrupt data is
// reported as an error rather than returned with grey where the missing rows should be.
JpegResult DecodeJpeg(QByteArrayView data);

} // namespace ostrel::ui
