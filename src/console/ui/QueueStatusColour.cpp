#include "console/ui/QueueStatusColour.h"

#include <array>

#include "console/ui/VbColour.h"

namespace hlv {

QueueStatusColour queueStatusColour(const QString& statusText)
{
    struct Rule
    {
        const char* word;
        quint32 colour;
    };
    static constexpr std::array<Rule, 7> rules = {{{"OK", VbColours::Green},
                                                   {"Printing", VbColours::Green},
                                                   {"Waiting", VbColours::Green},
                                                   {"Paused", VbColours::Orange},
                                                   {"Busy", VbColours::Orange},
                                                   {"Error", VbColours::Red},
                                                   {"Offline", VbColours::Red}}};
    QueueStatusColour out;
    for (const Rule& rule : rules) {
        const QString word = QString::fromLatin1(rule.word);
        if (statusText.contains(word, Qt::CaseSensitive)) {
            out.colour = rule.colour;
            if (word == QStringLiteral("Error")) {
                out.error = true;
            }
        }
    }
    return out;
}

QueueImage queueImageFor(quint32 colour)
{
    if (colour == VbColours::Green || colour == VbColours::Red) {
        return QueueImage::Play;
    }
    if (colour == VbColours::Orange) {
        return QueueImage::Pause;
    }
    return QueueImage::Unchanged;
}

} // namespace hlv
