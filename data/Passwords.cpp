#include "data/Passwords.h"

#include "data/AppError.h"
#include "data/SettingsFile.h"

#include <algorithm>
#include <sodium.h>

namespace {

const QString hashPrefix = QStringLiteral("$argon2id$");
const QString blanksMarker = QStringLiteral("$blanks"); // followed by the hash itself

// Interactive limits: about a tenth of a second on a shop's PC, well inside a login's wait.
constexpr unsigned long long opsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr size_t memLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;

void initSodium() {
    if (sodium_init() < 0)
        throw AppError(QStringLiteral("无法初始化密码加密库！"));
}

QString hashOf(const QString& password, HashStrength strength) {
    initSodium();
    const bool quick = strength == HashStrength::Quick;
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), size_t(bytes.size()),
                          quick ? crypto_pwhash_OPSLIMIT_MIN : opsLimit,
                          quick ? crypto_pwhash_MEMLIMIT_MIN : memLimit) != 0)
        throw AppError(QStringLiteral("内存不足，无法保存密码！"));
    return QString::fromLatin1(out);
}

// Blanks as the login counts them: spaces and control characters.
bool allBlanks(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= ' '; });
}

} // namespace

bool StoredPassword::isHashed() const {
    return stored_.startsWith(hashPrefix) || stored_.startsWith(blanksMarker + hashPrefix);
}

bool StoredPassword::isBlank() const {
    if (isHashed())
        return stored_.startsWith(blanksMarker);
    return allBlanks(stored_);
}

QByteArray StoredPassword::hash() const {
    return (stored_.startsWith(blanksMarker) ? stored_.mid(blanksMarker.size()) : stored_)
        .toLatin1();
}

bool StoredPassword::matches(const QString& typed) const {
    if (!isHashed())
        return typed == stored_;
    initSodium();
    const QByteArray hash = this->hash();
    const QByteArray bytes = typed.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), bytes.constData(), size_t(bytes.size())) == 0;
}

bool StoredPassword::needsUpgrade(bool keepPlain) const {
    if (!isHashed())
        return !keepPlain && !stored_.isEmpty();
    initSodium();
    return crypto_pwhash_str_needs_rehash(hash().constData(), opsLimit, memLimit) != 0;
}

QString storedFormOf(const QString& password, bool keepPlain, HashStrength strength) {
    if (keepPlain || password.isEmpty())
        return password;
    const QString hash = hashOf(password, strength);
    return allBlanks(password) ? blanksMarker + hash : hash;
}

bool keepsPlainPasswords(const SettingsFile& settings) {
    return settings.ReadInteger("Config", "PlainPasswords", 0) != 0;
}
