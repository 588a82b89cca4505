// The browser-emulation value against a real store file: what lands in the file, and what is kept.
#include "app/browseremulation.h"
#include "base/errors.h"
#include "host/regstore.h"
#include "writeblock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ostrel::host {
namespace {

constexpr char kSection[] = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet "
                            "Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION]";

struct Store {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("ostrel-web/HKEY_CURRENT_USER.reg"));
    RegFileStore store{path};

    void write(const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray read() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    RegValueRead value(const std::string& name)
    {
        auto key = store.OpenKeyReadOnly(kBrowserEmulationKey.data());
        return key ? key->ReadValue(name) : RegValueRead{};
    }
};

const std::string kIE11Bytes("\xf9\x2a\x00\x00", 4);

TEST(BrowserEmulation, createsTheKeyAndWritesTheProgramsNameAsDword11001)
{
    Store s;
    EnableBrowserEmulation(s.store, "/opt/ostrel/ostrel-web");
    const RegValueRead value = s.value("ostrel-web");
    EXPECT_EQ(value.status, RegValueRead::Status::Ok);
    EXPECT_EQ(value.type, static_cast<std::uint32_t>(RegType::Dword));
    EXPECT_EQ(value.data, kIE11Bytes);
    EXPECT_TRUE(s.read().contains("\"ostrel-web\"=dword:00002af9"));
    EXPECT_TRUE(s.read().contains("[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer]"))
        << "missing parents are created too";
}

TEST(BrowserEmulation, anyEarlierValueOfThatNameBecomesDword11001AndTheRestStays)
{
    for (const QByteArray& earlier :
         {QByteArray("dword:00002af9"), QByteArray("\"9999\""), QByteArray("dword:00001f40")}) {
        Store s;
        const QByteArray before = QByteArray("Windows Registry Editor Version 5.00\r\n\r\n; kept\r\n"
                                             "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"x\"=\"y\"\r\n\r\n") +
                                  kSection + "\r\n\"other.exe\"=dword:00001f40\r\n\"Portal.EXE\"=" + earlier +
                                  "\r\n";
        s.write(before);
        EnableBrowserEmulation(s.store, "C:\\Apps\\Portal.EXE");
        const QByteArray after = s.read();
        QByteArray expected = before;
        expected.replace("\"Portal.EXE\"=" + earlier, "\"Portal.EXE\"=dword:00002af9");
        EXPECT_EQ(after, expected) << earlier.constData();
    }
}

TEST(BrowserEmulation, valueNameIsTheFileNameWithItsExtensionAndCase)
{
    EXPECT_EQ(ProgramFileName("C:\\Apps\\Portal.EXE"), "Portal.EXE");
    EXPECT_EQ(ProgramFileName("D:Portal.exe"), "Portal.exe");
    EXPECT_EQ(ProgramFileName("/usr/bin/ostrel-web"), "ostrel-web");
    EXPECT_EQ(ProgramFileName("ostrel-web"), "ostrel-web");
}

// A store that cannot be written: without the key there is no key to open and the user reads
// the IE11 message; with the key there but not the value, the value cannot be set and the user
// reads that. Either way the file stays as it was.
TEST(BrowserEmulation, anUnwritableStoreGivesTheIE11MessageOrFailedToSetAndKeepsTheFile)
{
    {
        Store s;
        // The store's folder cannot exist where a file stands (chmod would not stop root).
        QFile blocker(QFileInfo(s.path).path());
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        try {
            EnableBrowserEmulation(s.store, "/opt/ostrel/ostrel-web");
            FAIL() << "no error";
        } catch (const RegistryError&) {
            FAIL() << "the general error is expected";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Helaas het is niet mogelijk om IE11 te gebruiken.");
        }
        EXPECT_FALSE(QFile::exists(s.path));
    }
    Store s;
    const QByteArray before = QByteArray("Windows Registry Editor Version 5.00\r\n\r\n") + kSection + "\r\n";
    s.write(before);
    testing::WriteBlock block(QFileInfo(s.path).path());
    ASSERT_TRUE(block.active());
    try {
        EnableBrowserEmulation(s.store, "/opt/ostrel/ostrel-web");
        ADD_FAILURE() << "no error";
    } catch (const RegistryError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'ostrel-web'");
    }
    EXPECT_EQ(s.read(), before);
}

// A damaged store no longer keeps the browser from its modern mode: it is kept aside, byte for
// byte, and the value goes into a fresh one.
TEST(BrowserEmulation, aDamagedStoreIsKeptAsideAndTheValueWrittenToAFreshOne)
{
    Store s;
    const QByteArray damaged(
        "rubbish\r\nWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n");
    s.write(damaged);
    EXPECT_NO_THROW(EnableBrowserEmulation(s.store, "/opt/ostrel/ostrel-web"));
    EXPECT_TRUE(s.read().contains("\"ostrel-web\"=dword:00002af9"));
    const QStringList kept = QDir(QFileInfo(s.path).path()).entryList({"HKEY_CURRENT_USER.reg.broken-*"});
    ASSERT_EQ(kept.size(), 1);
    QFile file(QFileInfo(s.path).path() + '/' + kept[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), damaged);
}

} // namespace
} // namespace ostrel::host
