#include "RecordChain.h"

// Qt
#include <QCryptographicHash>

// Ours
#include "RecordCodec.h"

namespace RecordChain {

QString genesis() {
    return QString(64, u'0');
}

QString hashOf(const InspectionRecord& record) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(RecordCodec::canonicalFields(record));
    hash.addData(QByteArrayView("\x1e"));
    hash.addData(record.previousSha256.toLatin1());
    return QString::fromLatin1(hash.result().toHex());
}

bool linkHolds(const InspectionRecord& record, const QString& previousHash) {
    return record.previousSha256 == previousHash && record.recordSha256 == hashOf(record);
}

} // namespace RecordChain
