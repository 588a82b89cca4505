#include "web/freedmemory.h"

#include "host/memory.h"

#include <QApplication>
#include <QTimer>

namespace ostrel::web {

namespace {
// The engine lets go of a closed window's page, or of the page left, over the next moments: the
// memory is given back once none has gone for this long. This process's only: Qt 6.8's renderer
// keeps what its own heap freed (some 20 MB after 100 reloads and 25 popups), out of our reach.
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
