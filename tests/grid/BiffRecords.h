#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// A worksheet file read back record by record, for checking what the export wrote.
struct BiffRecord {
    quint16 type = 0;
    QByteArray data; // the bytes after the length field
    int row() const;
    int column() const;
    int xf() const;
    QVariant value() const; // LABEL: QString from GBK; NUMBER: double; RK: qint64; else invalid
};

// Splits bytes into records; a length running past the end fails the current test.
QList<BiffRecord> splitBiff(const QByteArray& bytes);
QByteArray hexBytes(const char* spaced); // "04 02 0B" -> bytes
