#pragma once

#include "platform/Dialogs.h"

class QWidget;

namespace hlv {

// The real message boxes, input boxes and file dialogs, over a parent window.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget* parent = nullptr)
        : m_parent(parent)
    {}
    void setParent(QWidget* parent) { m_parent = parent; }

    int msgBox(const QString& text, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText = {}) override;
    std::optional<QString> passwordBox(const QString& prompt, const QString& title) override;
    QString openFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString folderName(const QString& title, const QString& folder) override;
    // A box without modality, so that it blocks neither the program's events nor its
    // windows and menus; it deletes itself when closed.
    void showMessage(const QString& text, int style, const QString& title) override;
    QString appendFileName(const QString& title, const QString& folder, const QString& filter) override;

    // A filter of the form "Name (*.x)|*.x|All Files (*.*)|*.*" as Qt writes it.
    static QString qtFilter(const QString& filter);

private:
    QWidget* m_parent;
};

} // namespace hlv
