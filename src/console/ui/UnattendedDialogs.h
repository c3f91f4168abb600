#pragma once

#include <cstdio>

#include "platform/Dialogs.h"

namespace hlv {

// True when the command line asks for a report: the console then runs without an
// operator and closes by itself.
bool runsUnattended(const QString& commandLine);

// The console's dialogs, passed on to the real ones while an operator is there. In an
// unattended run no box is shown: a message goes to the error stream (one line, with its
// title) and is answered as a box closed without a choice would be (OK, No, Cancel,
// Abort); input boxes and file dialogs answer an empty text, as a cancel does.
class UnattendedDialogs final : public Dialogs
{
public:
    explicit UnattendedDialogs(Dialogs& inner, FILE* errors = stderr)
        : m_inner(inner)
        , m_errors(errors)
    {}
    void setUnattended(bool unattended) { m_unattended = unattended; }
    bool unattended() const { return m_unattended; }

    int msgBox(const QString& text, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText = {}) override;
    QString openFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString folderName(const QString& title, const QString& folder) override;
    void showMessage(const QString& text, int style, const QString& title) override;
    std::optional<QString> passwordBox(const QString& prompt, const QString& title) override;
    QString appendFileName(const QString& title, const QString& folder, const QString& filter) override;

    // The answer an unanswered box of that style gives.
    static int unansweredResult(int style);

private:
    void report(const QString& title, const QString& text);

    Dialogs& m_inner;
    FILE* m_errors;
    bool m_unattended = false;
};

} // namespace hlv
