#include "BiffRecords.h"

#include <QStringDecoder>
#include <QtEndian>
#include <cstring>
#include <gtest/gtest.h>

namespace {
int u16At(const QByteArray& data, int at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}
} // namespace

int BiffRecord::row() const {
    return u16At(data, 0);
}
int BiffRecord::column() const {
    return u16At(data, 2);
}
int BiffRecord::xf() const {
    return u16At(data, 4);
}

QVariant BiffRecord::value() const {
    switch (type) {
    case 0x0204: {
        QStringDecoder gbk("GBK");
        return QString(gbk.decode(data.mid(8, u16At(data, 6))));
    }
    case 0x0203: {
        const auto raw = qFromLittleEndian<quint64>(data.constData() + 6);
        double v;
        std::memcpy(&v, &raw, sizeof v);
        return v;
    }
    case 0x027E: {
        const auto raw = qFromLittleEndian<qint32>(data.constData() + 6);
        return qint64(raw >> 2);
    }
    default:
        return {};
    }
}

QList<BiffRecord> splitBiff(const QByteArray& bytes) {
    QList<BiffRecord> records;
    int at = 0;
    while (at + 4 <= bytes.size()) {
        BiffRecord r;
        r.type = u16At(bytes, at);
        const int length = u16At(bytes, at + 2);
        if (at + 4 + length > bytes.size()) {
            ADD_FAILURE() << "record at " << at << " runs past the end";
            break;
        }
        r.data = bytes.mid(at + 4, length);
        records.append(r);
        at += 4 + length;
    }
    EXPECT_EQ(at, bytes.size()) << "trailing bytes";
    return records;
}

QByteArray hexBytes(const char* spaced) {
    return QByteArray::fromHex(QByteArray(spaced));
}
