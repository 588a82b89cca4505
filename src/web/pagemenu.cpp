#include "web/pagemenu.h"

#include "web/webpage.h"

#include <QMenu>
#include <QWebEngineContextMenuRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace ostrel::web {

void ShowPageMenu(QWebEngineView& view, const QPoint& globalPosition, const ProgramMenuEntry* entry)
{
    const QWebEngineContextMenuRequest* request = view.lastContextMenuRequest();
    if (!request)
        return;
    auto* menu = new QMenu(&view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QWebEnginePage* page = view.page();
    const auto add = [&](const QString& text, QWebEnginePage::WebAction action, bool enabled = true) {
        QAction* item = menu->addAction(text, page, [page, action] { page->triggerAction(action); });
        item->setEnabled(enabled);
    };
    if (request->linkUrl().isValid()) {
        // The menu's own loads pass the engine's block on local addresses for pages: a link to one
        // is only copied.
        if (!IsLocalAddress(request->linkUrl())) {
            add(QStringLiteral("Link openen in nieuw venster"), QWebEnginePage::OpenLinkInNewWindow);
            add(QStringLiteral("Link opslaan..."), QWebEnginePage::DownloadLinkToDisk);
        }
        add(QStringLiteral("Linkadres kopi\u00EBren"), QWebEnginePage::CopyLinkToClipboard);
        menu->addSeparator();
    }
    using Edit = QWebEngineContextMenuRequest;
    const Edit::EditFlags can = request->editFlags();
    if (request->isContentEditable())
        add(QStringLiteral("Knippen"), QWebEnginePage::Cut, can & Edit::CanCut);
    add(QStringLiteral("Kopi\u00EBren"), QWebEnginePage::Copy, can & Edit::CanCopy);
    if (request->isContentEditable())
        add(QStringLiteral("Plakken"), QWebEnginePage::Paste, can & Edit::CanPaste);
    add(QStringLiteral("Alles selecteren"), QWebEnginePage::SelectAll, can & Edit::CanSelectAll);
    if (entry && entry->run) {
        menu->addSeparator();
        menu->addAction(entry->text, menu, entry->run);
    }
    menu->popup(globalPosition);
}

} // namespace ostrel::web
