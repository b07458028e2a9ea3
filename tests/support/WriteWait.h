#pragma once

#include "data/U_Data.h"
#include "data/WriteQueue.h"

#include <QAbstractButton>
#include <QTest>
#include <gtest/gtest.h>

// Saves and deletes run off the window's thread: waits until every one given has reported.
inline void waitForWrites(TFrm_Data& data) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !data.writes().busy(); }, 20000))
        << "a write never reported";
}

// Clicks a button that writes, and waits for the write's outcome to show.
inline void clickAndWait(QAbstractButton* button, TFrm_Data& data) {
    button->click();
    waitForWrites(data);
}
