#include "ChainTestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    return runChainTests<QGuiApplication>(argc, argv);
}
