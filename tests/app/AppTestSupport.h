#pragma once

#include "app/U_Main.h"
#include "data/Passwords.h"
#include "data/U_Data.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// A file's bytes, or "<absent>" when there is no such file.
inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

// The texts of a message box's buttons, sorted.
inline QStringList buttonTexts(QMessageBox* box) {
    QStringList texts;
    for (QAbstractButton* button : box->buttons())
        texts << button->text();
    texts.sort();
    return texts;
}

// Acts on the modal dialog of class T as soon as it is the active modal window, so that a
// test never blocks on exec().
template <class T> void whenModal(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

// A program folder with its data module and a hidden main window, as after start-up.
class ShellTest : public ::testing::Test {
  protected:
    TempProgram program;
    RecordingMessageService messages;
    std::unique_ptr<TFrm_Data> data = program.connect(messages);
    std::unique_ptr<TFrm_Main> main = std::make_unique<TFrm_Main>(*data, messages);

    QByteArray config() const { return fileBytes(program.configPath()); }
    QString storedPassword(const QString& user) {
        data->OpenQuery(data->Qry_Temp, {"select password from admin where username = ?", {user}});
        return data->Qry_Temp.asString("password");
    }
    // The operator's stored password, plain or hashed, is the given one.
    bool passwordIs(const QString& user, const QString& plain) {
        return StoredPassword(storedPassword(user)).matches(plain);
    }
    // The row the login would choose for the name, as the password dialog receives it.
    LoggedOperator loggedIn(const QString& user) {
        data->OpenQuery(data->Qry_Temp, {"select Userid from admin where username = ?", {user}});
        return {data->Qry_Temp.isEmpty() ? -1 : data->Qry_Temp.asInteger("Userid"), user};
    }
};
