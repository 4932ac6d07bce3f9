// Start-up of the program: the only code that knows every window.
#pragma once

namespace velmor::Global {
int Main(int argc, char** argv);
}
