#include <iostream>

#include "common/VersionInfo.h"

int main() {
    std::cout << lumaro::CompanyName() << ' ' << lumaro::ProductName() << ' ' << lumaro::VersionString() << '\n';
    return 0;
}
