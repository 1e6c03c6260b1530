#include "update/core/UpdateCheck.h"

#include "update/core/Scramble.h"
#include "update/core/ServerReply.h"
#include "engine/text/MessageLookup.h"
#include "engine/text/UnicodeText.h"

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <thread>
#include <typeinfo>
#include <vector>

namespace quarrow {

namespace {

constexpr int kChecksPerDay = 5;

std::u16string widen(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string decimal(int value)
{
    return widen(std::to_string(value));
}

// Stands in for a store that could not be opened: every read gives the
// reader's default and writes go nowhere.
class UnavailableStore final : public SettingsStore {
public:
    std::u16string readText(std::u16string_view, std::u16string_view) override { return {}; }
    int readInteger(std::u16string_view, std::u16string_view, int fallback) override { return fallback; }
    void writeText(std::u16string_view, std::u16string_view, std::u16string_view) override {}
};

std::u16string kindName(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                     std::free);
    return fromUtf8(status == 0 && demangled ? demangled.get() : type.name());
}

// "<kind> Error:", a carriage return and the message, for failures that no
// step names a message for.
void recordUnexpected(FailureRecord& failures, std::exception_ptr failure)
{
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const std::exception& e) {
        failures.record(kindName(typeid(e)) + u" Error:\r" + fromUtf8(e.what()));
    } catch (...) {
        failures.record(u"Unknown Error:\rAn unknown failure occurred.");
    }
}

// Runs one of the steps that stand on their own: a failure inside it is
// ignored and the check goes on.
template <typename Step>
void standAlone(Step step) noexcept
{
    try {
        step();
    } catch (...) {
    }
}

// Whole text a 32-bit signed integer once every "." is removed?
bool versionNumberConverts(std::u16string_view version)
{
    std::u16string digits;
    for (const char16_t c : version) {
        if (c != u'.')
            digits += c;
    }
    int value = 0;
    return parseDecimalInteger(digits, value);
}

// The check proper; returns early where the check has nothing more to do.
void check(CheckJob& job, CheckState& state)
{
    FailureRecord& failures = state.failures;
    const auto section = kSettingsSection;

    std::u16string machineId;
    try {
        machineId = job.identity->machineIdentifier();
    } catch (...) {
        failures.record(u"Error: GUID generate problem!");
    }

    std::shared_ptr<SettingsStore> store;
    try {
        store = job.openStore();
    } catch (...) {
        failures.record(u"Error: Registry open problem!");
    }
    if (!store)
        store = std::make_shared<UnavailableStore>();

    const std::u16string lastCheckDate = store->readText(section, u"LastUpdateCheck");
    int dayCount = store->readInteger(section, u"LastUpdateCheckCount", 0);
    const std::u16string installedVersion = store->readText(section, u"InstalledVersion");

    int runCount = installedVersion == job.fileVersion ? store->readInteger(section, u"HowMany", 0) : 0;
    ++runCount;
    state.runCount = runCount;
    store->writeInteger(section, u"HowMany", runCount);
    store->writeText(section, u"InstalledVersion", job.fileVersion);

    const std::u16string storedUrl = store->readText(section, u"CurrentURL");
    if (!storedUrl.empty())
        state.downloadAddress = unscramble(storedUrl);

    state.showUpdate = store->readInteger(section, u"ShowUpdate", 1);
    if (state.showUpdate == 0)
        return;

    const std::u16string today = job.dates->todayText();
    if (lastCheckDate == today && dayCount >= kChecksPerDay)
        return;

    try {
        RequestFields request{u"cmd=check", u"appname=" + job.windowTitle, u"version=" + job.fileVersion,
                              u"os=" + job.identity->operatingSystem()};
        try {
            request.push_back(u"local=" + job.identity->localeName());
        } catch (...) {
            failures.record(u"Error: LocaleName2 problem!");
        }
        request.push_back(u"guid=" + machineId);
        request.push_back(u"howmany=" + decimal(runCount));

        std::u16string reply;
        bool replied = false;
        bool overPlainHttp = false;
        try {
            reply = job.exchange->post(job.httpsAddress, request);
            replied = true;
        } catch (const std::exception& e) {
            failures.record(u"HTTPS Response:\r" + fromUtf8(e.what()));
        }
        if (!replied) {
            try {
                reply = job.exchange->post(job.httpAddress, request);
                replied = true;
                overPlainHttp = true;
                failures.clear();
            } catch (const std::exception& e) {
                failures.record(u"HTTP Response:\r" + fromUtf8(e.what()));
            }
        }
        const std::vector<std::u16string> lines = replied ? replyLines(reply) : std::vector<std::u16string>{};

        if (isErrorReply(reply))
            failures.record(u"INVALIDSERVERRESPONSE");
        if (!failures.failed()) {
            const std::u16string status = tagValue(replyLine(lines, 4), u"result");
            if (status != u"0" && status != u"1")
                failures.record(u"INVALIDSERVERRESPONSE");
        }
        if (failures.failed())
            return;

        standAlone([&] {
            dayCount = lastCheckDate == today ? dayCount + 1 : 1;
            store->writeText(section, u"LastUpdateCheck", today);
            store->writeInteger(section, u"LastUpdateCheckCount", dayCount);
        });
        standAlone([&] {
            state.serverVersion = tagValue(replyLine(lines, 1), u"version");
            store->writeText(section, u"CurrentVersion", state.serverVersion);
        });
        // Anyone on the network path can write a plain-HTTP reply (and can
        // make HTTPS fail on purpose to get one): its version may announce
        // an update, but its address and its notice are not trusted.
        if (overPlainHttp) {
            state.downloadAddress = job.makerPage;
        } else {
            standAlone([&] {
                state.downloadAddress = tagValue(replyLine(lines, 2), u"url");
                store->writeText(section, u"CurrentURL", scramble(state.downloadAddress));
            });
        }
        std::u16string notice;
        if (!overPlainHttp)
            standAlone([&] { notice = tagValue(replyLine(lines, 6), u"important"); });

        if (!trimControls(notice).empty() && !state.cancel->cancelled())
            job.notice->show(messageLookup(u"IMPORTANT"), notice);

        state.updateAvailable =
            updatePopupWanted(state.serverVersion, job.fileVersion, state.showUpdate, lastCheckDate, today, dayCount);
    } catch (...) {
        recordUnexpected(failures, std::current_exception());
    }
}

} // namespace

bool updatePopupWanted(std::u16string_view serverVersion, std::u16string_view fileVersion, int showUpdate,
                       std::u16string_view lastCheckDate, std::u16string_view today, int dayCount)
{
    return serverVersion != fileVersion && versionNumberConverts(serverVersion) && showUpdate == 1
           && (lastCheckDate != today || dayCount < kChecksPerDay);
}

void runUpdateCheck(CheckJob& job)
{
    CheckState& state = *job.state;
    state.finished.store(false, std::memory_order_relaxed);
    state.failures.clear();
    try {
        check(job, state);
    } catch (...) {
        // A failure outside the guarded steps (the store refusing a write,
        // say) still ends the check, so the window goes on to enable its
        // menu item instead of waiting forever.
        recordUnexpected(state.failures, std::current_exception());
    }
    state.finished.store(true, std::memory_order_release);
}

TChecker::TChecker(std::unique_ptr<CheckJob> job) : m_state(job->state)
{
    try {
        m_thread = std::jthread(&TChecker::Execute, std::move(job));
    } catch (const std::exception& e) {
        // No thread, no check: the window still enables its menu item.
        m_state->failures.record(u"Thread Error:\r" + fromUtf8(e.what()));
        m_state->finished.store(true, std::memory_order_release);
    }
}

TChecker::~TChecker()
{
    if (!m_thread.joinable())
        return;
    m_thread.request_stop();
    m_thread.join();
}

void TChecker::Execute(std::stop_token stop, std::unique_ptr<CheckJob> job)
{
    // A stop request wakes a waiting exchange, which then fails at once.
    const std::stop_callback cancelOnStop(stop, [cancel = job->state->cancel] { cancel->cancel(); });
    runUpdateCheck(*job);
    // The exchange, the settings and the date source are freed here, on the
    // thread that used them, before the join returns.
    job.reset();
}

} // namespace quarrow
