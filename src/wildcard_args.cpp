// Asks the MinGW runtime to expand file-name wildcards in the arguments, as
// the command line of a Windows console tool is expected to. (MSVC builds get
// the same from linking wsetargv.obj.)
extern "C" {
extern int _dowildcard;
int _dowildcard = -1;
}
