#include "ui/TApplication.h"

#include "app/errorbox.h"
#include "base/version.h"
#include "host/keyboard.h"
#include "ui/graphiccontrol.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QQuickWindow>
#include <QTranslator>
#include <QWidget>

namespace ostrel::ui {

namespace {
QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string messageOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

// A graphics device that OpenGL can draw with: a DRM node, or NVIDIA's own driver.
bool HasGraphicsDevice()
{
    return !QDir(QStringLiteral("/dev/dri"))
                .entryList({QStringLiteral("renderD*"), QStringLiteral("card*")}, QDir::System)
                .isEmpty() ||
           QFileInfo::exists(QStringLiteral("/dev/nvidia0"));
}
} // namespace

void PrepareApplication()
{
    // The header is laid out in device pixels, with fonts by pixel height: not scaled with the
    // desktop's text size (QT_SCALE_FACTOR still scales the whole window).
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
#ifndef Q_OS_WIN
#if QT_VERSION < QT_VERSION_CHECK(6, 6, 0)
    // Before 6.6 Qt WebEngine shows the page's content to a screen reader only when this is set
    // (to anything: "0" is taken away); later it does unless it is "0". Either way the engine
    // builds the page's accessible tree only while assistive technology is active.
    if (qgetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY") == "0")
        qunsetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY");
    else
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
#endif
    // Without a graphics device OpenGL is Mesa's software rasteriser (llvmpipe), which costs the
    // page view about 200 ms at start and 70 MB: Qt Quick's own software renderer draws the same
    // pages, and then nothing uses OpenGL. Loading it anyway (Qt's GLX integration and the shared
    // context Qt WebEngine asks for) costs QApplication 55 ms. QT_QUICK_BACKEND, when set, still
    // decides.
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND") && !HasGraphicsDevice()) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        // Qt WebEngine still tries to make its shared context and says on stderr that it cannot
        // ("neither GLX nor EGL are enabled", "No suitable graphics backend found"): harmless.
        if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
            qputenv("QT_XCB_GL_INTEGRATION", "none");
        return;
    }
#endif
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // Qt WebEngine needs it up front
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The name decides where the browser profile and the registry store live; the title is the
    // message boxes' caption. No display name: Qt would append it to every window title.
    setApplicationName(QStringLiteral("ostrel-web"));
    setDesktopFileName(QStringLiteral("ostrel-web"));
    setApplicationVersion(qs(kApplicationVersion));
    // The program speaks Dutch whatever the desktop's language: Qt's own dialogs (print, file
    // chooser, the buttons of message boxes) from Qt's translations, and the engine, which takes
    // its language from the default locale when it starts, in its pages and PDF viewer.
    QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
    for (const char* catalogue : {"qtbase_nl", "qtwebengine_nl"}) {
        auto* translator = new QTranslator(this);
        if (translator->load(QLatin1String(catalogue), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            installTranslator(translator);
        else
            delete translator; // Debian 12 has no catalogue of the engine's own
    }
    host::MakeHeldKeysReleaseOnce(); // a held F5 fires its shortcut once
    // Every window of the program, the ones pages open included, shows the program's icon, at
    // every size the resources hold.
    QIcon icon;
    for (QDirIterator it(QStringLiteral(":/assets/icons/hicolor"), {QStringLiteral("ostrel-web.png")},
                         QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        icon.addPixmap(QPixmap::fromImage(ReadPicture(it.next(), "png")));
    setWindowIcon(icon);
}

TApplication::~TApplication() = default;

void TApplication::HandleException(const std::exception_ptr& error)
{
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QMessageBox box(QMessageBox::Critical, qs(kApplicationTitle), qs(app::ErrorBoxText(messageOf(error))),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText); // a message is text, never markup
    box.setWindowModality(Qt::ApplicationModal);
    // The icon says it is an error; a screen reader says so too (Qt names neither the label nor
    // the picture: the object name is Qt's own).
    if (auto* icon = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label")))
        icon->setAccessibleName(QStringLiteral("Fout"));
    box.exec();
}

TApplicationEvents::TApplicationEvents(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

TApplicationEvents::~TApplicationEvents()
{
    qApp->removeEventFilter(this);
}

bool TApplicationEvents::eventFilter(QObject* watched, QEvent* event)
{
    bool handled = false;
    if (OnMessage)
        TApplication::Guarded([&] { OnMessage(watched, event, handled); });
    return handled;
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return true;
    }
}

} // namespace ostrel::ui
