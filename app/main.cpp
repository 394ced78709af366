#include "Startup.h"

int main(int argc, char** argv)
{
    return tracklift::runTracklift(argc, argv);
}
