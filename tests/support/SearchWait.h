#pragma once

#include "customers/U_Custom.h"

#include <QTest>
#include <gtest/gtest.h>

// The list searches off its thread: waits until the latest search shows.
inline void waitForSearch(const TFrm_Custom& list) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list.searching(); }, 20000))
        << "the search never showed";
}
