#pragma once

#include <QObject>

#include <cstdint>

class QGridLayout;
class QLabel;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace quarrow {

// The window's lines left out of a file: how many lines above the table to
// skip, and the comment character (none when the box is empty). A labelled
// row of its own at the bottom of the reading settings; like them, locked
// while files are loaded.
class LineSkippingEdit final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LineSkippingEdit)

public:
    // Adds the labels, the count ("SkipLines") and the comment box
    // ("CommentChar") to a new row at the bottom of `layout`, whose widgets
    // are children of `panel`.
    LineSkippingEdit(QGridLayout* layout, QWidget* panel, QObject* parent);

    std::uint64_t skipLines() const;
    char16_t comment() const; // NUL: none
    void set(std::uint64_t skipLines, char16_t comment);
    void setLocked(bool locked);

private:
    QLabel* m_skipLabel;
    QSpinBox* m_skip;
    QLabel* m_commentLabel;
    QLineEdit* m_comment;
};

} // namespace quarrow
