// Remote-workplace launch files (.ica): the one kind of download the program opens by itself, and
// only one that reads as such a file, that the user asked the insurer for (trust.h).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace ostrel::web {

// Launch files are a few kilobytes; anything longer is not one.
inline constexpr qsizetype kLaunchFileMaxBytes = qsizetype{64} * 1024;

// True for a name that says launch file (".ica", any case).
bool HasLaunchFileName(const QString& fileName);

// The name to save a download under: one the server sends as a launch file (application/x-ica)
// is one, whatever the address it came from says ("launcher.aspx" becomes "launcher.ica").
QString LaunchFileName(const QString& suggested, const QString& mimeType);

// True for text that reads as a launch file: lines of an INI file only (sections, key=value,
// ";" comments, blank lines) with an [ApplicationServers] or [WFClient] section, with or without
// the byte-order mark that Windows tools write first.
bool IsLaunchFileContent(const QByteArray& content);

} // namespace ostrel::web
