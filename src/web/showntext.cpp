#include "web/showntext.h"

#include "base/version.h"

#include <QStringDecoder>

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

QString ShownRealm(const QString& realm)
{
    bool bytes = true;
    for (const QChar c : realm)
        bytes = bytes && c.unicode() <= 0xFF;
    if (bytes) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8.decode(realm.toLatin1());
        if (!utf8.hasError())
            return ShownText(decoded);
    }
    return ShownText(realm);
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
