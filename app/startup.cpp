#include "app/startup.h"

namespace velmor::Global {
int Main(int, char**) { return 0; }
}
