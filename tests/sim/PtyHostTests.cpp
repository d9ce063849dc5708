#include <gtest/gtest.h>
TEST(PtyHost, Placeholder) {}
