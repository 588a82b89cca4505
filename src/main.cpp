#include "app/startup.h"
#include "host/proxies.h"
#include "host/readahead.h"
#include "host/services.h"
#include "host/tokenpin.h"
#include "startuptrace.h"
#include "ui/TApplication.h"
#include "ui/TWebNavigator.h"
#include "web/browserprofile.h"
#include "web/logindialog.h"
#include "web/popupwindow.h"
#include "web/versions.h"
#include "web/webenginebrowser.h"

#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>
#if defined(__GNUC__) || defined(__clang__)
#include <cxxabi.h>
#endif

namespace {

// The error's class as the source names it (MSVC's type names already read so).
QString className(const std::exception& error)
{
#if defined(__GNUC__) || defined(__clang__)
    int status = 0;
    char* kind = abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status);
    QString name = QString::fromUtf8(status == 0 && kind ? kind : typeid(error).name());
    std::free(kind);
    return name;
#else
    return QString::fromUtf8(typeid(error).name());
#endif
}

// The runtime's last word when the main window cannot be built: the program cannot run without it.
void showApplicationError(const std::exception& error)
{
    const QString text = QStringLiteral("Exception %1 in module ostrel-web.\n%2")
                             .arg(className(error), QString::fromUtf8(error.what()));
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

constexpr const char* kHelp =
    "Gebruik: ostrel-web [argument ...]\n"
    "Het portaal van Ostrel voor tussenpersonen, met de knoppen naar elke bestemming.\n"
    "\n"
    "Een argument dat \"debug\" bevat (hoofdletters of niet) toont de meldingen van pagina's tot\n"
    "de eerste bestemming en schrijft wat er stil misgaat naar de uitvoer; een argument dat\n"
    "\"light\" bevat geeft de smalle kop, zonder OWS (F2) en Bestanden (F4).\n"
    "\n"
    "Toetsen: F2 OWS, F4 Bestanden, F5 het portaal, F11 Teamviewer, F12 de rekenmachine (bij het\n"
    "loslaten); F6 naar de knoppen en terug; Ctrl+F zoeken, Ctrl+P afdrukken.\n"
    "\n"
    "  --version   de versies van het programma, Qt en de browser, en stoppen\n"
    "  --help      deze tekst, en stoppen\n";

} // namespace

int main(int argc, char* argv[])
{
    using ostrel::ui::TApplication;
    const ostrel::StartupTrace trace("main");
    // Taken before Qt removes the arguments it knows from argv.
    const ostrel::host::ProcessInfo process = ostrel::host::CurrentProcess(argc, argv);
    // Answered without a window; any other argument is read by the start-up's switch scan.
    for (const std::string& argument : process.arguments) {
        if (argument == "--version" || argument == "--help") {
            std::fputs(argument == "--help" ? kHelp : qPrintable(ostrel::web::VersionsText()), stdout);
            return 0;
        }
    }
    // Read while the application and the window are made: at the first start after the machine
    // booted, they come from the disk.
    ostrel::host::ReadAhead(ostrel::web::BrowserProfile::EngineFiles());
    ostrel::ui::PrepareApplication();
    TApplication application(argc, argv);
    trace.Mark("application made");
    // A smart card's PIN is the user's to give, in our dialog, when the engine needs the card.
    ostrel::host::AnswerTokenPins(&ostrel::web::LoginDialog::AskForPin);
    // The session's proxies and the browser profile are the program's: the engine and the gateway
    // probe take the one proxy setting read here and share the logins, and the profile goes after
    // every page, before the application.
    ostrel::host::Proxies proxies(ostrel::host::ReadProxySetting(), &ostrel::host::FetchProxyScript);
    ostrel::host::Services services = ostrel::host::PlatformServices(process, proxies);
    trace.Mark("services made");
    ostrel::web::BrowserProfile profile(proxies);

    std::unique_ptr<ostrel::ui::TWebNavigator> webNavigator;
    try {
        webNavigator = std::make_unique<ostrel::ui::TWebNavigator>(services, profile);
    } catch (const std::exception& error) {
        showApplicationError(error);
        return 1;
    }
    trace.Mark("window made");
    if (lcStartup().isDebugEnabled())
        QObject::connect(webNavigator->WebBrowser->page(), &QWebEnginePage::loadFinished,
                         [&trace](bool ok) { trace.Mark(ok ? "a page loaded" : "a page failed"); });
    TApplication::Guarded([&] { webNavigator->FormCreate(); });
    trace.Mark("sequence done");
    webNavigator->show();
    trace.Mark("window shown");
    // The launcher's show command ("start /min") counts once, when the message loop starts.
    QTimer::singleShot(0, webNavigator.get(),
                       [window = webNavigator.get(), showCommand = process.showCommand] {
                           ostrel::app::ApplyLaunchShowRequest(*window, showCommand);
                       });
    const int exitCode = TApplication::exec();
    ostrel::web::PopupWindow::CloseAll(); // the windows that pages opened go with the main window
    return exitCode;
}
