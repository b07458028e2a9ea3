#pragma once

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
LoginVerdict judgeLogin(const QString& chosenName, const QString& typed, const QString& stored);

// The warning the dialog shows for a refused login; empty for Admitted.
QString loginRefusal(LoginVerdict verdict, const QString& chosenName);

// Leading and trailing blanks and control characters removed (not other Unicode spaces).
QString trimBlanks(const QString& text);

// CurrentOperator from the chosen name: trimmed, at most 20 bytes in GBK, cut at a whole
// character so that no half of a Chinese character is ever stored.
QString operatorNameFromChoice(const QString& chosenName);
constexpr int maxOperatorBytes = 20;
