// The baseline of the name query benchmark: a program of the name helper's
// kind that ends at once.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
