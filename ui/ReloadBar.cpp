#include "ui/ReloadBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace quarrow {

namespace {

constexpr int kBarTextPixels = 12;

} // namespace

std::optional<ReloadOffer> reloadOffer(const CsvShape& shape, const QStringList& paths, const LoadOptions& reading)
{
    // No lines above the table found keeps a skip the user chose: the
    // detector may not see what a title is.
    ReloadOffer offer{paths, shape.separator.valueOr(reading.separator), shape.headerLine.valueOr(reading.headerLine),
                      shapeEvidenceText(shape), shape.linesAbove.value.value_or(reading.skipLines)};
    if (offer.separator == reading.separator && offer.headerLine == reading.headerLine
        && offer.skipLines == reading.skipLines)
        return std::nullopt;
    return offer;
}

ValueForms detectedForms(const CsvShape& shape, const ValueForms& current)
{
    ValueForms forms = current;
    if (const auto& numbers = shape.numberForm.value) {
        forms.decimal = numbers->decimal;
        forms.group = numbers->group;
    }
    if (shape.dateOrder.value)
        forms.dates = *shape.dateOrder.value;
    return forms;
}

std::optional<ReloadOffer> withFormsOffer(std::optional<ReloadOffer> offer, const CsvShape& shape,
                                          const QStringList& paths, const LoadOptions& reading)
{
    const ValueForms forms = detectedForms(shape, reading.forms);
    if (forms == reading.forms)
        return offer;
    if (!offer)
        offer = ReloadOffer{paths, reading.separator, reading.headerLine, shapeEvidenceText(shape), reading.skipLines};
    offer->formsOffered = true;
    offer->forms = forms;
    return offer;
}

QString reloadOfferText(const ReloadOffer& offer)
{
    const QString file = offer.paths.size() > 1 ? u"The first of the " + QString::number(offer.paths.size()) + u" files"
                                                : QStringLiteral("This file");
    QString text = file + u" looks like " + QString::fromStdString(separatorName(offer.separator)) + u"-separated "
                   + (offer.headerLine ? u"with a header line" : u"without a header line");
    if (offer.skipLines > 0)
        text += u", after " + QString::number(offer.skipLines)
                + (offer.skipLines == 1 ? u" line above its table" : u" lines above its table");
    if (offer.formsOffered && offer.forms.chosen())
        text += u", " + QString::fromStdString(describeForms(offer.forms));
    return text;
}

QString separatorButtonText(char16_t separator)
{
    if (separator == u'\t')
        return QStringLiteral("\\t");
    return QString(QChar(separator));
}

QString shapeEvidenceText(const CsvShape& shape)
{
    QStringList lines;
    for (const std::string* evidence :
         {&shape.linesAbove.evidence, &shape.separator.evidence, &shape.headerLine.evidence, &shape.encoding.evidence,
          &shape.exactQuoting.evidence, &shape.numberForm.evidence, &shape.dateOrder.evidence}) {
        if (!evidence->empty())
            lines << QString::fromStdString(*evidence);
    }
    return lines.join(u'\n');
}

ReloadBar::ReloadBar(QWidget* parent)
    : QFrame(parent), m_text(new QLabel(this)),
      m_reload(new QPushButton(QStringLiteral("Reload with these settings"), this)), m_dismiss(new QToolButton(this))
{
    setObjectName(QStringLiteral("ReloadBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    QFont small = font();
    small.setPixelSize(kBarTextPixels);
    setFont(small);
    m_text->setObjectName(QStringLiteral("ReloadText"));
    m_text->setForegroundRole(QPalette::ToolTipText);
    m_text->setWordWrap(true);
    m_reload->setObjectName(QStringLiteral("ReloadButton"));
    m_reload->setAutoDefault(false);
    m_dismiss->setObjectName(QStringLiteral("ReloadDismiss"));
    m_dismiss->setText(QStringLiteral("\u00D7"));
    m_dismiss->setAutoRaise(true);
    m_dismiss->setToolTip(QStringLiteral("Keep the settings the file was loaded with"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_reload);
    layout->addWidget(m_dismiss);
    connect(m_reload, &QPushButton::clicked, this, [this] {
        // A copy: the reload clears the window, and the offer with it.
        if (const std::optional<ReloadOffer> offer = m_offer)
            emit reloadRequested(*offer);
    });
    connect(m_dismiss, &QToolButton::clicked, this, &ReloadBar::withdraw);
    hide();
}

void ReloadBar::offer(const ReloadOffer& offer)
{
    m_offer = offer;
    m_text->setText(reloadOfferText(offer) + u':');
    m_text->setToolTip(offer.evidence);
    m_reload->setText(offer.paths.size() > 1 ? u"Reload all " + QString::number(offer.paths.size()) + u" files"
                                             : QStringLiteral("Reload with these settings"));
    // Shown already, the bar may need another height for its new text.
    show();
    emit shownChanged(true);
}

void ReloadBar::withdraw()
{
    m_offer.reset();
    if (!isHidden()) {
        hide();
        emit shownChanged(false);
    }
}

} // namespace quarrow
