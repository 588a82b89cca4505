#include "host/tokenpin.h"

// One of NSS's structs has a member named "slots", which Qt makes a macro.
#pragma push_macro("slots")
#undef slots
#include <pk11pub.h>
#pragma pop_macro("slots")

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QSemaphore>
#include <QSet>
#include <QThread>

#include <dlfcn.h>

#include <memory>

namespace ostrel::host {

namespace {

struct PinRequests {
    QMutex mutex;
    PinQuestion ask;
    PK11PasswordFunc engines = nullptr; // the engine's own, for the requests that carry its delegate
    QHash<QString, int> attempts;       // the current login's, by token
    QSet<QString> declined;             // not asked for again this session
    bool quitting = false;              // no question any more: the GUI thread is going
};

// One question from NSS's thread to the GUI thread, shared, since an asker that gives up at quit
// may leave the GUI thread's side still queued.
struct Question {
    QSemaphore answered;
    std::optional<QString> pin;
};

PinRequests& Requests()
{
    static PinRequests requests;
    return requests;
}

char* AnswerPin(PK11SlotInfo* slot, PRBool retry, void* delegate)
{
    PinRequests& requests = Requests();
    const QString token = QString::fromUtf8(PK11_GetTokenName(slot)).trimmed();
    // The database's own token is left as before us: the engine starts a new database with an
    // empty password, and NSS may ask for that at any moment meanwhile, with no card in sight.
    const bool theDatabases = PK11_IsInternal(slot) || PK11_IsInternalKeySlot(slot);
    PinQuestion ask;
    int attempt = 1;
    {
        QMutexLocker lock(&requests.mutex);
        if ((delegate || theDatabases) && requests.engines) {
            const PK11PasswordFunc engines = requests.engines;
            lock.unlock();
            return engines(slot, retry, delegate);
        }
        if (theDatabases || !requests.ask || requests.quitting || requests.declined.contains(token) ||
            !QCoreApplication::instance())
            return nullptr;
        attempt = retry ? requests.attempts.value(token) + 1 : 1;
        if (attempt > kPinAttempts) {
            requests.declined.insert(token); // the card may lock itself after more
            return nullptr;
        }
        requests.attempts.insert(token, attempt);
        ask = requests.ask;
    }
    auto question = std::make_shared<Question>();
    std::optional<QString>& pin = question->pin;
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        pin = ask(token, attempt);
    } else {
        // Not a blocking queued call: at quit the GUI thread no longer runs its queue while the
        // engine waits for this thread, and neither would ever end.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [question, ask, token, attempt] {
            if (!Requests().quitting) // read on the thread that alone sets it
                question->pin = ask(token, attempt);
            question->answered.release();
        });
        while (!question->answered.tryAcquire(1, 100)) {
            const QMutexLocker lock(&requests.mutex);
            if (requests.quitting)
                return nullptr;
        }
    }
    if (!pin) {
        const QMutexLocker lock(&requests.mutex);
        requests.declined.insert(token);
        return nullptr;
    }
    QByteArray bytes = pin->toUtf8();
    char* answer = PORT_Strdup(bytes.constData()); // NSS frees it
    bytes.fill('\0');
    pin->fill(u'\0');
    return answer;
}

} // namespace

void AnswerTokenPins(PinQuestion ask)
{
    {
        const QMutexLocker lock(&Requests().mutex);
        Requests().ask = std::move(ask);
    }
    if (auto* application = QCoreApplication::instance())
        QObject::connect(application, &QCoreApplication::aboutToQuit, application, [] {
            const QMutexLocker lock(&Requests().mutex);
            Requests().quitting = true;
        });
}

} // namespace ostrel::host

// NSS has one password callback for the process, which the engine sets when it starts NSS, to one
// that asks no one without a delegate, which Qt WebEngine never gives: a token's certificates then
// stay hidden. The engine offers no hook, so its setting comes here (this definition in the
// program comes before NSS's own) and ours takes its place, keeping the engine's for its delegates.
extern "C" void PK11_SetPasswordFunc(PK11PasswordFunc func)
{
    using Set = void (*)(PK11PasswordFunc);
    static const auto nss = reinterpret_cast<Set>(dlsym(RTLD_NEXT, "PK11_SetPasswordFunc"));
    if (func != &ostrel::host::AnswerPin) {
        const QMutexLocker lock(&ostrel::host::Requests().mutex);
        ostrel::host::Requests().engines = func;
    }
    if (nss)
        nss(&ostrel::host::AnswerPin);
}
