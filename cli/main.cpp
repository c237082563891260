#include <clocale>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "tables/Error.h"
#include "xml/IPv6Utils_2007.h"

int main(int argc, char** argv) {
    // The user's locale gives the decimal separator of the printed amounts and
    // of the HTML page. Number parsing in the core must not depend on it, so
    // LC_NUMERIC goes back to "C" once the separator is read.
    std::setlocale(LC_ALL, "");
    quarlex::NumberFormat format;
    if (const std::lconv* conv = std::localeconv();
        conv && conv->decimal_point && conv->decimal_point[0] && !conv->decimal_point[1])
        format.decimalSeparator = conv->decimal_point[0];
    std::setlocale(LC_NUMERIC, "C");

    // The socket library starts before anything runs, as in the window.
    std::optional<quarlex::IPv6UtilsSession> sockets;
    try {
        sockets.emplace();
    } catch (const quarlex::Error& e) {
        std::cerr << "error: " << quarlex::cli::oneLine(e.what()) << '\n';
        return 1;
    }

    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = quarlex::cli::runCli(args, std::cout, std::cerr, format);
    std::cout.flush();
    return status;
}
