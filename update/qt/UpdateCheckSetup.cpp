#include "update/qt/UpdateCheckSetup.h"

#include "net/CurlExchange.h"
#include "update/qt/LocaleDateSource.h"
#include "kit/MakerServer.h"
#include "update/qt/QtSettingsStore.h"

#include <utility>

namespace quarrow {

namespace {

std::u16string engineText(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

} // namespace

UpdateCheckSetup UpdateCheckSetup::forThisMachine()
{
    UpdateCheckSetup setup;
    setup.httpsBase = makerHttpsBase();
    setup.httpBase = makerHttpBase();
    setup.makeExchange = [](std::shared_ptr<CancelSignal> cancel) {
        return std::make_unique<CurlExchange>(ExchangeTimeouts{}, std::move(cancel));
    };
    setup.makeIdentity = [] { return std::make_unique<HostIdentity>(); };
    setup.makeDates = [] { return std::make_unique<LocaleDateSource>(); };
    setup.openStore = [] {
        return std::make_shared<QtSettingsStore>(QStringLiteral("TARNIX"), QStringLiteral("Quarrow"));
    };
    return setup;
}

std::unique_ptr<CheckJob> UpdateCheckSetup::job(const QString& windowTitle, const QString& fileVersion,
                                                std::shared_ptr<NoticeBox> notice) const
{
    auto job = std::make_unique<CheckJob>();
    job->windowTitle = engineText(windowTitle);
    job->fileVersion = engineText(fileVersion);
    job->httpsAddress = httpsBase.toStdString() + std::string(kCheckPath);
    job->httpAddress = httpBase.toStdString() + std::string(kCheckPath);
    job->makerPage = engineText(httpsBase + u'/');
    job->openStore = openStore;
    job->state = std::make_shared<CheckState>();
    job->exchange = makeExchange(job->state->cancel);
    job->identity = makeIdentity();
    job->dates = makeDates();
    job->notice = std::move(notice);
    return job;
}

} // namespace quarrow
