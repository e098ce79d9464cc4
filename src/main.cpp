// ZIRidev: odor dispersion model.
#include "driver/driver.h"

int main(int argc, char* argv[]) { return Main(argc, argv); }
