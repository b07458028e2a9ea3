#pragma once

#include <QString>

class SettingsFile;

// How operator passwords are kept in the admin table. A password is stored as a salted
// Argon2id hash; the empty password stays empty (it is no secret), and a password of blanks
// only carries a marker before its hash so the login can still tell that case apart.
// Rows written by older copies hold plain text, which keeps working until it is replaced.
class StoredPassword {
  public:
    explicit StoredPassword(QString stored) : stored_(std::move(stored)) {}

    bool isHashed() const;
    // Empty or blanks only: then OK with the box empty (or the exact blanks) is what is needed.
    bool isBlank() const;
    // The typed text is the password, letter case and blanks included.
    bool matches(const QString& typed) const;
    // Worth storing afresh after a successful login: plain text, or a hash weaker than today's.
    bool needsUpgrade(bool keepPlain) const;

  private:
    QByteArray hash() const; // the Argon2id text, marker taken off

    QString stored_;
};

// How much work a hash costs. The program stores Login hashes; Quick ones let tests of the
// rules run many checks (they count as needing an upgrade at the next login).
enum class HashStrength { Login, Quick };

// The text to store for a password; keepPlain stores it as typed, as older copies expect.
QString storedFormOf(const QString& password, bool keepPlain,
                     HashStrength strength = HashStrength::Login);

// Config.ini's switch for shops that run older copies beside this one (off by default).
bool keepsPlainPasswords(const SettingsFile& settings);
