#include "console/ui/ConsolePasswordPrompt.h"

#include <QObject>
#include <QPointer>
#include <QThread>

#include "console/access/PrintWorker.h"
#include "platform/Dialogs.h"
#include "platform/TsanAnnotations.h"

namespace hlv {

PrintSystem::PasswordPrompt consolePasswordPrompt(Dialogs& dialogs, QObject* window, FILE* errors)
{
    QPointer<QObject> context = window;
    return [&dialogs, context, errors](const QString& server, const QString& user) -> std::optional<QString> {
        if (!PrintWorker::currentCallAttended() || context.isNull()) {
            std::fprintf(errors, "hlv: %s wants a password for %s; refused: no operator waits for this call\n",
                         qUtf8Printable(server), qUtf8Printable(user));
            std::fflush(errors);
            return std::nullopt;
        }
        const QString prompt = QStringLiteral("Password for %1 on %2:").arg(user, server);
        const QString title = QStringLiteral("Halvern");
        if (QThread::currentThread() == context->thread()) {
            return dialogs.passwordBox(prompt, title);
        }
        // A lane of the print worker: the box opens on the window's thread while the lane
        // waits for the answer.
        std::optional<QString> answer;
        QMetaObject::invokeMethod(context.data(),
                                  tsan::handedOver([&] { answer = dialogs.passwordBox(prompt, title); }),
                                  Qt::BlockingQueuedConnection);
        return answer;
    };
}

} // namespace hlv
