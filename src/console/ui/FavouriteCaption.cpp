#include "console/ui/FavouriteCaption.h"

namespace hlv {

namespace {

const QString kSeparator = QStringLiteral(" | ");

} // namespace

QString buildFavouriteCaption(const FavouriteSetup& setup)
{
    QStringList fields{setup.server, setup.queue, setup.autoQueue ? QStringLiteral("AQ On") : QStringLiteral("AQ Off"),
                       setup.autoRelease ? QStringLiteral("AR On") : QStringLiteral("AR Off")};
    if (setup.autoRelease) {
        fields.append(setup.printJobs ? QStringLiteral("Print") : QStringLiteral("Delete"));
        fields.append(setup.releaseTime);
        if (setup.autoActivate) {
            fields.append(QStringLiteral("AA"));
        }
    }
    return fields.join(kSeparator);
}

QStringList favouriteFields(const QString& caption)
{
    return caption.split(kSeparator);
}

QString favouriteField(const QString& caption, int index)
{
    const QStringList fields = favouriteFields(caption);
    return index >= 0 && index < fields.size() ? fields.at(index) : QString();
}

bool favouriteAutoActivates(const QString& caption)
{
    const QStringList fields = favouriteFields(caption);
    return fields.size() > 6 && fields.at(3) == QStringLiteral("AR On") && fields.at(6) == QStringLiteral("AA");
}

QByteArray favouritesFileText(const QStringList& captionsInUse)
{
    QString line;
    for (const QString& caption : captionsInUse) {
        line += caption + QLatin1Char(',');
    }
    return line.toUtf8() + QByteArrayLiteral("\r\n");
}

QString favouritesFirstLine(const QByteArray& fileContent)
{
    qsizetype end = fileContent.size();
    for (qsizetype i = 0; i < fileContent.size(); ++i) {
        if (fileContent.at(i) == '\r' || fileContent.at(i) == '\n') {
            end = i;
            break;
        }
    }
    return QString::fromUtf8(fileContent.left(end));
}

QStringList favouritesFromLine(const QString& line)
{
    QStringList pieces = line.split(QLatin1Char(','));
    while (pieces.size() < kFavouriteSlots) {
        pieces.append(QString());
    }
    return pieces.mid(0, kFavouriteSlots);
}

} // namespace hlv
