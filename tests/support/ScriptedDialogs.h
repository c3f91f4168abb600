#pragma once

#include <deque>

#include <QList>
#include <QString>

#include "platform/Dialogs.h"

namespace hlv::test {

// Records every box a test causes and answers from queues set up by the test.
// An unscripted message box answers OK, or No for a Yes/No box (the safe choice); an
// unscripted input box or file dialog answers an empty text, as a cancel does.
class ScriptedDialogs : public Dialogs
{
public:
    struct Box
    {
        QString kind; // "msg", "input", "open", "save", "folder"
        QString text;
        int style = 0;
        QString title;
        QString defaultText;
    };

    std::deque<int> msgAnswers;
    std::deque<QString> textAnswers; // input boxes and file dialogs
    QList<Box> shown;

    int msgBox(const QString& text, int style, const QString& title) override
    {
        shown.append({QStringLiteral("msg"), text, style, title, {}});
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
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        shown.append({QStringLiteral("input"), prompt, 0, title, defaultText});
        return nextText();
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
