// Remote-workplace launch files (.ica): the one kind of download the program opens by itself, and
// only one that reads as such a file, from a page of the insurer's own.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace ostrel::web {

// Launch files are a few kilobytes; anything longer is not one.
inline constexpr qsizetype kLaunchFileMaxBytes = 64 * 1024;

// True for a name that says launch file (".ica", any case).
bool HasLaunchFileName(const QString& fileName);

// True for text that reads as a launch file: lines of an INI file only (sections, key=value,
// ";" comments, blank lines) with an [ApplicationServers] or [WFClient] section.
bool IsLaunchFileContent(const QByteArray& content);

// True when url lies on one of the origins (scheme, host and port).
bool OnOrigin(const QUrl& url, const QList<QUrl>& origins);

} // namespace ostrel::web
