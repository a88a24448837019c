#include "gui/desktop_program.h"

int main(int argc, char** argv) {
    return keelsong::RunKeelsong(argc, argv);
}
