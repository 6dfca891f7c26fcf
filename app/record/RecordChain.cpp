#include "RecordChain.h"

// Qt
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

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

QString sealOf(const InspectionRecord& record, const QByteArray& key) {
    return QString::fromLatin1(QMessageAuthenticationCode::hash(RecordCodec::sealedFields(record),
                                                                key, QCryptographicHash::Sha256)
                                   .toHex());
}

bool sealHolds(const InspectionRecord& record, const std::map<QString, QByteArray>& keys) {
    if (record.chainForm == kSealedForm) {
        const auto key = keys.find(record.chainKey);
        return key != keys.end() && record.recordSha256 == sealOf(record, key->second);
    }
    return record.chainForm == 1 && record.recordSha256 == hashOf(record);
}

} // namespace RecordChain
