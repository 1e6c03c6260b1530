#pragma once

#include "update/core/UpdateCheck.h"

#include <QString>

#include <functional>
#include <memory>

namespace quarrow {

// Where the update check's parts come from. The program takes this
// machine's (forThisMachine); tests swap in a local server, a fixed date or
// a private settings file.
struct UpdateCheckSetup {
    QString httpsBase; // the maker's server, without a trailing slash
    QString httpBase;
    std::function<std::unique_ptr<PostExchange>(std::shared_ptr<CancelSignal>)> makeExchange;
    std::function<std::unique_ptr<SystemIdentity>()> makeIdentity;
    std::function<std::unique_ptr<DateSource>()> makeDates;
    // Runs on the check thread at its start, and on the GUI thread for the
    // menu item's writes; may throw.
    std::function<std::shared_ptr<SettingsStore>()> openStore;

    // The real parts, made on the GUI thread at the start: the server from
    // QUARROW_HTTPS_BASE / QUARROW_HTTP_BASE or the public one, libcurl with
    // 10-second time-outs, the user's settings, locale and machine.
    static UpdateCheckSetup forThisMachine();

    // One check's job; `notice` shows the server's notice.
    std::unique_ptr<CheckJob> job(const QString& windowTitle, const QString& fileVersion,
                                  std::shared_ptr<NoticeBox> notice) const;
};

} // namespace quarrow
