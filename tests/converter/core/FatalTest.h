#pragma once
// The converter's fatal errors print on stdout and exit with 3; death tests look at stderr.
#include <gtest/gtest.h>

#include <unistd.h>

#define EXPECT_FATAL(statement, message)                                                                               \
    EXPECT_EXIT(                                                                                                       \
        {                                                                                                              \
            dup2(2, 1);                                                                                                \
            statement;                                                                                                 \
        },                                                                                                             \
        testing::ExitedWithCode(3), message)
