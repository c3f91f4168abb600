#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace hlv {

// A favourite is one text, its caption: the fields below joined by " | ".
//   0 server, as typed           3 "AR On" / "AR Off"
//   1 queue                      4 with AutoRelease: "Print" / "Delete"
//   2 "AQ On" / "AQ Off"         5 with AutoRelease: the release time, as typed
//                                6 with AutoRelease and AutoActivate: "AA"
// so a caption has four, six or seven fields. The settings file, the favourites menu, the
// timed activation, the favourites file and the favourites report all read this one form.
constexpr int kFavouriteSlots = 20;

struct FavouriteSetup
{
    QString server;
    QString queue;
    bool autoQueue = false;
    bool autoRelease = false;
    bool printJobs = true; // the release prints ("Print Jobs"); false: it deletes
    QString releaseTime;
    bool autoActivate = false; // only written with AutoRelease
};

QString buildFavouriteCaption(const FavouriteSetup& setup);
QStringList favouriteFields(const QString& caption);
// A field of the caption, empty when the caption has no such field.
QString favouriteField(const QString& caption, int index);
// The favourite activates itself at its time exactly when field 3 is "AR On" and field 6
// exists and is "AA".
bool favouriteAutoActivates(const QString& caption);

// The favourites file: one line holding the caption of every slot in use, in slot order,
// each followed by ",", ended by CR LF. No header, no quoting.
QByteArray favouritesFileText(const QStringList& captionsInUse);
// The first line of a favourites file (up to the first CR or LF); later lines are ignored.
QString favouritesFirstLine(const QByteArray& fileContent);
// The line split at ",", one piece per slot: always kFavouriteSlots pieces, an empty piece
// for a slot that the line does not fill. Pieces after the twentieth are dropped.
QStringList favouritesFromLine(const QString& line);

} // namespace hlv
