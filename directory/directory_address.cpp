// Where this program finds the Internet server directory: the host and port the build was
// configured with. They live in a file of their own so that a program can bring its own
// definition of the two instead, as the wizard's loopback test build does.
#include "server_directory.h"

const char* g_szDirectoryHost = QUARV_DIRECTORY_HOST;
int g_nDirectoryPort = QUARV_DIRECTORY_PORT;
