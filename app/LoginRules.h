#pragma once

#include "data/Passwords.h"
#include "grid/TextTrim.h"

#include <QString>

// The login test of the login dialog, kept free of widgets.

enum class LoginVerdict {
    NoNameChosen,      // the list shows no name
    Admitted,          // the typed text is the stored password
    PasswordMissing,   // nothing typed, but a password is needed
    PasswordNotNeeded, // the stored password is blank: OK alone would have done
    WrongPassword,
};

// The first rule that applies decides: no name, exact match, empty box, blank stored password.
LoginVerdict judgeLogin(const QString& chosenName, const QString& typed,
                        const StoredPassword& stored);

// The warning the dialog shows for a refused login; empty for Admitted.
QString loginRefusal(LoginVerdict verdict, const QString& chosenName);

// CurrentOperator from the chosen name: trimmed, at most 20 bytes in GBK, cut at a whole
// character so that no half of a Chinese character is ever stored.
QString operatorNameFromChoice(const QString& chosenName);
constexpr int maxOperatorBytes = 20;

// The operator the login admitted: exactly the row it chose, and the name the list showed.
struct LoggedOperator {
    qint64 key = -1;   // admin.Userid; -1 when the row was gone by the time OK was pressed
    QString wholeName; // trimmed, never cut
    // For the operator to read: the whole name, or CurrentOperator's cut followed by "…".
    QString shownName() const;
};
