// The .reg file that stands in for HKEY_CURRENT_USER on Linux: reading values of every type,
// creating keys, writing the browser-emulation DWORD and keeping the rest of the file intact.
#include "base/errors.h"
#include "host/regdocument.h"
#include "host/regstore.h"
#include "writeblock.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringConverter>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

namespace ostrel::host {
namespace {

using Status = RegValueRead::Status;

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr char kEmulationKey[] =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";

// Joins lines the way regedit writes them: each one ended by CR LF.
QByteArray crlf(std::initializer_list<const char*> lines)
{
    QByteArray text;
    for (const char* line : lines)
        text += QByteArray(line) + "\r\n";
    return text;
}
QByteArray crlf(const QList<QByteArray>& lines)
{
    return lines.join("\r\n") + "\r\n";
}

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += char(v);
    return out;
}

// The hex list regedit writes for a string-type value: UTF-16LE with the terminating NUL.
QByteArray hexUtf16(const QString& text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE);
    QByteArray data = encoder(text + QChar(u'\0'));
    return data.toHex(',');
}

// A private folder holding the store's file at the place DefaultPath() gives it in a config folder.
struct Hive {
    QTemporaryDir dir;
    QString folder = dir.path() + "/ostrel-web";
    QString path = folder + "/HKEY_CURRENT_USER.reg";
    RegFileStore store{path};

    void write(const QByteArray& content) const
    {
        QDir().mkpath(folder);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(content), content.size());
    }

    QByteArray read() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QStringList folderEntries() const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    }

    bool writeDword(const std::string& key, const std::string& name, std::uint32_t data)
    {
        auto created = store.CreateKey(key);
        return created && created->WriteDword(name, data);
    }

    RegValueRead readValue(const std::string& key, const std::string& name)
    {
        auto opened = store.OpenKeyReadOnly(key);
        return opened ? opened->ReadValue(name) : RegValueRead{Status::Absent, 999, "<no key>"};
    }
};

struct FileIdentity {
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const FileIdentity& o) const
    {
        return inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

FileIdentity identityOf(const QString& path)
{
    struct stat info {};
    if (::stat(path.toLocal8Bit().constData(), &info) != 0)
        return {};
    return {info.st_ino, info.st_mtim};
}

// ---------------------------------------------------------------------------------------------

TEST(RegStoreRead, stringValueComesBackAsUtf8WithEscapesResolvedAndANul)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\Software\\Citrix\\Receiver]",
                     "\"DisplayVersion\"=\"19.12.0.23\"", "\"Path\"=\"C:\\\\Program Files\\\\\\\"Q\\\"\"",
                     "\"City\"=\"Z\xC3\xBCrich\"", "\"Raw\"=\"C:\\Temp\""}));
    const RegValueRead version = hive.readValue("Software\\Citrix\\Receiver", "DisplayVersion");
    EXPECT_EQ(version.status, Status::Ok);
    EXPECT_EQ(version.type, 1u);
    EXPECT_EQ(version.data, std::string("19.12.0.23\0", 11));
    EXPECT_EQ(hive.readValue("Software\\Citrix\\Receiver", "Path").data,
              std::string("C:\\Program Files\\\"Q\"\0", 21));
    EXPECT_EQ(hive.readValue("Software\\Citrix\\Receiver", "City").data, std::string("Z\xC3\xBCrich\0", 8));
    // A backslash that escapes nothing is the user's unescaped path, kept as written.
    EXPECT_EQ(hive.readValue("Software\\Citrix\\Receiver", "Raw").data, std::string("C:\\Temp\0", 8));
}

TEST(RegStoreRead, dwordComesBackAsFourLittleEndianBytes)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"a\"=dword:00002af9", "\"b\"=DWORD:DEADbeef"}));
    const RegValueRead a = hive.readValue("K", "a");
    EXPECT_EQ(a.status, Status::Ok);
    EXPECT_EQ(a.type, 4u);
    EXPECT_EQ(a.data, bytes({0xf9, 0x2a, 0x00, 0x00}));
    EXPECT_EQ(hive.readValue("K", "b").data, bytes({0xef, 0xbe, 0xad, 0xde}));
}

TEST(RegStoreRead, binaryAndOtherHexTypesComeBackAsStoredBytes)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"bin\"=hex:00,ff,10",
                     "\"empty\"=hex:", "\"q\"=hex(b):01,02,03,04,05,06,07,08", "\"odd\"=hex(4):2a,00,00,00",
                     "\"none\"=hex(0):7", "\"tabbed\"=hex:01,\\", "\t02"}));
    const RegValueRead bin = hive.readValue("K", "bin");
    EXPECT_EQ(bin.status, Status::Ok);
    EXPECT_EQ(bin.type, 3u);
    EXPECT_EQ(bin.data, bytes({0x00, 0xff, 0x10}));
    EXPECT_EQ(hive.readValue("K", "empty").status, Status::Ok);
    EXPECT_EQ(hive.readValue("K", "empty").data, "");
    const RegValueRead q = hive.readValue("K", "q");
    EXPECT_EQ(q.type, 11u);
    EXPECT_EQ(q.data, bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(hive.readValue("K", "odd").type, 4u);
    EXPECT_EQ(hive.readValue("K", "odd").data, bytes({0x2a, 0, 0, 0}));
    EXPECT_EQ(hive.readValue("K", "none").type, 0u);
    EXPECT_EQ(hive.readValue("K", "none").data, bytes({7}));
    EXPECT_EQ(hive.readValue("K", "tabbed").data, bytes({1, 2}));
}

TEST(RegStoreRead, expandStringSpreadOverContinuationLinesComesBackUnexpanded)
{
    const QByteArray hex = hexUtf16("%ProgramFiles%\\x");
    ASSERT_GT(hex.size(), 60);
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]"}) + "\"Dir\"=hex(2):" + hex.left(30) + "\\\r\n  " +
               hex.mid(30, 30) + "\\\r\n  " + hex.mid(60) + "\r\n\"After\"=\"ok\"\r\n");
    const RegValueRead dir = hive.readValue("K", "dir");
    EXPECT_EQ(dir.status, Status::Ok);
    EXPECT_EQ(dir.type, 2u);
    EXPECT_EQ(dir.data, std::string("%ProgramFiles%\\x\0", 17));
    EXPECT_EQ(hive.readValue("K", "After").data, std::string("ok\0", 3));
}

TEST(RegStoreRead, multiStringKeepsItsNulsAndDropsAnOddTrailingByte)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"m\"=hex(7):61,00,00,00,e9,00,00,00,00,00,41",
                     "\"s\"=hex(1):"}));
    const RegValueRead multi = hive.readValue("K", "m");
    EXPECT_EQ(multi.type, 7u);
    EXPECT_EQ(multi.data, std::string("a\0\xC3\xA9\0\0", 6));
    EXPECT_EQ(hive.readValue("K", "s").status, Status::Ok);
    EXPECT_EQ(hive.readValue("K", "s").data, "");
}

TEST(RegStoreRead, byteOrderMarkInsideStringDataIsData)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"s\"=hex(1):ff,fe,41,00,00,00"}));
    EXPECT_EQ(hive.readValue("K", "s").data, std::string("\xEF\xBB\xBF") + std::string("A\0", 2));
}

TEST(RegStoreRead, defaultValueIsTheOneWithTheEmptyName)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "@=\"default\"", "\"@\"=\"named at\""}));
    EXPECT_EQ(hive.readValue("K", "").data, std::string("default\0", 8));
    EXPECT_EQ(hive.readValue("K", "@").data, std::string("named at\0", 9));
}

TEST(RegStoreRead, keyAndValueNamesMatchWithoutRegardToCaseBeyondAscii)
{
    const std::string upperA = "\xC3\x84", lowerA = "\xC3\xA4", upperU = "\xC3\x9C", lowerU = "\xC3\xBC";
    Hive hive;
    hive.write(crlf({kHeader, "", ("[hkey_current_user\\Software\\" + upperA + "rger]").c_str(),
                     ("\"" + upperU + "ber\"=\"1\"").c_str()}));
    EXPECT_EQ(hive.readValue("SOFTWARE\\" + lowerA + "RGER", lowerU + "BER").status, Status::Ok);
    EXPECT_EQ(hive.readValue("software\\" + lowerA + "rger", "uber").status, Status::Absent);
}

TEST(RegStoreRead, leadingBackslashNamesTheSameKey)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\Software\\X]", "\"v\"=\"1\""}));
    EXPECT_EQ(hive.readValue("\\Software\\X", "v").status, Status::Ok);
    EXPECT_EQ(hive.readValue("Software\\X", "v").status, Status::Ok);
}

TEST(RegStoreRead, pathWithAnEmptyNameIsNoKey)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\Software\\X]"}));
    const QByteArray before = hive.read();
    EXPECT_EQ(hive.store.OpenKeyReadOnly("Software\\\\X"), nullptr);
    EXPECT_EQ(hive.store.OpenKeyReadOnly("\\\\Software\\X"), nullptr);
    EXPECT_EQ(hive.store.OpenKeyReadOnly("Software\\X\\"), nullptr);
    EXPECT_EQ(hive.store.CreateKey("Software\\\\X"), nullptr);
    EXPECT_EQ(hive.read(), before);
}

TEST(RegStoreRead, absentKeyGivesNoKeyWhileAbsentValueGivesAbsent)
{
    Hive hive;
    EXPECT_EQ(hive.store.OpenKeyReadOnly("Software\\X"), nullptr); // no file at all
    EXPECT_EQ(hive.store.OpenKeyReadOnly(""), nullptr);
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\Software\\X]", "\"v\"=\"1\""}));
    EXPECT_EQ(hive.store.OpenKeyReadOnly("Software\\Y"), nullptr);
    EXPECT_EQ(hive.store.OpenKeyReadOnly("Software\\X\\Y"), nullptr);
    auto key = hive.store.OpenKeyReadOnly("Software\\X");
    ASSERT_NE(key, nullptr);
    const RegValueRead absent = key->ReadValue("w");
    EXPECT_EQ(absent.status, Status::Absent);
    EXPECT_EQ(absent.data, "");
    EXPECT_NE(hive.store.OpenKeyReadOnly(""), nullptr); // the root is there whenever the file is
}

TEST(RegStoreRead, keyExistsThroughASectionBelowIt)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\Software\\A\\B]"}));
    EXPECT_NE(hive.store.OpenKeyReadOnly("Software\\A"), nullptr);
    EXPECT_NE(hive.store.OpenKeyReadOnly("software"), nullptr);
    EXPECT_EQ(hive.store.OpenKeyReadOnly("Software\\A\\B\\C"), nullptr);
    EXPECT_EQ(hive.store.OpenKeyReadOnly("Software\\AB"), nullptr);
}

TEST(RegStoreRead, sectionsOfOtherRootsAndDeletionsAreNeverMatched)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\Software\\X]", "\"mine\"=\"1\"",
                     "[HKEY_LOCAL_MACHINE\\Software\\X]", "\"theirs\"=\"2\"",
                     "[-HKEY_CURRENT_USER\\Software\\Gone]", "[HKEY_CURRENT_USERS\\Software\\Y]"}));
    EXPECT_EQ(hive.readValue("Software\\X", "mine").status, Status::Ok);
    EXPECT_EQ(hive.readValue("Software\\X", "theirs").status, Status::Absent);
    EXPECT_EQ(hive.store.OpenKeyReadOnly("Software\\Gone"), nullptr);
    EXPECT_EQ(hive.store.OpenKeyReadOnly("Software\\Y"), nullptr);
}

TEST(RegStoreRead, laterDefinitionOfAValueWins)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"v\"=\"first\"", "[HKEY_CURRENT_USER\\Other]",
                     "[HKEY_CURRENT_USER\\k]", "\"V\"=dword:00000002"}));
    EXPECT_EQ(hive.readValue("K", "v").type, 4u);
}

TEST(RegStoreRead, everyOpenSeesTheFileAsItIsNow)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"v\"=\"old\""}));
    EXPECT_EQ(hive.readValue("K", "v").data, std::string("old\0", 4));
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"v\"=\"new\""}));
    EXPECT_EQ(hive.readValue("K", "v").data, std::string("new\0", 4));
    QFile::remove(hive.path);
    EXPECT_EQ(hive.store.OpenKeyReadOnly("K"), nullptr);
}

TEST(RegStoreRead, dataThatDoesNotParseIsPassedOverAsOnImportWhileTheRestOfTheKeyReads)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"short\"=dword:2af9",
                     "\"long\"=dword:000000001", "\"prefixed\"=dword:0x00abcd", "\"badhex\"=hex:01,0g",
                     "\"widehex\"=hex:100", "\"trailing\"=hex:01,", "\"unterminated\"=\"abc",
                     "\"junk\"=\"abc\"def", "\"type\"=hex(zz):01", "\"noparen\"=hex(2:01", "\"word\"=qword:1",
                     "\"deleted\"=-", "\"good\"=\"yes\"", "\"cut\"=hex:01,\\"}));
    auto key = hive.store.OpenKeyReadOnly("K");
    ASSERT_NE(key, nullptr);
    for (const char* name : {"long", "prefixed", "badhex", "widehex", "trailing", "unterminated", "junk",
                             "type", "noparen", "word", "deleted", "cut"})
        EXPECT_EQ(key->ReadValue(name).status, Status::Absent) << name;
    EXPECT_EQ(key->ReadValue("short").data, bytes({0xf9, 0x2a, 0, 0})) << "dword:2af9, fewer than 8 digits";
    EXPECT_EQ(key->ReadValue("good").status, Status::Ok);
}

TEST(RegStoreRead, regedit4FileHoldsStringTypesAsEightBitText)
{
    Hive hive;
    hive.write(crlf({"REGEDIT4", "", "[HKEY_CURRENT_USER\\K]", "\"e\"=hex(2):25,41,25,00", "\"s\"=\"x\""}));
    EXPECT_EQ(hive.readValue("K", "e").data, std::string("%A%\0", 4));
    EXPECT_EQ(hive.readValue("K", "s").data, std::string("x\0", 2));
}

// ---------------------------------------------------------------------------------------------

TEST(RegStoreEncoding, utf16FileWithBomIsReadAndRewrittenAsUtf16WithBom)
{
    const QString before = "Windows Registry Editor Version 5.00\r\n\r\n"
                           "; \u00fcbersicht \u20ac\r\n"
                           "[HKEY_CURRENT_USER\\Software\\Citrix\\Receiver]\r\n"
                           "\"DisplayVersion\"=\"14.12.0.18020\"\r\n"
                           "\"Name\"=\"Z\u00fcrich\"\r\n\r\n";
    const QString inserted = "\"ostrel.exe\"=dword:00002af9\r\n";
    const QByteArray bom("\xFF\xFE");
    QStringEncoder utf16(QStringConverter::Utf16LE);
    Hive hive;
    hive.write(bom + QByteArray(utf16(before)));

    EXPECT_EQ(hive.readValue("Software\\Citrix\\Receiver", "DisplayVersion").data,
              std::string("14.12.0.18020\0", 14));
    EXPECT_EQ(hive.readValue("Software\\Citrix\\Receiver", "Name").data, std::string("Z\xC3\xBCrich\0", 8));

    auto key = hive.store.CreateKey("Software\\Citrix\\Receiver");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteDword("ostrel.exe", 11001));
    QString after = before;
    after.insert(before.indexOf("\r\n\r\n", before.indexOf("Z\u00fcrich")) + 2, inserted);
    EXPECT_EQ(hive.read(), bom + QByteArray(utf16(after)));
}

TEST(RegStoreEncoding, utf8BomAndLfLineEndsAreKept)
{
    const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray before = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"1\"\n";
    Hive hive;
    hive.write(bom + before);
    EXPECT_EQ(hive.readValue("K", "a").status, Status::Ok);
    auto key = hive.store.CreateKey("K\\Sub");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteDword("d", 1));
    EXPECT_EQ(hive.read(), bom + before + "\n[HKEY_CURRENT_USER\\K\\Sub]\n\"d\"=dword:00000001\n\n");
}

TEST(RegStoreEncoding, aFileWithoutBomThatIsNotUtf8IsWindows1252AndKeptSo)
{
    Hive hive;
    // "Zürich" and a euro sign as a Dutch Windows desktop writes them (REGEDIT4, ANSI code page).
    const QByteArray before = crlf({"REGEDIT4", "", "[HKEY_CURRENT_USER\\K]", "\"City\"=\"Z\xFCrich \x80\""});
    hive.write(before);
    EXPECT_EQ(hive.readValue("K", "city").data, std::string("Z\xC3\xBCrich \xE2\x82\xAC") + '\0');
    ASSERT_TRUE(hive.writeDword("K", "n", 1));
    EXPECT_EQ(hive.read(), before + "\"n\"=dword:00000001\r\n")
        << "the rest stays Windows-1252, byte for byte";
}

// Windows-1252 is the reading of a file that is no UTF-8. When the only bytes that made it so are in
// the value a write replaces, the rest, kept byte for byte, would read back as UTF-8 with other
// characters ("Ã©" as "é"), and the key "CafÃ©" would be gone: such a file is written in UTF-8.
TEST(RegStoreEncoding, aWindows1252FileThatAWriteWouldLeaveReadingAsUtf8BecomesUtf8)
{
    // As Windows-1252: "CafÃ©", "RenÃ©" and "één"; the last is what makes the file no UTF-8.
    const auto file = [](const QByteArray& cafe, const QByteArray& value) {
        return crlf({kHeader, ""}) + "[HKEY_CURRENT_USER\\Software\\Caf" + cafe + "]\r\n\"Naam\"=\"Ren" +
               cafe + "\"\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n" + value + "\r\n";
    };
    Hive hive;
    hive.write(file("\xC3\xA9", "\"n\"=\"\xE9\xE9n\""));
    const std::string cafe = "Software\\Caf\xC3\x83\xC2\xA9"; // "CafÃ©" in UTF-8
    const std::string rene = std::string("Ren\xC3\x83\xC2\xA9") + '\0';
    ASSERT_EQ(hive.readValue(cafe, "Naam").data, rene);

    ASSERT_TRUE(hive.writeDword("K", "n", 1));
    EXPECT_EQ(hive.readValue(cafe, "Naam").data, rene);
    EXPECT_EQ(hive.readValue("K", "n").data, bytes({1, 0, 0, 0}));
    EXPECT_EQ(hive.read(), file("\xC3\x83\xC2\xA9", "\"n\"=dword:00000001"));
}

// Content that is no registry file: reading reports it (naming the file and the line), and the
// start-up's write keeps the file aside byte for byte and starts a fresh store.
TEST(RegStoreMalformed, aBrokenFileIsKeptAsideAndTheStoreStartsAfresh)
{
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const QByteArray validUtf16 =
        QByteArray("\xFF\xFE") +
        QByteArray(utf16(QString::fromLatin1(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]"}))));
    struct Case {
        QByteArray content;
        const char* where; // what the reason names
    };
    const std::vector<Case> cases{
        {crlf({"", "; comment first", kHeader, "[HKEY_CURRENT_USER\\K]"}), "line 2"},
        {"garbage", "line 1"},
        {validUtf16 + QByteArray(1, 'x'), "UTF-16"}, // half a code unit
        {QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF") + crlf({kHeader}), "line 1"},
        {QByteArray("\xEF\xBB\xBF") + crlf({kHeader, "\"a\"=\"\xFF\""}), "UTF-8"}, // a BOM promises UTF-8
    };
    for (const Case& c : cases) {
        Hive hive;
        hive.write(c.content);
        try {
            hive.store.OpenKeyReadOnly("K");
            ADD_FAILURE() << "no error for " << c.content.toStdString();
        } catch (const RegistryError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(hive.path.toStdString()), std::string::npos) << message;
            EXPECT_NE(message.find(c.where), std::string::npos) << message;
        }
        EXPECT_NE(hive.store.CreateKey("K"), nullptr) << c.content.toStdString();
        const QStringList entries = hive.folderEntries();
        ASSERT_EQ(entries.size(), 2) << entries.join(' ').toStdString();
        EXPECT_EQ(entries[0], "HKEY_CURRENT_USER.reg");
        EXPECT_TRUE(entries[1].startsWith("HKEY_CURRENT_USER.reg.broken-")) << entries[1].toStdString();
        QFile kept(hive.folder + '/' + entries[1]);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), c.content);
        EXPECT_EQ(hive.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", ""}));
    }
}

// A file that looks empty to a person is a store without keys.
TEST(RegStoreMalformed, aFileThatLooksEmptyIsAStoreWithoutKeys)
{
    for (const QByteArray& blank : {QByteArray("\n"), QByteArray("\r\n  \t\r\n"), QByteArray("\xEF\xBB\xBF"),
                                    QByteArray("\xFF\xFE"), QByteArray("\xFF\xFE\n\0", 4)}) {
        Hive hive;
        hive.write(blank);
        EXPECT_EQ(hive.store.OpenKeyReadOnly("K"), nullptr);
        EXPECT_NE(hive.store.CreateKey("K"), nullptr);
        EXPECT_EQ(hive.folderEntries(), QStringList{"HKEY_CURRENT_USER.reg"}) << "nothing to keep aside";
    }
}

// What is no regular file is never read (a FIFO would block for ever, a device never end), nor a
// store beyond 16 MB; nothing is written or moved then.
TEST(RegStoreMalformed, onlyARegularFileOfAtMost16MbIsRead)
{
    struct Case {
        const char* what;
        std::function<void(const Hive&)> make;
        const char* reason;
    };
    const std::vector<Case> cases{
        {"a folder", [](const Hive& h) { QDir().mkpath(h.path); }, "is not a regular file"},
        {"a FIFO",
         [](const Hive& h) {
             QDir().mkpath(h.folder);
             ::mkfifo(QFile::encodeName(h.path).constData(), 0600);
         },
         "is not a regular file"},
        {"a link to /dev/zero",
         [](const Hive& h) {
             QDir().mkpath(h.folder);
             QFile::link("/dev/zero", h.path);
         },
         "is not a regular file"},
        {"17 MB", [](const Hive& h) { h.write(QByteArray(kHeader) + QByteArray(17 << 20, '\n')); },
         "larger than 16 MB"},
    };
    for (const Case& c : cases) {
        Hive hive;
        c.make(hive);
        QElapsedTimer clock;
        clock.start();
        try {
            hive.store.OpenKeyReadOnly("K");
            ADD_FAILURE() << "no error for " << c.what;
        } catch (const RegistryError& error) {
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
        }
        EXPECT_EQ(hive.store.CreateKey("K"), nullptr) << c.what;
        EXPECT_EQ(hive.folderEntries(), QStringList{"HKEY_CURRENT_USER.reg"}) << c.what;
        EXPECT_LT(clock.elapsed(), 5000) << c.what << " (hangs are what this guards against)";
    }
}

// Whatever the file holds, the store either reports it as a RegistryError or works with it, and
// anything it writes can be read back.
TEST(RegStoreMalformed, arbitraryContentNeverBreaksTheStore)
{
    const QByteArray utf8 = crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"s\"=\"a\\\\b\\\"c\"",
                                  "@=dword:00000001", "\"h\"=hex(7):61,00,00,00,\\", "  62,00,00,00",
                                  "; note", "[HKEY_LOCAL_MACHINE\\K]", "\"x\"=hex:01"});
    QStringEncoder toUtf16(QStringConverter::Utf16LE);
    const QByteArray seeds[] = {utf8,
                                QByteArray("\xFF\xFE") + QByteArray(toUtf16(QString::fromLatin1(utf8)))};
    static constexpr char kAlphabet[] = "[]\"\\@=;,:()\r\n \txX0fFhexdword\xC3\xFF\0";
    const QByteArray alphabet(kAlphabet, sizeof kAlphabet - 1);
    std::mt19937 random(20240611);
    Hive hive;
    int writes = 0;
    for (int round = 0; round < 800; ++round) {
        QByteArray content = seeds[round % 2];
        for (int edits = 1 + int(random() % 4); edits > 0; --edits) {
            const qsizetype at = qsizetype(random() % (content.size() + 1));
            if (random() % 10 == 0)
                content.truncate(at);
            else if (random() % 2 == 0)
                content.insert(at, alphabet[qsizetype(random() % alphabet.size())]);
            else
                content.remove(at, 1 + qsizetype(random() % 4));
        }
        hive.write(content);
        try {
            if (auto key = hive.store.OpenKeyReadOnly("K")) {
                for (const char* name : {"s", "", "h", "x", "missing"})
                    key->ReadValue(name);
            }
        } catch (const RegistryError&) {
        }
        auto key = hive.store.CreateKey("k\\Sub");
        if (key && key->WriteDword("Written", 0x1234)) {
            ++writes;
            const QByteArray written = hive.read();
            RegValueRead back;
            EXPECT_NO_THROW(back = hive.readValue("K\\sub", "written")) << written.toStdString();
            EXPECT_EQ(back.data, bytes({0x34, 0x12, 0, 0})) << written.toStdString();
        }
    }
    EXPECT_GT(writes, 100); // the mutations must leave enough files the store can work with
}

// ---------------------------------------------------------------------------------------------

TEST(RegStoreCreate, missingFileIsCreatedWithTheKeyAndItsAncestorsInRegeditLayout)
{
    Hive hive;
    auto key = hive.store.CreateKey("Software\\Ostrel");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(hive.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\Software]", "",
                                 "[HKEY_CURRENT_USER\\Software\\Ostrel]", ""}));
    EXPECT_EQ(key->ReadValue("x").status, Status::Absent);
}

TEST(RegStoreCreate, emptyFileIsTakenAsAHiveWithoutKeys)
{
    Hive hive;
    hive.write("");
    EXPECT_EQ(hive.store.OpenKeyReadOnly("K"), nullptr);
    ASSERT_NE(hive.store.CreateKey("K"), nullptr);
    EXPECT_EQ(hive.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", ""}));
}

TEST(RegStoreCreate, onlyMissingAncestorsAreAppendedParentFirst)
{
    Hive hive;
    const QByteArray before = crlf({kHeader, "", "[HKEY_CURRENT_USER\\Software]", "\"v\"=\"1\"", "",
                                    "[HKEY_CURRENT_USER\\Software\\Microsoft]", "; end"});
    hive.write(before);
    ASSERT_NE(hive.store.CreateKey("\\software\\Microsoft\\Internet Explorer\\Main"), nullptr);
    EXPECT_EQ(hive.read(),
              before + crlf({"", "[HKEY_CURRENT_USER\\software\\Microsoft\\Internet Explorer]", "",
                             "[HKEY_CURRENT_USER\\software\\Microsoft\\Internet Explorer\\Main]", ""}));
    EXPECT_NE(hive.store.OpenKeyReadOnly("Software\\Microsoft\\Internet Explorer"), nullptr);
}

TEST(RegStoreCreate, existingKeyIsOpenedWithoutWritingTheFile)
{
    Hive hive;
    const QByteArray before = crlf({kHeader, "", "[HKEY_CURRENT_USER\\Software\\A\\B]", "\"v\"=\"1\""});
    hive.write(before);
    const FileIdentity identity = identityOf(hive.path);
    ASSERT_NE(identity.inode, 0u);
    for (const char* path : {"SOFTWARE\\a\\b", "Software\\A", "", "\\"}) {
        auto key = hive.store.CreateKey(path);
        EXPECT_NE(key, nullptr) << path;
    }
    auto key = hive.store.CreateKey("software\\a\\b");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ReadValue("V").data, std::string("1\0", 2));
    EXPECT_EQ(identityOf(hive.path), identity);
    EXPECT_EQ(hive.read(), before);
}

TEST(RegStoreCreate, failsWhenTheFolderCannotBeCreated)
{
    QTemporaryDir dir;
    const QString blocker = dir.path() + "/config";
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a folder");
    }
    RegFileStore store(blocker + "/ostrel-web/HKEY_CURRENT_USER.reg");
    EXPECT_EQ(store.OpenKeyReadOnly("K"), nullptr);
    EXPECT_EQ(store.CreateKey("K"), nullptr);
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "not a folder");
}

// ---------------------------------------------------------------------------------------------

TEST(RegStoreWrite, dwordWrittenThroughACreatedKeyReadsBack)
{
    Hive hive;
    auto key = hive.store.CreateKey(kEmulationKey);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteDword("ostrel.exe", 11001));
    EXPECT_EQ(key->ReadValue("OSTREL.EXE").data, bytes({0xf9, 0x2a, 0x00, 0x00}));

    RegFileStore fresh(hive.path);
    auto reopened = fresh.OpenKeyReadOnly(kEmulationKey);
    ASSERT_NE(reopened, nullptr);
    const RegValueRead value = reopened->ReadValue("ostrel.exe");
    EXPECT_EQ(value.status, Status::Ok);
    EXPECT_EQ(value.type, 4u);
    EXPECT_EQ(value.data, bytes({0xf9, 0x2a, 0x00, 0x00}));
    EXPECT_TRUE(hive.read().endsWith("\r\n\"ostrel.exe\"=dword:00002af9\r\n\r\n"));
}

TEST(RegStoreWrite, everythingElseInTheFileIsKeptByteForByte)
{
    const QByteArray head =
        "\r\n" + crlf({kHeader, "", "; exported by hand", "[HKEY_LOCAL_MACHINE\\Software\\Ostrel]",
                       "\"Emulation\"=dword:00000001", "", "[HKEY_CURRENT_USER\\Software\\Citrix]",
                       "  \"DisplayVersion\"  =  \"19.12.0.23\"   ", "\"Broken\"=dword:xyz",
                       "\"Big\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,\\",
                       "  13,14,15,16,17,18,19"});
    const QByteArray middle =
        crlf({";comment inside the section", "", "[-HKEY_CURRENT_USER\\Software\\Gone]"}) + "\"x\"=\"y\"\n" +
        crlf({"[HKEY_CURRENT_USER\\Software\\Last]"});
    const QByteArray tail = "\"end\"=\"no line end\"";
    Hive hive;
    hive.write(head + middle + tail);

    auto citrix = hive.store.CreateKey("Software\\Citrix");
    ASSERT_NE(citrix, nullptr);
    ASSERT_TRUE(citrix->WriteDword("new", 0xabcd));
    EXPECT_EQ(hive.read(), head + "\"new\"=dword:0000abcd\r\n" + middle + tail);

    auto last = hive.store.CreateKey("Software\\Last");
    ASSERT_NE(last, nullptr);
    ASSERT_TRUE(last->WriteDword("n", 0));
    EXPECT_EQ(hive.read(),
              head + "\"new\"=dword:0000abcd\r\n" + middle + tail + "\r\n\"n\"=dword:00000000\r\n");
}

TEST(RegStoreWrite, stringOfTheSameNameInAnotherCaseIsReplacedInPlace)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"Ostrel.EXE\"=\"old\"", "\"after\"=\"1\""}));
    auto key = hive.store.CreateKey("K");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteDword("ostrel.exe", 11001));
    // The name keeps the spelling it had, as Windows keeps it.
    EXPECT_EQ(hive.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"Ostrel.EXE\"=dword:00002af9",
                                 "\"after\"=\"1\""}));
    EXPECT_EQ(key->ReadValue("OSTREL.exe").type, 4u);
}

TEST(RegStoreWrite, multiLineHexValueIsReplacedByOneLine)
{
    Hive hive;
    hive.write(
        crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"before\"=\"1\"", "\"EMU\"=hex(b):01,02,03,04,\\",
              "  05,06,\\", "  07,08", "  ; indented comment", "\"after\"=\"2\""}));
    auto key = hive.store.CreateKey("K");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteDword("emu", 1));
    EXPECT_EQ(hive.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"before\"=\"1\"",
                                 "\"EMU\"=dword:00000001", "  ; indented comment", "\"after\"=\"2\""}));
    EXPECT_EQ(key->ReadValue("emu").type, 4u);
    EXPECT_EQ(key->ReadValue("after").data, std::string("2\0", 2));
    EXPECT_EQ(key->ReadValue("before").data, std::string("1\0", 2));
}

TEST(RegStoreWrite, valueEndingTheFileWithoutALineEndIsReplacedWithoutAddingOne)
{
    Hive hive;
    const QByteArray head = crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]"});
    hive.write(head + "\"v\"=hex:01,\\\r\n  02");
    ASSERT_TRUE(hive.writeDword("K", "v", 2));
    EXPECT_EQ(hive.read(), head + "\"v\"=dword:00000002");
}

TEST(RegStoreWrite, newValueGoesAfterTheLastValueOfTheKeysLastSection)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"a\"=\"1\"", "", "[HKEY_CURRENT_USER\\K]",
                     "\"b\"=hex:01,\\", "  02", "; after b", "", "[HKEY_CURRENT_USER\\Empty]", "; nothing",
                     "", "[HKEY_CURRENT_USER\\Z]"}));
    ASSERT_TRUE(hive.writeDword("K", "c", 3));
    ASSERT_TRUE(hive.writeDword("Empty", "d", 4));
    EXPECT_EQ(hive.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"a\"=\"1\"", "",
                                 "[HKEY_CURRENT_USER\\K]", "\"b\"=hex:01,\\", "  02", "\"c\"=dword:00000003",
                                 "; after b", "", "[HKEY_CURRENT_USER\\Empty]", "\"d\"=dword:00000004",
                                 "; nothing", "", "[HKEY_CURRENT_USER\\Z]"}));

    // A hex list whose last line still ends in "\" at the end of the file never ends and is passed
    // over; a line after it would end it and bring it in (found by the fuzzer): the new line goes
    // before it, so neither value changes.
    for (const char* list : {"hex:01,02,\\", "hex(7):61,00,00\\"}) {
        Hive open;
        const QByteArray head = crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"b\"=hex:05"});
        const QByteArray tail = QByteArray("\"b\"=") + list;
        open.write(head + tail);
        const auto b = open.readValue("K", "b");
        ASSERT_TRUE(open.writeDword("K", "c", 3));
        EXPECT_EQ(open.readValue("K", "c").data, bytes({3, 0, 0, 0}));
        EXPECT_EQ(open.readValue("K", "b").data, b.data) << list;
        EXPECT_EQ(open.read(), head + crlf({"\"c\"=dword:00000003"}) + tail);

        // A key the file lacks gets its section before the one that holds the open list.
        Hive other;
        other.write(head + tail);
        ASSERT_TRUE(other.writeDword("New\\Sub", "c", 3));
        EXPECT_EQ(other.readValue("New\\Sub", "c").data, bytes({3, 0, 0, 0}));
        EXPECT_EQ(other.readValue("K", "b").data, b.data) << list;
        EXPECT_EQ(other.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\New]", "", "[HKEY_CURRENT_USER\\New\\Sub]",
                                      "\"c\"=dword:00000003", "", "[HKEY_CURRENT_USER\\K]", "\"b\"=hex:05"}) +
                                    tail);
    }
}

TEST(RegStoreWrite, keyKnownOnlyThroughASubkeyGetsItsOwnSection)
{
    Hive hive;
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\A\\B]", ""}));
    auto key = hive.store.CreateKey("A");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteDword("v", 1));
    EXPECT_EQ(hive.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\A\\B]", "", "[HKEY_CURRENT_USER\\A]",
                                 "\"v\"=dword:00000001", ""}));
}

TEST(RegStoreWrite, defaultValueIsWrittenAsAt)
{
    Hive hive;
    auto key = hive.store.CreateKey("K");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteDword("", 0xffffffff));
    EXPECT_EQ(hive.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "@=dword:ffffffff", ""}));
    EXPECT_EQ(hive.readValue("K", "").data, bytes({0xff, 0xff, 0xff, 0xff}));
}

TEST(RegStoreWrite, valueNameIsEscapedAndReadsBack)
{
    Hive hive;
    auto key = hive.store.CreateKey("K");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteDword("a\"b\\c", 5));
    EXPECT_TRUE(hive.read().contains("\r\n\"a\\\"b\\\\c\"=dword:00000005\r\n"));
    EXPECT_EQ(hive.readValue("K", "A\"B\\C").data, bytes({5, 0, 0, 0}));
    EXPECT_FALSE(key->WriteDword("line\nbreak", 1));
}

TEST(RegStoreWrite, readOnlyKeyRefusesToWrite)
{
    Hive hive;
    const QByteArray before = crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"v\"=dword:00000001"});
    hive.write(before);
    auto key = hive.store.OpenKeyReadOnly("K");
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(key->WriteDword("v", 2));
    EXPECT_EQ(hive.read(), before);
}

TEST(RegStoreWrite, fileTurnedMalformedSinceOpeningIsLeftAlone)
{
    Hive hive;
    auto key = hive.store.CreateKey("K");
    ASSERT_NE(key, nullptr);
    const QByteArray broken =
        crlf({"no header", kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"v\"=dword:00000001"});
    hive.write(broken);
    EXPECT_FALSE(key->WriteDword("v", 2));
    EXPECT_EQ(hive.read(), broken);
}

// The start-up writes its value at every start: when it is there already nothing is written, so a
// store an administrator locked (a read-only file or folder) still serves; a rewrite keeps the mode.
TEST(RegStoreWrite, anUnchangedValueIsNotWrittenAgainAndARewriteKeepsTheMode)
{
    Hive hive;
    const QByteArray before = crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"ostrel-web\"=dword:00002af9"});
    hive.write(before);
    const FileIdentity identity = identityOf(hive.path);
    ::chmod(QFile::encodeName(hive.path).constData(), 0444);
    {
        testing::WriteBlock block(hive.folder);
        ASSERT_TRUE(block.active());
        EXPECT_TRUE(hive.writeDword("K", "ostrel-web", 11001)) << "read-only file in a read-only folder";
    }
    EXPECT_EQ(identityOf(hive.path), identity);
    EXPECT_EQ(hive.read(), before);

    if (::geteuid() != 0)
        GTEST_SKIP() << "rewriting a mode-000 file needs root";
    ::chmod(QFile::encodeName(hive.path).constData(), 0);
    EXPECT_TRUE(hive.writeDword("K", "ostrel-web", 1));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(hive.path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0u);
    EXPECT_NE(identityOf(hive.path), identity);
}

TEST(RegStoreWrite, keyRemovedFromTheFileSinceOpeningComesBack)
{
    Hive hive;
    auto key = hive.store.CreateKey("A\\B");
    ASSERT_NE(key, nullptr);
    hive.write(crlf({kHeader, "", "[HKEY_CURRENT_USER\\Other]"}));
    ASSERT_TRUE(key->WriteDword("v", 7));
    EXPECT_EQ(hive.read(), crlf({kHeader, "", "[HKEY_CURRENT_USER\\Other]", "", "[HKEY_CURRENT_USER\\A]", "",
                                 "[HKEY_CURRENT_USER\\A\\B]", "\"v\"=dword:00000007", ""}));
}

TEST(RegStoreWrite, writeLeavesNoTemporaryFileBehindAndTakesAwayAStaleOne)
{
    Hive hive;
    for (std::uint32_t i = 0; i < 3; ++i)
        ASSERT_TRUE(hive.writeDword("K\\" + std::to_string(i), "v", i));
    EXPECT_EQ(hive.folderEntries(), QStringList{"HKEY_CURRENT_USER.reg"});

    // What a write killed at its end leaves, beside a kept broken file that must stay.
    for (const char* name :
         {"/HKEY_CURRENT_USER.reg.Ab12Cd", "/HKEY_CURRENT_USER.reg.broken-20261207-120000"}) {
        QFile file(hive.folder + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.flush();
        file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
    }
    ASSERT_TRUE(hive.writeDword("K", "v", 9));
    EXPECT_EQ(hive.folderEntries(),
              (QStringList{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.broken-20261207-120000"}));
}

TEST(RegStoreWrite, unwritableFolderFailsTheWriteAndKeepsTheFile)
{
    Hive hive;
    const QByteArray before = crlf({kHeader, "", "[HKEY_CURRENT_USER\\K]", "\"v\"=\"s\""});
    hive.write(before);
    auto key = hive.store.CreateKey("K");
    ASSERT_NE(key, nullptr);

    bool blocked = false;
    bool wrote = true;
    bool created = true;
    bool opened = false;
    {
        testing::WriteBlock block(hive.folder);
        blocked = block.active();
        wrote = key->WriteDword("v", 1);
        created = hive.store.CreateKey("K\\New") != nullptr;
        opened = hive.store.CreateKey("k") != nullptr; // exists: needs no write
    }
    ASSERT_TRUE(blocked);
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(created);
    EXPECT_TRUE(opened);
    EXPECT_EQ(hive.read(), before);
    EXPECT_EQ(hive.folderEntries(), QStringList{"HKEY_CURRENT_USER.reg"});
    EXPECT_EQ(key->ReadValue("v").type, 1u); // the key did not take the value it failed to write
    EXPECT_TRUE(key->WriteDword("v", 1));    // and works again once the folder does
}

// A program killed at any moment while it rewrites a large store leaves the old file or the new
// one, never a part; a temporary file it may leave goes with the next write.
TEST(RegStoreWrite, aKillAtAnyMomentLeavesTheOldOrTheNewFileAndNothingElse)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "a write takes seconds under the sanitizer: the plain build kills it mid-write";
#endif
    Hive hive;
    QList<QByteArray> lines{kHeader, ""};
    for (int k = 0; k < 4000; ++k) // about 1 MB
        lines << "[HKEY_CURRENT_USER\\Software\\Bulk\\Key" + QByteArray::number(k) + "]"
              << "\"Text\"=\"" + QByteArray(200, char('a' + k % 26)) + "\""
              << "";
    lines << "[HKEY_CURRENT_USER\\Hot]"
          << "\"n\"=dword:00000000"
          << "";
    const QByteArray start = crlf(lines);
    hive.write(start);
    const auto withValue = [&](std::uint32_t n) {
        QByteArray expected = start;
        return expected.replace("\"n\"=dword:00000000",
                                "\"n\"=dword:" + QByteArray::number(n, 16).rightJustified(8, '0'));
    };
    std::mt19937 random(7);
    int kills = 0;
    std::uint32_t highest = 0;
    int leftBehind = 0;
    qint64 writeUs = 0; // how long one write takes here (a sanitizer build is much slower)
    for (int round = 0; round < 60; ++round) {
        QProcess writer;
        writer.start(OSTREL_STORE_WRITER, {hive.path});
        ASSERT_TRUE(writer.waitForReadyRead(10000)) << "the writer did not start";
        if (writeUs == 0) {
            QElapsedTimer clock;
            clock.start();
            qsizetype lines = 0;
            while ((lines += writer.readAll().count('\n')) < 3 && clock.elapsed() < 10000)
                writer.waitForReadyRead(100);
            writeUs = std::max<qint64>(clock.nsecsElapsed() / 1000 / 2, 1000);
        }
        // Anywhere in the next two writes.
        QThread::usleep(random() % (2 * writeUs));
        ::kill(pid_t(writer.processId()), SIGKILL);
        writer.waitForFinished(5000);
        ++kills;
        const QByteArray now = hive.read();
        RegDocument image(now);
        const RegValueRead n = image.Read("Hot", "n");
        ASSERT_EQ(n.status, RegValueRead::Status::Ok) << "round " << round;
        ASSERT_EQ(n.data.size(), 4u);
        std::uint32_t value = 0;
        std::memcpy(&value, n.data.data(), 4);
        ASSERT_EQ(now, withValue(value)) << "round " << round << ": a whole file, old or new";
        // A kill between the temporary file's naming and its rename (microseconds) can leave it.
        const QStringList entries = hive.folderEntries();
        ASSERT_TRUE(entries.size() == 1 || (entries.size() == 2 && entries[1].size() == 28))
            << entries.join(' ').toStdString();
        leftBehind += int(entries.size()) - 1;
        highest = std::max(highest, value);
    }
    EXPECT_EQ(kills, 60);
    EXPECT_GT(highest, 1u) << "the kills came while it was writing";
    // Such a file is taken away by the next write, once it is stale.
    QThread::sleep(3);
    ASSERT_TRUE(hive.writeDword("Hot", "n", 0));
    EXPECT_EQ(hive.folderEntries(), QStringList{"HKEY_CURRENT_USER.reg"})
        << leftBehind << " were left by kills";
}

// The small files of tests/regedit, each a form regedit imports (the Wine comparison in
// scripts/wine-tests.sh checks the same files against Wine's regedit): each loads, reads as regedit
// leaves it, and keeps every line of its own when the emulation value is written into it.
TEST(RegStoreRegeditForms, everyFileRegeditImportsLoadsReadsAsImportedAndKeepsItsLines)
{
    const std::string k = "Software\\OstrelTest";
    struct Read {
        std::string key, name;
        std::optional<std::string> data; // nothing: absent
    };
    const std::map<QString, std::vector<Read>> expected{
        {"01-ansi-8bit.reg", {{k, "City", std::string("Z\xC3\xBCrich \xE2\x82\xAC\0", 12)}}},
        {"02-continuation-at-column-0.reg",
         {{k, "RootFolder", bytes({1, 0, 0, 0, 0, 0, 0xa0, 0})}, {k, "After", std::string("yes\0", 4)}}},
        {"03-stray-lines.reg", {{k, "Before", std::string("1\0", 2)}, {k, "After", std::string("2\0", 2)}}},
        {"04-string-with-line-break.reg",
         {{k, "Version", std::nullopt}, {k, "Other", std::string("kept\0", 5)}}},
        {"05-deletions.reg",
         {{k, "Gone", std::nullopt},
          {k, "Kept", std::string("2\0", 2)},
          {k, "Later", std::string("3\0", 2)},
          {k + "\\A", "Inner", std::nullopt}}},
        {"06-key-deleted-then-again.reg",
         {{k + "\\A", "Old", std::nullopt}, {k + "\\A", "New", std::string("2\0", 2)}}},
        {"07-hash-comment.reg", {{k, "x", std::string("1\0", 2)}}},
        {"08-trailing-comments.reg",
         {{k, "x", std::string("1\0", 2)}, {k, "d", bytes({4, 0, 0, 0})}, {k, "h", bytes({1, 2})}}},
        {"09-short-dword.reg", {{k, "one", bytes({1, 0, 0, 0})}, {k, "ff", bytes({0xff, 0, 0, 0})}}},
        {"10-cr-only.reg", {{k, "x", std::string("cr\0", 3)}, {k, "y", bytes({2, 0, 0, 0})}}},
        {"18-value-deleted-then-set.reg", {{k, "v", std::string("back\0", 5)}}},
        {"19-unterminated-key.reg", {{k, "b", std::string("2\0", 2)}}},
        {"20-bad-data-keeps-earlier.reg", {{k, "v", std::string("1\0", 2)}, {k, "w", std::nullopt}}},
    };
    const QStringList files = QDir(OSTREL_REGEDIT_FILES).entryList({"*.reg"}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 20);
    for (const QString& name : files) {
        Hive hive;
        QFile file(QString(OSTREL_REGEDIT_FILES) + '/' + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray original = file.readAll();
        hive.write(original);
        for (const Read& read : expected.count(name) ? expected.at(name) : std::vector<Read>{}) {
            const RegValueRead value = hive.readValue(read.key, read.name);
            if (read.data)
                EXPECT_EQ(value.data, *read.data) << name.toStdString() << " " << read.name;
            else
                EXPECT_EQ(value.status, Status::Absent) << name.toStdString() << " " << read.name;
        }
        ASSERT_TRUE(hive.writeDword(kEmulationKey, "ostrel-web", 11001)) << name.toStdString();
        // Every line of the file is still there, in order: the write only added its own.
        const QByteArray written = hive.read();
        qsizetype at = 0;
        for (QByteArray line : original.split('\n')) {
            at = written.indexOf(line, at);
            ASSERT_GE(at, 0) << name.toStdString() << ": lost \"" << line.toStdString() << "\"";
            at += line.size();
        }
        EXPECT_EQ(hive.readValue(kEmulationKey, "ostrel-web").data, bytes({0xf9, 0x2a, 0, 0}))
            << name.toStdString();
    }
}

// ---------------------------------------------------------------------------------------------

TEST(RegStorePath, defaultPathLiesInTheXdgConfigFolder)
{
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedHome = qgetenv("HOME");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/cfg").toLocal8Bit());
    const QString configured = RegFileStore::DefaultPath();
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("HOME", dir.path().toLocal8Bit());
    const QString fallback = RegFileStore::DefaultPath();
    qputenv("HOME", savedHome);
    if (!savedConfig.isNull())
        qputenv("XDG_CONFIG_HOME", savedConfig);
    EXPECT_EQ(configured, dir.path() + "/cfg/ostrel-web/HKEY_CURRENT_USER.reg");
    EXPECT_EQ(fallback, dir.path() + "/.config/ostrel-web/HKEY_CURRENT_USER.reg");
}

} // namespace
} // namespace ostrel::host
