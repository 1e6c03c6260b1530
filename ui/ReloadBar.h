#pragma once

#include "engine/csv/ShapeDetector.h"
#include "engine/workspace/Workspace.h"

#include <QFrame>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;
class QToolButton;

namespace quarrow {

// A loaded file's shape as the detector sees it, where it differs from the
// separator and header line the files were loaded with. The first file is
// judged; a reload takes every file in the table again.
struct ReloadOffer {
    QStringList paths; // in the order they were loaded
    char16_t separator = u',';
    bool headerLine = false;
    QString evidence; // the detector's, for the bar's tooltip
    // Lines above the table (a title, a comment) that the reload skips.
    std::uint64_t skipLines = 0;
    // The value forms the detector proposes, where they differ from those
    // chosen; they need no reload, but go with the other settings.
    bool formsOffered = false;
    ValueForms forms{};
};

// `current` with the detector's decided value forms over it.
ValueForms detectedForms(const CsvShape& shape, const ValueForms& current);

// The offer, or a new one, with the detector's forms where they differ
// from the reading's; nothing when neither differs.
std::optional<ReloadOffer> withFormsOffer(std::optional<ReloadOffer> offer, const CsvShape& shape,
                                          const QStringList& paths, const LoadOptions& reading);

// The offer when the detector's decided proposals disagree with the
// settings the files were loaded with (separator, header line, lines above
// the table); nothing when they agree or the detector decides nothing.
std::optional<ReloadOffer> reloadOffer(const CsvShape& shape, const QStringList& paths, const LoadOptions& reading);

// "This file looks like ';'-separated with a header line", and "below 2
// lines above the table" when it skips some.
QString reloadOfferText(const ReloadOffer& offer);

// The separator as the separator button shows it: "\t" for Tab.
QString separatorButtonText(char16_t separator);

// The detector's evidence, one proposal a line.
QString shapeEvidenceText(const CsvShape& shape);

// A thin bar in the main window that offers to load a file again with the
// shape the detector found. It never changes anything by itself: the
// button asks for the reload, the cross puts the offer away.
class ReloadBar final : public QFrame {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReloadBar)

public:
    explicit ReloadBar(QWidget* parent);

    void offer(const ReloadOffer& offer);
    void withdraw();
    const std::optional<ReloadOffer>& current() const noexcept { return m_offer; }

signals:
    void reloadRequested(const quarrow::ReloadOffer& offer);
    // The bar came, went or took a new text: the window makes room for it
    // or takes it back.
    void shownChanged(bool shown);

private:
    QLabel* m_text;
    QPushButton* m_reload;
    QToolButton* m_dismiss;
    std::optional<ReloadOffer> m_offer;
};

} // namespace quarrow
