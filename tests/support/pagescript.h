// Asking the page in a view something, for end-to-end tests.
#pragma once

#include "standin.h"

#include <QRect>
#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <chrono>
#include <functional>
#include <optional>

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

// Proves that the page has done what its load set off and the program has handled it: its load
// event has run, every task it queued then is behind it (a dialog it asked for among them: the page
// waits for its answer), and so are the events that brought its requests to the program.
inline bool PageCaughtUp(QWebEnginePage* page)
{
    const bool caughtUp =
        waitFor([&] { return Evaluate(page, QStringLiteral("document.readyState")).toString() == u"complete"; },
                std::chrono::seconds(15)) &&
        Evaluate(page, QStringLiteral("true")).toBool();
    PassQueuedEvents();
    return caughtUp;
}

// Starts a load (a navigation, setHtml) and waits for the page's next loadFinished: its result, or
// nothing when it does not come in 15 s.
inline std::optional<bool> LoadFinishes(QWebEnginePage* page, const std::function<void()>& start)
{
    std::optional<bool> finished;
    const auto connection =
        QObject::connect(page, &QWebEnginePage::loadFinished, [&](bool ok) { finished = finished.value_or(ok); });
    start();
    waitFor([&] { return finished.has_value(); }, std::chrono::seconds(15));
    QObject::disconnect(connection);
    return finished;
}

// Where an element of the page is, in the view, once the page has built it (null if it never
// does in 10 s); element: a script expression for it.
inline QRect RectOf(QWebEnginePage* page, const QString& element)
{
    QRect rect;
    waitFor(
        [&] {
            const QVariantList r =
                Evaluate(page, QStringLiteral("(function () { var e = %1; if (!e) return null;"
                                              " var r = e.getBoundingClientRect(); return [r.x, r.y, r.width,"
                                              " r.height]; })()")
                                   .arg(element))
                    .toList();
            if (r.size() == 4)
                rect = QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
            return rect.isValid();
        },
        std::chrono::seconds(10));
    return rect;
}

// A real click of the user's, through the window system's events, on the element with the id. A
// click sent before the engine's first frame of a new page has its hit-test data is dropped without
// a trace, so the page notes the clicks it gets and a dropped one is sent again. Once it returns
// true, what the click's own task asked for (a navigation, a file chooser) has been asked.
inline bool Click(QWebEngineView* view, const QString& id)
{
    const QRect rect = RectOf(view->page(), QStringLiteral("document.getElementById('%1')").arg(id));
    if (!rect.isValid())
        return false;
    const auto ask = [&](const QString& script) { return Evaluate(view->page(), script); };
    ask(QStringLiteral("if (!window.testClicks) { window.testClicks = [];"
                       " addEventListener('click', e => testClicks.push((e.target.closest('[id]') || "
                       "{}).id), true); }"
                       " testClicks.length = 0;"));
    for (int attempt = 0; attempt < 3; ++attempt) {
        QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, rect.center());
        // -1: not yet; -2: the page went away on the click, so it got it.
        const auto landed = [&] {
            return ask(QStringLiteral("window.testClicks ? testClicks.indexOf('%1') : -2").arg(id)).toInt() != -1;
        };
        if (waitFor(landed, std::chrono::seconds(2)))
            return true;
    }
    return false;
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
