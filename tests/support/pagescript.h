// Asking the page in a view something, for end-to-end tests.
#pragma once

#include "standin.h"

#include <QString>
#include <QVariant>
#include <QWebEnginePage>

#include <chrono>

namespace ostrel::testing {

// What a script in the page answers; invalid when it does not answer in time.
inline QVariant Evaluate(QWebEnginePage* page, const QString& script,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    QVariant answer;
    bool answered = false;
    page->runJavaScript(script, [&](const QVariant& result) {
        answer = result;
        answered = true;
    });
    waitFor([&] { return answered; }, timeout);
    return answer;
}

// Proves that the page has done what its load set off: its load event has run, and every task it
// queued then, a dialog it asked for among them (the page waits for its answer), is behind it.
inline bool PageCaughtUp(QWebEnginePage* page)
{
    return waitFor([&] { return Evaluate(page, QStringLiteral("document.readyState")).toString() == u"complete"; },
                   std::chrono::seconds(15)) &&
           Evaluate(page, QStringLiteral("true")).toBool();
}

// A script's click() on the element with the id, once the page shows a document that has it; false
// when none does in 15 s. Each try asks the page anew: a script that waited inside the page could
// be left running in the document before the one that commits.
inline bool ClickWhenBuilt(QWebEnginePage* page, const QString& id)
{
    const QString script =
        QStringLiteral(
            "(function () { var e = document.getElementById('%1'); if (e) e.click(); return !!e; })()")
            .arg(id);
    return waitFor([&] { return Evaluate(page, script).toBool(); }, std::chrono::seconds(15));
}

} // namespace ostrel::testing
