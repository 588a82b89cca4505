// Text a page wrote, as the program shows it outside the page (an address in a question, a window's
// title, a login's realm): what the user reads is what goes on.
#pragma once

#include <QString>
#include <QUrl>

namespace ostrel::web {

// The invisible format characters that turn text around or hide part of it (direction overrides,
// isolates and marks, zero-width characters) shown by their code, as "[U+202E]".
QString ShownText(const QString& text);

// A login's realm as the server meant it: the engine hands its bytes on one per character (Latin-1
// or Windows-1252), so one whose bytes are valid UTF-8 is read as UTF-8. Shown as ShownText.
QString ShownRealm(const QString& realm);

// A window of a page's, titled as the page asks, with the program's name never standing on its own:
// a title that names the program has the page's host before it.
QString PageWindowTitle(const QString& title, const QUrl& page);

} // namespace ostrel::web
