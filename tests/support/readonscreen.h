// What the user reads of a widget, read off the screen: the widget's picture, enlarged, through
// tesseract's Dutch model. The picture stays beside the test program (screenshots/) for a person.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QString>
#include <QWidget>

namespace ostrel::testing {

inline QString ReadOnScreen(QWidget* widget, const QString& name)
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    // At twice the size the model reads the screen's small type reliably.
    const QImage picture = widget->grab().toImage();
    if (!picture.scaled(picture.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(file))
        return {};
    QProcess ocr;
    ocr.start(QStringLiteral("tesseract"),
              {file, QStringLiteral("stdout"), QStringLiteral("-l"), QStringLiteral("nld")});
    if (!ocr.waitForFinished(30000) || ocr.exitCode() != 0)
        return {};
    return QString::fromUtf8(ocr.readAllStandardOutput()).simplified();
}

} // namespace ostrel::testing
