#include <gtest/gtest.h>
#include "decoder/decoder.h"
TEST(Smoke, Builds) { orvalin::RecordTable t; EXPECT_EQ(t.count(), 0); }
