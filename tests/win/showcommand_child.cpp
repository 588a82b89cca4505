// Started by the show-command test: reports, as its exit code, the show command that
// host::CurrentProcess read from this process's launch.
#include "host/process.h"

int main(int argc, char** argv)
{
    return ostrel::host::CurrentProcess(argc, argv).showCommand;
}
