#include "web/freedmemory.h"

#include "host/memory.h"

#include <QApplication>
#include <QTimer>

namespace ostrel::web {

namespace {
// The engine lets go of a closed window's page, or of the page left, over the next moments: the
// memory is given back once none has gone for this long. This process's only: the renderer gives
// back what its pages left when its V8 collects them (on Qt 6.8 told to do so soon, at the engine's
// start).
constexpr int kReturnMemoryAfterMs = 1000;
} // namespace

// The one timer for it is the application object's, made the first time.
void ReturnFreedMemorySoon()
{
    const QString name = QStringLiteral("ostrel-return-freed-memory");
    auto* timer = qApp->findChild<QTimer*>(name, Qt::FindDirectChildrenOnly);
    if (!timer) {
        timer = new QTimer(qApp);
        timer->setObjectName(name);
        timer->setSingleShot(true);
        timer->setInterval(kReturnMemoryAfterMs);
        QObject::connect(timer, &QTimer::timeout, &host::ReturnFreedMemory);
    }
    timer->start();
}

} // namespace ostrel::web
