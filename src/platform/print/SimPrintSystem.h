#pragma once

#include "platform/PrintSystem.h"

namespace hlv {

// The simulated print system: every server is one SQLite file in one folder (see
// SimPrintStore). A name without a file is a server that cannot be reached.
class SimPrintSystem final : public PrintSystem
{
public:
    explicit SimPrintSystem(QString folder);
    std::unique_ptr<PrintServer> connect(const QString& server, QString* error = nullptr) override;
    // Simulated servers never ask for a password; the prompt is kept for symmetry only.
    void setPasswordPrompt(PasswordPrompt prompt) override { m_prompt = std::move(prompt); }
    QString folder() const { return m_folder; }

private:
    QString m_folder;
    PasswordPrompt m_prompt;
};

} // namespace hlv
