#include "program/startup.h"

int main(int argc, char** argv) { return velmor::Global::Main(argc, argv); }
