// Every test program runs with one application object, as the tool does.
#include "../../toolkit/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    TApplication application;
    return RUN_ALL_TESTS();
}
