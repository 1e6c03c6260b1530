#pragma once

#include <QObject>
#include <QString>

#include <string>
#include <vector>

class QGridLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace quarrow {

// The window's NULL markers: the texts written as NULL, typed into one box
// separated by blanks ("NA \N -"); empty by default. A labelled row of its
// own at the bottom of the script options. A marker that holds a blank (a
// profile or the converter may name one) is shown in double quotes, a quote
// in it doubled: "not known" N/A.
class NullMarkersEdit final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NullMarkersEdit)

public:
    // Adds the label ("LabelNullMarkers") and the box ("NullMarkers") to a
    // new row at the bottom of `layout`, whose widgets are children of `panel`.
    NullMarkersEdit(QGridLayout* layout, QWidget* panel, QObject* parent);

    // The box's text as markers and back; joinMarkers(m) always splits back
    // into m.
    static std::vector<std::u16string> splitMarkers(const QString& text);
    static QString joinMarkers(const std::vector<std::u16string>& markers);

    std::vector<std::u16string> markers() const;
    void setMarkers(const std::vector<std::u16string>& markers);
    void setEnabled(bool enabled);

signals:
    // The markers were edited (the box lost the focus or took Return), or set.
    void changed();

private:
    QLabel* m_label;
    QLineEdit* m_edit;
};

} // namespace quarrow
