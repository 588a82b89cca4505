// Fakes of the host interfaces that record what the program asks of them, in one shared log, so a
// test can check both the calls and their order.
#pragma once

#include "app/startup.h"
#include "base/errors.h"
#include "host/browser.h"
#include "host/pause.h"
#include "host/registry.h"
#include "host/services.h"
#include "host/shell.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::testing {

using CallLog = std::vector<std::string>;

class FakeBrowser final : public host::Browser {
public:
    explicit FakeBrowser(CallLog& log) : log_(log) {}

    using Browser::Navigate;
    void Navigate(const host::Request& request) override
    {
        requests.push_back(request);
        if (!request.body.empty())
            log_.push_back("Post " + request.url + " " + std::string(request.body.begin(), request.body.end()));
        else if (request.flags)
            log_.push_back("Navigate " + request.url + " flags " + std::to_string(request.flags));
        else
            log_.push_back("Navigate " + request.url);
    }
    void Refresh2() override { log_.push_back("Refresh2"); }
    void ClearCache() override { log_.push_back("ClearCache"); }
    void SetOnOutsideAddress(OutsideAddressHandler handler) override { onOutside = std::move(handler); }
    void SetOnPageOutsideAddress(OutsideAddressHandler) override {}
    void SetSilent(bool silent) override
    {
        silent_ = silent;
        log_.push_back(silent ? "Silent on" : "Silent off");
    }
    bool Silent() const override { return silent_; }
    std::string DocumentUrl() const override { return documentUrl; }
    void SetOnDocumentComplete(DocumentCompleteHandler handler) override { onComplete = std::move(handler); }

    std::vector<host::Request> requests; // every navigation, in order
    std::string documentUrl;
    DocumentCompleteHandler onComplete;
    OutsideAddressHandler onOutside;

private:
    CallLog& log_;
    bool silent_ = false;
};

class FakePause final : public host::Pause {
public:
    explicit FakePause(CallLog& log) : log_(log) {}
    void Sleep(int milliseconds) override { log_.push_back("Sleep " + std::to_string(milliseconds)); }
    bool Active() const override { return false; }
    void RunOutsidePause(std::function<void()> fn) override { fn(); }

private:
    CallLog& log_;
};

class FakeWindow final : public app::StartupWindow {
public:
    explicit FakeWindow(CallLog& log) : log_(log) {}
    void SetCaption(const std::string& caption) override
    {
        caption_ = caption;
        log_.push_back("Caption " + caption);
    }
    std::string Caption() const override { return caption_; }
    void Maximise() override { log_.push_back("Maximise"); }
    void Minimise() override { log_.push_back("Minimise"); }
    void ApplyCompactLayout() override { log_.push_back("CompactLayout"); }
    void ShowIntranetButton() override { log_.push_back("ShowIntranet"); }
    void EnableDiagnostics() override { log_.push_back("Diagnostics"); }
    void enableIE8Standard() override
    {
        log_.push_back("EnableIE8Standard");
        if (failEmulation)
            throw Error("Helaas het is niet mogelijk om IE11 te gebruiken.");
    }
    bool failEmulation = false;

private:
    CallLog& log_;
    std::string caption_;
};

// An in-memory hive: key path (lower case, no leading "\") -> value name (lower case) -> value.
class FakeRegistry final : public host::CurrentUserRegistry {
public:
    using Values = std::map<std::string, host::RegValueRead>;

    void SetValue(const std::string& keyPath, const std::string& name, host::RegType type, std::string data)
    {
        keys[normalise(keyPath)][normalise(name)] = {host::RegValueRead::Status::Ok,
                                                     static_cast<std::uint32_t>(type), std::move(data)};
    }
    void SetUnreadable(const std::string& keyPath, const std::string& name)
    {
        keys[normalise(keyPath)][normalise(name)] = {host::RegValueRead::Status::Unreadable, 0, {}};
    }
    void AddKey(const std::string& keyPath) { keys[normalise(keyPath)]; }

    std::unique_ptr<host::RegistryKey> OpenKeyReadOnly(const std::string& path) override
    {
        ++opened;
        auto it = keys.find(normalise(path));
        if (it == keys.end())
            return nullptr;
        return std::make_unique<Key>(*this, it->second, /*writable=*/false);
    }
    std::unique_ptr<host::RegistryKey> CreateKey(const std::string& path) override
    {
        ++opened;
        if (refuseCreate)
            return nullptr;
        return std::make_unique<Key>(*this, keys[normalise(path)], /*writable=*/true);
    }

    std::map<std::string, Values> keys;
    bool refuseCreate = false;
    bool refuseWrite = false;
    int opened = 0;
    int closed = 0;

private:
    static std::string normalise(std::string text)
    {
        if (!text.empty() && text.front() == '\\')
            text.erase(0, 1);
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return text;
    }

    class Key final : public host::RegistryKey {
    public:
        Key(FakeRegistry& owner, Values& values, bool writable)
            : owner_(owner), values_(values), writable_(writable)
        {
        }
        ~Key() override { ++owner_.closed; }
        host::RegValueRead ReadValue(const std::string& name) override
        {
            auto it = values_.find(normalise(name));
            return it == values_.end() ? host::RegValueRead{} : it->second;
        }
        bool WriteDword(const std::string& name, std::uint32_t data) override
        {
            if (!writable_ || owner_.refuseWrite)
                return false;
            std::string bytes(4, '\0');
            for (int i = 0; i < 4; ++i)
                bytes[i] = static_cast<char>((data >> (8 * i)) & 0xFF);
            values_[normalise(name)] = {host::RegValueRead::Status::Ok,
                                        static_cast<std::uint32_t>(host::RegType::Dword), bytes};
            return true;
        }

    private:
        FakeRegistry& owner_;
        Values& values_;
        bool writable_;
    };
};

class FakeAccount final : public host::AccountDomainSource {
public:
    std::string AccountDomain() override { return domain; }
    std::string domain;
};

class FakeShell final : public host::Shell {
public:
    bool OpenUrl(const std::string& url) override
    {
        opened.push_back(url);
        if (log)
            log->push_back("Open " + url);
        return succeed;
    }
    void StartProgram(const std::string& program, const std::string& parameters) override
    {
        started.push_back(parameters.empty() ? program : program + " " + parameters);
        if (log)
            log->push_back("Start " + started.back());
    }
    std::string ProgramForScheme(const std::string& scheme) override
    {
        const auto it = programs.find(scheme);
        return it == programs.end() ? std::string() : it->second;
    }
    CallLog* log = nullptr; // when set, the calls go into the shared log too
    std::vector<std::string> opened;
    std::vector<std::string> started;
    bool succeed = true;
    std::map<std::string, std::string> programs; // scheme -> the program the desktop names
};

// Answers each probed URL with the status set for it (no response when none is set).
class FakeProbe final : public host::ConnectionProbe {
public:
    int Probe(const std::string& url) override
    {
        probed.push_back(url);
        auto it = statuses.find(url);
        return it == statuses.end() ? host::kProbeNoResponse : it->second;
    }
    std::map<std::string, int> statuses;
    std::vector<std::string> probed;
};

class FakeMessages final : public host::MessageDialog {
public:
    explicit FakeMessages(CallLog& log) : log_(log) {}
    void ShowMessage(const std::string& text) override { log_.push_back("Message " + text); }

private:
    CallLog& log_;
};

// The host with fakes throughout, for windows built in tests.
struct FakeServices {
    CallLog log;
    host::Services services;
    FakeRegistry* registry;
    FakeShell* shell;
    FakeAccount* account;
    FakeProbe* probe;

    FakeServices()
    {
        auto fakeRegistry = std::make_unique<FakeRegistry>();
        auto fakeShell = std::make_unique<FakeShell>();
        registry = fakeRegistry.get();
        shell = fakeShell.get();
        services.registry = std::move(fakeRegistry);
        services.shell = std::move(fakeShell);
        services.pause = std::make_unique<FakePause>(log);
        auto fakeAccount = std::make_unique<FakeAccount>();
        account = fakeAccount.get();
        services.account = std::move(fakeAccount);
        services.process.programPath = "/opt/ostrel/ostrel-web";
        auto fakeProbe = std::make_unique<FakeProbe>();
        probe = fakeProbe.get();
        services.probe = std::move(fakeProbe);
        services.messages = std::make_unique<FakeMessages>(log);
    }
};

} // namespace ostrel::testing
