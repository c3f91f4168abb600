#pragma once

#include <deque>
#include <functional>

#include <QEventLoop>
#include <QList>
#include <QString>
#include <QTimer>

#include "platform/Dialogs.h"

namespace hlv::test {

// Records every box a test causes and answers from queues set up by the test.
// An unscripted message box answers OK, or No for a Yes/No box (the safe choice); an
// unscripted input box or file dialog answers an empty text, as a cancel does.
//
// A box counts as open from its showing until closeBoxes(). With nestedLoop set, a message
// box that the program waits for (msgBox) runs an event loop of its own until then, as a
// real modal box does: whatever the program handles meanwhile runs inside the box's call.
// A box that nothing waits for (showMessage) returns at once in either mode. onOpen runs
// as each message box opens, before any loop of its own.
class ScriptedDialogs : public Dialogs
{
public:
    struct Box
    {
        QString kind; // "msg", "input", "password", "open", "save", "folder"
        QString text;
        int style = 0;
        QString title;
        QString defaultText;
        bool waited = true; // the program waited for the answer
    };

    std::deque<int> msgAnswers;
    std::deque<QString> textAnswers; // input boxes and file dialogs
    QList<Box> shown;
    bool nestedLoop = false;
    std::function<void()> onOpen;
    int openBoxes = 0;

    void closeBoxes()
    {
        openBoxes = 0;
        for (QEventLoop* loop : m_loops) {
            loop->quit();
        }
    }

    int msgBox(const QString& text, int style, const QString& title) override
    {
        shown.append({QStringLiteral("msg"), text, style, title, {}});
        ++openBoxes;
        if (onOpen) {
            onOpen();
        }
        if (nestedLoop && openBoxes > 0) {
            QEventLoop loop;
            QTimer deadline; // a box nobody closes gives up rather than hang the test
            deadline.setSingleShot(true);
            QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
            deadline.start(10000);
            m_loops.append(&loop);
            loop.exec();
            m_loops.removeOne(&loop);
        }
        if (!msgAnswers.empty()) {
            const int answer = msgAnswers.front();
            msgAnswers.pop_front();
            return answer;
        }
        const int buttons = style & 0xF;
        if (buttons == MsgBoxStyle::YesNo || buttons == MsgBoxStyle::YesNoCancel) {
            return MsgBoxResult::No;
        }
        return MsgBoxResult::Ok;
    }
    void showMessage(const QString& text, int style, const QString& title) override
    {
        shown.append({QStringLiteral("msg"), text, style, title, {}, false});
        ++openBoxes;
        if (onOpen) {
            onOpen();
        }
    }
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        shown.append({QStringLiteral("input"), prompt, 0, title, defaultText});
        return nextText();
    }
    // Answers from textAnswers; an empty answer (or none left) is a cancel.
    std::optional<QString> passwordBox(const QString& prompt, const QString& title) override
    {
        shown.append({QStringLiteral("password"), prompt, 0, title, {}});
        const QString text = nextText();
        return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
    }
    QString openFileName(const QString& title, const QString& folder, const QString& filter) override
    {
        shown.append({QStringLiteral("open"), filter, 0, title, folder});
        return nextText();
    }
    QString saveFileName(const QString& title, const QString& folder, const QString& filter) override
    {
        shown.append({QStringLiteral("save"), filter, 0, title, folder});
        return nextText();
    }
    QString appendFileName(const QString& title, const QString& folder, const QString& filter) override
    {
        shown.append({QStringLiteral("append"), filter, 0, title, folder});
        return nextText();
    }
    QString folderName(const QString& title, const QString& folder) override
    {
        shown.append({QStringLiteral("folder"), QString(), 0, title, folder});
        return nextText();
    }

    QList<Box> messages() const
    {
        QList<Box> out;
        for (const Box& b : shown) {
            if (b.kind == QStringLiteral("msg")) {
                out.append(b);
            }
        }
        return out;
    }

private:
    QList<QEventLoop*> m_loops;

    QString nextText()
    {
        if (textAnswers.empty()) {
            return {};
        }
        QString answer = textAnswers.front();
        textAnswers.pop_front();
        return answer;
    }
};

} // namespace hlv::test
