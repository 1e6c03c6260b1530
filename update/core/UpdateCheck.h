#pragma once

#include "CancelSignal.h"
#include "FailureRecord.h"
#include "PostExchange.h"
#include "SettingsStore.h"
#include "SystemIdentity.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace quarrow {

// Today's date as the user's short date format writes it. Dates are only
// ever compared as these texts.
class DateSource {
public:
    virtual ~DateSource() = default;
    virtual std::u16string todayText() = 0;
};

// Shows the server's notice and returns once the user has dismissed it.
class NoticeBox {
public:
    virtual ~NoticeBox() = default;
    virtual void show(const std::u16string& caption, const std::u16string& text) = 0;
};

// What one update check hands to the window, and how the window ends it
// early. The check thread writes every field, and makes all its uses of the
// settings, before it sets `finished` (release); the window reads the fields
// only after it has seen `finished` set (acquire).
struct CheckState {
    std::atomic<bool> finished{false};
    bool updateAvailable = false;
    int showUpdate = 1;
    std::u16string serverVersion;
    std::u16string downloadAddress;
    int runCount = 0;
    FailureRecord failures;

    // Ends a running exchange at once; a waiting notice box is the window's
    // to dismiss.
    std::shared_ptr<CancelSignal> cancel = std::make_shared<CancelSignal>();

    bool isFinished() const noexcept { return finished.load(std::memory_order_acquire); }

    // Set by the check thread as the very last thing it does.
    void markEnded();
    // Waits until the thread has ended, at most `limit`; true when it has.
    bool waitUntilEnded(std::chrono::milliseconds limit);

private:
    std::mutex m_endMutex;
    std::condition_variable m_endChanged;
    bool m_ended = false;
};

// Everything one check uses; the check thread owns it and frees it when
// it ends.
struct CheckJob {
    std::u16string windowTitle; // "company - product"
    std::u16string fileVersion; // "major.minor"
    std::string httpsAddress;   // full addresses of the check page
    std::string httpAddress;
    std::function<std::shared_ptr<SettingsStore>()> openStore; // may throw
    std::unique_ptr<PostExchange> exchange;
    std::unique_ptr<DateSource> dates;
    std::unique_ptr<SystemIdentity> identity;
    std::shared_ptr<NoticeBox> notice;
    std::shared_ptr<CheckState> state;
};

inline constexpr std::u16string_view kSettingsSection = u"Settings";
inline constexpr std::string_view kCheckPath = "/php/check2.php";

// The check itself, on the calling thread. It always ends with
// `state.finished` set, whatever failed.
void runUpdateCheck(CheckJob& job);

// Whether the popup is wanted once a valid reply has been used.
// `lastCheckDate` is the date read at the start of the check, `dayCount` the
// count after this reply was counted.
bool updatePopupWanted(std::u16string_view serverVersion, std::u16string_view fileVersion, int showUpdate,
                       std::u16string_view lastCheckDate, std::u16string_view today, int dayCount);

// The check's thread: made running, it frees itself when the check ends.
class TChecker final {
public:
    static void start(std::unique_ptr<CheckJob> job);

private:
    static void Execute(std::unique_ptr<CheckJob> job);
};

} // namespace quarrow
