#include <QCoreApplication>
#include <iostream>

#include "AdminCommands.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return lumaro::admin::RunAdmin(lumaro::admin::Args(argv + 1, argv + argc), std::cout,
                                   std::cerr);
}
