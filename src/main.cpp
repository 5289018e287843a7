#include "app/Entry.h"

int main(int argc, char* argv[]) {
    return brimlet::runEntry(argc, argv);
}
