// Every test program runs with one application object, as the tool does, and
// with a temporary folder of its own.
#include "Folders.h"
#include "toolkit/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    UseTemporaryFolderOfItsOwn();
    TApplication application;
    return RUN_ALL_TESTS();
}
