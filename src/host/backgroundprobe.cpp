#include "host/backgroundprobe.h"

#include "host/guipause.h"

#include <QCursor>
#include <QGuiApplication>

#include <atomic>
#include <thread>

namespace ostrel::host {

namespace {
// The probe bounds itself (connect 5 s, 10 s in all); this only keeps a broken one from holding
// the window for ever.
constexpr int kLongestProbeMs = 30000;

struct Answer {
    std::atomic<bool> done{false};
    std::atomic<int> status{kProbeNoResponse};
};
} // namespace

BackgroundProbe::BackgroundProbe(std::unique_ptr<ConnectionProbe> probe, GuiPause& pause)
    : probe_(std::move(probe)), pause_(pause)
{
}

int BackgroundProbe::Probe(const std::string& url)
{
    auto answer = std::make_shared<Answer>();
    std::thread([probe = probe_, url, answer] {
        answer->status = probe->Probe(url);
        answer->done = true;
    }).detach();
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    pause_.WaitUntil([&] { return answer->done.load(); }, kLongestProbeMs);
    QGuiApplication::restoreOverrideCursor();
    return answer->done ? answer->status.load() : kProbeNoResponse;
}

} // namespace ostrel::host
