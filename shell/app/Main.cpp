// The process entry of the program `corvanta`.
#include "shell/app/Program.h"

int main(int argc, char** argv) {
    return Vuxo::RunProgram(argc, argv);
}
