#include "ChainTestMain.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    return runChainTests<QCoreApplication>(argc, argv);
}
