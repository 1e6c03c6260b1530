#pragma once

#include "net/CancelSignal.h"
#include "update/core/FailureRecord.h"
#include "net/PostExchange.h"
#include "update/core/SettingsStore.h"
#include "update/core/SystemIdentity.h"

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

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
};

// Everything one check uses; the check thread owns it and frees it when
// it ends.
struct CheckJob {
    std::u16string windowTitle; // "company - product"
    std::u16string fileVersion; // "major.minor"
    std::string httpsAddress;   // full addresses of the check page
    std::string httpAddress;
    // The maker's own download page over HTTPS: what the popup opens when
    // the reply came over plain HTTP, whose address anyone on the way could
    // have written.
    std::u16string makerPage;
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

// The check's thread, made running. Its holder ends it: destroying a
// TChecker cancels a running exchange and joins the thread, so nothing of
// the check (its exchange, its settings, its date source) outlives the
// holder or runs while the program takes itself apart. A notice box the
// thread waits on must be released first (the window detaches it).
class TChecker final {
public:
    explicit TChecker(std::unique_ptr<CheckJob> job);
    ~TChecker();
    TChecker(const TChecker&) = delete;
    TChecker& operator=(const TChecker&) = delete;

    const std::shared_ptr<CheckState>& state() const noexcept { return m_state; }

private:
    static void Execute(std::stop_token stop, std::unique_ptr<CheckJob> job);

    std::shared_ptr<CheckState> m_state;
    std::jthread m_thread;
};

} // namespace quarrow
