#include "app/LoginRules.h"

#include <QStringEncoder>

LoginVerdict judgeLogin(const QString& chosenName, const QString& typed,
                        const StoredPassword& stored) {
    if (trimBlanks(chosenName).isEmpty())
        return LoginVerdict::NoNameChosen;
    if (stored.matches(typed))
        return LoginVerdict::Admitted;
    if (typed.isEmpty())
        return LoginVerdict::PasswordMissing;
    if (stored.isBlank())
        return LoginVerdict::PasswordNotNeeded;
    return LoginVerdict::WrongPassword;
}

QString loginRefusal(LoginVerdict verdict, const QString& chosenName) {
    switch (verdict) {
    case LoginVerdict::NoNameChosen:
        return QStringLiteral("请选择一个用户名！");
    case LoginVerdict::PasswordMissing:
        return QStringLiteral("请输入密码！");
    case LoginVerdict::PasswordNotNeeded:
        return chosenName + QStringLiteral("密码为空，您可以直接点击确定按钮登录！");
    case LoginVerdict::WrongPassword:
        return QStringLiteral("密码错误，请重新输入密码！");
    case LoginVerdict::Admitted:
        break;
    }
    return {};
}

QString operatorNameFromChoice(const QString& chosenName) {
    const QString name = trimBlanks(chosenName);
    QStringEncoder gbk("GBK");
    qsizetype bytes = 0, end = 0;
    while (end < name.size()) {
        const qsizetype width = name[end].isHighSurrogate() && end + 1 < name.size() ? 2 : 1;
        bytes += QByteArray(gbk.encode(QStringView(name).mid(end, width))).size();
        if (bytes > maxOperatorBytes)
            break;
        end += width;
    }
    return name.left(end);
}

QString LoggedOperator::shownName() const {
    const QString cut = operatorNameFromChoice(wholeName);
    return cut == wholeName ? cut : cut + QStringLiteral("…");
}
