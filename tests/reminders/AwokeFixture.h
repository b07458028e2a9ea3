#pragma once

#include "data/SettingsFile.h"
#include "data/U_Data.h"
#include "grid/PrintPreviewService.h"
#include "reminders/U_Awoke.h"
#include "tests/support/RecordingMessageService.h"
#include "tests/support/TempProgram.h"

#include <QDate>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

// A program folder with its data module, a stand-in main window and its Timer1.
class AwokeFixture : public ::testing::Test {
  protected:
    void SetUp() override;

    void writeConfig(const QByteArray& text) const;
    QByteArray configText() const;
    SettingsFile config() const { return SettingsFile(program.configPath()); }

    // One T_Schedule row due daysFromToday days after today at the time of day given.
    void addActivity(const QString& subject, int daysFromToday, const QString& time = "10:00:00",
                     const QString& user = "Admin", bool awoke = true) const;

    // The window shown the way the start-up check shows it, but without a modal loop.
    std::unique_ptr<TFrm_Awoke> openWindow();
    static QStringList listedSubjects(const TFrm_Awoke& window);

    TempProgram program;
    RecordingMessageService messages;
    std::unique_ptr<TFrm_Data> data;
    std::unique_ptr<PrintPreviewService> previews;
    QWidget owner;
    QTimer timer1;
    QString operatorName = "Admin";
};
