/* The library a test plugin needs beside it: the plugin takes its name from
   here, so it names itself only when this library was found. */
__declspec(dllexport) const char* DependencyRootName(void)
{
    return "Needs Dep";
}
