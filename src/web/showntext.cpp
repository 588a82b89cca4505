#include "web/showntext.h"

#include "base/version.h"

#include <QByteArray>
#include <QStringDecoder>

#include <optional>

namespace ostrel::web {

QString ShownText(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const char32_t code : text.toUcs4()) {
        if (QChar::category(code) == QChar::Other_Format)
            shown += QStringLiteral("[U+%1]").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += QString::fromUcs4(&code, 1);
    }
    return shown;
}

namespace {
// Windows-1252's characters for the bytes 0x80 to 0x9F (0 where it has none: the byte stands for
// itself).
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte a character of a one-byte-per-character reading stands for, if it is one.
std::optional<char> byteOf(QChar c)
{
    if (c.unicode() <= 0xFF)
        return char(c.unicode());
    for (int i = 0; i < 32; ++i)
        if (kWindows1252[i] == c.unicode())
            return char(0x80 + i);
    return std::nullopt;
}
} // namespace

// Qt 6.4's engine hands the realm's bytes on as Latin-1, Qt 6.8's as Windows-1252.
QString ShownRealm(const QString& realm)
{
    QByteArray bytes;
    bytes.reserve(realm.size());
    for (const QChar c : realm) {
        const std::optional<char> byte = byteOf(c);
        if (!byte)
            return ShownText(realm);
        bytes += *byte;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    return ShownText(utf8.hasError() ? realm : decoded);
}

QString PageWindowTitle(const QString& title, const QUrl& page)
{
    QString shown = ShownText(title);
    const QString program = QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size());
    if (!shown.contains(program, Qt::CaseInsensitive) || page.host().isEmpty())
        return shown;
    return page.host() + QStringLiteral(": ") + shown;
}

} // namespace ostrel::web
