#pragma once

#include <optional>

#include <QString>

namespace hlv {

// The colour of the queue's status box for a status text. Each of the words "OK",
// "Printing", "Waiting" (green), "Paused", "Busy" (orange), "Error", "Offline" (red) that
// occurs in the text, searched in that order and with letter case, sets the colour, so the
// last one found wins; no word leaves the colour as it was (nullopt).
struct QueueStatusColour
{
    std::optional<quint32> colour; // 0xBBGGRR
    bool error = false;            // "Error" occurs: the printer-error message is due
};

QueueStatusColour queueStatusColour(const QString& statusText);

// Which queue image a status box colour shows: the play image for green and red, the pause
// image for orange, neither change for any other colour.
enum class QueueImage { Play, Pause, Unchanged };
QueueImage queueImageFor(quint32 colour);

} // namespace hlv
