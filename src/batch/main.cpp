#include "batch/BatchMain.h"

int main(int argc, char** argv) { return littoral::batchMain(argc, argv, {}); }
