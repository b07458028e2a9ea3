#pragma once

#include <QString>

// Config.ini beside the executable, read and written key by key. No copy of the contents is
// kept: every read looks at the file and every write reaches it at once.
// Section and key names compare without regard to letter case; values are trimmed and one
// pair of surrounding quotes is dropped; a missing file, section or key yields the default.
class SettingsFile {
public:
    explicit SettingsFile(QString path) : path_(std::move(path)) {}

    const QString& path() const { return path_; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal after "0x"; anything else yields the default.
    int ReadInteger(const QString& section, const QString& key, int def) const;

    // Creates the file, section or key as needed; throws AppError "Unable to write to <path>".
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);

private:
    QString path_;
};
