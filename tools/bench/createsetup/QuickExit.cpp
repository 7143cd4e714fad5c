// Stands in for the compiler in the "Create setup" benchmark: ends at once.
int main()
{
    return 0;
}
