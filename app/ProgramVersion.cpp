// The version that ReadFileVersion finds in the program file. Only the
// executable carries it, so that the window's status bar shows the version of
// the program that runs.
__attribute__((used, section(".qxversion"))) extern const char quarlexProgramVersion[] =
    QUARLEX_VERSION;
