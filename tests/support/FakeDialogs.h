#pragma once

#include "kit/Dialogs.h"

#include <QTest>

#include <deque>
#include <vector>

namespace quarrow::test {

// Scripted stand-in for the desktop's dialogs: file dialogs answer from
// queues filled by the test, everything else is recorded. A file dialog
// that nobody scripted fails the test instead of blocking it.
class FakeDialogs final : public Dialogs {
public:
    struct Message {
        MessageIcon icon;
        QString caption;
        QString text;
    };

    std::vector<Message> messages;
    std::vector<FileDialogSpec> fileDialogs; // every file dialog shown, in order
    QStringList openedUrls;
    QStringList openedTextFiles;
    int beeps = 0;

    std::deque<QStringList> openFilesAnswers; // an empty list is a cancel
    std::deque<QString> openFileAnswers;      // an empty text is a cancel
    std::deque<QString> saveFileAnswers;      // an empty text is a cancel

    void message(QWidget*, MessageIcon icon, const QString& caption, const QString& text) override
    {
        messages.push_back({icon, caption, text});
    }

    QStringList openFiles(QWidget*, const FileDialogSpec& spec) override
    {
        fileDialogs.push_back(spec);
        return next(openFilesAnswers, "openFiles");
    }

    QString openFile(QWidget*, const FileDialogSpec& spec) override
    {
        fileDialogs.push_back(spec);
        return next(openFileAnswers, "openFile");
    }

    QString saveFile(QWidget*, const FileDialogSpec& spec) override
    {
        fileDialogs.push_back(spec);
        return next(saveFileAnswers, "saveFile");
    }

    void beep() override { ++beeps; }
    void openUrl(const QString& address) override { openedUrls << address; }
    void openTextFile(const QString& path) override { openedTextFiles << path; }

private:
    template <typename T>
    static T next(std::deque<T>& answers, const char* what)
    {
        if (answers.empty()) {
            QTest::qFail(QByteArray("unexpected file dialog: ").append(what).constData(), __FILE__, __LINE__);
            return T{};
        }
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
};

} // namespace quarrow::test
