// "Over Ostrel Web": the text of the facts a support call needs, and how the parts that know the
// facts tell them (the start-up's Citrix lookup, the registry store's readings).
#include "fakes.h"

#include "app/supportfacts.h"
#include "base/errors.h"
#include "host/probe.h"
#include "host/regstore.h"
#include "navigation/portal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

namespace ostrel::app {
namespace {

using Outcome = navigation::CitrixLookup::Outcome;
using Reading = host::RegistryStoreStatus::Reading;

constexpr char kVersions[] = "Ostrel Web 6.9\nQt 6.4.2\nQt WebEngine 6.4.2, Chromium 102.0.5005.177\n";
constexpr char kStore[] = "/home/tp/.config/ostrel-web/HKEY_CURRENT_USER.reg";
constexpr char kPrimary[] = "https://ows1.ostrel.nl/";
constexpr char kSecondary[] = "https://ows2.ostrel.nl/";

// A start-up that went well: the Receiver found, the store read, no switch, no probe yet.
SupportFacts started()
{
    SupportFacts facts;
    facts.versions = kVersions;
    facts.citrix = {Outcome::Found, "19.12.0.23"};
    facts.store.path = kStore;
    facts.store.reading = Reading::Read;
    return facts;
}

struct Case {
    const char* what;
    std::function<void(SupportFacts&)> change;
    const char* expected; // after the versions
};

const Case kCases[] = {
    {"a start-up that went well", [](SupportFacts&) {},
     "Citrix Receiver: 19.12.0.23\n"
     "Modus: normaal\n"
     "Register: /home/tp/.config/ostrel-web/HKEY_CURRENT_USER.reg\n"
     "Registerstatus: gelezen\n"
     "Verbindingstests (F2): nog geen\n"},
    {"no Citrix Receiver found, light",
     [](SupportFacts& f) {
         f.citrix = {Outcome::NoneFound, ""};
         f.light = true;
     },
     "Citrix Receiver: niet gevonden\n"
     "Modus: light\n"
     "Register: /home/tp/.config/ostrel-web/HKEY_CURRENT_USER.reg\n"
     "Registerstatus: gelezen\n"
     "Verbindingstests (F2): nog geen\n"},
    {"the store kept aside on a date, debug",
     [](SupportFacts& f) {
         f.debug = true;
         f.store.keptAsidePath = std::string(kStore) + ".broken-20250312-101502";
         f.store.keptAsideOn = "12-03-2025 10:15:02";
     },
     "Citrix Receiver: 19.12.0.23\n"
     "Modus: debug\n"
     "Register: /home/tp/.config/ostrel-web/HKEY_CURRENT_USER.reg\n"
     "Registerstatus: gelezen\n"
     "Apart gezet: 12-03-2025 10:15:02, het beschadigde bestand als "
     "/home/tp/.config/ostrel-web/HKEY_CURRENT_USER.reg.broken-20250312-101502\n"
     "Verbindingstests (F2): nog geen\n"},
    {"an unreadable store, both switches",
     [](SupportFacts& f) {
         f.citrix = {Outcome::NoneFound, ""};
         f.debug = f.light = true;
         f.store.reading = Reading::Unreadable;
         f.store.problem = "Registry file \"/x.reg\": is not a regular file";
     },
     "Citrix Receiver: niet gevonden (register onleesbaar)\n"
     "Modus: debug en light\n"
     "Register: /home/tp/.config/ostrel-web/HKEY_CURRENT_USER.reg\n"
     "Registerstatus: onleesbaar: Registry file \"/x.reg\": is not a regular file\n"
     "Verbindingstests (F2): nog geen\n"},
    {"several probes: the last five, newest first, each read as the gateway choice reads it",
     [](SupportFacts& f) {
         f.citrix = {Outcome::Unreadable, "Invalid data type for 'DisplayVersion'"};
         f.store = {};                               // the Windows registry
         f.RecordProbe({"09:00:00", kPrimary, 200}); // the sixth from the end: gone
         f.RecordProbe({"09:58:01", kPrimary, 200});
         f.RecordProbe({"09:59:30", kPrimary, 503});
         f.RecordProbe({"09:59:40", kSecondary, 200});
         f.RecordProbe({"10:14:50", kPrimary, host::kProbeNoResponse});
         f.RecordProbe({"10:15:02", kSecondary, host::kProbeStatusUnreadable});
     },
     "Citrix Receiver: onleesbaar: Invalid data type for 'DisplayVersion'\n"
     "Modus: normaal\n"
     "Register: het register van Windows (HKEY_CURRENT_USER)\n"
     "Verbindingstests (F2), nieuwste eerst:\n"
     "  10:15:02  https://ows2.ostrel.nl/  antwoord zonder leesbare status\n"
     "  10:14:50  https://ows1.ostrel.nl/  geen antwoord\n"
     "  09:59:40  https://ows2.ostrel.nl/  200, bereikbaar\n"
     "  09:59:30  https://ows1.ostrel.nl/  503, niet bruikbaar\n"
     "  09:58:01  https://ows1.ostrel.nl/  200, bereikbaar\n"},
    {"a start-up that ended before the Citrix lookup", [](SupportFacts& f) { f.citrix = {}; },
     "Citrix Receiver: nog niet opgezocht\n"
     "Modus: normaal\n"
     "Register: /home/tp/.config/ostrel-web/HKEY_CURRENT_USER.reg\n"
     "Registerstatus: gelezen\n"
     "Verbindingstests (F2): nog geen\n"},
};

TEST(SupportText, oneLineAFactForEveryCombination)
{
    for (const Case& c : kCases) {
        SupportFacts facts = started();
        c.change(facts);
        EXPECT_EQ(SupportText(facts), std::string(kVersions) + c.expected) << c.what;
    }
}

TEST(SupportFacts, theStartUpsVersionPostTellsWhatItFoundOfCitrix)
{
    constexpr char kKey[] =
        "SOFTWARE\\Citrix\\Receiver\\InstallDetect\\{A9852000-047D-11DD-95FF-0800200C9A66}";
    testing::CallLog log;
    testing::FakeBrowser browser(log);
    testing::FakeRegistry registry;
    navigation::PortalRequests portal(browser, registry);
    navigation::CitrixLookup told;
    portal.SetOnCitrixLookup([&](const navigation::CitrixLookup& found) { told = found; });

    portal.PostVersionData(true);
    EXPECT_EQ(told.outcome, Outcome::NoneFound);
    registry.SetValue(kKey, "DisplayVersion", host::RegType::Sz, std::string("19.12.0.23\0", 11));
    portal.PostVersionData(true);
    EXPECT_EQ(told.outcome, Outcome::Found);
    EXPECT_EQ(told.text, "19.12.0.23");
    registry.SetValue(kKey, "DisplayVersion", host::RegType::Dword, "1234");
    EXPECT_THROW(portal.PostVersionData(true), RegistryError);
    EXPECT_EQ(told.outcome, Outcome::Unreadable);
    EXPECT_EQ(told.text, "Invalid data type for 'DisplayVersion'");
}

TEST(SupportFacts, theStoreTellsItsFileAndHowItsLastReadingWent)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("HKEY_CURRENT_USER.reg"));
    host::RegFileStore store(path);
    EXPECT_EQ(store.StoreStatus().path, path.toStdString());
    EXPECT_EQ(store.StoreStatus().reading, Reading::NotYet);
    EXPECT_EQ(store.OpenKeyReadOnly("Software"), nullptr);
    EXPECT_EQ(store.StoreStatus().reading, Reading::Absent);

    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("rubbish\r\n");
    damaged.close();
    EXPECT_NE(store.CreateKey("Software\\Ostrel"), nullptr);
    const QStringList kept = QDir(dir.path()).entryList({QStringLiteral("HKEY_CURRENT_USER.reg.broken-*")});
    ASSERT_EQ(kept.size(), 1);
    host::RegistryStoreStatus told = store.StoreStatus();
    EXPECT_EQ(told.reading, Reading::Read);
    EXPECT_EQ(told.keptAsidePath, dir.filePath(kept[0]).toStdString());
    EXPECT_EQ(
        kept[0].sliced(kept[0].size() - 15).toStdString(),
        QDateTime::fromString(QString::fromStdString(told.keptAsideOn), QStringLiteral("dd-MM-yyyy HH:mm:ss"))
            .toString(QStringLiteral("yyyyMMdd-HHmmss"))
            .toStdString());

    ASSERT_TRUE(QFile::remove(path) && QDir().mkpath(path)); // no file that can be read
    EXPECT_THROW(store.OpenKeyReadOnly("Software"), RegistryError);
    told = store.StoreStatus();
    EXPECT_EQ(told.reading, Reading::Unreadable);
    EXPECT_NE(told.problem.find("is not a regular file"), std::string::npos) << told.problem;
    EXPECT_FALSE(told.keptAsidePath.empty()) << "what was kept aside stays told";
}

} // namespace
} // namespace ostrel::app
