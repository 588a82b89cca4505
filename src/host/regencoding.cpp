#include "host/regencoding.h"

#include <QByteArrayView>
#include <QStringConverter>

#include <algorithm>
#include <iterator>

namespace ostrel::host::regfile {
namespace {

// Windows-1252 is Latin-1 but for 0x80-0x9F; the five codes it leaves undefined stay the C1
// control characters, as Windows maps them, so that every byte comes back as it was.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A BOM after the first is text (U+FEFF), never dropped.
constexpr auto kKeepEveryByte = QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless;

QString FromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

// Characters the code page cannot hold become "?", as Windows writes them.
QByteArray ToWindows1252(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        char b = '?';
        if (u < 0x80 || (u >= 0xA0 && u < 0x100)) {
            b = char(u);
        } else {
            const auto* found = std::find(std::begin(kWindows1252High), std::end(kWindows1252High), u);
            if (found != std::end(kWindows1252High))
                b = char(0x80 + (found - std::begin(kWindows1252High)));
        }
        *out++ = b;
    }
    return bytes;
}

QByteArray Encode(Encoding encoding, const QString& text)
{
    switch (encoding) {
    case Encoding::Utf16LE:
        return QStringEncoder(QStringConverter::Utf16LE).encode(text);
    case Encoding::Windows1252:
        return ToWindows1252(text);
    case Encoding::Utf8:
        break;
    }
    return text.toUtf8();
}

} // namespace

std::optional<FileText> DecodeFileText(const QByteArray& bytes, QString& whyNot)
{
    FileText file;
    if (bytes.startsWith("\xFF\xFE")) {
        file.encoding = Encoding::Utf16LE;
        file.bom = bytes.first(2);
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        file.bom = bytes.first(3);
    }
    const QByteArrayView body = QByteArrayView(bytes).sliced(file.bom.size());
    if (file.encoding == Encoding::Utf16LE) {
        QStringDecoder decoder(QStringConverter::Utf16LE, kKeepEveryByte);
        file.text = decoder(body);
        // Rewriting the file must give back every byte the store did not change.
        if (decoder.hasError() || body.size() % 2 != 0) {
            whyNot = QStringLiteral("is not UTF-16 text");
            return std::nullopt;
        }
    } else {
        QStringDecoder decoder(QStringConverter::Utf8, kKeepEveryByte);
        file.text = decoder(body);
        if (decoder.hasError()) {
            if (!file.bom.isEmpty()) {
                whyNot = QStringLiteral("is not UTF-8 text");
                return std::nullopt;
            }
            file.encoding = Encoding::Windows1252;
            file.text = FromWindows1252(body);
        }
    }
    return file;
}

QByteArray EncodeFileText(const FileText& file)
{
    const QByteArray bytes = Encode(file.encoding, file.text);
    // Windows-1252 is how a file that is no UTF-8 reads. Once a write has replaced the only bytes that
    // made it so, the rest would read back as UTF-8, as other characters: such a file becomes UTF-8.
    if (file.encoding == Encoding::Windows1252) {
        QStringDecoder utf8(QStringConverter::Utf8, kKeepEveryByte);
        const QString readBack = utf8(bytes);
        if (!utf8.hasError() && readBack != file.text)
            return file.text.toUtf8();
    }
    return file.bom + bytes;
}

} // namespace ostrel::host::regfile
