#include "shell/Startup.h"

int main(int argc, char** argv)
{
    return runLedgerly(argc, argv);
}
