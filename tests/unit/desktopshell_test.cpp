// The desktop's program for a link scheme, looked up as xdg-open does: xdg-mime's default handler in
// a desktop of the test's own (its config and data folders), named by that handler's desktop entry.
#include "host/desktopshell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <utility>
#include <vector>

namespace ostrel::host {
namespace {

// Every variable the lookup or xdg-mime reads; each test sets them all and puts them back after.
constexpr const char* kVariables[] = {"PATH",          "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS",
                                      "XDG_DATA_HOME", "XDG_DATA_DIRS",   "XDG_CURRENT_DESKTOP"};

constexpr char kMimeApps[] = R"([Default Applications]
x-scheme-handler/ostrel-plain=ostrel-plain.desktop
x-scheme-handler/ostrel-dutch=ostrel-dutch.desktop
x-scheme-handler/ostrel-vendor=vendor-mail.desktop
x-scheme-handler/ostrel-escapes=ostrel-escapes.desktop
x-scheme-handler/ostrel-nodisplay=ostrel-nodisplay.desktop
x-scheme-handler/ostrel-hidden=ostrel-hidden.desktop
x-scheme-handler/ostrel-legacy=ostrel-legacy.desktop
)";

// Desktop entries by their place below the fixture's folder; xdg-mime names only entries whose
// program is a file on the PATH (from xdg-utils 1.2 a shell builtin such as "true" is not), hence
// "env".
const std::pair<const char*, const char*> kEntries[] = {
    {"user/applications/ostrel-plain.desktop",
     "[Desktop Entry]\nType=Application\nName=Ostrel Mail\n"
     "Exec=env %u\n\n[Desktop Action compose]\nName=Nieuw bericht\n"},
    {"system1/applications/ostrel-plain.desktop", "[Desktop Entry]\nName=Shadowed Mail\nExec=env %u\n"},
    {"system2/applications/ostrel-dutch.desktop",
     "[Desktop Entry]\nName[nl]=Post\nName=Mail\nName[de]=Post DE\n"
     "Name[nl_BE]=Post BE\nExec=env %u\n"},
    {"system1/applications/vendor/mail.desktop", "[Desktop Entry]\nName=Vendor Mail\nExec=env %u\n"},
    {"user/applications/ostrel-escapes.desktop",
     "[Desktop Entry]\nName = \\sPost\\\\kamer\\tA\\nB\\rC\\;\nExec=env %u\n"},
    {"user/applications/ostrel-nodisplay.desktop",
     "[Desktop Entry]\nName=Background Mail\nNoDisplay=true\nExec=env\n"},
    {"user/applications/ostrel-hidden.desktop",
     "[Desktop Entry]\nName=Deleted Mail\nHidden=true\nExec=env %u\n"},
    // xdg-mime finds an id in any subfolder; by its id this file is "legacy-ostrel-legacy.desktop".
    {"user/applications/legacy/ostrel-legacy.desktop", "[Desktop Entry]\nName=Legacy Mail\nExec=env %u\n"},
};

// xdg-mime as the lookup finds it on the PATH: the real one, after it noted its arguments; for the
// scheme ostrel-slow it names a handler at once but takes 10 s to finish.
constexpr char kFakeXdgMime[] = R"(#!/bin/sh
printf '%s\n' "$*" >> '%1'
if [ "$3" = x-scheme-handler/ostrel-slow ]; then
    echo $$ > '%2'
    echo ostrel-plain.desktop
    exec sleep 10
fi
exec '%3' "$@"
)";

class DesktopShellProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : kVariables)
            saved_.emplace_back(name, qgetenv(name));
        const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (xdgMime.isEmpty())
            GTEST_SKIP() << "xdg-mime (xdg-utils) is not installed";
        ASSERT_TRUE(dir_.isValid());
        write("config/mimeapps.list", kMimeApps);
        for (const auto& [path, text] : kEntries)
            write(path, text);
        write("bin/xdg-mime",
              QString::fromLatin1(kFakeXdgMime).arg(path("calls"), path("slow.pid"), xdgMime).toUtf8());
        QFile::setPermissions(path("bin/xdg-mime"), QFile::ReadOwner | QFile::ExeOwner);
        qputenv("PATH", (path("bin") + u':').toUtf8() + qgetenv("PATH"));
        qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", path("noconfig").toUtf8());
        qputenv("XDG_DATA_HOME", path("user").toUtf8());
        qputenv("XDG_DATA_DIRS", (path("system1") + u':' + path("system2")).toUtf8());
        // The generic desktop, whatever desktop runs the tests (KDE's own lookup asks KDE).
        qputenv("XDG_CURRENT_DESKTOP", "X-Generic");
    }

    void TearDown() override
    {
        for (const auto& [name, value] : saved_)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }

    QString path(const QString& relative) const { return dir_.filePath(relative); }

    void write(const QString& relative, const QByteArray& text) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QStringList calls() const
    {
        QFile file(path("calls"));
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    QTemporaryDir dir_;
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST_F(DesktopShellProgram, namesTheHandlersEntryOnlyForSchemesAndEntriesThatHoldOne)
{
    struct Case {
        const char* scheme;
        std::string name;
        bool asked; // whether xdg-mime is asked at all
    };
    const Case cases[] = {
        {"ostrel-plain", "Ostrel Mail", true},  // the user's entry before the system's
        {"OSTREL-Plain", "Ostrel Mail", true},  // asked in lower case
        {"ostrel-dutch", "Post", true},         // Name[nl] before Name, in the second system folder
        {"ostrel-vendor", "Vendor Mail", true}, // vendor-mail.desktop as vendor/mail.desktop
        {"ostrel-escapes", " Post\\kamer\tA\nB\rC\\;", true},
        {"ostrel-nodisplay", "Background Mail", true}, // out of menus, still the handler
        {"ostrel-none", "", true},
        {"ostrel-hidden", "", true},
        {"ostrel-legacy", "", true}, // named by xdg-mime, but no folder holds that id
        {"ostrel plain", "", false},
        {"ostrel-plain;touch", "", false},
        {"x-scheme-handler/ostrel-plain", "", false},
        {"1ostrel", "", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scheme);
        const qsizetype before = calls().size();
        EXPECT_EQ(DesktopShell().ProgramForScheme(c.scheme), c.name);
        const QStringList after = calls();
        if (c.asked) {
            ASSERT_EQ(after.size(), before + 1);
            EXPECT_EQ(after.last(), QStringLiteral("query default x-scheme-handler/") +
                                        QString::fromLatin1(c.scheme).toLower());
        } else {
            EXPECT_EQ(after.size(), before);
        }
    }
}

// The GUI waits for the lookup: an answer that takes seconds counts as none, and its xdg-mime is ended.
TEST_F(DesktopShellProgram, takesNoAnswerFromAnXdgMimeThatKeepsItWaitingAndEndsIt)
{
    EXPECT_EQ(DesktopShell().ProgramForScheme("ostrel-slow"), "");
    QFile pidFile(path("slow.pid"));
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pidFile.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    const bool running = kill(pid, 0) == 0;
    EXPECT_FALSE(running) << "the slow xdg-mime was left running";
    if (running)
        kill(pid, SIGKILL);
}

} // namespace
} // namespace ostrel::host
