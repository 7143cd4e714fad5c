/* Keeps the plugin library named on its command line loaded until it is ended,
   as a running file manager keeps the plugins it uses. Exit code 1 when the
   library cannot be loaded. */
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 2 || LoadLibraryA(argv[1]) == NULL)
        return 1;
    Sleep(INFINITE);
    return 0;
}
