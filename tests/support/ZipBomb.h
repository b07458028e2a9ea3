#pragma once

// Small archive files whose parts unpack to far more than they take: a head, one unit
// repeated many times, a tail. The unit is compressed once and its compressed bytes repeated,
// so even gigabytes cost a few kilobytes and no time to make.

#include <QByteArray>
#include <QString>
#include <vector>

struct BombPart {
    QByteArray name;
    QByteArray head;
    QByteArray unit; // repeated; made at least 64 KiB long by repeating it
    qint64 repeats = 0;
    QByteArray tail;
    qint64 declaredSize = -1; // the size the archive claims; -1: the true one
};

// Writes the archive; sizes must stay below 4 GiB.
void writeZipBomb(const QString& path, const std::vector<BombPart>& parts);

// The fixed parts of a one-sheet workbook, for bombs that replace some of them.
std::vector<BombPart> plainWorkbookParts(const QByteArray& sheetXml,
                                         const QByteArray& sharedStringsXml = {});
