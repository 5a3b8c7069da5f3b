// Quorvex: compares the reception of two Mode S receivers and a port-30003 feed.

#include "app/startup.h"

int main(int argc, char** argv) {
    return quorvex::app::RunProgram(argc, argv);
}
