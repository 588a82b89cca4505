#include "ui/TWebNavigator.h"

#include "host/services.h"
#include "host/webenginebrowser.h"

#include <QPalette>
#include <QVBoxLayout>

namespace ostrel::ui {

namespace {
constexpr int kHeaderHeight = 97;
const QColor kHeaderColour(44, 106, 149);
constexpr QSize kRestoredClientSize(1259, 841);
} // namespace

TWebNavigator::TWebNavigator(host::Services& services, QWidget* parent)
    : QWidget(parent), WebBrowser(new host::WebEngineBrowser(this)), PnlMenu(new QWidget(this)),
      services_(services), portal_(*WebBrowser, *services.registry)
{
    PnlMenu->setFixedHeight(kHeaderHeight);
    PnlMenu->setAutoFillBackground(true);
    QPalette palette = PnlMenu->palette();
    palette.setColor(QPalette::Window, kHeaderColour);
    PnlMenu->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PnlMenu);
    layout->addWidget(WebBrowser, 1);
    resize(kRestoredClientSize);
}

TWebNavigator::~TWebNavigator() = default;

void TWebNavigator::FormCreate()
{
    app::RunStartupSequence(*this, portal_, *services_.pause);
}

void TWebNavigator::SetCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

std::string TWebNavigator::Caption() const
{
    return windowTitle().toStdString();
}

void TWebNavigator::Maximise()
{
    setWindowState(windowState() | Qt::WindowMaximized);
}

} // namespace ostrel::ui
